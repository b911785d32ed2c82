#pragma once
// The application's main menu: its actions (the list ALMain) and where each sits in the menu bar.

#include <string_view>

class TXActionList;
class TXMenuItem;

struct TXMainMenuRow {
    std::string_view Action;      // empty: a menu entry without an action
    std::string_view Caption;     // the action's caption (UTF-8)
    std::string_view ClassName;   // the screen the action opens; empty when it runs something else
    std::string_view Menu;        // submenu path, "/" between levels
    std::string_view MenuCaption; // the menu entry's caption when it differs from the action's
};

// The rows in list order.
const TXMainMenuRow* MainMenuRows(int& count);

// Menu entries without an action.
inline constexpr std::string_view kPasswordChangeCaption = "Troca de Senha";
inline constexpr std::string_view kPasswordChangeClass = "TFAlteracaoUsuarioSenhaCad";
inline constexpr std::string_view kMachineCBreak = "-- Maquina C --";
// Opened after every login.
inline constexpr std::string_view kDefaultsSelectClass = "TFDefaultsSelect";

// Fills actions and the menu tree under root from the rows (no handlers yet).
void BuildALMain(TXActionList& actions, TXMenuItem& root);

#pragma once
// The screens the program can open, by class name. A screen module registers its class at start-up;
// a main-menu action whose screen is not registered stays hidden.

#include <functional>
#include <string>
#include <string_view>

class QWidget;
class TFXFrame;

// How OpenFrame places a screen opened in the default mode.
enum TXFrameKind { fkOther, fkSel, fkCad };

struct TXFrameClass {
    std::string Name; // the class name, e.g. "TFCulturaSel"
    TXFrameKind Kind = fkOther;
    std::function<TFXFrame*(QWidget* container)> Create;
};

// Registers or replaces (same name, ignoring case) a class.
void RegisterFrameClass(TXFrameClass frameClass);
void UnregisterFrameClass(std::string_view name);
// nullptr when no class of that name is registered.
const TXFrameClass* FindFrameClass(std::string_view name);

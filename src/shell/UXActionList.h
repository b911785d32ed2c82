#pragma once
// Named actions: what a menu entry or a favourite button runs. An action's name is also its rights
// option in the main menu.

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TXAction {
public:
    std::string Name;      // e.g. "LCULTURA"
    QString Caption;       // e.g. "Cultura"
    std::string ClassName; // the screen it opens; empty when it runs something else
    bool Visible = true;
    bool Enabled = true;
    std::function<void()> OnExecute;

    // False when the action has nothing to run (its screen is not part of the program).
    std::function<bool()> Available;
    bool IsAvailable() const { return Available ? Available() : static_cast<bool>(OnExecute); }

    void Execute() {
        if (Enabled && OnExecute)
            OnExecute();
    }
};

class TXActionList {
public:
    TXAction& Add(std::string name, QString caption, std::string className = {});
    // The first action of that name, ignoring case; nullptr when none.
    TXAction* Find(std::string_view name) const;
    int Count() const { return static_cast<int>(mActions.size()); }
    TXAction& Action(int index) const { return *mActions.at(static_cast<size_t>(index)); }

private:
    std::vector<std::unique_ptr<TXAction>> mActions;
};

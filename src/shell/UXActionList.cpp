#include "shell/UXActionList.h"

#include "foundation/UXText.h"

TXAction& TXActionList::Add(std::string name, QString caption, std::string className) {
    auto action = std::make_unique<TXAction>();
    action->Name = std::move(name);
    action->Caption = std::move(caption);
    action->ClassName = std::move(className);
    mActions.push_back(std::move(action));
    return *mActions.back();
}

TXAction* TXActionList::Find(std::string_view name) const {
    for (const auto& a : mActions)
        if (SameText(a->Name, name))
            return a.get();
    return nullptr;
}

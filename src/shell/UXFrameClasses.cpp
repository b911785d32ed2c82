#include "shell/UXFrameClasses.h"

#include "foundation/UXText.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<TXFrameClass>>& Classes() {
    static std::vector<std::unique_ptr<TXFrameClass>> classes;
    return classes;
}

auto Position(std::string_view name) {
    auto& c = Classes();
    return std::find_if(c.begin(), c.end(), [&](const auto& k) { return SameText(k->Name, name); });
}

} // namespace

void RegisterFrameClass(TXFrameClass frameClass) {
    auto it = Position(frameClass.Name);
    if (it != Classes().end())
        **it = std::move(frameClass);
    else
        Classes().push_back(std::make_unique<TXFrameClass>(std::move(frameClass)));
}

void UnregisterFrameClass(std::string_view name) {
    auto it = Position(name);
    if (it != Classes().end())
        Classes().erase(it);
}

const TXFrameClass* FindFrameClass(std::string_view name) {
    auto it = Position(name);
    return it == Classes().end() ? nullptr : it->get();
}

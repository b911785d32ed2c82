#include "shell/UXFavorites.h"

#include "foundation/UXData.h"
#include "shell/UXActionList.h"

#include <algorithm>

TXAction* TXFavorites::At(int n) const {
    return Valid(n) ? mSlots[static_cast<size_t>(n - 1)] : nullptr;
}

void TXFavorites::Bind(int n, TXAction* action) {
    if (Valid(n))
        mSlots[static_cast<size_t>(n - 1)] = action;
}

void TXFavorites::Reset() {
    std::fill(mSlots.begin(), mSlots.end(), nullptr);
}

void TXFavorites::Empty(int n) {
    Bind(n, nullptr);
}

void TXFavorites::Insert(int n) {
    if (!Valid(n))
        return;
    for (int i = Count(); i > n; --i)
        Bind(i, At(i - 1));
    Empty(n);
}

void TXFavorites::Delete(int n) {
    if (!Valid(n))
        return;
    for (int i = n; i < Count(); ++i)
        Bind(i, At(i + 1));
    Empty(Count());
}

std::string TXFavorites::Pack() const {
    TXData d;
    Init(d);
    for (int n = 1; n <= Count(); ++n) {
        const TXAction* action = At(n);
        PutI(d, n);
        PutB(d, action ? 1 : 0);
        if (action)
            PutS(d, action->Name);
    }
    Finish(d);
    return d.Data;
}

bool TXFavorites::Load(std::string_view packed, const std::function<TXAction*(std::string_view name)>& find) {
    TXData d;
    ::Load(d, packed);
    try {
        while (!d.AtEnd()) {
            const int32_t n = GetI(d);
            const bool assigned = GetB(d) != 0;
            if (!assigned)
                continue;
            const std::string name = GetS(d);
            if (!Valid(n))
                continue;
            if (TXAction* action = find(name))
                Bind(n, action);
        }
    } catch (const EXDataError&) {
        return false;
    }
    return true;
}

#pragma once
// The favourite buttons as data: which action each button runs, the popup's edits and the packed form
// kept in USUARIO.favoritos (per button: I index, B assigned, S action name when assigned).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TXAction;

class TXFavorites {
public:
    explicit TXFavorites(int count = 52) : mSlots(static_cast<size_t>(count), nullptr) {}

    int Count() const { return static_cast<int>(mSlots.size()); }
    // Buttons are numbered from 1; nullptr for an empty button or a number out of range.
    TXAction* At(int n) const;
    void Bind(int n, TXAction* action);
    void Reset();

    // "Vazio": the button loses its action.
    void Empty(int n);
    // "Inserir": the buttons from n on move one down (the last one's entry is lost); n is emptied.
    void Insert(int n);
    // "Excluir": the buttons after n move one up; the last one is emptied.
    void Delete(int n);

    std::string Pack() const;
    // Binds the entries of packed whose button exists and whose action find returns (find answers
    // nullptr for unknown or invisible actions). A damaged tail is ignored; returns false then.
    bool Load(std::string_view packed, const std::function<TXAction*(std::string_view name)>& find);

private:
    bool Valid(int n) const { return n >= 1 && n <= Count(); }
    std::vector<TXAction*> mSlots;
};

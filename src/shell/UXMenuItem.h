#pragma once
// A menu tree bound to actions, drawn into a menu bar and copied into popups. Each drawn entry
// follows the item's caption and visibility.

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class TXAction;

class TXMenuItem {
public:
    QString Caption;
    TXAction* Action = nullptr;
    bool Visible = true;
    bool Enabled = true;
    bool Break = false; // starts a new column (drawn as a titled separator)
    // Items without an action: what a click runs, and whether it can run at all.
    std::function<void()> OnClick;
    std::function<bool()> Available;

    TXMenuItem& Add(const QString& caption, TXAction* action = nullptr);
    // The direct child of that caption; nullptr when none.
    TXMenuItem* Child(const QString& caption) const;
    int Count() const { return static_cast<int>(mItems.size()); }
    TXMenuItem& Item(int index) const { return *mItems.at(static_cast<size_t>(index)); }

    // Every item visible, then depth first: a leaf is visible when it has no action (and can run)
    // or its action is visible; an item with children when one of them is.
    void UpdateVisibility();
    // Draws the children of this item; a leaf's click goes to click.
    void DrawInto(QMenuBar* bar, const std::function<void(TXMenuItem&)>& click);
    void DrawInto(QMenu* menu, const std::function<void(TXMenuItem&)>& click);
    // The drawn entries of this item.
    const std::vector<QPointer<QAction>>& Views() const { return mViews; }

private:
    bool Update();
    void ApplyToViews();
    template <class TMenu>
    void DrawChildren(TMenu* menu, const std::function<void(TXMenuItem&)>& click);

    std::vector<std::unique_ptr<TXMenuItem>> mItems;
    std::vector<QPointer<QAction>> mViews;
};

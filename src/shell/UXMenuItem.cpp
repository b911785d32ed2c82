#include "shell/UXMenuItem.h"

#include "shell/UXActionList.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <type_traits>

TXMenuItem& TXMenuItem::Add(const QString& caption, TXAction* action) {
    auto item = std::make_unique<TXMenuItem>();
    item->Caption = caption;
    item->Action = action;
    mItems.push_back(std::move(item));
    return *mItems.back();
}

TXMenuItem* TXMenuItem::Child(const QString& caption) const {
    for (const auto& i : mItems)
        if (i->Caption == caption)
            return i.get();
    return nullptr;
}

void TXMenuItem::UpdateVisibility() {
    Update();
}

bool TXMenuItem::Update() {
    Visible = true;
    if (mItems.empty()) {
        if (Action)
            Visible = Action->Visible;
        else
            Visible = !Available || Available();
    } else {
        bool any = false;
        for (auto& child : mItems)
            any = child->Update() || any;
        Visible = any;
    }
    ApplyToViews();
    return Visible;
}

void TXMenuItem::ApplyToViews() {
    for (auto& view : mViews)
        if (view) {
            view->setVisible(Visible);
            view->setEnabled(Enabled && (!Action || Action->Enabled));
        }
}

template <class TMenu>
void TXMenuItem::DrawChildren(TMenu* menu, const std::function<void(TXMenuItem&)>& click) {
    for (auto& child : mItems) {
        TXMenuItem* item = child.get();
        QAction* view = nullptr;
        if (!item->mItems.empty()) {
            QMenu* sub = menu->addMenu(item->Caption);
            item->DrawChildren(sub, click);
            view = sub->menuAction();
        } else if (item->Break) {
            if constexpr (std::is_same_v<TMenu, QMenu>) {
                view = menu->addSection(item->Caption);
            } else {
                view = menu->addAction(item->Caption);
            }
        } else {
            view = menu->addAction(item->Caption);
            QObject::connect(view, &QAction::triggered, view, [item, click] { click(*item); });
        }
        item->mViews.emplace_back(view);
        item->ApplyToViews();
    }
}

void TXMenuItem::DrawInto(QMenuBar* bar, const std::function<void(TXMenuItem&)>& click) {
    DrawChildren(bar, click);
}

void TXMenuItem::DrawInto(QMenu* menu, const std::function<void(TXMenuItem&)>& click) {
    DrawChildren(menu, click);
}

// The favourites panel of the main window: 52 buttons bound to actions, their popup and their storage.
#include "shell/UFMain.h"

#include "dataserver/UXSQLSessionGUI.h"
#include "foundation/UCp1252.h"
#include "foundation/UXDialogs.h"
#include "shell/UXShellUser.h"
#include "sql/UXSQL.h"

#include <QMenu>
#include <QToolButton>

namespace {
constexpr char kFavoritesUpdate[] = "update usuario set favoritos=:favoritos where codigo=:codigo";
}

void TFMain::BuildFavorites() {
    mPopup = new QMenu(this);
    mPopup->setObjectName(QStringLiteral("PMFavoritos"));
    QObject::connect(mPopup->addAction(QStringLiteral("Vazio")), &QAction::triggered, this, [this] {
        mFavorites.Empty(mPopupTarget);
        RefreshFavoriteButtons();
        SaveFavorites();
    });
    QObject::connect(mPopup->addAction(QStringLiteral("Inserir")), &QAction::triggered, this, [this] {
        mFavorites.Insert(mPopupTarget);
        RefreshFavoriteButtons();
        SaveFavorites();
    });
    QObject::connect(mPopup->addAction(QStringLiteral("Excluir")), &QAction::triggered, this, [this] {
        mFavorites.Delete(mPopupTarget);
        RefreshFavoriteButtons();
        SaveFavorites();
    });
    mPopup->addSeparator();
    mMenu.DrawInto(mPopup, [this](TXMenuItem& item) { PopupMenuClick(item); });

    for (int n = 1; n <= kFavoriteCount; ++n) {
        auto* b = new QToolButton(mPMainInternal);
        b->setObjectName(QStringLiteral("F%1").arg(n, 2, 10, QLatin1Char('0')));
        b->setAutoRaise(true);
        b->setGeometry(4, 20 + (n - 1) * 24, 102, 22);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(b, &QToolButton::clicked, this, [this, n] {
            if (TXAction* a = mFavorites.At(n))
                a->Execute();
        });
        QObject::connect(b, &QWidget::customContextMenuRequested, this, [this, n, b](const QPoint& pos) {
            mPopupTarget = n;
            mPopup->popup(b->mapToGlobal(pos));
        });
        mButtons.push_back(b);
    }
}

QToolButton* TFMain::FavoriteButton(int n) const {
    return n >= 1 && n <= static_cast<int>(mButtons.size()) ? mButtons[static_cast<size_t>(n - 1)] : nullptr;
}

void TFMain::PopupMenuClick(TXMenuItem& item) {
    mFavorites.Bind(mPopupTarget, item.Action);
    RefreshFavoriteButtons();
    SaveFavorites();
}

void TFMain::RefreshFavoriteButtons() {
    for (int n = 1; n <= static_cast<int>(mButtons.size()); ++n) {
        const TXAction* a = mFavorites.At(n);
        QToolButton* b = mButtons[static_cast<size_t>(n - 1)];
        b->setText(a ? a->Caption : QString());
        b->setEnabled(!a || a->Enabled);
        b->setVisible(true);
    }
}

void TFMain::LoadFavorites() {
    if (!User())
        return;
    mFavorites.Load(User()->Favorites(), [this](std::string_view name) -> TXAction* {
        TXAction* a = mActions.Find(name);
        return a && a->Visible ? a : nullptr;
    });
}

void TFMain::SaveFavorites() {
    if (!mMainSession || !mMainSession->Ready()) {
        ShowError(Utf8ToCp1252("Favoritos não pode ser gravado, sessão não está pronta"));
        return;
    }
    const std::string packed = mFavorites.Pack();
    if (!User() || packed == User()->Favorites())
        return;
    TXSQL& sql = mMainSession->SQL();
    sql.ClearSQL();
    sql.ClearParams();
    sql.SQLText = kFavoritesUpdate;
    sql.ParamString("codigo", User()->Code());
    sql.ParamBlob("favoritos", TXVariant::FromString(packed));
    try {
        mMainSession->Command("usuario.favoritos." + std::to_string(++mFavoriteSaves));
    } catch (const std::exception& e) {
        ShowError(e.what());
        return;
    }
    User()->SetFavorites(packed);
}

void TFMain::SetPanelExpanded(bool expanded) {
    mPanelExpanded = expanded;
    if (!mPMain)
        return;
    mPMain->setFixedWidth(expanded ? 125 : mBPMain->width());
    mBPMain->setText(expanded ? QStringLiteral("<") : QStringLiteral(">"));
    mPMainInternal->setVisible(expanded);
}

void TFMain::BPMainClick() {
    SetPanelExpanded(!mPanelExpanded);
}

#pragma once
// The application's main window: the menu and actions of this application, the favourites panel,
// the status bar, the schema script, the clock check and the hand-over of a downloaded update.

#include "shell/UFXMain.h"
#include "shell/UXActionList.h"
#include "shell/UXFavorites.h"
#include "shell/UXMenuItem.h"

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QToolButton;
class TXDBDataBaseStructure;
class TXSQLSessionGUI;

class TFMain : public TFXMain {
    Q_OBJECT
public:
    static constexpr int kFavoriteCount = 52;

    explicit TFMain(QWidget* parent = nullptr);
    ~TFMain() override;

    TXDBDataBaseStructure& DBase() { return *mDBase; }
    bool ClockOk() const { return mClockOk; }
    bool PanelExpanded() const { return mPanelExpanded; }
    // 0 none; 2 a setup program was downloaded; any other value a replacement executable.
    int PendingUpdate = 0;
    TXSQLSessionGUI* MainSession() const { return mMainSession.get(); }

    TXActionList& ALMain() { return mActions; }
    TXMenuItem& MM() { return mMenu; }
    QTabWidget* PCMain() const { return mPCMain; }
    QLabel* StatusPanel(int index) const { return mStatus.at(static_cast<size_t>(index)); }

    // ---- favourites
    TXFavorites& Favorites() { return mFavorites; }
    // Button F + n (two digits), n from 1; nullptr beyond the last.
    QToolButton* FavoriteButton(int n) const;
    QMenu* PMFavoritos() const { return mPopup; }
    // The button the popup works on (as when it is opened on that button).
    void SetPopupTarget(int n) { mPopupTarget = n; }
    int PopupTarget() const { return mPopupTarget; }
    void BPMainClick();
    void SetPanelExpanded(bool expanded);
    // Stores the buttons in the user's record and the database when they changed.
    void SaveFavorites();

    // Action visibility by the "MEN" right, then the menu entries.
    void ApplyRights();

    void UserChanged() override;
    QTabWidget* GetPageControl() const override { return mPCMain; }
    void AfterLogin() override;
    void Logout() override;

protected:
    void FormShow() override;
    void FormDestroy() override;
    void UpgradedVersion(const std::string& cfg, bool ok, const TXVersion& v) override;

private:
    void BuildLayout();
    void BuildActions();
    void BuildFavorites(); // UFMainFavorites.cpp
    void MenuClick(TXMenuItem& item);
    void PopupMenuClick(TXMenuItem& item);
    void RefreshFavoriteButtons();
    void LoadFavorites();
    void OpenPasswordChange();
    void CreateMainSession();

    std::unique_ptr<TXDBDataBaseStructure> mDBase;
    bool mClockOk = false;
    bool mPanelExpanded = true;
    std::unique_ptr<TXSQLSessionGUI> mMainSession;
    int64_t mFavoriteSaves = 0;

    TXActionList mActions;
    TXMenuItem mMenu;
    TXFavorites mFavorites{kFavoriteCount};
    std::vector<QToolButton*> mButtons;
    QMenu* mPopup = nullptr;
    int mPopupTarget = 0;

    QWidget* mPMain = nullptr;
    QToolButton* mBPMain = nullptr;
    QWidget* mPMainInternal = nullptr;
    QTabWidget* mPCMain = nullptr;
    std::vector<QLabel*> mStatus;
};

// The application's main window; nullptr when there is none.
TFMain* MainForm();
// The application-wide database structure (the main window's schema script); nullptr without one.
TXDBDataBaseStructure* AppDatabaseStructure();

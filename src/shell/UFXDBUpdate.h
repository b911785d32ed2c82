#pragma once
// The upgrade screen "Atualização de banco de dados": one row per configuration being upgraded and
// the button that leaves it. The work is done by its TXDBUpgrade.

#include <QDialog>

#include <memory>

class QPushButton;
class QTableWidget;
class TXDBUpgrade;
class TXDataClient;

class TFXDBUpdate : public QDialog {
    Q_OBJECT
public:
    // Takes the logic and opens its session on client.
    TFXDBUpdate(std::unique_ptr<TXDBUpgrade> logic, TXDataClient& client, QWidget* parent = nullptr);
    ~TFXDBUpdate() override;

    TXDBUpgrade& Logic() const { return *mLogic; }
    QTableWidget* Grid() const { return mGrid; }
    QPushButton* ExitButton() const { return mExit; }

protected:
    void reject() override;

private:
    void Refresh();

    std::unique_ptr<TXDBUpgrade> mLogic;
    QTableWidget* mGrid = nullptr;
    QPushButton* mExit = nullptr;
    bool mForced = false;
};

#include "shell/UFXDBUpdate.h"

#include "foundation/UCp1252.h"
#include "foundation/UXQtText.h"
#include "shell/UXDBUpgrade.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TFXDBUpdate::TFXDBUpdate(std::unique_ptr<TXDBUpgrade> logic, TXDataClient& client, QWidget* parent)
    : QDialog(parent), mLogic(std::move(logic)) {
    setWindowTitle(QString::fromUtf8("Atualização de banco de dados"));
    auto* layout = new QVBoxLayout(this);
    mGrid = new QTableWidget(0, 4, this);
    mGrid->setHorizontalHeaderLabels({QStringLiteral("CFG"), QString::fromUtf8("Versão anterior"),
                                      QString::fromUtf8("Versão atual"), QStringLiteral("Status")});
    mGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mGrid->verticalHeader()->hide();
    mGrid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(mGrid);
    mExit = new QPushButton(QStringLiteral("Sair"), this);
    layout->addWidget(mExit, 0, Qt::AlignRight);
    resize(560, 220);
    connect(mExit, &QPushButton::clicked, this, &TFXDBUpdate::reject);

    mLogic->OnChanged = [this] { Refresh(); };
    mLogic->OnCloseNow = [this] {
        mForced = true;
        reject();
    };
    mLogic->Setup(client);
}

TFXDBUpdate::~TFXDBUpdate() {
    mLogic->OnChanged = nullptr;
    mLogic->OnCloseNow = nullptr;
}

void TFXDBUpdate::Refresh() {
    const int n = mLogic->RowCount();
    mGrid->setRowCount(n);
    for (int i = 0; i < n; ++i) {
        const TUpdateData& row = mLogic->Row(i);
        const QString cells[4] = {ToQString(row.CFG), ToQString(VersionToStr(row.OldVersion)),
                                  ToQString(VersionToStr(row.NewVersion)), ToQString(mLogic->StatusText(i))};
        for (int c = 0; c < 4; ++c) {
            if (auto* item = mGrid->item(i, c))
                item->setText(cells[c]);
            else
                mGrid->setItem(i, c, new QTableWidgetItem(cells[c]));
        }
    }
    mExit->setText(mLogic->Finished() ? QStringLiteral("Terminado") : QStringLiteral("Sair"));
}

// Closing the window, Escape and the button all come here (QDialog's close event rejects).
void TFXDBUpdate::reject() {
    if (mForced || mLogic->CloseRequested())
        QDialog::reject();
}

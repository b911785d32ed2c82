#include "shell/UFXFrame.h"

#include "foundation/UXMainExec.h"
#include "shell/UFXMain.h"

#include <QLayout>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

TFXFrame::TFXFrame(QWidget* container)
    : QWidget(container), mContainer(container), mCallData(std::make_unique<TXCallData>()) {
    if (auto* scroll = qobject_cast<QScrollArea*>(container)) {
        scroll->setWidgetResizable(true);
        scroll->setWidget(this);
    } else if (container) {
        QLayout* layout = container->layout();
        if (!layout) {
            layout = new QVBoxLayout(container);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        layout->addWidget(this);
    }
    if (TFXMain* main = MainWindow())
        main->RegisterFrame(this);
}

TFXFrame::~TFXFrame() {
    if (TFXMain* main = MainWindow())
        main->UnregisterFrame(this);
}

void TFXFrame::SetCallData(std::unique_ptr<TXCallData> data) {
    if (data)
        mCallData = std::move(data);
}

bool TFXFrame::Close(int value, bool force) {
    if (mClosing)
        return true;
    if (!force && !CanClose())
        return false;
    mClosing = true;
    mCloseValue = value;
    if (TFXMain* main = MainWindow())
        main->UnregisterFrame(this);
    // Out of sight now, freed once the current event has returned.
    QWidget* gone = mOwnsContainer && mContainer ? mContainer.data() : this;
    for (QWidget* w = gone->parentWidget(); w; w = w->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            const int index = tabs->indexOf(gone);
            if (index >= 0)
                tabs->removeTab(index);
            break;
        }
    gone->hide();
    TXMainExec::Instance().FreeLater(gone);
    return true;
}

#pragma once
// Base of every screen: a widget installed in the container it was opened in (tab sheet, window or
// panel), registered in the main window's frame list while it lives.

#include "foundation/UXDataList.h"
#include "shell/UXCallData.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class TFXFrame : public QWidget {
    Q_OBJECT
public:
    // Installs the frame in container (filling it) and registers it with the main window.
    explicit TFXFrame(QWidget* container);
    ~TFXFrame() override;

    QWidget* Container() const { return mContainer; }
    TFXFrame* Caller() const { return mCaller; }
    void SetCaller(TFXFrame* caller) { mCaller = caller; }
    TXCallData& CallData() { return *mCallData; }
    // Replaces the call data; an empty argument keeps the current one.
    void SetCallData(std::unique_ptr<TXCallData> data);
    TXDataList& Params() { return mParams; }
    int CloseValue() const { return mCloseValue; }

    // Shown as the tab or window title.
    virtual QString FrameCaption() const { return windowTitle(); }
    // Registration screens start on the record of their parameters instead of a new one.
    virtual void SetUpdateMode() {}
    // Whether the frame may close now (unsaved changes...); not asked when forced.
    virtual bool CanClose() { return true; }

    // Closes with value (1 confirmed, 0 cancelled); false when the frame refused.
    bool Close(int value, bool force);
    // The container was made for this frame (tab sheet or window) and goes with it.
    void SetOwnsContainer(bool owns) { mOwnsContainer = owns; }
    bool OwnsContainer() const { return mOwnsContainer; }

private:
    QPointer<QWidget> mContainer;
    QPointer<TFXFrame> mCaller;
    std::unique_ptr<TXCallData> mCallData;
    TXDataList mParams;
    int mCloseValue = 0;
    bool mOwnsContainer = false;
    bool mClosing = false;
};

// The "Webcam" tab's controls as the webcam scanner drives them: the device
// list, the Start/STOP button, the last frame's picture and the pane of the
// last code read with its row of actions. The window builds the controls; this
// view only shows what the scanner hands it.
#pragma once

#include "app/WebcamScan.h"

#include <functional>

class TPictureBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class TActionRow;
class TInputGate;

struct TWebcamTabControls {
    QComboBox* devices = nullptr;
    QPushButton* button = nullptr;
    TPictureBox* frame = nullptr;
    QPlainTextEdit* text = nullptr;
    TActionRow* actions = nullptr;
    QStatusBar* status = nullptr;
    // Where a code that came into view goes (the history); empty: nowhere.
    std::function<void(const TDecodedCode&, const QString&)> codeAppeared;
};

class TWebcamTabView : public TWebcamScanView {
public:
    // The controls stay the window's; the view holds their input gate, a
    // child of the button.
    explicit TWebcamTabView(const TWebcamTabControls& controls);

    void ShowDevices(const QStringList& devices) override;
    void SelectDevice(const QString& name) override;
    void SetDeviceListNotice(const QString& notice) override;
    int DeviceCount() const override;
    QString SelectedDevice() const override;
    QString ButtonCaption() const override;
    void SetButtonCaption(const QString& caption) override;
    void SetButtonEnabled(bool enabled) override;
    void DropQueuedButtonInput() override;
    void ShowFrame(const QImage& frame) override;
    void ClearFrame() override;
    void ShowDecodedText(const QString& text) override;
    void ClearDecodedText() override;
    void CodeAppeared(const TDecodedCode& code, const QString& camera) override;
    void ReportError(const QString& message) override;
    void ShowStatus(const QString& text) override;

private:
    TWebcamTabControls fControls;
    TInputGate* fButtonGate; // drops input to the button while closed
};

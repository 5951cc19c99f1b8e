#pragma once

#include "capture/EventConnection.h"
#include "history/HistoryRecorder.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QObject;
class TPictureDecoder;
struct TAppState;
struct TDecodedCode;
class TVideoImage;

// What the webcam scan needs of the window that shows it.
class TWebcamScanView {
public:
    virtual ~TWebcamScanView() = default;
    // Replaces the device list by `devices` and selects the first one.
    virtual void ShowDevices(const QStringList& devices) = 0;
    // Selects the listed device of that name; nothing when none is listed.
    virtual void SelectDevice(const QString& name) = 0;
    // The text shown in the device list's place while it lists nothing.
    virtual void SetDeviceListNotice(const QString& notice) = 0;
    // The number of devices listed, and the selected one's name.
    virtual int DeviceCount() const = 0;
    virtual QString SelectedDevice() const = 0;
    // The Start/STOP button. Its caption (without access-key marks) is the
    // state: "Start" while no capture runs, "STOP" while one runs.
    virtual QString ButtonCaption() const = 0;
    virtual void SetButtonCaption(const QString& caption) = 0;
    // Greys the button (false) or makes it usable again.
    virtual void SetButtonEnabled(bool enabled) = 0;
    // Clicks on the button that queued while it showed its earlier caption
    // are thrown away: the user made them on another button.
    virtual void DropQueuedButtonInput() = 0;
    // The last delivered frame, or none.
    virtual void ShowFrame(const QImage& frame) = 0;
    virtual void ClearFrame() = 0;
    // The result pane: shown when hidden, its text replaced.
    virtual void ShowDecodedText(const QString& text) = 0;
    // The result pane emptied and hidden, as before the first code.
    virtual void ClearDecodedText() = 0;
    // A code that came into view of `camera` (as listed), for the history:
    // once when it appears, not once a frame (THistoryRecorder).
    virtual void CodeAppeared(const TDecodedCode& code, const QString& camera)
    {
        Q_UNUSED(code);
        Q_UNUSED(camera);
    }
    // The default error handler.
    virtual void ReportError(const QString& message) = 0;
    // A note in the status bar for a few seconds.
    virtual void ShowStatus(const QString& text) = 0;
};

// The webcam tab: the device list, Start/STOP and the frame road. It owns the
// video front-end; every delivered frame is shown and decoded with the decode
// options selected at that moment, code format included (the window's
// TAppState::SelectedDecodeOptions), and a decoded text
// stays in the pane until another frame yields one, or until a capture of
// another camera starts or a camera fails: the pane then no longer speaks for
// what is shown, and is emptied. A camera that fails or ends by itself is
// stopped as STOP stops it, and the reason is reported once. While no camera
// is listed, the list says so and Start is greyed.
// The window never waits for the cameras' list: showing the tab lists at once
// what is known (the cameras of the last listing, the camera sources) and has
// the system's cameras listed off the GUI thread; the answer replaces the list
// when it differs, keeping a device the user picked meanwhile. A device
// provider that does not answer in time is named once in the status bar, and
// its cameras are left out.
// The user's extra camera sources, cameras.ini in DataFolder (TCameraSources),
// are listed after the real cameras; the file is read at every listing.
// Frames are decoded in the decoder process; when it stops on a frame, the
// scan goes on with a fresh one after a short pause, and the status bar says
// so once a capture.
class TWebcamScanner {
public:
    // ownerWindow: owner of the camera's dialogs (may be nullptr); `decoder`
    // decodes the frames with `state`'s decode options, read at each frame.
    // Created on the GUI thread, which must run a Qt event loop for frames to
    // arrive, after `state`'s DataFolder is chosen; `state` outlives it.
    TWebcamScanner(TWebcamScanView& view, QObject* ownerWindow, TPictureDecoder& decoder, const TAppState& state);
    // Stops a running capture; no frame reaches the view afterwards.
    ~TWebcamScanner();
    TWebcamScanner(const TWebcamScanner&) = delete;
    TWebcamScanner& operator=(const TWebcamScanner&) = delete;

    // The tab control's page change: page 1 (the webcam tab) lists the devices
    // anew; any other page leaves everything as it is, a capture included.
    void PageChanged(int index);
    // The Start/STOP button.
    void StartStop();
    // Stops a running capture as STOP does, without pumping events (for
    // closing the window and leaving the program).
    void Stop();

    // One delivered frame: shown, decoded, its text put in the pane; then the
    // pending events are processed. Errors of the decode are passed over; a
    // decoder that stopped is said once a capture.
    void NewVideoFrame(TVideoImage* Sender, std::int32_t Width, std::int32_t Height, const std::uint8_t* DataPtr);
    // The capture failed or ended by itself.
    void VideoCaptureEnded(TVideoImage* Sender, const QString& Message);
    // The answer of the listing started by PageChanged.
    void DevicesListed(const QStringList& Devices, const QStringList& SilentProviders);

    TVideoImage& VideoImage() { return *fVideoImage; }

    static const QString kStartCaption;          // "Start"
    static const QString kStopCaption;           // "STOP"
    static const QString kCameraSourcesFileName; // "cameras.ini"

private:
    // Start is usable while a device is listed; STOP always.
    void UpdateButton();
    void ClearDecodedText();

    TWebcamScanView& fView;
    TPictureDecoder& fDecoder;
    const TAppState& fState;
    std::unique_ptr<TVideoImage> fVideoImage;
    bool fStopSaid = false;     // the status bar said this capture's decoder stopped
    QString fRunningDevice;     // as listed, of the capture started last
    QString fPaneDevice;        // whose frame gave the pane's text; empty: none
    QStringList fListed;        // the device list shown last
    THistoryRecorder fRecorder; // which codes in view were handed on as appeared
    // The front-end's events reach this object while these live.
    TEventConnection fFrameConnection, fEndConnection, fErrorConnection, fListConnection;
};

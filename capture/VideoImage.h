// TVideoImage: the object through which a window does webcam capture.
//
// It lists the cameras, starts and stops capture of one camera (TVideoSample)
// and carries every captured frame from GStreamer's streaming thread to the
// GUI thread. The GUI thread never waits for the cameras' list: ListDevices
// has it made on a thread of its own (TCameraListing), and the capture picks
// from the list made last.
//
//
//   streaming thread: CopyFrameToRing copies the raw sample into the next of
//     three ring slots, publishes that slot as the newest and posts a frame
//     notification; it never waits for the GUI thread.
//   GUI thread: the notification raises OnNewVideoFrame unless a frame is
//     still being handled (then it is only counted in FramesSkipped); the
//     handler asks for the picture with GetBitmap, which converts the newest
//     sample at most once per notification.
//
// While the GUI thread converts a slot it marks it as in use; the streaming
// thread then passes over that slot to the next one, so a long conversion
// never reads a slot that is being overwritten.
//
// VideoStart does not wait for the camera. Every sample carries the stream
// format it came in (told by the capture pipeline on the streaming thread),
// and the GUI thread adopts that format when it handles the sample; so the
// first handled frame brings the format, as does a later change. A capture
// that fails or ends by itself (the camera busy, unplugged, the pipeline
// failing, the end of the stream) is stopped on the GUI thread and reported
// once through OnCaptureEnded.
//
// Every operation except CopyFrameToRing belongs to the GUI thread, which
// must run a Qt event loop (or pump events) for notifications to arrive.
#pragma once

#include "capture/EventConnection.h"
#include "capture/FrameConversion.h"
#include "capture/ResultCodes.h"
#include "capture/SampleDelivery.h"

#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QEvent;
class QObject;
class QPaintDevice;
class QTimer;
class TCameraListing;
class TVideoSample;
class TVideoImage;
struct TCaptureDevice;
struct TSystemCameras;

// The owner's frame event: Sender, the stream's Width and Height, and the
// address of the newest raw sample (in the camera's format; valid until the
// ring reuses its slot).
using TNewVideoFrameEvent =
    std::function<void(TVideoImage* Sender, std::int32_t Width, std::int32_t Height, const std::uint8_t* DataPtr)>;

// The owner's capture-end event: the capture failed or ended by itself and
// has been stopped (as VideoStop does); Message says why, for the user.
using TCaptureEndedEvent = std::function<void(TVideoImage* Sender, const QString& Message)>;

// The owner's device-list event: the names of all video input devices as a
// listing found them (as GetListOfDevices gives them), and the long names of
// the device providers this listing was the first to pass over, since they
// do not answer (said once: later listings pass over them silently).
using TDevicesListedEvent =
    std::function<void(TVideoImage* Sender, const QStringList& Devices, const QStringList& SilentProviders)>;

// Receives the text of an error raised by the frame event or while painting.
using TVideoErrorHandler = std::function<void(const QString& Message)>;

// A millisecond clock that wraps at 2^32.
using TMillisecondClock = std::function<std::uint32_t()>;

// Called on the streaming thread for every sample: once when it arrives
// (Stored false) and once when it has been stored and posted (Stored true),
// with the sample's frame number since the last start (1, 2, ...).
using TSampleObserver = std::function<void(std::int32_t FrameNumber, bool Stored)>;

class TVideoImage {
public:
    // OwnerWindow: owner of the camera's dialogs (may be nullptr). Must be
    // created on the GUI thread.
    explicit TVideoImage(QObject* OwnerWindow = nullptr);
    // Stops a running capture, then drops the notifications still queued for
    // this object and releases everything it owns.
    ~TVideoImage();
    TVideoImage(const TVideoImage&) = delete;
    TVideoImage& operator=(const TVideoImage&) = delete;

    // --- Properties
    bool IsPaused() const;
    // Capture started and not stopped; also while the first frame is awaited.
    bool VideoRunning() const { return fVideoRunning; }
    // The stream format of the frame handled last; 0 after VideoStart until
    // the first frame of the new stream is handled.
    std::int32_t VideoWidth() const { return fConverter.Width(); }
    std::int32_t VideoHeight() const { return fConverter.Height(); }
    std::uint32_t VideoFourCC() const { return fConverter.FourCC(); }
    bool Gray8Bit() const { return fConverter.Gray8Bit(); }
    void SetGray8Bit(bool value) { fConverter.SetGray8Bit(value); } // effective at the next conversion
    // The owner's events. Each has one handler, which it reaches while the
    // connection given here lives (EventConnection.h): keep the connection
    // beside what the handler uses, so that a frame still queued never
    // reaches a handler whose objects are gone.
    [[nodiscard]] TEventConnection SetOnNewVideoFrame(TNewVideoFrameEvent handler)
    {
        return fOnNewFrame.Connect(std::move(handler));
    }
    // Without a handler the message goes to the error handler.
    [[nodiscard]] TEventConnection SetOnCaptureEnded(TCaptureEndedEvent handler)
    {
        return fOnCaptureEnded.Connect(std::move(handler));
    }
    // Without a handler the device list is dropped.
    [[nodiscard]] TEventConnection SetOnDevicesListed(TDevicesListedEvent handler)
    {
        return fOnDevicesListed.Connect(std::move(handler));
    }
    // Why the last VideoStart failed, or why the last capture ended by itself.
    QString LastError() const { return fLastError; }
    // True when the last capture ended by itself at the end of its stream (a
    // video file played to its end) rather than by a failure.
    bool StreamFinished() const { return fStreamFinished; }
    // A running capture that has stored no sample for this long (since its
    // start, or since its last sample; pausing does not count) is ended as
    // one that ended by itself. Some cameras just stop when they go away (one
    // reached through PipeWire, say) and others never send anything.
    static constexpr std::chrono::milliseconds kDefaultStallTimeout{10000};
    void SetStallTimeout(std::chrono::milliseconds timeout);
    double FramesPerSecond() const { return fFPS.load(); }
    std::int32_t FramesSkipped() const { return fSkipCnt; }
    // Samples stored since the last start.
    std::int32_t FrameCount() const { return fFrameCnt.load(); }

    // --- Operations
    // Clears the list and fills it with the names of all video input devices,
    // in enumeration order, untrimmed; the second and later devices of one
    // name are listed as "Name #2", "Name #3", which VideoStart understands.
    // It waits for the device providers (up to their time limit each): a
    // window lists with ListDevices.
    static void GetListOfDevices(QStringList& DeviceList);
    // Lists the devices without waiting: starts a listing of the system's
    // cameras on a thread of its own (one still under way is dropped) and
    // returns the names known now, as GetListOfDevices gives them: the
    // system's cameras as the last listing found them (none before the first
    // answer) and the camera sources as they are now. The listing's answer
    // comes through OnDevicesListed.
    QStringList ListDevices();
    // A listing has been started and has not answered yet.
    bool DeviceListPending() const;
    // Starts capture of the named device (an empty name: the first one). A
    // running capture is stopped first. 0: started, without waiting for the
    // first frame; 1: failed (LastError says why), and idle. A camera that
    // fails after a successful start is reported through OnCaptureEnded.
    // Once ListDevices has been called, the device is picked among the
    // system's cameras of the last answer (none before the first) and the
    // camera sources as they are now, and no device provider is asked;
    // before, the devices are listed here as GetListOfDevices lists them.
    std::int32_t VideoStart(const QString& DeviceName);
    // Stops capture; no sample arrives afterwards. Notifications already
    // queued are still handled and show the last stored sample.
    void VideoStop();
    void VideoPause();
    void VideoResume();
    // BMP becomes a copy of the newest picture: 24 bits per pixel, or the gray
    // form in gray mode. The newest sample is converted at most once per
    // notification (and again only when a newer sample was stored meanwhile).
    void GetBitmap(QImage& BMP);
    // A surface every handled frame is painted on at (0, 0), or nullptr.
    // Not owned: the caller clears it before the surface goes. A frame is not
    // painted while another painter is active on the surface.
    void SetDisplayCanvas(QPaintDevice* Canvas) { fDisplayCanvas = Canvas; }
    static void Convert24ToGray(const QImage& BM24, QImage& BMGray);

    // --- Camera settings; these need a running capture (else they do nothing
    // and return 1, or 0 for SetVideoPropertySettings).
    void ShowProperty();
    void ShowProperty_Stream();
    HRESULT ShowVfWCaptureDlg();
    void GetListOfSupportedVideoSizes(QStringList& VidSize) const;
    void SetResolutionByIndex(int Index);
    HRESULT GetVideoPropertySettings(int VP, int& MinVal, int& MaxVal, int& StepSize, int& Default, int& Actual,
                                     bool& AutoMode);
    HRESULT SetVideoPropertySettings(int VP, int Actual, bool AutoMode);

    // --- Error reporting: errors raised by OnNewVideoFrame or while painting
    // go here (without a handler: to the Qt warning log); capture goes on.
    [[nodiscard]] TEventConnection SetErrorHandler(TVideoErrorHandler handler)
    {
        return fErrorHandler.Connect(std::move(handler));
    }

    // --- The sample callback, on the streaming thread. The sample is stored
    // with the format told last (OnSampleFormat, or SetStreamFormat).
    void CopyFrameToRing(const std::uint8_t* pb, int& Size);
    void OnSampleFormat(const TSampleFormat& Format);

    // --- For tests and measurements
    // The stream format the samples are converted for, and the one the
    // samples stored next come in. While capturing it follows the stream;
    // set by hand only while idle, to feed samples through CopyFrameToRing
    // directly.
    void SetStreamFormat(std::int32_t Width, std::int32_t Height, std::uint32_t FourCC);
    // Replaces the millisecond clock (empty: the system's); only while idle.
    void SetMillisecondClock(TMillisecondClock clock) { fClock = std::move(clock); }
    // Sets the sample observer, called while the connection lives; when the
    // connection is dropped, a call under way on the streaming thread has
    // ended.
    [[nodiscard]] TEventConnection SetSampleObserver(TSampleObserver observer)
    {
        return fSampleObserver.Connect(std::move(observer));
    }
    // Conversions made since creation.
    std::int64_t ConversionCount() const { return fConversionCnt; }
    // Frame number of the sample converted last (0: none).
    std::int32_t ConvertedFrameNumber() const { return fConvertedFrame; }
    // The event types of the frame notification and of the capture's end.
    static int NotificationType();
    static int CaptureEndType();

private:
    friend class TFrameNotifier;
    static constexpr int kSlots = 3;

    void DevicesListed(TSystemCameras& cameras);
    void HandleFrameMessage(QEvent* event);
    void HandleCaptureEnd(int serial);
    // Looks whether the running capture has stalled (the watchdog's tick).
    void CheckStall();
    // Stops the capture and tells the owner why.
    void EndCapture(const QString& message);
    // Why the running capture failed or ended, for the user.
    QString CaptureFailureText(bool started) const;
    void PaintToCanvas();
    // Converts the newest sample when it has not been converted yet.
    void UnpackNewest();
    // Marks the newest slot as in use by the GUI thread and gives it.
    int MarkNewestInUse();
    // Makes the conversion follow the format of the slot's sample.
    void AdoptSlotFormat(int slot);
    void AdoptNewestFormat();
    void ReportError(const QString& message);
    std::uint32_t ReadClock() const;
    int NextFreeSlot() const;

    QObject* fOwnerWindow = nullptr;
    std::unique_ptr<TVideoSample> VideoSample;
    TEventConnection fSampleConnection; // of CopyFrameToRing to VideoSample
    bool fVideoRunning = false;
    bool fBusy = false;
    std::int32_t fSkipCnt = 0;

    // Written by the streaming thread, reset by the GUI thread while idle.
    std::atomic<std::int32_t> fFrameCnt{0};
    std::atomic<std::uint32_t> f30FrameTick{0};
    std::atomic<double> fFPS{0.0};

    // Conversion: stream format, gray mode and the pictures (GUI thread).
    TFrameConverter fConverter;
    QPaintDevice* fDisplayCanvas = nullptr;

    // The ring. A slot's buffer and size are replaced by the streaming thread
    // only while the slot is neither the newest nor in use by the GUI thread.
    std::atomic<std::uint8_t*> fImagePtr[kSlots] = {};
    std::atomic<std::int32_t> fImagePtrSize[kSlots] = {};
    std::atomic<std::int32_t> fSlotFrame[kSlots] = {}; // frame number of each slot's sample
    std::atomic<std::int32_t> fSlotWidth[kSlots] = {}; // format of each slot's sample
    std::atomic<std::int32_t> fSlotHeight[kSlots] = {};
    std::atomic<std::uint32_t> fSlotFourCC[kSlots] = {};
    TSampleFormat fIncomingFormat;               // of the samples stored next (streaming thread; GUI thread while idle)
    std::atomic<std::int32_t> fImagePtrIndex{0}; // the newest slot
    std::atomic<std::int32_t> fSlotInUse{-1};    // the slot the GUI thread reads, or -1
    // True while the converter's picture shows the newest slot's sample, so
    // that it is converted once however often it is asked for. Cleared by
    // the streaming thread after it publishes a sample and by the GUI thread
    // when a notification arrives; set by the GUI thread after a conversion,
    // and cleared again by it when a sample was published meanwhile (the
    // streaming thread's clearing may have come before the setting).
    std::atomic<bool> fImageUnpacked{false};

    std::unique_ptr<QObject> fMessageReceiver; // lives on the GUI thread
    int fMsgNewFrame = 0;
    int fCaptureSerial = 0;        // counts the starts; an end notification names its capture
    QTimer* fStallWatch = nullptr; // ticks while capturing; owned by fMessageReceiver
    std::chrono::milliseconds fStallTimeout = kDefaultStallTimeout;
    QElapsedTimer fSinceProgress;    // since the last sample (or start, or pause) seen by CheckStall
    std::int32_t fProgressFrame = 0; // fFrameCnt then
    QString fDeviceName;             // of the running capture
    QString fLastError;
    bool fStreamFinished = false;
    TEventHandler<TNewVideoFrameEvent> fOnNewFrame;
    TEventHandler<TCaptureEndedEvent> fOnCaptureEnded;
    TEventHandler<TDevicesListedEvent> fOnDevicesListed;
    std::unique_ptr<TCameraListing> fCameraListing;
    // The system's cameras of the last listing's answer; set (empty) by the
    // first ListDevices, and VideoStart picks from it from then on.
    std::shared_ptr<const std::vector<TCaptureDevice>> fSystemCameras;
    TEventHandler<TVideoErrorHandler> fErrorHandler;
    TMillisecondClock fClock;
    TSharedEventHandler<TSampleObserver> fSampleObserver; // called on the streaming thread
    std::int64_t fConversionCnt = 0;
    std::int32_t fConvertedFrame = 0;
};

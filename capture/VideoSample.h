// TVideoSample: one capture pipeline for one camera. It finds the camera by
// name, runs source -> caps filter (the camera's own format) -> appsink, and
// hands every sample as raw bytes to the sample callback on GStreamer's
// streaming thread. Only formats the frame conversion reads are taken as they
// come (YUY2, I420, YV12, BGR, motion JPEG); a camera that offers none of them
// is converted on the way (caps filter -> videoconvert -> a raw format the
// conversion reads). All operations are called from one thread (the GUI
// thread); only the sample callback runs elsewhere.
#pragma once

#include "capture/CameraSettings.h"
#include "capture/CaptureDevices.h"
#include "capture/GstSupport.h"
#include "capture/ResultCodes.h"
#include "capture/SampleDelivery.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <QString>
#include <QStringList>

class QObject;

enum TPLAYSTATE : std::uint8_t { PS_Stopped = 0, PS_Paused = 1, PS_Running = 2 };

class TVideoSample {
public:
    // Creates the pipeline objects. owner: parent of the dialogs (may be
    // nullptr). ForceRGB: convert every camera to 24-bit BGR. WhichMethodToCallback:
    // 0 or 1, both deliver through the same sample callback here. HR: S_OK, or
    // the failure; a failed object fails in StartVideo and is destroyed normally.
    TVideoSample(QObject* owner, bool ForceRGB, int WhichMethodToCallback, HRESULT& HR);
    ~TVideoSample(); // Destroy()
    TVideoSample(const TVideoSample&) = delete;
    TVideoSample& operator=(const TVideoSample&) = delete;

    // Finds the device (FindCaptureDevice rules), loads its capability list,
    // builds the pipeline and runs it, waiting until the first sample arrived
    // (or an error, or a time-out; a failure leaves it stopped). Visible (a preview window) is not offered:
    // true gives E_NOTIMPL. No matching device: HResultFromErrno(ENODEV).
    HRESULT StartVideo(const QString& CaptureDeviceName, bool Visible, QString& DeviceSelected);
    // Runs the pipeline of the last started device again (rebuilding it after
    // DeleteCaptureGraph), waiting for the first sample as StartVideo does.
    HRESULT RestartVideo();
    HRESULT PauseVideo();  // Running -> Paused; Paused: 0; Stopped: 1
    HRESULT ResumeVideo(); // Paused -> Running; Running: 0; Stopped: 1
    HRESULT StopVideo();   // -> Stopped; the capability list is emptied
    HRESULT SetPreviewState(bool nShow); // true: run unless running; false: stop
    TPLAYSTATE GetPlayState() const { return g_psCurrent; }
    TPLAYSTATE PlayState() const { return g_psCurrent; }

    // Sets the sample callback, effective for the next sample; may be called
    // while running. When it returns, a running call of the previous callback
    // has ended. Not to be called from inside the callback.
    void SetCallBack(const TVideoSampleCallBack& CB);

    // The negotiated stream: width, height and FourCC (0 for 24-bit RGB, else
    // "YUY2", "I420", "YV12", "MJPG", ... as little-endian numbers). A format
    // that is neither raw video nor JPEG gives 0 x 0 and 0 with S_OK. No
    // negotiated stream: E_FAIL.
    HRESULT GetStreamInfo(int& Width, int& Height, std::uint32_t& FourCC);
    // Size of the negotiated stream; 0 x 0 when there is none.
    void GetVideoSize(int& Width, int& Height);

    // Stops the pipeline and takes the source out; RestartVideo rebuilds it.
    void DeleteCaptureGraph();
    // Full teardown: the callback is detached and the pipeline stopped before
    // anything is freed; afterwards no callback runs. Safe to call twice.
    void Destroy();

    // True once the stream ended: an error (a camera that went away, a failed
    // negotiation) or end of stream. No further samples arrive then.
    bool StreamEnded() const { return fEnded.load(); }
    QString StreamError() const;

    // --- Capability list and format switch
    void GetListOfVideoSizes(QStringList& VidSize) const; // empty while stopped
    const std::vector<TFormatInfo>& FormatList() const { return FormatArr; }
    // Switches the running stream to entry ListIndex; out of range: 1 and nothing happens.
    HRESULT SetVideoSizeByListIndex(int ListIndex);

    // --- Image controls (V4L2 controls of the device node; 1 without them)
    HRESULT GetVideoPropAmpEx(int prop, std::int32_t& min, std::int32_t& max, std::int32_t& step, std::int32_t& defaultValue,
                              std::int32_t& flags, std::int32_t& value);
    HRESULT SetVideoPropAmpEx(int prop, std::int32_t flags, std::int32_t value);
    void GetVideoPropAmpPercent(int Prop, int& AcPerCent);
    void SetVideoPropAmpPercent(int Prop, int AcPerCent);
    TImageControls* ImageControls() const { return fControls.get(); }
    // Replaces the image controls (used for cameras whose controls come from elsewhere).
    void SetImageControls(std::unique_ptr<TImageControls> controls) { fControls = std::move(controls); }

    // --- Extended properties: raw V4L2 controls by identifier. Without a device node: E_NOINTERFACE.
    HRESULT GetExProp(std::uint32_t controlId, std::int32_t& value);
    HRESULT SetExProp(std::uint32_t controlId, std::int32_t value);

    // --- Dialogs (modal; need InstallCameraDialogs). ShowPropertyDialog: the
    // image controls, E_NOINTERFACE when the camera has none.
    // ShowPropertyDialog_CaptureStream: pick from the capability list; the
    // choice is applied as SetVideoSizeByListIndex. ShowVfWCaptureDlg: there is
    // no older-driver dialog, always E_NOTIMPL.
    HRESULT ShowPropertyDialog();
    HRESULT ShowPropertyDialog_CaptureStream();
    HRESULT ShowVfWCaptureDlg();

    // --- Copy of the current sample
    // Whether the grabber keeps the newest sample for GetImageBuffer. Off by
    // default: the grabber then holds no second reference to any frame.
    void SetBufferSamples(bool buffer);
    // Copies the newest sample, in the layout the sample callback gets, into
    // pb: a block whose Size differs from the sample's is freed and a new one
    // of the sample's size made; Size becomes the sample's size. The grabber
    // must buffer samples: otherwise E_INVALIDARG, without a stream
    // VFW_E_NOT_CONNECTED, before the first sample VFW_E_WRONG_STATE; pb and
    // Size stay as they were on every failure.
    HRESULT GetImageBuffer(std::unique_ptr<std::uint8_t[]>& pb, int& Size);

private:
    HRESULT BuildAndRunGraph();
    HRESULT RunAndWait();
    HRESULT SetPipelineState(GstState state);
    // Adds the device's source and links it to the grabber, through a
    // conversion when the camera's format is not one the frame conversion reads.
    HRESULT EnsureSource();
    // Takes the source (and a conversion) out of the stopped pipeline.
    void RemoveSource();
    // The formats the source offers: the chosen capability, else the device's announced caps, else its pad's.
    GstCaps* OfferedCaps(GstElement* source) const;
    int CurrentFormatIndex();
    void LoadFormatList();
    void ResetStreamSignals();
    GstCaps* NegotiatedCaps() const;

    static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer self);
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);

    QObject* ghApp = nullptr;
    bool fForceRGB = false;
    int fWhichMethodToCallback = 0;
    HRESULT fCreated = E_FAIL;
    bool fVisible = false;
    TPLAYSTATE g_psCurrent = PS_Stopped;

    GstElement* fPipeline = nullptr;   // owned
    GstElement* fSource = nullptr;     // in fPipeline while built
    GstElement* fCapsFilter = nullptr;    // the camera's format; narrowed by SetVideoSizeByListIndex
    GstElement* fConvert = nullptr;       // videoconvert, while the camera's format is converted ...
    GstElement* fConvertFilter = nullptr; // ... to one the frame conversion reads (or to 24-bit BGR)
    GstElement* fAppSink = nullptr;       // in fPipeline
    GstCapsPtr fChosenCaps;               // the capability chosen by SetVideoSizeByListIndex, if any
    bool fHasDevice = false;
    bool fBufferSamples = false;
    TCaptureDevice fDevice;

    TSampleDelivery fDelivery;
    std::vector<TFormatInfo> FormatArr;
    std::unique_ptr<TImageControls> fControls;

    // Stream events from the streaming threads, for the start-up wait.
    mutable std::mutex fSignalLock;
    std::condition_variable fSignal;
    std::atomic<bool> fSampleSeen{false};
    std::atomic<bool> fEnded{false};
    QString fError;
};

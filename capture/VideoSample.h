// TVideoSample: one capture pipeline for one camera. It finds the camera by
// name, runs source -> caps filter (the camera's own format) -> appsink, and
// hands every sample as raw bytes to the sample callback on GStreamer's
// streaming thread. Only formats the frame conversion reads are taken as they
// come (YUY2, I420, YV12, BGR, motion JPEG); a camera that offers none of them
// is converted on the way (caps filter -> videoconvert -> a raw format the
// conversion reads). All operations are called from one thread (the GUI
// thread); only the sample callback runs elsewhere.
#pragma once

#include "capture/CaptureDevices.h"
#include "capture/CaptureFormats.h"
#include "capture/GstSupport.h"
#include "capture/ImageControls.h"
#include "capture/ResultCodes.h"
#include "capture/SampleDelivery.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

class QObject;

enum TPLAYSTATE : std::uint8_t { PS_Stopped = 0, PS_Paused = 1, PS_Running = 2 };

using TStreamEndCallBack = std::function<void()>;

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
    // builds the pipeline and runs it. It does not wait for the camera: the
    // stream's format is known (GetStreamInfo) once the first sample has
    // arrived, and a camera that fails after the pipeline started ends the
    // stream (StreamEnded, the stream-end callback). Visible (a preview
    // window) is not offered: true gives E_NOTIMPL. No matching device:
    // HResultFromErrno(ENODEV). On failure StreamError tells why.
    HRESULT StartVideo(const QString& CaptureDeviceName, bool Visible, QString& DeviceSelected);
    // The system's cameras StartVideo picks from, as a listing found them,
    // followed by the camera sources as they are at the start. Without them
    // StartVideo lists the devices itself (ListCaptureDevices), which waits
    // for the device providers.
    void SetSystemCameras(std::vector<TCaptureDevice> cameras) { fSystemCameras = std::move(cameras); }
    // Runs the pipeline of the last started device again (rebuilding it after
    // DeleteCaptureGraph), without waiting, as StartVideo does.
    HRESULT RestartVideo();
    // For callers that want the stream before going on: waits until the first
    // sample since the last (re)start has arrived (S_OK), the stream ended
    // before it (E_FAIL) or the time is up (HResultFromErrno(ETIMEDOUT)); on
    // failure the pipeline is stopped.
    HRESULT WaitForFirstSample(std::chrono::milliseconds timeout);
    HRESULT PauseVideo();                // Running -> Paused; Paused: 0; Stopped: 1
    HRESULT ResumeVideo();               // Paused -> Running; Running: 0; Stopped: 1
    HRESULT StopVideo();                 // -> Stopped; the capability list is emptied
    HRESULT SetPreviewState(bool nShow); // true: run unless running; false: stop
    TPLAYSTATE GetPlayState() const { return g_psCurrent; }
    TPLAYSTATE PlayState() const { return g_psCurrent; }

    // Sets the sample callback, effective for the next sample; may be called
    // while running. The callback is called while the connection lives. When
    // this returns, and when the connection is dropped, a running call of the
    // previous callback has ended. Neither may be done from inside the callback.
    [[nodiscard]] TEventConnection SetCallBack(const TVideoSampleCallBack& CB);
    // Sets the routine called once per run when the stream ends by itself (an
    // error, before or after the first sample, or the end of the stream), on
    // the thread that reports it, which may be a streaming thread or, for a
    // failure while the pipeline starts, the caller's. When it returns, a
    // running call of the previous routine has ended. Must not block.
    void SetStreamEndCallBack(TStreamEndCallBack CB);

    // The negotiated stream (SampleFormatFromCaps): width, height and FourCC
    // (0 for 24-bit RGB, else "YUY2", "I420", "YV12", "MJPG", ... as
    // little-endian numbers). No negotiated stream (before the first sample
    // of a run): E_FAIL.
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
    // True once a sample has arrived since the last (re)start.
    bool SampleSeen() const { return fSampleSeen.load(); }
    // Why the stream failed or could not be started; empty for an end of
    // stream or when all is well.
    QString StreamError() const;
    // True when the last start failed on the source description itself (it
    // does not parse, or has no output); StreamError then holds the reason.
    bool DescriptionInvalid() const;

    // --- Capability list and format switch
    void GetListOfVideoSizes(QStringList& VidSize) const; // empty while stopped
    const std::vector<TFormatInfo>& FormatList() const { return FormatArr; }
    // Switches the running stream to entry ListIndex; out of range: 1 and nothing happens.
    HRESULT SetVideoSizeByListIndex(int ListIndex);

    // --- Image controls (V4L2 controls of the device node; 1 without them)
    HRESULT GetVideoPropAmpEx(int prop, std::int32_t& min, std::int32_t& max, std::int32_t& step,
                              std::int32_t& defaultValue, std::int32_t& flags, std::int32_t& value);
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
    HRESULT Run();
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

    TGstObjectPtr<GstElement> fPipeline;
    GstElement* fSource = nullptr;        // in fPipeline while built
    GstElement* fCapsFilter = nullptr;    // the camera's format; narrowed by SetVideoSizeByListIndex
    GstElement* fConvert = nullptr;       // videoconvert, while the camera's format is converted ...
    GstElement* fConvertFilter = nullptr; // ... to one the frame conversion reads (or to 24-bit BGR)
    GstElement* fAppSink = nullptr;       // in fPipeline
    TGstCapsPtr fChosenCaps;              // the capability chosen by SetVideoSizeByListIndex, if any
    bool fHasDevice = false;
    bool fBufferSamples = false;
    TCaptureDevice fDevice;
    std::optional<std::vector<TCaptureDevice>> fSystemCameras;

    TSampleDelivery fDelivery;
    std::vector<TFormatInfo> FormatArr;
    std::unique_ptr<TImageControls> fControls;

    // Stream events from the streaming threads, for WaitForFirstSample and
    // the stream-end callback.
    mutable std::mutex fSignalLock;
    std::condition_variable fSignal;
    std::atomic<bool> fSampleSeen{false};
    std::atomic<bool> fEnded{false};
    QString fError;
    bool fDescriptionInvalid = false; // under fSignalLock
    TStreamEndCallBack fEndCallBack;  // under fSignalLock
};

// The front-end's reading and writing of an image control. capture may be
// nullptr (no capture running). AutoMode is true when the control is under
// automatic control.
HRESULT GetVideoPropertySettings(TVideoSample* capture, int VP, int& MinVal, int& MaxVal, int& StepSize, int& Default,
                                 int& Actual, bool& AutoMode);
HRESULT SetVideoPropertySettings(TVideoSample* capture, int VP, int Actual, bool AutoMode);

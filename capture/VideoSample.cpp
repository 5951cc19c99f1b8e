#include "capture/VideoSample.h"

#include "capture/CameraDialogRegistry.h"
#include "capture/GstSupport.h"
#include "capture/SampleFormats.h"
#include "capture/ThreadHandOff.h"

#include <gst/video/video.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>

namespace {

// A camera is asked for the formats the frame conversion reads, in their
// order of preference (CameraSampleCaps). A camera that offers none of them
// delivers any raw format, which is converted in the pipeline to one of the
// raw formats the conversion reads (the converter picks the one nearest to
// the camera's: ConvertedSampleCaps), or, when every camera is to give
// 24-bit RGB, to that.
constexpr const char* kRawCaps = "video/x-raw";

QByteArray RgbCaps()
{
    return SampleFormatCaps(*SampleFormatOf(FourCC::RGB));
}

void SetCaps(GstElement* filter, const QByteArray& text)
{
    TGstCapsPtr caps(gst_caps_from_string(text.constData()));
    g_object_set(filter, "caps", caps.get(), nullptr);
}

} // namespace

TVideoSample::TVideoSample(QObject* owner, bool ForceRGB, int WhichMethodToCallback, HRESULT& HR)
    : ghApp(owner)
    , fForceRGB(ForceRGB)
    , fWhichMethodToCallback(WhichMethodToCallback)
{
    EnsureGStreamer();
    HR = fCreated = E_FAIL;
    GstElement* pipeline = gst_pipeline_new("capture");
    if (!pipeline)
        return;
    fPipeline.reset(static_cast<GstElement*>(gst_object_ref_sink(pipeline)));

    fCapsFilter = gst_element_factory_make("capsfilter", "camera-format");
    fAppSink = gst_element_factory_make("appsink", "grabber");
    for (GstElement* element : {fCapsFilter, fAppSink})
        if (element)
            gst_bin_add(GST_BIN(fPipeline.get()), element); // the bin owns them from here on
    if (!fCapsFilter || !fAppSink)
        return;

    // The grabber keeps no samples of its own: at most two wait, older ones are dropped.
    g_object_set(fAppSink, "sync", FALSE, "max-buffers", 2u, "drop", TRUE, "emit-signals", FALSE, nullptr);
    SetBufferSamples(false);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &TVideoSample::OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(fAppSink), &callbacks, this, nullptr);

    // Bus messages are looked at where they are posted and then dropped, so no
    // main loop is needed and nothing piles up on the bus.
    TGstObjectPtr<GstBus> bus(gst_element_get_bus(fPipeline.get()));
    gst_bus_set_sync_handler(bus.get(), &TVideoSample::OnBusMessage, this, nullptr);
    HR = fCreated = S_OK;
}

TVideoSample::~TVideoSample()
{
    Destroy();
}

HRESULT TVideoSample::StartVideo(const QString& CaptureDeviceName, bool Visible, QString& DeviceSelected)
{
    DeviceSelected.clear();
    fVisible = Visible;
    if (Failed(fCreated))
        return fCreated;
    RemoveSource();
    fHasDevice = false;
    fDescriptionInvalid = false;
    fControls.reset();
    FormatArr.clear();
    fChosenCaps.reset();

    // The system's cameras as the window's listing found them, when it gave
    // them: a device provider is not asked again on this thread.
    const std::vector<TCaptureDevice> devices =
        fSystemCameras ? WithCameraSources(*fSystemCameras) : ListCaptureDevices();
    QStringList names;
    for (const TCaptureDevice& device : devices)
        names.append(device.name);
    const int index = FindCaptureDevice(names, CaptureDeviceName, DeviceSelected);
    if (index < 0) {
        std::lock_guard lock(fSignalLock);
        fError = QStringLiteral("No camera of this name is connected.");
        return HResultFromErrno(ENODEV);
    }
    fDevice = devices[index];
    fHasDevice = true;

    if (const HRESULT hr = EnsureSource(); Failed(hr))
        return hr;
    if (!fDevice.nodePath.isEmpty())
        fControls = OpenV4L2Controls(fDevice.nodePath);
    LoadFormatList();
    return RestartVideo();
}

HRESULT TVideoSample::RestartVideo()
{
    if (fVisible)
        return E_NOTIMPL; // no preview window on this platform
    return BuildAndRunGraph();
}

HRESULT TVideoSample::BuildAndRunGraph()
{
    if (const HRESULT hr = EnsureSource(); Failed(hr)) {
        g_psCurrent = PS_Stopped;
        return hr;
    }
    return Run();
}

HRESULT TVideoSample::Run()
{
    // The pipeline is not streaming here (stopped or never run), so the
    // stream events can be reset without a race.
    SetPipelineState(GST_STATE_NULL);
    ResetStreamSignals();
    if (const HRESULT hr = SetPipelineState(GST_STATE_PLAYING); Failed(hr)) {
        SetPipelineState(GST_STATE_NULL);
        g_psCurrent = PS_Stopped;
        return hr;
    }
    g_psCurrent = PS_Running;
    return S_OK;
}

HRESULT TVideoSample::WaitForFirstSample(std::chrono::milliseconds timeout)
{
    {
        std::unique_lock lock(fSignalLock);
        fSignal.wait_for(lock, timeout, [this] { return fSampleSeen.load() || fEnded.load(); });
        if (fSampleSeen.load())
            return S_OK;
    }
    // A camera that fails before its first sample is not left open.
    const HRESULT failure = fEnded.load() ? E_FAIL : HResultFromErrno(ETIMEDOUT);
    SetPipelineState(GST_STATE_NULL);
    g_psCurrent = PS_Stopped;
    return failure;
}

HRESULT TVideoSample::SetPipelineState(GstState state)
{
    if (!fPipeline)
        return E_FAIL;
    // A state change starts or stops the streaming threads that call
    // OnNewSample and OnBusMessage.
    HandOffSent(this);
    const bool failed = gst_element_set_state(fPipeline.get(), state) == GST_STATE_CHANGE_FAILURE;
    HandOffReceived(this);
    return failed ? E_FAIL : S_OK;
}

GstCaps* TVideoSample::OfferedCaps(GstElement* source) const
{
    if (fChosenCaps)
        return gst_caps_ref(fChosenCaps.get());
    if (GstCaps* announced = fDevice.AnnouncedCaps())
        return announced;
    TGstObjectPtr<GstPad> pad(gst_element_get_static_pad(source, "src"));
    return pad ? gst_pad_query_caps(pad.get(), nullptr) : nullptr;
}

HRESULT TVideoSample::EnsureSource()
{
    if (fSource)
        return S_OK;
    if (!fHasDevice || !fCapsFilter)
        return E_FAIL;
    QString error;
    bool descriptionInvalid = false;
    GstElement* source = fDevice.CreateSource(&error, &descriptionInvalid);
    if (!source) {
        std::lock_guard lock(fSignalLock);
        fError = error;
        fDescriptionInvalid = descriptionInvalid;
        return E_FAIL;
    }
    gst_bin_add(GST_BIN(fPipeline.get()), source);
    fSource = source;

    // The camera's own format goes straight to the grabber when the
    // conversion reads it; any other raw format is converted on the way.
    TGstCapsPtr readable(gst_caps_from_string(CameraSampleCaps().constData()));
    TGstCapsPtr offered(OfferedCaps(source));
    const bool convert = fForceRGB || (offered && !gst_caps_can_intersect(offered.get(), readable.get()));
    bool linked;
    if (convert) {
        fConvert = gst_element_factory_make("videoconvert", nullptr);
        fConvertFilter = gst_element_factory_make("capsfilter", "converted-format");
        for (GstElement* element : {fConvert, fConvertFilter})
            if (element)
                gst_bin_add(GST_BIN(fPipeline.get()), element);
        if (fChosenCaps)
            g_object_set(fCapsFilter, "caps", fChosenCaps.get(), nullptr);
        else
            SetCaps(fCapsFilter, kRawCaps);
        if (fConvertFilter)
            SetCaps(fConvertFilter, fForceRGB ? RgbCaps() : ConvertedSampleCaps());
        linked = fConvert && fConvertFilter
                 && gst_element_link_many(source, fCapsFilter, fConvert, fConvertFilter, fAppSink, nullptr);
    } else {
        g_object_set(fCapsFilter, "caps", fChosenCaps ? fChosenCaps.get() : readable.get(), nullptr);
        linked = gst_element_link_many(source, fCapsFilter, fAppSink, nullptr);
    }
    if (!linked) {
        RemoveSource();
        std::lock_guard lock(fSignalLock);
        fError = QStringLiteral("The camera offers no format that can be captured");
        return E_FAIL;
    }
    return S_OK;
}

void TVideoSample::RemoveSource()
{
    if (!fSource)
        return;
    SetPipelineState(GST_STATE_NULL);
    // Removing an element unlinks it and drops the bin's reference.
    for (GstElement** element : {&fSource, &fConvert, &fConvertFilter}) {
        if (*element)
            gst_bin_remove(GST_BIN(fPipeline.get()), *element);
        *element = nullptr;
    }
    gst_element_unlink(fCapsFilter, fAppSink);
}

HRESULT TVideoSample::PauseVideo()
{
    switch (g_psCurrent) {
    case PS_Running: {
        const HRESULT hr = SetPipelineState(GST_STATE_PAUSED);
        if (Succeeded(hr))
            g_psCurrent = PS_Paused;
        return hr;
    }
    case PS_Paused: return S_OK;
    case PS_Stopped: break;
    }
    return S_FALSE;
}

HRESULT TVideoSample::ResumeVideo()
{
    switch (g_psCurrent) {
    case PS_Paused: {
        const HRESULT hr = SetPipelineState(GST_STATE_PLAYING);
        if (Succeeded(hr))
            g_psCurrent = PS_Running;
        return hr;
    }
    case PS_Running: return S_OK;
    case PS_Stopped: break;
    }
    return S_FALSE;
}

HRESULT TVideoSample::StopVideo()
{
    const HRESULT hr = fPipeline ? SetPipelineState(GST_STATE_NULL) : S_OK;
    g_psCurrent = PS_Stopped;
    FormatArr.clear();
    return hr;
}

HRESULT TVideoSample::SetPreviewState(bool nShow)
{
    if (!fPipeline)
        return S_OK;
    if (!nShow) {
        const HRESULT hr = SetPipelineState(GST_STATE_NULL);
        g_psCurrent = PS_Stopped;
        return hr;
    }
    switch (g_psCurrent) {
    case PS_Running: return S_OK;
    case PS_Paused: {
        const HRESULT hr = SetPipelineState(GST_STATE_PLAYING);
        g_psCurrent = PS_Running;
        return hr;
    }
    case PS_Stopped: break;
    }
    return BuildAndRunGraph();
}

TEventConnection TVideoSample::SetCallBack(const TVideoSampleCallBack& CB)
{
    return fDelivery.SetCallBack(CB);
}

void TVideoSample::SetStreamEndCallBack(TStreamEndCallBack CB)
{
    std::lock_guard lock(fSignalLock);
    fEndCallBack = std::move(CB);
}

GstCaps* TVideoSample::NegotiatedCaps() const
{
    if (!fAppSink)
        return nullptr;
    TGstObjectPtr<GstPad> pad(gst_element_get_static_pad(fAppSink, "sink"));
    return pad ? gst_pad_get_current_caps(pad.get()) : nullptr;
}

HRESULT TVideoSample::GetStreamInfo(int& Width, int& Height, std::uint32_t& FourCC)
{
    Width = Height = 0;
    FourCC = 0;
    TGstCapsPtr caps(NegotiatedCaps());
    TSampleFormat format;
    const HRESULT hr = SampleFormatFromCaps(caps.get(), format);
    Width = format.Width;
    Height = format.Height;
    FourCC = format.FourCC;
    return hr;
}

void TVideoSample::GetVideoSize(int& Width, int& Height)
{
    std::uint32_t fourCC = 0;
    if (Failed(GetStreamInfo(Width, Height, fourCC)))
        Width = Height = 0;
}

void TVideoSample::DeleteCaptureGraph()
{
    RemoveSource();
    g_psCurrent = PS_Stopped;
}

void TVideoSample::Destroy()
{
    // No call of the owner's routines from here on.
    fDelivery.ClearCallBack();
    SetStreamEndCallBack({});
    if (fPipeline) {
        HandOffSent(this);
        gst_element_set_state(fPipeline.get(), GST_STATE_NULL); // joins the streaming threads
        HandOffReceived(this);
        TGstObjectPtr<GstBus> bus(gst_element_get_bus(fPipeline.get()));
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
        fPipeline.reset(); // with the elements in it
    }
    fSource = fCapsFilter = fConvert = fConvertFilter = fAppSink = nullptr;
    fChosenCaps.reset();
    g_psCurrent = PS_Stopped;
    FormatArr.clear();
    fControls.reset();
    fHasDevice = false;
    fCreated = E_FAIL;
}

QString TVideoSample::StreamError() const
{
    std::lock_guard lock(fSignalLock);
    return fError;
}

bool TVideoSample::DescriptionInvalid() const
{
    std::lock_guard lock(fSignalLock);
    return fDescriptionInvalid;
}

void TVideoSample::ResetStreamSignals()
{
    std::lock_guard lock(fSignalLock);
    fSampleSeen = false;
    fEnded = false;
    fError.clear();
}

GstFlowReturn TVideoSample::OnNewSample(GstAppSink* sink, gpointer self)
{
    auto* capture = static_cast<TVideoSample*>(self);
    HandOffReceived(capture);
    if (const TGstSamplePtr sample{gst_app_sink_pull_sample(sink)})
        capture->fDelivery.Deliver(sample.get());
    if (!capture->fSampleSeen.load(std::memory_order_relaxed)) {
        {
            std::lock_guard lock(capture->fSignalLock);
            capture->fSampleSeen = true;
        }
        capture->fSignal.notify_all();
    }
    HandOffSent(capture);
    return GST_FLOW_OK;
}

GstBusSyncReply TVideoSample::OnBusMessage(GstBus*, GstMessage* message, gpointer self)
{
    auto* capture = static_cast<TVideoSample*>(self);
    HandOffReceived(capture);
    QString error;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* gerror = nullptr;
        gst_message_parse_error(message, &gerror, nullptr);
        error = TakeGErrorMessage(gerror);
        if (error.isEmpty())
            error = QStringLiteral("Stream error");
        [[fallthrough]];
    }
    case GST_MESSAGE_EOS: {
        bool first = false;
        {
            std::lock_guard lock(capture->fSignalLock);
            if (capture->fError.isEmpty())
                capture->fError = error;
            first = !capture->fEnded.exchange(true);
            if (first && capture->fEndCallBack)
                capture->fEndCallBack();
        }
        capture->fSignal.notify_all();
        break;
    }
    default: break;
    }
    HandOffSent(capture);
    // A message dropped here is ours to release (GstBusSyncHandler's rule):
    // without it each one is lost, as LeakSanitizer shows with GStreamer 1.26.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

// ---------------------------------------------------------------------------
// Capability list

void TVideoSample::LoadFormatList()
{
    FormatArr.clear();
    TGstCapsPtr caps(fDevice.AnnouncedCaps());
    if (!caps && fSource) {
        TGstObjectPtr<GstPad> pad(gst_element_get_static_pad(fSource, "src"));
        if (pad)
            caps.reset(gst_pad_query_caps(pad.get(), nullptr));
    }
    if (caps)
        FormatArr = FormatListFromCaps(caps.get());
}

void TVideoSample::GetListOfVideoSizes(QStringList& VidSize) const
{
    VidSize.clear();
    if (g_psCurrent == PS_Stopped)
        return;
    for (const TFormatInfo& format : FormatArr)
        VidSize.append(format.Text());
}

HRESULT TVideoSample::SetVideoSizeByListIndex(int ListIndex)
{
    if (ListIndex < 0 || ListIndex >= static_cast<int>(FormatArr.size()) || !fCapsFilter)
        return S_FALSE;
    TGstCapsPtr caps(gst_caps_from_string(FormatArr[ListIndex].Caps.constData()));
    if (!caps)
        return E_INVALIDARG;
    // The pipeline is built anew for the chosen capability: whether it needs
    // a conversion depends on its format.
    RemoveSource();
    fChosenCaps = std::move(caps);
    switch (g_psCurrent) {
    case PS_Running: return BuildAndRunGraph();
    case PS_Paused: {
        const HRESULT hr = EnsureSource();
        return Failed(hr) ? hr : SetPipelineState(GST_STATE_PAUSED);
    }
    case PS_Stopped: break;
    }
    return S_OK;
}

int TVideoSample::CurrentFormatIndex()
{
    int width = 0, height = 0;
    std::uint32_t fourCC = 0;
    if (Failed(GetStreamInfo(width, height, fourCC)))
        return -1;
    for (std::size_t i = 0; i < FormatArr.size(); ++i) {
        const TFormatInfo& format = FormatArr[i];
        if (format.Width == width && format.Height == height && format.StreamFourCC() == fourCC)
            return static_cast<int>(i);
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Copy of the current sample

void TVideoSample::SetBufferSamples(bool buffer)
{
    fBufferSamples = buffer;
    if (fAppSink)
        g_object_set(fAppSink, "enable-last-sample", buffer ? TRUE : FALSE, nullptr);
}

HRESULT TVideoSample::GetImageBuffer(std::unique_ptr<std::uint8_t[]>& pb, int& Size)
{
    // The size needed: that of the sample the grabber holds.
    if (!fBufferSamples)
        return E_INVALIDARG;
    if (!fAppSink || !fSource)
        return VFW_E_NOT_CONNECTED;
    GstSample* held = nullptr;
    g_object_get(fAppSink, "last-sample", &held, nullptr);
    const TGstSamplePtr sample(held);
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    if (!buffer)
        return VFW_E_WRONG_STATE;
    GstVideoInfo layout;
    GstCaps* caps = gst_sample_get_caps(sample.get());
    const bool raw = caps && gst_video_info_from_caps(&layout, caps);
    std::vector<std::uint8_t> scratch;
    const TSampleBytes bytes(buffer, raw ? &layout : nullptr, scratch);
    if (bytes.Size() == 0 || bytes.Size() > INT_MAX)
        return E_FAIL;
    const int needed = static_cast<int>(bytes.Size());

    if (pb && Size != needed) {
        pb.reset();
        Size = 0;
    }
    Size = needed;
    if (!pb) {
        pb.reset(new (std::nothrow) std::uint8_t[bytes.Size()]);
        if (!pb) {
            Size = 0;
            return E_OUTOFMEMORY;
        }
    }
    std::memcpy(pb.get(), bytes.Data(), bytes.Size());
    return S_OK;
}

// ---------------------------------------------------------------------------
// Image controls and extended properties

HRESULT TVideoSample::GetVideoPropAmpEx(int prop, std::int32_t& min, std::int32_t& max, std::int32_t& step,
                                        std::int32_t& defaultValue, std::int32_t& flags, std::int32_t& value)
{
    return ::GetVideoPropAmpEx(fControls.get(), prop, min, max, step, defaultValue, flags, value);
}

HRESULT TVideoSample::SetVideoPropAmpEx(int prop, std::int32_t flags, std::int32_t value)
{
    return ::SetVideoPropAmpEx(fControls.get(), prop, flags, value);
}

void TVideoSample::GetVideoPropAmpPercent(int Prop, int& AcPerCent)
{
    ::GetVideoPropAmpPercent(fControls.get(), Prop, AcPerCent);
}

void TVideoSample::SetVideoPropAmpPercent(int Prop, int AcPerCent)
{
    ::SetVideoPropAmpPercent(fControls.get(), Prop, AcPerCent);
}

HRESULT TVideoSample::GetExProp(std::uint32_t controlId, std::int32_t& value)
{
    return fControls ? fControls->Get(controlId, value) : E_NOINTERFACE;
}

HRESULT TVideoSample::SetExProp(std::uint32_t controlId, std::int32_t value)
{
    return fControls ? fControls->Set(controlId, value) : E_NOINTERFACE;
}

HRESULT GetVideoPropertySettings(TVideoSample* capture, int VP, int& MinVal, int& MaxVal, int& StepSize, int& Default,
                                 int& Actual, bool& AutoMode)
{
    MinVal = MaxVal = -1;
    StepSize = Default = Actual = 0;
    AutoMode = true;
    if (!capture || !VideoPropertyInfo(VP))
        return S_FALSE;
    std::int32_t min = 0, max = 0, step = 0, defaultValue = 0, flags = 0, value = 0;
    const HRESULT hr = capture->GetVideoPropAmpEx(VP, min, max, step, defaultValue, flags, value);
    if (hr != S_OK)
        return hr;
    MinVal = min;
    MaxVal = max;
    StepSize = step;
    Default = defaultValue;
    Actual = value;
    AutoMode = (flags & VideoProcAmp_Flags_Auto) != 0;
    return S_OK;
}

HRESULT SetVideoPropertySettings(TVideoSample* capture, int VP, int Actual, bool AutoMode)
{
    if (!VideoPropertyInfo(VP))
        return S_FALSE;
    if (!capture)
        return S_OK;
    return capture->SetVideoPropAmpEx(VP, AutoMode ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual, Actual);
}

// ---------------------------------------------------------------------------
// Dialogs

HRESULT TVideoSample::ShowPropertyDialog()
{
    if (!fControls)
        return E_NOINTERFACE;
    TCameraDialogs* dialogs = CameraDialogs();
    if (!dialogs)
        return E_NOTIMPL;
    return dialogs->ShowImageControls(*fControls, TrimDeviceName(fDevice.name), ghApp);
}

HRESULT TVideoSample::ShowPropertyDialog_CaptureStream()
{
    TCameraDialogs* dialogs = CameraDialogs();
    if (!dialogs)
        return E_NOTIMPL;
    QStringList entries;
    GetListOfVideoSizes(entries);
    if (entries.isEmpty())
        return E_NOINTERFACE;
    const int chosen = dialogs->PickCapability(entries, CurrentFormatIndex(), ghApp);
    return chosen < 0 ? S_OK : SetVideoSizeByListIndex(chosen);
}

HRESULT TVideoSample::ShowVfWCaptureDlg()
{
    return E_NOTIMPL; // older-style capture drivers and their dialog do not exist here
}

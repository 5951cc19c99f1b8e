#include "capture/VideoImage.h"

#include "capture/CaptureDevices.h"
#include "capture/DeviceProviders.h"
#include "capture/SampleDelivery.h"
#include "capture/ThreadHandOff.h"
#include "capture/VideoSample.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QObject>
#include <QPaintDevice>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <new>
#include <thread>

namespace {

// The frame notification: posted once per stored sample. Its byte count and
// address are informational; the handling always takes the newest slot.
class TFrameNotification : public QEvent {
public:
    TFrameNotification(int type, int size, const std::uint8_t* address)
        : QEvent(static_cast<QEvent::Type>(type))
        , Size(size)
        , Address(address)
    {
    }
    int Size;
    const std::uint8_t* Address;
};

// Posted once when a capture fails or ends by itself; serial names the capture.
class TCaptureEndNotification : public QEvent {
public:
    explicit TCaptureEndNotification(int serial)
        : QEvent(static_cast<QEvent::Type>(TVideoImage::CaptureEndType()))
        , Serial(serial)
    {
    }
    int Serial;
};

} // namespace

// The receiver of the frame and capture-end notifications on the GUI thread.
// It dies with its TVideoImage, and Qt drops the notifications still queued
// for it then.
class TFrameNotifier : public QObject {
public:
    explicit TFrameNotifier(TVideoImage* owner)
        : fOwner(owner)
    {
    }

    bool event(QEvent* event) override
    {
        // Posted from the streaming thread: what it wrote before posting is
        // visible here (Qt's posting is the hand-off).
        HandOffReceived(event);
        if (event->type() == TVideoImage::NotificationType()) {
            fOwner->HandleFrameMessage(event);
            return true;
        }
        if (event->type() == TVideoImage::CaptureEndType()) {
            fOwner->HandleCaptureEnd(static_cast<TCaptureEndNotification*>(event)->Serial);
            return true;
        }
        return QObject::event(event);
    }

private:
    TVideoImage* fOwner;
};

int TVideoImage::NotificationType()
{
    // 0x696 is the frame message's number; it is only a hint to Qt.
    static const int kType = QEvent::registerEventType(QEvent::User + 0x696);
    return kType;
}

int TVideoImage::CaptureEndType()
{
    static const int kType = QEvent::registerEventType();
    return kType;
}

TVideoImage::TVideoImage(QObject* OwnerWindow)
    : fOwnerWindow(OwnerWindow)
    , fMessageReceiver(std::make_unique<TFrameNotifier>(this))
    , fMsgNewFrame(NotificationType())
    , fCameraListing(std::make_unique<TCameraListing>([this](TSystemCameras& cameras) { DevicesListed(cameras); }))
{
    fStallWatch = new QTimer(fMessageReceiver.get());
    QObject::connect(fStallWatch, &QTimer::timeout, fMessageReceiver.get(), [this] { CheckStall(); });
    SetStallTimeout(kDefaultStallTimeout);
}

void TVideoImage::SetStallTimeout(std::chrono::milliseconds timeout)
{
    fStallTimeout = timeout;
    fStallWatch->setInterval(static_cast<int>(std::clamp<std::int64_t>(timeout.count() / 4, 10, 1000)));
}

void TVideoImage::CheckStall()
{
    if (!VideoSample)
        return;
    const std::int32_t frames = fFrameCnt.load();
    if (frames != fProgressFrame || IsPaused()) {
        fProgressFrame = frames;
        fSinceProgress.restart();
        return;
    }
    if (fSinceProgress.elapsed() < fStallTimeout.count())
        return;
    EndCapture(frames == 0 ? QStringLiteral("The camera \"%1\" has sent no picture for %2 seconds.")
                                 .arg(fDeviceName)
                                 .arg(static_cast<double>(fStallTimeout.count()) / 1000.0)
                           : CaptureFailureText(true));
}

TVideoImage::~TVideoImage()
{
    fCameraListing.reset(); // a listing under way is not heard of again
    fDisplayCanvas = nullptr;
    VideoStop();
    fMessageReceiver.reset();
    for (int slot = kSlots - 1; slot >= 0; --slot)
        delete[] fImagePtr[slot].exchange(nullptr);
}

bool TVideoImage::IsPaused() const
{
    return VideoSample && VideoSample->GetPlayState() == PS_Paused;
}

void TVideoImage::GetListOfDevices(QStringList& DeviceList)
{
    EnumCaptureDevices(DeviceList);
}

QStringList TVideoImage::ListDevices()
{
    if (!fSystemCameras)
        fSystemCameras = std::make_shared<const std::vector<TCaptureDevice>>();
    fCameraListing->Start();
    return CaptureDeviceNames(WithCameraSources(*fSystemCameras));
}

bool TVideoImage::DeviceListPending() const
{
    return fCameraListing->Pending();
}

void TVideoImage::DevicesListed(TSystemCameras& cameras)
{
    fSystemCameras = std::make_shared<const std::vector<TCaptureDevice>>(std::move(cameras.devices));
    const QStringList names = CaptureDeviceNames(WithCameraSources(*fSystemCameras));
    try {
        if (fOnDevicesListed)
            fOnDevicesListed(this, names, cameras.silentProviders);
    } catch (const std::exception& error) {
        ReportError(QString::fromUtf8(error.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
}

std::int32_t TVideoImage::VideoStart(const QString& DeviceName)
{
    // Stop first, so that no sample of the old stream counts after the reset.
    if (VideoSample)
        VideoStop();
    fSkipCnt = 0;
    fFrameCnt = 0;
    f30FrameTick = 0;
    fFPS = 0.0;
    // The format comes with the first sample of the new stream.
    SetStreamFormat(0, 0, 0);
    fLastError.clear();
    fStreamFinished = false;
    fDeviceName = TrimDeviceName(DeviceName);
    const int serial = ++fCaptureSerial;

    HRESULT hr = E_FAIL;
    try {
        VideoSample = std::make_unique<TVideoSample>(fOwnerWindow, false, 0, hr);
        if (fSystemCameras)
            VideoSample->SetSystemCameras(*fSystemCameras);
        fSampleConnection = VideoSample->SetCallBack(
            TVideoSampleCallBack::Bind<&TVideoImage::CopyFrameToRing, &TVideoImage::OnSampleFormat>(this));
        // Posting is all the reporting thread does; the GUI thread ends the capture.
        QObject* receiver = fMessageReceiver.get();
        VideoSample->SetStreamEndCallBack([receiver, serial] {
            auto* notification = new TCaptureEndNotification(serial);
            HandOffSent(notification);
            QCoreApplication::postEvent(receiver, notification);
        });
        QString deviceSelected;
        hr = VideoSample->StartVideo(DeviceName, false, deviceSelected);
        // Messages name the camera as the user picked it ("Cam #2"); an empty
        // name picks the first camera, which is then named by its own name.
        if (fDeviceName.isEmpty())
            fDeviceName = deviceSelected;
    } catch (...) {
        hr = E_FAIL;
    }
    if (Failed(hr)) {
        fLastError = CaptureFailureText(false);
        VideoStop();
        return 1;
    }
    fVideoRunning = true;
    fProgressFrame = 0;
    fSinceProgress.start();
    fStallWatch->start();
    return 0;
}

QString TVideoImage::CaptureFailureText(bool started) const
{
    const QString reason = VideoSample ? VideoSample->StreamError().trimmed() : QString();
    QString text;
    if (!started && VideoSample && VideoSample->DescriptionInvalid())
        text = QStringLiteral("The source description of \"%1\" is not valid.").arg(fDeviceName);
    else if (!started)
        text = QStringLiteral("The camera \"%1\" could not be started.").arg(fDeviceName);
    else if (reason.isEmpty())
        text = QStringLiteral("The camera \"%1\" stopped sending pictures.").arg(fDeviceName);
    else
        text = QStringLiteral("The camera \"%1\" stopped.").arg(fDeviceName);
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    return text;
}

void TVideoImage::HandleCaptureEnd(int serial)
{
    if (!VideoSample || serial != fCaptureSerial)
        return; // that capture has been stopped meanwhile
    // Told before the owner hears of the end.
    fStreamFinished = VideoSample->StreamEnded() && VideoSample->StreamError().trimmed().isEmpty();
    EndCapture(CaptureFailureText(VideoSample->SampleSeen()));
}

void TVideoImage::EndCapture(const QString& message)
{
    VideoStop();
    fLastError = message;
    try {
        if (fOnCaptureEnded)
            fOnCaptureEnded(this, message);
        else
            ReportError(message);
    } catch (const std::exception& error) {
        ReportError(QString::fromUtf8(error.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
}

void TVideoImage::VideoStop()
{
    fFPS = 0.0;
    if (VideoSample) {
        try {
            VideoSample->Destroy(); // afterwards no sample callback runs
        } catch (...) {
        }
        VideoSample.reset();
    }
    fSampleConnection.Disconnect();
    fFPS = 0.0;
    fVideoRunning = false;
    fStallWatch->stop();
}

void TVideoImage::VideoPause()
{
    if (VideoSample)
        VideoSample->PauseVideo();
}

void TVideoImage::VideoResume()
{
    if (VideoSample)
        VideoSample->ResumeVideo();
}

void TVideoImage::SetStreamFormat(std::int32_t Width, std::int32_t Height, std::uint32_t FourCC)
{
    fConverter.SetStreamFormat(Width, Height, FourCC);
    fImageUnpacked = false;
    fIncomingFormat = {Width, Height, FourCC};
}

void TVideoImage::OnSampleFormat(const TSampleFormat& Format)
{
    fIncomingFormat = Format;
}

std::uint32_t TVideoImage::ReadClock() const
{
    if (fClock)
        return fClock();
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int TVideoImage::NextFreeSlot() const
{
    // The slot after the newest, unless the GUI thread reads it; then the one
    // after that, which is neither the newest nor in use.
    int slot = (fImagePtrIndex.load() + 1) % kSlots;
    if (slot == fSlotInUse.load())
        slot = (slot + 1) % kSlots;
    return slot;
}

void TVideoImage::CopyFrameToRing(const std::uint8_t* pb, int& Size)
{
    if (!pb || Size <= 0)
        return;
    const std::int32_t frame = fFrameCnt.fetch_add(1) + 1;
    fSampleObserver.With([frame](const TSampleObserver& observer, std::uint64_t) { observer(frame, false); });
    const std::uint32_t now = ReadClock();
    if (frame % 30 == 0) {
        const std::uint32_t last = f30FrameTick.load();
        const std::uint32_t elapsed = now - last; // modulo 2^32
        if (last != 0 && elapsed != 0)
            fFPS = 30000.0 / static_cast<double>(elapsed);
        f30FrameTick = now;
    }

    const int slot = NextFreeSlot();
    std::uint8_t* buffer = fImagePtr[slot].load();
    if (fImagePtrSize[slot].load() != Size) {
        delete[] fImagePtr[slot].exchange(nullptr);
        fImagePtrSize[slot] = 0;
        buffer = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(Size)];
        if (!buffer)
            return; // no memory for this sample: it is dropped
        fImagePtr[slot] = buffer;
        fImagePtrSize[slot] = Size;
    }
    std::memcpy(buffer, pb, static_cast<std::size_t>(Size));
    fSlotFrame[slot] = frame;
    fSlotWidth[slot] = fIncomingFormat.Width;
    fSlotHeight[slot] = fIncomingFormat.Height;
    fSlotFourCC[slot] = fIncomingFormat.FourCC;
    fImagePtrIndex = slot; // published only after the copy
    fImageUnpacked = false;

    auto* notification = new TFrameNotification(fMsgNewFrame, Size, buffer);
    HandOffSent(notification);
    QCoreApplication::postEvent(fMessageReceiver.get(), notification);
    fSampleObserver.With([frame](const TSampleObserver& observer, std::uint64_t) { observer(frame, true); });
    std::this_thread::yield();
}

int TVideoImage::MarkNewestInUse()
{
    // Mark the newest slot as in use, and make sure it still was the newest
    // once the mark could be seen: a sample stored in between may have been
    // written to any slot but the newest of its time.
    int slot = fImagePtrIndex.load();
    for (;;) {
        fSlotInUse = slot;
        const int newest = fImagePtrIndex.load();
        if (newest == slot)
            return slot;
        slot = newest;
    }
}

void TVideoImage::AdoptSlotFormat(int slot)
{
    if (fImagePtrSize[slot].load() <= 0)
        return; // never filled: there is no format to follow
    const std::int32_t width = fSlotWidth[slot].load(), height = fSlotHeight[slot].load();
    const std::uint32_t fourCC = fSlotFourCC[slot].load();
    if (width != fConverter.Width() || height != fConverter.Height() || fourCC != fConverter.FourCC())
        fConverter.SetStreamFormat(width, height, fourCC);
}

void TVideoImage::AdoptNewestFormat()
{
    AdoptSlotFormat(MarkNewestInUse());
    fSlotInUse = -1;
}

void TVideoImage::UnpackNewest()
{
    if (fImageUnpacked)
        return;
    const int slot = MarkNewestInUse();
    AdoptSlotFormat(slot);
    ++fConversionCnt;
    fConvertedFrame = fSlotFrame[slot].load();
    if (TFrameConverter::Unpacked(fConverter.UnpackFrame(fImagePtrSize[slot].load(), fImagePtr[slot].load())))
        fImageUnpacked = true;
    fSlotInUse = -1;
    // A sample stored during the conversion is converted by the next request.
    if (fImagePtrIndex.load() != slot)
        fImageUnpacked = false;
}

void TVideoImage::GetBitmap(QImage& BMP)
{
    UnpackNewest();
    BMP = fConverter.CurrentBitmap();
}

void TVideoImage::PaintToCanvas()
{
    if (!fDisplayCanvas)
        return;
    UnpackNewest();
    if (fDisplayCanvas->paintingActive())
        return; // someone else draws on it: this frame is not shown
    QPainter painter(fDisplayCanvas);
    painter.drawImage(0, 0, fConverter.CurrentBitmap());
}

void TVideoImage::Convert24ToGray(const QImage& BM24, QImage& BMGray)
{
    TFrameConverter::Convert24ToGray(BM24, BMGray);
}

void TVideoImage::HandleFrameMessage(QEvent*)
{
    if (fBusy) {
        ++fSkipCnt;
        return;
    }
    fBusy = true;
    fImageUnpacked = false;
    try {
        AdoptNewestFormat(); // the handler is told the size of the frame it gets
        PaintToCanvas();
        if (fOnNewFrame) {
            const int slot = fImagePtrIndex.load();
            fOnNewFrame(this, fConverter.Width(), fConverter.Height(), fImagePtr[slot].load());
        }
    } catch (const std::exception& error) {
        // Reported while still busy, so that frames arriving while a message
        // box is open are skipped rather than raising more errors.
        ReportError(QString::fromUtf8(error.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
    fBusy = false;
}

void TVideoImage::ReportError(const QString& message)
{
    if (fErrorHandler)
        fErrorHandler(message);
    else
        qWarning().noquote() << message;
}

// ---- Camera settings ---------------------------------------------------------

void TVideoImage::ShowProperty()
{
    if (VideoSample)
        VideoSample->ShowPropertyDialog();
}

void TVideoImage::ShowProperty_Stream()
{
    // A new format is followed from its first sample on; a stream that cannot
    // be run again ends the capture.
    if (VideoSample && Failed(VideoSample->ShowPropertyDialog_CaptureStream()))
        EndCapture(CaptureFailureText(false));
}

HRESULT TVideoImage::ShowVfWCaptureDlg()
{
    return VideoSample ? VideoSample->ShowVfWCaptureDlg() : S_FALSE;
}

void TVideoImage::GetListOfSupportedVideoSizes(QStringList& VidSize) const
{
    VidSize.clear();
    if (VideoSample)
        VideoSample->GetListOfVideoSizes(VidSize);
}

void TVideoImage::SetResolutionByIndex(int Index)
{
    // As for ShowProperty_Stream: the new size comes with its first sample.
    if (VideoSample && Failed(VideoSample->SetVideoSizeByListIndex(Index)))
        EndCapture(CaptureFailureText(false));
}

HRESULT TVideoImage::GetVideoPropertySettings(int VP, int& MinVal, int& MaxVal, int& StepSize, int& Default,
                                              int& Actual, bool& AutoMode)
{
    return ::GetVideoPropertySettings(VideoSample.get(), VP, MinVal, MaxVal, StepSize, Default, Actual, AutoMode);
}

HRESULT TVideoImage::SetVideoPropertySettings(int VP, int Actual, bool AutoMode)
{
    return ::SetVideoPropertySettings(VideoSample.get(), VP, Actual, AutoMode);
}

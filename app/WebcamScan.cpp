#include "app/WebcamScan.h"

#include "app/AppState.h"
#include "capture/CameraSources.h"
#include "capture/VideoImage.h"
#include "decode/DecodeBitmap.h"
#include "decoder/PictureDecoder.h"
#include "localization/FormatPattern.h"
#include "localization/LanguageFiles.h"

#include <QCoreApplication>
#include <QDateTime>

const QString TWebcamScanner::kStartCaption = QStringLiteral("Start");
const QString TWebcamScanner::kStopCaption = QStringLiteral("STOP");
const QString TWebcamScanner::kCameraSourcesFileName = QStringLiteral("cameras.ini");

TWebcamScanner::TWebcamScanner(TWebcamScanView& view, QObject* ownerWindow, TPictureDecoder& decoder,
                               const TAppState& state)
    : fView(view)
    , fDecoder(decoder)
    , fState(state)
    , fVideoImage(std::make_unique<TVideoImage>(ownerWindow))
{
    // The user's camera sources are listed and started like the real cameras.
    TCameraSources::SetFile(state.DataFolder.isEmpty() ? QString() : state.DataFolder + kCameraSourcesFileName);
    fFrameConnection = fVideoImage->SetOnNewVideoFrame(
        [this](TVideoImage* sender, std::int32_t width, std::int32_t height, const std::uint8_t* data) {
            NewVideoFrame(sender, width, height, data);
        });
    fEndConnection = fVideoImage->SetOnCaptureEnded(
        [this](TVideoImage* sender, const QString& message) { VideoCaptureEnded(sender, message); });
    fErrorConnection = fVideoImage->SetErrorHandler([this](const QString& message) { fView.ReportError(message); });
    fListConnection = fVideoImage->SetOnDevicesListed(
        [this](TVideoImage*, const QStringList& devices, const QStringList& silentProviders) {
            DevicesListed(devices, silentProviders);
        });
    UpdateButton(); // nothing is listed before the tab is first shown
}

TWebcamScanner::~TWebcamScanner()
{
    // Stops a running capture and drops its queued frames before the view goes.
    fVideoImage.reset();
}

void TWebcamScanner::PageChanged(int index)
{
    if (index != 1)
        return; // a running capture goes on while another tab is shown
    fListed = fVideoImage->ListDevices();
    fView.ShowDevices(fListed);
    if (fListed.isEmpty())
        fView.SetDeviceListNotice(Translate(QStringLiteral("Looking for cameras...")));
    UpdateButton();
}

void TWebcamScanner::DevicesListed(const QStringList& Devices, const QStringList& SilentProviders)
{
    if (Devices != fListed) {
        // A device the user picked from the list shown meanwhile stays picked.
        const QString picked = fView.SelectedDevice();
        const bool userPicked = fView.DeviceCount() > 0 && picked != fListed.value(0);
        fListed = Devices;
        fView.ShowDevices(Devices);
        if (userPicked)
            fView.SelectDevice(picked);
    }
    if (Devices.isEmpty())
        fView.SetDeviceListNotice(Translate(QStringLiteral("No camera found")));
    if (!SilentProviders.isEmpty())
        fView.ShowStatus(FormatTranslated(QStringLiteral("%s does not answer; its cameras are not listed."),
                                          SilentProviders.join(QStringLiteral(", "))));
    UpdateButton();
}

void TWebcamScanner::UpdateButton()
{
    fView.SetButtonEnabled(fView.ButtonCaption() == kStopCaption || fView.DeviceCount() > 0);
}

void TWebcamScanner::ClearDecodedText()
{
    fView.ClearDecodedText();
    fPaneDevice.clear();
}

void TWebcamScanner::StartStop()
{
    if (fView.ButtonCaption() == kStartCaption) {
        if (fView.DeviceCount() == 0)
            return;
        // The text of another camera's code says nothing about this one.
        fRunningDevice = fView.SelectedDevice();
        if (fRunningDevice != fPaneDevice)
            ClearDecodedText();
        // The start does not wait for the camera; a camera that fails later
        // comes back through VideoCaptureEnded.
        if (fVideoImage->VideoStart(fRunningDevice) != 0) {
            // Gone since the list was made, busy, ...: the tab stays idle and says why.
            fView.ClearFrame();
            ClearDecodedText();
            fView.ReportError(fVideoImage->LastError());
            return;
        }
        fStopSaid = false;
        fRecorder.Forget(); // a code in view of this capture appears anew
        fView.SetButtonCaption(kStopCaption);
        UpdateButton();
        fView.DropQueuedButtonInput();
        return;
    }
    fVideoImage->VideoStop();
    QCoreApplication::processEvents(); // frames still queued are handled here
    fView.ClearFrame();
    fView.SetButtonCaption(kStartCaption);
    UpdateButton();
}

void TWebcamScanner::Stop()
{
    if (fVideoImage->VideoRunning())
        fVideoImage->VideoStop();
    if (fView.ButtonCaption() == kStopCaption) {
        fView.ClearFrame();
        fView.SetButtonCaption(kStartCaption);
        UpdateButton();
    }
}

void TWebcamScanner::NewVideoFrame(TVideoImage* Sender, std::int32_t, std::int32_t, const std::uint8_t*)
{
    std::optional<TDecodedCode> decoded;
    QImage bitmap;
    Sender->GetBitmap(bitmap);
    fView.ShowFrame(bitmap);
    try {
        decoded = fDecoder.DecodeFrame(bitmap, fState.SelectedDecodeOptions);
    } catch (const EDecoderStopped& stopped) {
        // Said once a capture: a decoder that died, or one that cannot even be started.
        const QString why = QString::fromUtf8(stopped.what());
        const bool first = !std::exchange(fStopSaid, true);
        if (first && why == QLatin1String(kDecoderStoppedText)) {
            fView.ShowStatus(
                Translate(QStringLiteral("The decoder stopped on a frame; the scan goes on with a fresh one.")));
        } else if (first) {
            fView.ShowStatus(why);
        }
    } catch (...) {
        // A frame that cannot be decoded is passed over.
    }
    if (decoded && !decoded->text.isEmpty()) {
        if (fRecorder.ShouldRecord(fRunningDevice, decoded->text, QDateTime::currentDateTimeUtc()))
            fView.CodeAppeared(*decoded, fRunningDevice);
        fView.ShowDecodedText(decoded->text);
        fPaneDevice = fRunningDevice;
    }
    bitmap = QImage();
    QCoreApplication::processEvents();
}

void TWebcamScanner::VideoCaptureEnded(TVideoImage* Sender, const QString& Message)
{
    // The camera failed or stopped by itself and the front-end has stopped the
    // capture: the tab does what STOP does, and says why. A failed camera's
    // last code is no longer in front of it; a video played to its end keeps it.
    QCoreApplication::processEvents(); // frames still queued are handled here
    fView.ClearFrame();
    if (!Sender->StreamFinished())
        ClearDecodedText();
    fView.SetButtonCaption(kStartCaption);
    UpdateButton();
    fView.ReportError(Message);
}

#include "cli/LiveScan.h"

#include "capture/VideoImage.h"
#include "decode/DecodeBitmap.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

TLiveScanner::TLiveScanner(TResultWriter& writer, QByteArray source, const TDecodeOptions& options,
                           TLiveScanLimits limits, TDecoderLaunch decoder)
    : fWriter(writer)
    , fSource(std::move(source))
    , fOptions(options)
    , fLimits(limits)
    , fDecoder(std::move(decoder))
    , fVideoImage(std::make_unique<TVideoImage>())
{
    fDecoder.Start();
    fFrameConnection = fVideoImage->SetOnNewVideoFrame(
        [this](TVideoImage* sender, std::int32_t, std::int32_t, const std::uint8_t*) { NewVideoFrame(sender); });
    fEndConnection = fVideoImage->SetOnCaptureEnded(
        [this](TVideoImage* sender, const QString& message) { CaptureEnded(sender, message); });
    // An error of the frame handling is one frame's; the next one is handled as usual.
    fErrorConnection = fVideoImage->SetErrorHandler([](const QString&) {});
}

TLiveScanner::~TLiveScanner()
{
    fVideoImage.reset(); // stops a running capture and drops its queued frames
}

int TLiveScanner::Run(const QString& deviceName)
{
    fStopRequested = false;
    fFailed = false;
    fLastText.reset();
    fCodesWritten = 0;
    fFramesHandled = 0;
    if (fVideoImage->VideoStart(deviceName) != 0) {
        Fail(fVideoImage->LastError());
        return TExitStatus::kError;
    }

    QEventLoop loop;
    fLoop = &loop;
    QTimer timer;
    if (fLimits.timeout) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, [this] { Stop(); });
        timer.start(*fLimits.timeout);
    }
    if (!fStopRequested && fVideoImage->VideoRunning())
        loop.exec();
    fLoop = nullptr;
    fVideoImage->VideoStop();

    if (fFailed)
        return TExitStatus::kError;
    return fCodesWritten > 0 ? TExitStatus::kDecoded : TExitStatus::kUnreadable;
}

void TLiveScanner::Stop()
{
    fStopRequested = true;
    if (fLoop)
        fLoop->quit();
}

void TLiveScanner::NewVideoFrame(TVideoImage* sender)
{
    if (fStopRequested)
        return;
    ++fFramesHandled;
    QImage bitmap;
    sender->GetBitmap(bitmap);
    std::optional<TDecodedCode> code;
    try {
        code = fDecoder.DecodeFrame(bitmap, fOptions);
    } catch (...) {
        // A frame that cannot be decoded is passed over; after a decoder
        // that stopped, a fresh one takes the frames after a pause.
    }
    bitmap = QImage();
    if (code && !code->text.isEmpty() && code->text != fLastText) {
        fLastText = code->text;
        TScanResult result;
        result.file = fSource;
        result.status = TScanStatus::Decoded;
        result.codes.push_back(std::move(*code));
        fWriter.Write(result);
        if (fWriter.OutputError() != 0) {
            // The output is gone (a full disk, a closed pipe): nothing more can be said.
            fFailed = true;
            Stop();
            return;
        }
        ++fCodesWritten;
        if (fLimits.count > 0 && fCodesWritten >= fLimits.count) {
            Stop();
            return;
        }
    }
    // As the webcam tab does: the frames that came meanwhile are passed over,
    // and the next handling takes the newest one.
    QCoreApplication::processEvents();
}

void TLiveScanner::CaptureEnded(TVideoImage* sender, const QString& message)
{
    // A source that played to its end (a video file) is no failure.
    if (!sender->StreamFinished())
        Fail(message);
    Stop();
}

void TLiveScanner::Fail(const QString& message)
{
    fFailed = true;
    TScanResult result;
    result.file = fSource;
    result.status = TScanStatus::Error;
    result.error = OneLine(message);
    fWriter.Write(result);
}

QString OneLine(const QString& message)
{
    static const QRegularExpression breaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    return message.trimmed().replace(breaks, QStringLiteral(" "));
}

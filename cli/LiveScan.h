// Live scanning: the frames of a camera, or of any GStreamer source, go the
// webcam tab's road (capture, the front-end's frame pump, conversion,
// the decoder process), and each code is written when it appears. A code
// is written again only after a different one was seen.
#pragma once

#include "capture/EventConnection.h"
#include "cli/ScanResult.h"
#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"
#include "decoder/PictureDecoder.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

class QEventLoop;
class TVideoImage;

struct TLiveScanLimits {
    int count = 0;                                    // stop after this many codes; 0: no limit
    std::optional<std::chrono::milliseconds> timeout; // stop after this long
};

class TLiveScanner {
public:
    // `source` names the source in the results (the camera or the description);
    // the frames are decoded in a process that `decoder` starts.
    TLiveScanner(TResultWriter& writer, QByteArray source, const TDecodeOptions& options, TLiveScanLimits limits,
                 TDecoderLaunch decoder);
    ~TLiveScanner();
    TLiveScanner(const TLiveScanner&) = delete;
    TLiveScanner& operator=(const TLiveScanner&) = delete;

    // Starts the named device (a camera as the webcam tab lists it, or a
    // camera source) and decodes its frames until the count is reached, the
    // time is up, Stop is called or the source ends; then stops the capture.
    // Needs a Qt application on this thread. Gives the exit status: 0 when a
    // code was written, 1 when none was, 2 when the source failed (then an
    // error result was written) or a code could not be written (the
    // writer's OutputError).
    int Run(const QString& deviceName);
    // Ends Run at the next event (from a signal's notifier, say).
    void Stop();

    int CodesWritten() const { return fCodesWritten; }
    std::int64_t FramesHandled() const { return fFramesHandled; }
    TVideoImage& VideoImage() { return *fVideoImage; }

private:
    void NewVideoFrame(TVideoImage* sender);
    void CaptureEnded(TVideoImage* sender, const QString& message);
    void Fail(const QString& message);

    TResultWriter& fWriter;
    QByteArray fSource;
    TDecodeOptions fOptions;
    TLiveScanLimits fLimits;
    TPictureDecoder fDecoder;
    std::unique_ptr<TVideoImage> fVideoImage;
    // The front-end's events reach this object while these live.
    TEventConnection fFrameConnection, fEndConnection, fErrorConnection;
    QEventLoop* fLoop = nullptr; // while Run runs
    bool fStopRequested = false;
    bool fFailed = false;
    std::optional<QString> fLastText; // of the code written last
    int fCodesWritten = 0;
    std::int64_t fFramesHandled = 0;
};

// A message of the capture, which may run over several lines, as one line:
// each line break, with the blanks around it, becomes a single space.
QString OneLine(const QString& message);

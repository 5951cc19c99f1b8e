// Live scanning as lantrix-scan --pipeline runs it (TLiveScanner: capture,
// frame pump, conversion, decode of every handled frame), fed by 1280x720
// test sources at 30 frames per second, and 854x480 and 1366x768 ones whose
// rows and planes GStreamer pads: does the scan keep up with every frame?
//
// Per source, one run of a few seconds:
//   delivered   frames the source delivered (stored in the ring)
//   handled     frames converted and decoded
//   skipped     notifications passed over while a frame was being handled
//   codes       codes written (a code is written again only after another)
//   per second  delivered frames per second over the run
//
// Run: build/bench/bench_live_scan [SECONDS]
#include "capture/CameraSources.h"
#include "capture/PixbufLoader.h"
#include "capture/VideoImage.h"
#include "cli/LiveScan.h"
#include "cli/ScanResult.h"
#include "support/Samples.h"
#include "support/TestCameras.h"
#include "support/TestDecoder.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

class TCountingWriter : public TResultWriter {
public:
    void Write(const TScanResult& result) override
    {
        if (result.status == TScanStatus::Decoded)
            ++codes;
        else
            std::fprintf(stderr, "%s\n", qPrintable(result.error));
    }
    int codes = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    PixbufStartup();
    const QString qrCode = SamplePath(QStringLiteral("qr_code.png"));

    const struct {
        const char* label;
        QString description;
    } kSources[] = {
        {"QR code 1280x720 YUY2", StillPictureDescription(qrCode, TTestCameraFormat::YUY2, 1280, 720)},
        {"QR code 1280x720 I420", StillPictureDescription(qrCode, TTestCameraFormat::I420, 1280, 720)},
        {"QR code 1280x720 MJPG", StillPictureDescription(qrCode, TTestCameraFormat::JPEG, 1280, 720)},
        {"pattern 1280x720 YUY2", TestPatternDescription(TTestCameraFormat::YUY2, 1280, 720)},
        // Sizes whose rows and planes GStreamer pads to its strides.
        {"QR code 854x480 I420", StillPictureDescription(qrCode, TTestCameraFormat::I420, 854, 480)},
        {"QR code 854x480 BGR", StillPictureDescription(qrCode, TTestCameraFormat::BGR, 854, 480)},
        {"QR code 1366x768 I420", StillPictureDescription(qrCode, TTestCameraFormat::I420, 1366, 768)},
        {"QR code 1366x768 BGR", StillPictureDescription(qrCode, TTestCameraFormat::BGR, 1366, 768)},
    };
    std::printf("%-24s %9s %9s %9s %6s %10s\n", "source", "delivered", "handled", "skipped", "codes", "per second");
    for (const auto& source : kSources) {
        TCountingWriter writer;
        TLiveScanLimits limits;
        limits.timeout = std::chrono::seconds(seconds);
        TLiveScanner scanner(writer, QByteArray(source.label), TDecodeOptions{}, limits, TestDecoderLaunch());
        TCameraSources::Add(QLatin1String(source.label), source.description);
        const int status = scanner.Run(QLatin1String(source.label));
        const int delivered = scanner.VideoImage().FrameCount();
        std::printf("%-24s %9d %9lld %9d %6d %10.1f%s\n", source.label, delivered,
                    static_cast<long long>(scanner.FramesHandled()), scanner.VideoImage().FramesSkipped(), writer.codes,
                    delivered / static_cast<double>(seconds), status == 2 ? "  (source failed)" : "");
        TCameraSources::Remove(QLatin1String(source.label));
    }
    PixbufShutdown();
    return 0;
}

// The live modes of lantrix-scan, in the part that it loads only for them
// (cli/LivePart.h): the cameras' list, and the scan of a camera's or a
// source's frames.
#include "cli/LivePart.h"

#include "capture/CameraSources.h"
#include "capture/PixbufLoader.h"
#include "capture/VideoImage.h"
#include "cli/LiveScan.h"
#include "cli/ScanOptions.h"
#include "cli/ScanResult.h"
#include "decode/PictureLoader.h"
#include "decoder/DecoderProcess.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <type_traits>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Ctrl+C (and a polite kill) ends a live scan through the event loop: the
// handler only writes to a pipe that the loop watches. A second one ends the
// program at once.
int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gStopPipe[1], &byte, 1);
    errno = saved;
}

// Calls `stop` on the event loop's thread when SIGINT or SIGTERM arrives.
std::unique_ptr<QSocketNotifier> CatchStopSignals(const std::function<void()>& stop)
{
    if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(gStopPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [stop] {
        char bytes[16];
        while (::read(gStopPipe[0], bytes, sizeof bytes) > 0) {}
        stop();
    });
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return notifier;
}

int ListCameras(const QString& camerasFile, std::FILE* messages)
{
    TCameraSources::SetFile(camerasFile);
    QStringList names;
    TVideoImage::GetListOfDevices(names);
    if (names.isEmpty()) {
        std::fputs("lantrix-scan: no camera found\n", messages);
        return TExitStatus::kUnreadable;
    }
    // A name from cameras.ini may hold anything; a terminal gets it escaped.
    const bool terminal = ::isatty(::fileno(stdout)) == 1;
    for (const QString& name : names) {
        const QByteArray line = (terminal ? EscapeForTerminal(name.toUtf8()) : name.toUtf8()) + '\n';
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    }
    return TExitStatus::kDecoded;
}

int ScanLive(const TScanOptions& options, TResultWriter& writer, const QString& camerasFile,
             const QString& decoderProgram)
{
    QString device;
    if (options.camera) {
        TCameraSources::SetFile(camerasFile);
        device = *options.camera;
    } else {
        // The description is the source's name as well; no camera is called so.
        TCameraSources::Add(*options.pipeline, *options.pipeline);
        device = *options.pipeline;
    }
    TLiveScanLimits limits;
    limits.count = options.count;
    if (options.timeoutSeconds > 0.0)
        limits.timeout = std::chrono::milliseconds(static_cast<std::int64_t>(options.timeoutSeconds * 1000.0 + 0.5));
    const qint64 maxPixels =
        options.maxMegapixels > 0 ? qint64(options.maxMegapixels) * 1024 * 1024 : kMaxPicturePixels;
    TLiveScanner scanner(writer, device.toUtf8(), options.decode, limits, ExecDecoder(decoderProgram, maxPixels));
    const std::unique_ptr<QSocketNotifier> stopSignals = CatchStopSignals([&scanner] { scanner.Stop(); });
    return scanner.Run(device);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int LantrixScanLive(const TLiveRun& run)
{
    if (!run.writer)
        return ListCameras(run.camerasFile, run.messages);
    // Frames are converted with the run-time picture loader when it is
    // there; this part has a loader of its own.
    struct TPixbufSession {
        TPixbufSession() { PixbufStartup(); }
        ~TPixbufSession() { PixbufShutdown(); }
    } pixbuf;
    return ScanLive(*run.options, *run.writer, run.camerasFile, run.decoderProgram);
}

// The entry is what lantrix-scan looks it up as.
static_assert(std::is_same_v<decltype(&LantrixScanLive), TLiveEntry>);

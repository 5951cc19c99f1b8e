// lantrix-scan: decodes the codes in picture files the way the image tab
// does, or in a camera's frames the way the webcam tab does.
//
//   lantrix-scan [--format NAME] [--inverted] [--all] [--json] FILE...
//   lantrix-scan [--format NAME] [--inverted] --raw-bytes FILE
//   lantrix-scan --raw WIDTHxHEIGHT:FOURCC [--save-bitmap OUT.bmp] [--format NAME] FILE
//   lantrix-scan [--format NAME] [--inverted] [--json] [--count N] [--timeout SECONDS] --camera NAME | --pipeline DESCRIPTION
//   lantrix-scan --list-cameras
//
// One file: prints the decoded text and a newline and exits 0; prints
// "Unreadable!" on standard error and exits 1 when no code is found; prints
// "lantrix-scan: FILE: " and what happened and exits 2 when the file cannot
// be loaded. Several
// files are decoded side by side and their results printed in their order,
// each line starting with the file and ": "; the exit status is 2 when any
// could not be loaded, else 1 when any had no code, else 0. "-" is standard
// input. --json prints one JSON object per file and line instead. Exits 64
// after a usage text for a bad option or format name; standard error holds
// nothing but these messages. With --raw, FILE is one captured camera sample,
// converted as the webcam tab converts frames before it is decoded; it may be
// a pipe that a program writes to. --inverted decodes a picture in which
// nothing is found once more with light and dark swapped; --all prints every
// code of each picture; --raw-bytes writes the one code's content as encoded
// and nothing else. Writes no settings and needs no display.
#include "capture/CameraSources.h"
#include "capture/FileDescriptor.h"
#include "capture/PixbufLoader.h"
#include "capture/VideoImage.h"
#include "cli/FileScan.h"
#include "cli/LiveScan.h"
#include "cli/PictureInput.h"
#include "cli/RawSample.h"
#include "cli/ScanOptions.h"
#include "cli/ScanResult.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Standard error carries the program's own messages only. Qt's notices (a
// damaged file's complaints from libpng, no runtime folder, fonts, ...) are
// dropped, and what libraries write there themselves goes nowhere: the
// program's messages go to the original standard error, kept aside, which
// the answer gives. When that cannot be arranged, standard error stays.
std::FILE* KeepStandardErrorOwn()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    std::fflush(stderr);
    TFileDescriptor own(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3));
    const TFileDescriptor nowhere(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    std::FILE* messages = own.Valid() && nowhere.Valid() ? ::fdopen(own.Get(), "w") : nullptr;
    if (!messages)
        return stderr;
    own.Release(); // closed with messages from here on
    if (::dup2(nowhere.Get(), STDERR_FILENO) < 0) {
        std::fclose(messages);
        return stderr;
    }
    std::setvbuf(messages, nullptr, _IOLBF, 0);
    return messages;
}

// The cameras.ini of the data folder the window uses: the executable's
// folder when it is writable, else the user's configuration folder. The
// company and product names are the window's (its version block).
QString CameraSourcesFile()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString folder = ChooseDataFolder(QFileInfo(executable).absolutePath(), UserConfigFolder(),
                                            QStringLiteral(LANTRIX_COMPANY_NAME), QStringLiteral(LANTRIX_PRODUCT_NAME));
    return folder + QStringLiteral("cameras.ini");
}

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
        while (::read(gStopPipe[0], bytes, sizeof bytes) > 0) {
        }
        stop();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return notifier;
}

TCodesPerPicture CodesPerPicture(const TScanOptions& options)
{
    return options.all ? TCodesPerPicture::All : TCodesPerPicture::One;
}

std::unique_ptr<TResultWriter> MakeWriter(const TScanOptions& options, std::FILE* messages, bool prefixFile)
{
    // A file's error names the program and the file; a live source's does not.
    const QByteArray program = options.Live() ? QByteArray() : QByteArrayLiteral("lantrix-scan");
    if (options.rawBytes)
        return std::make_unique<TRawBytesWriter>(stdout, messages, program);
    if (options.json)
        return std::make_unique<TJsonWriter>(stdout, CodesPerPicture(options));
    return std::make_unique<TTextWriter>(stdout, messages, prefixFile, CodesPerPicture(options), program);
}

int ListCameras()
{
    CameraSources::SetFile(CameraSourcesFile());
    QStringList names;
    TVideoImage::GetListOfDevices(names);
    for (const QString& name : names) {
        const QByteArray line = name.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    }
    return TExitStatus::kDecoded;
}

int ScanLive(const TScanOptions& options, TResultWriter& writer)
{
    QString device;
    if (options.camera) {
        CameraSources::SetFile(CameraSourcesFile());
        device = *options.camera;
    } else {
        // The description is the source's name as well; no camera is called so.
        CameraSources::add(*options.pipeline, *options.pipeline);
        device = *options.pipeline;
    }
    TLiveScanLimits limits;
    limits.count = options.count;
    if (options.timeoutSeconds > 0.0)
        limits.timeout = std::chrono::milliseconds(static_cast<std::int64_t>(options.timeoutSeconds * 1000.0 + 0.5));
    TLiveScanner scanner(writer, device.toUtf8(), options.format, limits, TDecodeOptions{options.inverted});
    const std::unique_ptr<QSocketNotifier> stopSignals = CatchStopSignals([&scanner] { scanner.Stop(); });
    return scanner.Run(device);
}

} // namespace

int main(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        PrintUsage(stdout);
        return TExitStatus::kDecoded;
    }
    const std::optional<TScanOptions> options = ParseScanArguments(argc, argv, stderr);
    if (!options) {
        PrintUsage(stderr);
        return TExitStatus::kUsage;
    }

    std::FILE* const messages = KeepStandardErrorOwn();

    // A display-less GUI application, for what needs one: frames are converted
    // with the run-time picture loader when it is there, the message picture
    // and an SVG drawing's text need fonts. It gets no argument of the user's.
    int applicationArgc = 1;
    char* applicationArgv[] = {argv[0], nullptr};
    std::optional<QGuiApplication> application;
    const auto startGui = [&] {
        if (application)
            return;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application.emplace(applicationArgc, applicationArgv);
    };
    struct PixbufSession {
        PixbufSession() { PixbufStartup(); }
        ~PixbufSession() { PixbufShutdown(); }
    };
    std::optional<PixbufSession> pixbuf;

    if (options->listCameras)
        return ListCameras();

    const bool several = options->files.size() > 1;
    const std::unique_ptr<TResultWriter> writer = MakeWriter(*options, messages, several);

    if (options->Live()) {
        startGui();
        pixbuf.emplace();
        return ScanLive(*options, *writer);
    }

    TScanRequest request(options->format);
    request.options.inverted = options->inverted;
    request.codes = CodesPerPicture(*options);
    TExitStatus status;
    const auto report = [&](const TScanResult& result) {
        writer->Write(result);
        status.Add(result.Status);
    };
    if (options->raw) {
        startGui();
        pixbuf.emplace();
        const QByteArray& file = options->files.front();
        report(ScanPicture(
            file, [&](const QByteArray&) { return ConvertRawSample(file, *options->raw, options->saveBitmap); },
            request));
    } else if (!several) {
        report(ScanPicture(
            options->files.front(), [&](const QByteArray& file) { return LoadFirstPictureArgument(file, startGui); },
            request));
    } else {
        // Started once, before the workers: any file may need the plugins.
        startGui();
        ScanFiles(options->files, WorkersFor(options->files.size()), LoadPictureArgument, request, report);
    }
    return status.Code();
}

// lantrix-scan: decodes the codes in picture files the way the image tab
// does, or in a camera's frames the way the webcam tab does.
//
//   lantrix-scan [--format NAME] [--inverted] [--all] [--json] FILE...
//   lantrix-scan [--format NAME] [--inverted] --raw-bytes FILE
//   lantrix-scan --raw WIDTHxHEIGHT:FOURCC [--save-bitmap OUT.bmp] [--format NAME] FILE
//   lantrix-scan [--format NAME] [--inverted] [--json] [--count N] [--timeout SECONDS] --camera NAME | --pipeline
//   DESCRIPTION lantrix-scan --list-cameras lantrix-scan --help | -h | --version
//
// One file: prints the decoded text and a newline and exits 0; prints
// "Unreadable!" on standard error and exits 1 when no code is found; prints
// "lantrix-scan: FILE: " and what happened and exits 2 when the file cannot
// be loaded. Several
// files are decoded side by side and their results printed in their order,
// each line starting with the file and ": ", an error's line with
// "lantrix-scan: FILE: " as with one file; the exit status is 2 when any
// could not be loaded, else 1 when any had no code, else 0. "-" is standard
// input. --json prints one JSON object per file and line instead. Exits 64
// after a two-line hint for a bad option or format name; standard error holds
// nothing but these messages and the warning of a format without a reader.
// Output that cannot be written (a full disk) is said on standard error and
// exits 2. On a terminal, the control characters of a code's text and of
// file names are shown escaped, on standard output and on standard error. With --raw, FILE is one
// captured camera sample, converted as the webcam tab converts frames before
// it is decoded; it may be a pipe that a program writes to. --inverted decodes a picture in which
// nothing is found once more with light and dark swapped; --all prints every
// code of each picture; --raw-bytes writes the one code's content as encoded
// and nothing else. --history records each code printed in the window's scan
// history (history.sqlite in the data folder); --history-export FILE writes
// that history out and exits. Writes no settings and needs no display.
#include "capture/FileDescriptor.h"
#include "capture/PixbufLoader.h"
#include "cli/FileScan.h"
#include "cli/HistoryRecording.h"
#include "cli/LivePart.h"
#include "cli/PictureArgument.h"
#include "cli/RawSample.h"
#include "cli/ScanOptions.h"
#include "cli/ScanResult.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "decoder/DecoderProcess.h"
#include "decoder/DecoderService.h"
#include "decoder/PictureDecoder.h"
#include "history/HistorySettings.h"
#include "platform/Folders.h"
#include "platform/ProgramNames.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QString>

#include <cerrno>
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

// The data folder the window uses: the executable's folder when it is
// writable, else the user's configuration folder. The company and product
// names are the window's (its version block holds them).
QString DataFolder()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return ChooseDataFolder(QFileInfo(executable).absolutePath(), UserConfigFolder(), QLatin1String(kMakerName),
                            QLatin1String(kProductName));
}

// The cameras.ini of the data folder.
QString CameraSourcesFile()
{
    return DataFolder() + QStringLiteral("cameras.ini");
}

TCodesPerPicture CodesPerPicture(const TScanOptions& options)
{
    return options.all ? TCodesPerPicture::All : TCodesPerPicture::One;
}

// Runs a live mode in the part that holds them, loaded now.
int RunLivePart(const TLiveRun& run, std::FILE* messages)
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    QString error;
    const TLiveEntry entry = LoadLivePart(
        LivePartCandidates(QFileInfo(executable).absolutePath(), QStringLiteral(LANTRIX_LIVE_PART_DIR)), error);
    if (!entry) {
        std::fprintf(messages, "%s\n", error.toLocal8Bit().constData());
        return TExitStatus::kError;
    }
    return entry(run);
}

std::unique_ptr<TResultWriter> MakeWriter(const TScanOptions& options, std::FILE* messages, bool prefixFile)
{
    // A code's text, and a file's name, never drive the terminal they are
    // shown on, on standard output or on standard error; a pipe or a file
    // gets them as they are. A file's error names the program and the file;
    // a live source's does not.
    const auto outputFor = [](int descriptor) {
        return ::isatty(descriptor) == 1 ? TTextOutput::ForTerminal : TTextOutput::AsDecoded;
    };
    const TTextOutput output = outputFor(STDOUT_FILENO);
    const TTextOutput messagesOutput = outputFor(::fileno(messages));
    const QByteArray program = options.Live() ? QByteArray() : QByteArrayLiteral("lantrix-scan");
    if (options.rawBytes)
        return std::make_unique<TRawBytesWriter>(stdout, messages, program, output, messagesOutput);
    if (options.json)
        return std::make_unique<TJsonWriter>(stdout, CodesPerPicture(options));
    return std::make_unique<TTextWriter>(stdout, messages, prefixFile, CodesPerPicture(options), program, output,
                                         messagesOutput);
}

// Standard output's last bytes go out and it is closed. False, after saying
// why on `messages`, when that or any write before failed (`writeError`, an
// errno value, for a failure the writer of results kept).
bool CloseStandardOutput(std::FILE* messages, int writeError)
{
    int error = writeError;
    if (!error && std::ferror(stdout))
        error = EIO;
    errno = 0;
    if (std::fclose(stdout) != 0 && !error)
        error = errno != 0 ? errno : EIO;
    if (!error)
        return true;
    std::fprintf(messages, "lantrix-scan: write error: %s\n", std::strerror(error));
    return false;
}

// The run after the command line was read; `messages` gets the stream of the
// program's own messages, `writer` the writer of the results.
int Scan(char** argv, const TScanOptions* options, std::FILE*& messages, std::unique_ptr<TResultWriter>& writer)
{
    messages = KeepStandardErrorOwn();

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
    struct TPixbufSession {
        TPixbufSession() { PixbufStartup(); }
        ~TPixbufSession() { PixbufShutdown(); }
    };
    std::optional<TPixbufSession> pixbuf;

    if (options->historyExport)
        return ExportHistory(DataFolder() + QLatin1String(kHistoryFileName), *options->historyExport, messages);
    if (options->listCameras)
        return RunLivePart({&*options, nullptr, CameraSourcesFile(), messages, {}}, messages);
    // A format without a reader is no usage error: the window decodes it as
    // Auto too, and says so in its status bar.
    if (const QByteArray notice = FormatNotice(*options); !notice.isEmpty())
        std::fprintf(messages, "%s\n", notice.constData());
    if (options->maxMegapixels > 0)
        SetMaxPicturePixels(qint64(options->maxMegapixels) * 1024 * 1024);

    const bool several = options->files.size() > 1;
    writer = MakeWriter(*options, messages, several);
    if (options->history) {
        // Recorded as printed, in the window's history and within its limit.
        // The option is the user's say for this run: the window's "Keep
        // History" is not asked.
        const QString folder = DataFolder();
        writer = std::make_unique<THistoryRecordingWriter>(std::move(writer), folder + QLatin1String(kHistoryFileName),
                                                           HistoryLimitOf(folder), options->Live(),
                                                           CodesPerPicture(*options), messages);
    }

    if (options->Live()) {
        startGui();
        // The live part runs threads: its decoder is a program of its own.
        const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
        return RunLivePart(
            {&*options, writer.get(), CameraSourcesFile(), messages,
             DecoderProgram(QFileInfo(executable).absolutePath(), QStringLiteral(LANTRIX_LIVE_PART_DIR))},
            messages);
    }

    TScanRequest request;
    request.options = options->decode;
    request.codes = CodesPerPicture(*options);
    TExitStatus status;
    const auto report = [&](const TScanResult& result) {
        writer->Write(result);
        status.Add(result.status);
    };
    // Pictures are read and decoded in decoder processes forked from this
    // one while it runs no other thread, so that a fault of a reader or of
    // the decoder costs one picture, never the run.
    if (options->raw) {
        // The decoder gets pixels, and needs no reader.
        TPictureDecoder decoder(ForkDecoder(TDecoderReaders::BuiltIn));
        decoder.Start();
        startGui();
        pixbuf.emplace();
        const QByteArray& file = options->files.front();
        report(ResultOf(file, [&] {
            return decoder.DecodePixels(ConvertRawSample(file, *options->raw, options->saveBitmap), request.Read());
        }));
    } else if (!several) {
        const QByteArray& file = options->files.front();
        std::optional<TScanResult> result;
        if (NamesBuiltInFormat(file)) {
            TPictureDecoder quick(ForkDecoder(TDecoderReaders::BuiltIn));
            try {
                result = ScanPicture(file, quick, request);
            } catch (const ENeedsReaders&) {
                // Content of another format under the name: read with every reader.
            }
        }
        if (!result) {
            startGui();
            TPictureDecoder decoder(ForkDecoder(TDecoderReaders::All));
            result = ScanPicture(file, decoder, request);
        }
        report(*result);
    } else {
        // The readers are loaded once, here, and every decoder forked from
        // this process has them.
        startGui();
        PrepareDecoder(TDecoderReaders::All);
        std::vector<std::unique_ptr<TDecoderProcess>> pool;
        for (int i = 0; i < WorkersFor(options->files.size()); ++i) {
            pool.push_back(std::make_unique<TDecoderProcess>(ForkDecoder(TDecoderReaders::All)));
            pool.back()->Start(); // they get ready side by side
        }
        ScanFiles(options->files, pool, request, report);
    }
    return status.Code();
}

} // namespace

int main(int argc, char** argv)
{
    std::FILE* messages = stderr;
    std::unique_ptr<TResultWriter> writer;
    int status = TExitStatus::kDecoded;
    // The usage text is longer than the output's buffer: a write of it can
    // fail before the close, with the reason in errno only then.
    int writeError = 0;
    errno = 0;
    if (WantsHelp(argc, argv)) {
        PrintUsage(stdout);
    } else if (WantsVersion(argc, argv)) {
        std::fputs("lantrix-scan " LANTRIX_RELEASE_VERSION "\n", stdout);
    } else if (const std::optional<TScanOptions> options = ParseScanArguments(argc, argv, stderr)) {
        status = Scan(argv, &*options, messages, writer);
        // Codes that --history could not record fail the run, as output not written does.
        if (const auto* recording = dynamic_cast<const THistoryRecordingWriter*>(writer.get());
            recording && recording->Failed())
            status = TExitStatus::kError;
    } else {
        PrintUsageHint(stderr);
        return TExitStatus::kUsage;
    }
    if (!writer && std::ferror(stdout))
        writeError = errno != 0 ? errno : EIO;
    // Results that did not reach their file or pipe are a failure of the run.
    if (!CloseStandardOutput(messages, writer ? writer->OutputError() : writeError))
        return TExitStatus::kError;
    return status;
}

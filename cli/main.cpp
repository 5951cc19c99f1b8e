// lantrix-scan: decodes the code in one picture file, the way the image tab does.
//
//   lantrix-scan [--format NAME] FILE
//   lantrix-scan --raw WIDTHxHEIGHT:FOURCC [--save-bitmap OUT.bmp] [--format NAME] FILE
//
// Prints the decoded text and a newline and exits 0; prints "Unreadable!" on
// standard error and exits 1 when no code is found; prints the loader's error
// and exits 2 when the file cannot be loaded; exits 64 after a usage text for a
// bad option or format name; standard error holds nothing but these messages.
// With --raw, FILE is one captured camera sample, converted as the webcam tab
// converts frames before it is decoded; it may be a pipe that a program writes
// to. Writes no settings and needs no display.
#include "decode/PictureLoader.h"
#include "capture/FileDescriptor.h"
#include "capture/FrameConversion.h"
#include "capture/PixbufLoader.h"
#include "capture/SampleFormats.h"
#include "decode/DecodeBitmap.h"
#include "cli/RawFormat.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kExitDecoded = 0;
constexpr int kExitUnreadable = 1;
constexpr int kExitLoadError = 2;
constexpr int kExitUsage = 64;

// The usage text's lines are at most kLineEnd characters long; the texts of
// the options start at kTextColumn.
constexpr std::size_t kLineEnd = 78;
constexpr std::size_t kTextColumn = 17;

// The sample formats --raw reads, "one of RGB (24-bit, rows bottom-up),
// I420, ...", in lines that go on at the options' text column.
void PrintSampleFormats(std::FILE* to)
{
    const std::string indent(kTextColumn, ' ');
    std::string line = indent + "one of";
    for (std::size_t i = 0; i < std::size(kSampleFormats); ++i) {
        const TSampleFormatInfo& format = kSampleFormats[i];
        std::string entry = format.Name;
        if (format.Remark)
            entry += std::string(" (") + format.Remark + ")";
        if (i + 1 < std::size(kSampleFormats))
            entry += ",";
        if (line.size() + 1 + entry.size() > kLineEnd) {
            std::fprintf(to, "%s\n", line.c_str());
            line = indent + entry;
        } else {
            line += " " + entry;
        }
    }
    std::fprintf(to, "%s\n", line.c_str());
}

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: lantrix-scan [--format NAME] FILE\n"
               "       lantrix-scan --raw WIDTHxHEIGHT:FOURCC [--save-bitmap OUT.bmp] [--format NAME] FILE\n"
               "Decodes the QR code or barcode in a picture file and prints its text.\n"
               "\n"
               "  --raw WIDTHxHEIGHT:FOURCC\n"
               "                 FILE is one camera sample of that size and format; FOURCC is\n",
               to);
    PrintSampleFormats(to);
    std::fputs("  --save-bitmap OUT.bmp\n"
               "                 with --raw: also write the converted picture as a BMP file\n"
               "  --format NAME  decode only this code format; NAME is one of\n"
               "                 ",
               to);
    std::size_t column = kTextColumn;
    for (const CodeFormatInfo& format : kCodeFormats) {
        const std::size_t length = std::strlen(format.name) + 2;
        if (column + length > kLineEnd) {
            std::fputs("\n                 ", to);
            column = kTextColumn;
        }
        std::fprintf(to, "%s%s", format.name, &format == &kCodeFormats.back() ? "" : ", ");
        column += length;
    }
    std::fputs("\n                 (default Auto)\n"
               "  --help         show this text\n"
               "\n"
               "Exit status: 0 decoded, 1 no code found, 2 the file cannot be loaded,\n"
               "64 bad usage.\n",
               to);
}

struct Options {
    TBarcodeFormat format = TBarcodeFormat::Auto;
    QString file;
    std::optional<RawFormat> raw;
    QString saveBitmap;
};

// The options, or nothing after a usage error (already reported).
std::optional<Options> ParseArguments(int argc, char** argv)
{
    Options options;
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--format") == 0) {
            if (++i >= argc) {
                std::fputs("lantrix-scan: --format needs a format name\n", stderr);
                return std::nullopt;
            }
            const auto format = CodeFormatByName(QString::fromLocal8Bit(argv[i]));
            if (!format) {
                std::fprintf(stderr, "lantrix-scan: unknown code format '%s'\n", argv[i]);
                return std::nullopt;
            }
            options.format = format->value;
        } else if (std::strcmp(arg, "--raw") == 0) {
            if (++i >= argc || !(options.raw = ParseRawFormat(QString::fromLocal8Bit(argv[i])))) {
                std::fputs("lantrix-scan: --raw needs WIDTHxHEIGHT:FOURCC\n", stderr);
                return std::nullopt;
            }
        } else if (std::strcmp(arg, "--save-bitmap") == 0) {
            if (++i >= argc) {
                std::fputs("lantrix-scan: --save-bitmap needs a file name\n", stderr);
                return std::nullopt;
            }
            options.saveBitmap = QString::fromLocal8Bit(argv[i]);
        } else if (std::strcmp(arg, "--") == 0 && i + 1 == argc - 1 && !haveFile) {
            options.file = QString::fromLocal8Bit(argv[++i]);
            haveFile = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "lantrix-scan: unknown option '%s'\n", arg);
            return std::nullopt;
        } else if (haveFile) {
            std::fputs("lantrix-scan: only one file can be scanned at a time\n", stderr);
            return std::nullopt;
        } else {
            options.file = QString::fromLocal8Bit(arg);
            haveFile = true;
        }
    }
    if (!haveFile) {
        std::fputs("lantrix-scan: no file given\n", stderr);
        return std::nullopt;
    }
    if (!options.saveBitmap.isEmpty() && !options.raw) {
        std::fputs("lantrix-scan: --save-bitmap goes with --raw\n", stderr);
        return std::nullopt;
    }
    return options;
}

// Samples larger than this are no camera frame; refused instead of read whole.
constexpr qint64 kMaxSampleBytes = 512LL * 1024 * 1024;

[[noreturn]] void ThrowFileError(const char* what, const QString& path, int error)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    throw PictureError(
        QStringLiteral("Cannot %1 file \"%2\". %3").arg(QLatin1String(what), path, reason).toStdString());
}

// The sample in `path`, of at most kMaxSampleBytes whatever the file is: a
// device such as /dev/zero never ends, so no more than one byte beyond the
// limit is read. A pipe is read as a stream to its end, as long as a program
// writes to it; a pipe without a writer is refused instead of waited for.
// Raises PictureError.
QByteArray ReadSample(const QString& path)
{
    // Opened without waiting: opening a named pipe otherwise waits for a writer.
    const TFileDescriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.Valid())
        ThrowFileError("open", path, errno);
    const int fd = file.Get();
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        ThrowFileError("read", path, errno);
    if (S_ISREG(status.st_mode) && status.st_size > kMaxSampleBytes)
        throw PictureError(QStringLiteral("The sample is too large (%1 bytes).").arg(status.st_size).toStdString());

    // The first read does not wait: a pipe without a writer answers it with its
    // end at once, a pipe whose writer has not written yet with EAGAIN. The
    // reads after it wait for data.
    QByteArray sample;
    qint64 length = 0;
    for (bool first = true;; first = false) {
        if (length == sample.size())
            sample.resize(std::min(kMaxSampleBytes + 1, std::max<qint64>(2 * length, 1 << 20)));
        ssize_t count;
        do
            count = ::read(fd, sample.data() + length, static_cast<std::size_t>(sample.size() - length));
        while (count < 0 && errno == EINTR);
        if (count < 0 && !(first && errno == EAGAIN))
            ThrowFileError("read", path, errno);
        if (first) {
            if (count == 0 && S_ISFIFO(status.st_mode))
                throw PictureError(
                    QStringLiteral("Cannot read file \"%1\". The pipe is empty and no program writes to it.")
                        .arg(path)
                        .toStdString());
            if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
                ThrowFileError("read", path, errno);
        }
        if (count == 0)
            break;
        length += std::max<ssize_t>(count, 0);
        if (length > kMaxSampleBytes)
            throw PictureError(
                QStringLiteral("The sample is too large (more than %1 bytes).").arg(kMaxSampleBytes).toStdString());
    }
    sample.truncate(length);
    return sample;
}

// Converts the sample in `file` as the webcam tab converts a frame, in colour.
// Raises PictureError when the file cannot be read or the bitmap not saved.
QImage ConvertRawSample(const Options& options)
{
    const QByteArray sample = ReadSample(options.file);

    TFrameConverter converter;
    converter.SetStreamFormat(options.raw->width, options.raw->height, options.raw->fourCC);
    converter.UnpackFrame(sample.size(), reinterpret_cast<const std::uint8_t*>(sample.constData()));
    if (converter.Bitmap().isNull())
        throw PictureError(QStringLiteral("The frame size %1 x %2 is too large.")
                               .arg(options.raw->width)
                               .arg(options.raw->height)
                               .toStdString());
    if (!options.saveBitmap.isEmpty() && !converter.Bitmap().save(options.saveBitmap, "BMP"))
        throw PictureError(QStringLiteral("Cannot write the bitmap \"%1\".").arg(options.saveBitmap).toStdString());
    return converter.Bitmap();
}

// Loads a picture file as the window does. Qt reads the common formats
// itself; the others need its image-format plugins, whose search is the
// larger part of a short scan's start-up, and a GUI application (an SVG
// drawing's text needs fonts), started by `startGui`. The plugins are left
// out only when the name says one of Qt's own formats and Qt's own readers
// know the content of the (regular) file. Raises PictureError.
QImage LoadPictureFile(const QString& file, const std::function<void()>& startGui)
{
    static const QStringList builtInFormats{"png", "bmp", "pbm", "pgm", "ppm", "xbm", "xpm"};
    const QFileInfo info(file);
    if (info.isFile() && builtInFormats.contains(info.suffix().toLower())) {
        const QStringList libraryPaths = QCoreApplication::libraryPaths();
        QCoreApplication::setLibraryPaths({});
        if (!QImageReader::imageFormat(file).isEmpty())
            return LoadPicture(file);
        QCoreApplication::setLibraryPaths(libraryPaths);
    }
    startGui();
    return LoadPicture(file);
}

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

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            PrintUsage(stdout);
            return kExitDecoded;
        }
    }
    const std::optional<Options> options = ParseArguments(argc, argv);
    if (!options) {
        PrintUsage(stderr);
        return kExitUsage;
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

    QImage picture;
    try {
        if (options->raw) {
            startGui();
            pixbuf.emplace();
            picture = ConvertRawSample(*options);
        } else {
            picture = LoadPictureFile(options->file, startGui);
        }
    } catch (const PictureError& error) {
        std::fprintf(messages, "%s\n", error.what());
        return kExitLoadError;
    }

    const std::optional<QString> text = DecodeBitmap(picture, options->format);
    if (!text) {
        std::fputs("Unreadable!\n", messages);
        return kExitUnreadable;
    }
    const QByteArray bytes = text->toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    return kExitDecoded;
}

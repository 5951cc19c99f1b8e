// lantrix-scan: decodes the code in one picture file, the way the image tab does.
//
//   lantrix-scan [--format NAME] FILE
//
// Prints the decoded text and a newline and exits 0; prints "Unreadable!" on
// standard error and exits 1 when no code is found; prints the loader's error
// and exits 2 when the file cannot be loaded; exits 64 after a usage text for a
// bad option or format name. Writes no settings and needs no display.
#include "app/PictureLoader.h"
#include "decode/DecodeBitmap.h"

#include <QString>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr int kExitDecoded = 0;
constexpr int kExitUnreadable = 1;
constexpr int kExitLoadError = 2;
constexpr int kExitUsage = 64;

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: lantrix-scan [--format NAME] FILE\n"
               "Decodes the QR code or barcode in a picture file and prints its text.\n"
               "\n"
               "  --format NAME  decode only this code format; NAME is one of\n"
               "                 ",
               to);
    int column = 17;
    for (const CodeFormatInfo& format : kCodeFormats) {
        const int length = static_cast<int>(std::strlen(format.name)) + 2;
        if (column + length > 78) {
            std::fputs("\n                 ", to);
            column = 17;
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
    return options;
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

    QImage picture;
    try {
        picture = LoadPicture(options->file);
    } catch (const PictureError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return kExitLoadError;
    }

    const std::optional<QString> text = DecodeBitmap(picture, options->format);
    if (!text) {
        std::fputs("Unreadable!\n", stderr);
        return kExitUnreadable;
    }
    const QByteArray bytes = text->toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    return kExitDecoded;
}

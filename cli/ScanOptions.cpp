#include "cli/ScanOptions.h"

#include "capture/SampleFormats.h"
#include "cli/ScanResult.h"
#include "history/HistoryExport.h"

#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The usage text's lines are at most kLineEnd characters long; the texts of
// the options start at kTextColumn.
constexpr std::size_t kLineEnd = 78;
constexpr std::size_t kTextColumn = 17;

// The longest wait --timeout takes: a day.
constexpr double kMaxTimeoutSeconds = 24.0 * 60 * 60;

// The sample formats --raw reads, "one of RGB (24-bit, rows bottom-up),
// I420, ...", in lines that go on at the options' text column.
void PrintSampleFormats(std::FILE* to)
{
    const std::string indent(kTextColumn, ' ');
    std::string line = indent + "one of";
    for (std::size_t i = 0; i < std::size(kSampleFormats); ++i) {
        const TSampleFormatInfo& format = kSampleFormats[i];
        std::string entry = format.name;
        if (format.remark)
            entry += std::string(" (") + format.remark + ")";
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

// Every name --format takes: the menu's, then those the readers answer
// without a menu entry (the names JSON gives the format of a code).
std::vector<TCodeFormatInfo> FormatNames()
{
    std::vector<TCodeFormatInfo> names(kCodeFormats.begin(), kCodeFormats.end());
    names.insert(names.end(), kUnlistedCodeFormats.begin(), kUnlistedCodeFormats.end());
    return names;
}

void PrintCodeFormats(std::FILE* to)
{
    std::size_t column = kTextColumn;
    const std::vector<TCodeFormatInfo> names = FormatNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t length = std::strlen(names[i].name) + 2;
        if (column + length > kLineEnd) {
            std::fputs("\n                 ", to);
            column = kTextColumn;
        }
        std::fprintf(to, "%s%s", names[i].name, i + 1 == names.size() ? "" : ", ");
        column += length;
    }
}

// An argument of the user's in a message on `to`: escaped when `to` is a
// terminal, as file names are, so that an argument cannot drive it.
std::string Shown(const char* argument, std::FILE* to)
{
    if (::isatty(::fileno(to)) != 1)
        return argument;
    return EscapeForTerminal(QByteArray(argument)).toStdString();
}

// ---- The options -----------------------------------------------------------

// Applies an option's value (nullptr for an option without one) to the
// options; false after writing why the value is refused.
using TApplyOption = bool (*)(TScanOptions& options, const char* value, std::FILE* errors);

struct TOptionRow {
    const char* name;
    const char* needs; // what a missing value is called ("a format name"); nullptr: the option takes none
    TApplyOption apply;
};

bool ApplyFormat(TScanOptions& options, const char* value, std::FILE* errors)
{
    // The menu's names in any letter case: qr_code, Qr_Code, auto.
    // MICRO_QR and RSS_LIMITED too, as JSON names the format of a code.
    const QString name = QString::fromLocal8Bit(value);
    for (const TCodeFormatInfo& format : FormatNames())
        if (name.compare(QLatin1String(format.name), Qt::CaseInsensitive) == 0) {
            options.decode.format = format.value;
            return true;
        }
    std::fprintf(errors, "lantrix-scan: unknown code format '%s'\n", Shown(value, errors).c_str());
    return false;
}

bool ApplyRaw(TScanOptions& options, const char* value, std::FILE* errors)
{
    options.raw = ParseRawFormat(QString::fromLocal8Bit(value));
    if (!options.raw)
        std::fputs("lantrix-scan: --raw needs WIDTHxHEIGHT:FOURCC\n", errors);
    return options.raw.has_value();
}

bool ApplySaveBitmap(TScanOptions& options, const char* value, std::FILE*)
{
    options.saveBitmap = QString::fromLocal8Bit(value);
    return true;
}

bool ApplyJson(TScanOptions& options, const char*, std::FILE*)
{
    options.json = true;
    return true;
}

bool ApplyCamera(TScanOptions& options, const char* value, std::FILE*)
{
    options.camera = QString::fromLocal8Bit(value);
    return true;
}

bool ApplyPipeline(TScanOptions& options, const char* value, std::FILE* errors)
{
    const QString description = QString::fromLocal8Bit(value).trimmed();
    if (description.isEmpty()) {
        std::fputs("lantrix-scan: --pipeline needs a source description\n", errors);
        return false;
    }
    options.pipeline = description;
    return true;
}

bool ApplyCount(TScanOptions& options, const char* value, std::FILE* errors)
{
    bool ok = false;
    const int count = QByteArray(value).toInt(&ok);
    if (!ok || count < 1) {
        std::fprintf(errors, "lantrix-scan: --count needs a whole number of codes above 0, not '%s'\n",
                     Shown(value, errors).c_str());
        return false;
    }
    options.count = count;
    return true;
}

bool ApplyTimeout(TScanOptions& options, const char* value, std::FILE* errors)
{
    bool ok = false;
    const double seconds = QByteArray(value).toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0.0 || seconds > kMaxTimeoutSeconds) {
        std::fprintf(errors, "lantrix-scan: --timeout needs a number of seconds above 0 (at most a day), not '%s'\n",
                     Shown(value, errors).c_str());
        return false;
    }
    options.timeoutSeconds = seconds;
    return true;
}

bool ApplyMaxMegapixels(TScanOptions& options, const char* value, std::FILE* errors)
{
    bool ok = false;
    const int megapixels = QByteArray(value).toInt(&ok);
    if (!ok || megapixels < 1 || megapixels > kMaxMegapixelsLimit) {
        std::fprintf(errors, "lantrix-scan: --max-megapixels needs a whole number from 1 to %d, not '%s'\n",
                     kMaxMegapixelsLimit, Shown(value, errors).c_str());
        return false;
    }
    options.maxMegapixels = megapixels;
    return true;
}

bool ApplyListCameras(TScanOptions& options, const char*, std::FILE*)
{
    options.listCameras = true;
    return true;
}

bool ApplyInverted(TScanOptions& options, const char*, std::FILE*)
{
    options.decode.inverted = true;
    return true;
}

bool ApplyEveryFormat(TScanOptions& options, const char*, std::FILE*)
{
    options.decode.everyFormat = true;
    return true;
}

bool ApplyTryHarder(TScanOptions& options, const char*, std::FILE*)
{
    options.decode.tryHarder = true;
    return true;
}

bool ApplyAll(TScanOptions& options, const char*, std::FILE*)
{
    options.all = true;
    return true;
}

bool ApplyRawBytes(TScanOptions& options, const char*, std::FILE*)
{
    options.rawBytes = true;
    return true;
}

bool ApplyHistory(TScanOptions& options, const char*, std::FILE*)
{
    options.history = true;
    return true;
}

bool ApplyHistoryExport(TScanOptions& options, const char* value, std::FILE* errors)
{
    const QString file = QFile::decodeName(value);
    if (!ExportFormatForFile(file)) {
        std::fprintf(errors, "lantrix-scan: --history-export writes a .csv, .jsonl or .ndjson file, not '%s'\n",
                     Shown(value, errors).c_str());
        return false;
    }
    options.historyExport = file;
    return true;
}

constexpr TOptionRow kOptions[] = {
    {"--format", "a format name", ApplyFormat},
    {"--json", nullptr, ApplyJson},
    {"--raw", "WIDTHxHEIGHT:FOURCC", ApplyRaw},
    {"--save-bitmap", "a file name", ApplySaveBitmap},
    {"--camera", "a camera name", ApplyCamera},
    {"--pipeline", "a source description", ApplyPipeline},
    {"--count", "a number of codes", ApplyCount},
    {"--timeout", "a number of seconds", ApplyTimeout},
    {"--list-cameras", nullptr, ApplyListCameras},
    {"--inverted", nullptr, ApplyInverted},
    {"--every-format", nullptr, ApplyEveryFormat},
    {"--try-harder", nullptr, ApplyTryHarder},
    {"--all", nullptr, ApplyAll},
    {"--raw-bytes", nullptr, ApplyRawBytes},
    {"--max-megapixels", "a number of megapixels", ApplyMaxMegapixels},
    {"--history", nullptr, ApplyHistory},
    {"--history-export", "a file name", ApplyHistoryExport},
};

const TOptionRow* OptionNamed(std::string_view name)
{
    for (const TOptionRow& row : kOptions)
        if (name == row.name)
            return &row;
    return nullptr;
}

// The checks of the whole command line; false after writing what is wrong.
bool CheckCombination(const TScanOptions& options, std::FILE* errors)
{
    auto refuse = [errors](const char* message) {
        std::fprintf(errors, "lantrix-scan: %s\n", message);
        return false;
    };
    if (options.historyExport) {
        const TDecodeOptions& decode = options.decode;
        const bool decodes =
            decode.format != TBarcodeFormat::Auto || decode.inverted || decode.everyFormat || decode.tryHarder;
        if (!options.files.isEmpty() || options.Live() || options.raw || options.listCameras || options.history
            || options.json || options.all || options.rawBytes || options.maxMegapixels > 0 || options.count > 0
            || options.timeoutSeconds > 0.0 || !options.saveBitmap.isEmpty() || decodes)
            return refuse("--history-export takes nothing else");
        return true;
    }
    if (options.listCameras) {
        if (!options.files.isEmpty() || options.Live() || options.raw || options.maxMegapixels > 0 || options.history)
            return refuse("--list-cameras takes nothing else");
        return true;
    }
    if (options.rawBytes && (options.json || options.all))
        return refuse("--raw-bytes writes the content of one code alone; not with --json or --all");
    if (options.camera && options.pipeline)
        return refuse("--camera and --pipeline are one source each; give one of them");
    if (options.Live()) {
        if (!options.files.isEmpty() || options.raw || !options.saveBitmap.isEmpty())
            return refuse("--camera and --pipeline take no files");
        if (options.all || options.rawBytes || options.maxMegapixels > 0)
            return refuse("--all, --raw-bytes and --max-megapixels go with picture files");
        return true;
    }
    if (options.count > 0 || options.timeoutSeconds > 0.0)
        return refuse("--count and --timeout go with --camera or --pipeline");
    if (options.files.isEmpty())
        return refuse("no file given");
    if (!options.saveBitmap.isEmpty() && !options.raw)
        return refuse("--save-bitmap goes with --raw");
    if (options.raw && options.files.size() > 1)
        return refuse("--raw takes one sample file");
    if (options.files.count(kStandardInputName) > 1)
        return refuse("standard input (-) can be read once only");
    if (options.rawBytes && options.files.size() > 1)
        return refuse("--raw-bytes takes one file");
    if (options.raw && options.maxMegapixels > 0)
        return refuse("--max-megapixels goes with picture files, not with --raw");
    return true;
}

} // namespace

namespace {

// True when one of the names is an option of the command line: an argument
// before the "--" that ends the options, and not the value of the option
// before it ("--pipeline --" gives --pipeline the value "--").
bool HasOption(int argc, char** argv, std::initializer_list<const char*> names)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        for (const char* name : names)
            if (std::strcmp(argv[i], name) == 0)
                return true;
        if (const TOptionRow* row = OptionNamed(argv[i]); row && row->needs)
            ++i; // its value
    }
    return false;
}

} // namespace

bool WantsHelp(int argc, char** argv)
{
    return HasOption(argc, argv, {"--help", "-h"});
}

bool WantsVersion(int argc, char** argv)
{
    return HasOption(argc, argv, {"--version"});
}

QByteArray FormatNotice(const TScanOptions& options)
{
    const TBarcodeFormat format = options.decode.format;
    if (options.listCameras || HasReader(format, options.decode.everyFormat))
        return QByteArray();
    const QByteArray name = CodeFormatName(format).toLatin1();
    if (HasReader(format, true))
        return "lantrix-scan: no reader for " + name + " without --every-format: decoding as with Auto";
    return "lantrix-scan: no reader for " + name + ": decoding as with Auto";
}

void PrintUsageHint(std::FILE* to)
{
    std::fputs("Try 'lantrix-scan --help'.\n", to);
}

std::optional<TScanOptions> ParseScanArguments(int argc, char** argv, std::FILE* errors)
{
    TScanOptions options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') { // "-" is standard input
            options.files.append(QByteArray(arg));
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        // "--name value" or "--name=value".
        const char* equals = std::strchr(arg, '=');
        const std::string_view name = equals ? std::string_view(arg, static_cast<std::size_t>(equals - arg)) : arg;
        const TOptionRow* row = OptionNamed(name);
        if (!row || (equals && !row->needs)) {
            std::fprintf(errors, "lantrix-scan: unknown option %s\n", Shown(arg, errors).c_str());
            return std::nullopt;
        }
        const char* value = nullptr;
        if (row->needs) {
            if (equals)
                value = equals + 1;
            else if (++i < argc)
                value = argv[i];
            else {
                std::fprintf(errors, "lantrix-scan: %s needs %s\n", row->name, row->needs);
                return std::nullopt;
            }
        }
        if (!row->apply(options, value, errors))
            return std::nullopt;
    }
    if (!CheckCombination(options, errors))
        return std::nullopt;
    return options;
}

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: lantrix-scan [--format NAME] [DECODE OPTIONS] [--all] [--json]\n"
               "                    [--max-megapixels N] FILE...\n"
               "       lantrix-scan [--format NAME] [DECODE OPTIONS] --raw-bytes FILE\n"
               "       lantrix-scan --raw WIDTHxHEIGHT:FOURCC [--save-bitmap OUT.bmp]\n"
               "                    [--format NAME] FILE\n"
               "       lantrix-scan [--format NAME] [DECODE OPTIONS] [--json] [--count N]\n"
               "                    [--timeout SECONDS] --camera NAME | --pipeline DESCRIPTION\n"
               "       lantrix-scan --list-cameras\n"
               "       lantrix-scan --history-export FILE.csv | FILE.jsonl\n"
               "       lantrix-scan --help | --version\n"
               "Decodes the QR code or barcode in picture files, or in the frames of a camera,\n"
               "and prints its text.\n"
               "\n"
               "  FILE           a picture file; - reads the picture from standard input.\n"
               "                 Several files are decoded side by side, and each result is\n"
               "                 printed in the order of the files: \"FILE: TEXT\", or on\n"
               "                 standard error \"FILE: Unreadable!\" or, as grep says it,\n"
               "                 \"lantrix-scan: FILE: \" and the error (also with one file)\n"
               "  --json         one JSON object per file and line on standard output, with\n"
               "                 file, status (decoded, unreadable, error), format, text,\n"
               "                 bytes (the code's content as encoded, in hexadecimal),\n"
               "                 content (what the text holds: type url, wifi, email, phone,\n"
               "                 sms, contact, event, place or text, and its values), error\n"
               "  --all          every code of each picture, one a line, top to bottom and\n"
               "                 left to right; with --json, codes: a list of format, text,\n"
               "                 bytes, content and position (the code's four corners in\n"
               "                 pixels)\n"
               "  --inverted     when nothing is found, decode the picture once more with\n"
               "                 light and dark swapped (light codes on a dark ground)\n"
               "  --every-format also read Aztec, Codabar, MaxiCode, PDF417, DataBar (RSS_14),\n"
               "                 DataBar Expanded (RSS_EXPANDED) and, under Auto, Micro QR\n"
               "                 (format MICRO_QR) and DataBar Limited (RSS_LIMITED, with\n"
               "                 zxing-cpp 2), and EAN and UPC add-on digits (after the\n"
               "                 code's own, with a space); --format with one of these\n"
               "                 formats looks for it alone. MSI and Plessey have no reader\n"
               "  --try-harder   look for codes everywhere in the picture, turned or skewed:\n"
               "                 barcodes off the middle or upright, slower\n"
               "                 (the decode options are --inverted, --every-format and\n"
               "                 --try-harder)\n"
               "  --raw-bytes    write the content of the one code as encoded, byte for byte,\n"
               "                 without a newline (binary payloads, other character sets)\n"
               "  --max-megapixels N\n"
               "                 load pictures of up to N megapixels (of 1,048,576 pixels;\n"
               "                 default 64), e.g. 80 for an A3 page scanned at 600 dpi\n"
               "  --raw WIDTHxHEIGHT:FOURCC\n"
               "                 FILE is one camera sample of that size and format; FOURCC is\n",
               to);
    PrintSampleFormats(to);
    std::fputs("  --save-bitmap OUT.bmp\n"
               "                 with --raw: also write the converted picture as a BMP file\n"
               "  --format NAME  decode only this code format; NAME is one of\n"
               "                 ",
               to);
    PrintCodeFormats(to);
    std::fputs("\n                 (default Auto; in any letter case). A format without a\n"
               "                 reader (MSI, PLESSEY; those of --every-format without it)\n"
               "                 is decoded as Auto, with a warning on standard error\n"
               "  --camera NAME  scan the frames of a camera, named as the webcam tab and\n"
               "                 --list-cameras list it; each code's text is printed when it\n"
               "                 appears, again only after a different code was seen\n"
               "  --pipeline DESCRIPTION\n"
               "                 the same for a GStreamer source, e.g. 'rtspsrc\n"
               "                 location=rtsp://camera/stream ! decodebin ! videoconvert'\n"
               "  --count N      stop after N codes\n"
               "  --timeout SECONDS\n"
               "                 stop after that long (Ctrl+C stops at any time)\n"
               "  --list-cameras print the names of the cameras, one a line: the system's,\n"
               "                 then those of cameras.ini in the data folder\n"
               "  --history      also record each code printed in the window's scan history\n"
               "                 (history.sqlite in the data folder), with its time, the\n"
               "                 file's full path or the camera, format, text and bytes,\n"
               "                 within the window's limit of entries; without it, nothing\n"
               "                 is recorded. A code not recorded makes the exit status 2\n"
               "  --history-export FILE\n"
               "                 write the whole scan history, newest first, to FILE and\n"
               "                 exit: CSV for .csv (a header row; a text that begins with\n"
               "                 = + - @ ' or a tab gets an apostrophe in front), JSON Lines\n"
               "                 for .jsonl or .ndjson (--json's objects of a code with time\n"
               "                 and source)\n"
               "  -h, --help     show this text\n"
               "  --version      show the version\n"
               "\n"
               "Standard output shows control characters in a code's text and in file names\n"
               "escaped (\\033, \\n, \\233, ...) when it is a terminal, as ls -b does, and\n"
               "passes them on as they are otherwise; standard error shows file names the\n"
               "same way on a terminal. An empty file name is shown as ''.\n"
               "\n"
               "Exit status: 0 decoded (every file; live: at least one code), 1 no code found\n"
               "(--list-cameras: no camera), 2 a file cannot be loaded, the camera fails,\n"
               "the output cannot be written or the scan history cannot be written or read,\n"
               "64 bad usage.\n",
               to);
}

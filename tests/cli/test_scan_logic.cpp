// lantrix-scan's logic without a process: the command line, the result
// writers and exit status, and the order and bound of the parallel file scan.
#include "capture/SampleFormats.h"
#include "cli/FileScan.h"
#include "cli/ScanOptions.h"
#include "cli/ScanResult.h"
#include "decode/PictureLoader.h"
#include "support/Samples.h"
#include "support/TestDecoder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// ---- The command line ---------------------------------------------------

// The text written to a stream while `write` runs.
template <class Write>
std::string Captured(Write write)
{
    std::FILE* file = std::tmpfile();
    write(file);
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

struct ParseCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* error; // a part of the message; nullptr: accepted
};

void PrintTo(const ParseCase& c, std::ostream* out)
{
    *out << c.name;
}

std::optional<TScanOptions> Parse(const std::vector<std::string>& arguments, std::string* errors = nullptr)
{
    std::vector<std::string> owned{"lantrix-scan"};
    owned.insert(owned.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::optional<TScanOptions> options;
    const std::string text =
        Captured([&](std::FILE* to) { options = ParseScanArguments(static_cast<int>(owned.size()), argv.data(), to); });
    if (errors)
        *errors = text;
    return options;
}

class ParseArguments : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseArguments, AcceptsOrSaysWhy)
{
    std::string errors;
    const std::optional<TScanOptions> options = Parse(GetParam().arguments, &errors);
    if (!GetParam().error) {
        EXPECT_TRUE(options.has_value()) << errors;
        EXPECT_EQ(errors, "");
        return;
    }
    EXPECT_FALSE(options.has_value());
    EXPECT_NE(errors.find(GetParam().error), std::string::npos) << errors;
    EXPECT_EQ(errors.rfind("lantrix-scan: ", 0), 0u) << errors; // one line of its own
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseArguments,
    ::testing::Values(
        ParseCase{"one_file", {"a.png"}, nullptr}, ParseCase{"several_files", {"a.png", "b.jpg", "c.svg"}, nullptr},
        ParseCase{"standard_input", {"-"}, nullptr},
        ParseCase{"standard_input_among_files", {"a.png", "-", "b.png"}, nullptr},
        ParseCase{"standard_input_twice", {"-", "a.png", "-"}, "standard input"},
        ParseCase{"json", {"--json", "a.png", "b.png"}, nullptr},
        ParseCase{"value_after_equals", {"--format=QR_CODE", "a.png"}, nullptr},
        ParseCase{"json_takes_no_value", {"--json=yes", "a.png"}, "unknown option --json=yes"},
        ParseCase{"files_after_double_dash", {"--", "--json", "-x.png"}, nullptr},
        ParseCase{"no_file", {}, "no file given"},
        ParseCase{"unknown_option", {"--fast", "a.png"}, "unknown option --fast"},
        ParseCase{"unknown_short_option", {"-f", "a.png"}, "unknown option -f"},
        ParseCase{"format_in_lower_case", {"--format", "data_matrix", "a.png"}, nullptr},
        ParseCase{"format_in_mixed_case", {"--format=Upc_E", "a.png"}, nullptr},
        ParseCase{"format_prefix_is_no_name", {"--format", "qr", "a.png"}, "unknown code format 'qr'"},
        ParseCase{"unknown_format", {"--format", "QRCODE", "a.png"}, "unknown code format 'QRCODE'"},
        ParseCase{"format_without_name", {"a.png", "--format"}, "--format needs a format name"},
        ParseCase{"raw_with_two_files", {"--raw", "8x8:YUY2", "a.raw", "b.raw"}, "--raw takes one sample file"},
        ParseCase{"raw_from_standard_input", {"--raw", "8x8:YUY2", "-"}, nullptr},
        ParseCase{"save_without_raw", {"--save-bitmap", "x.bmp", "a.png"}, "--save-bitmap goes with --raw"},
        ParseCase{"camera", {"--camera", "Integrated Camera"}, nullptr},
        ParseCase{"first_camera", {"--camera", ""}, nullptr},
        ParseCase{"pipeline_with_limits",
                  {"--pipeline", "videotestsrc ! videoconvert", "--count", "3", "--timeout", "2.5"},
                  nullptr},
        ParseCase{"empty_pipeline", {"--pipeline", "  "}, "--pipeline needs a source description"},
        ParseCase{"camera_and_pipeline", {"--camera", "A", "--pipeline", "videotestsrc"}, "give one of them"},
        ParseCase{"camera_with_file", {"--camera", "A", "a.png"}, "take no files"},
        ParseCase{"count_without_source", {"--count", "1", "a.png"}, "go with --camera or --pipeline"},
        ParseCase{"timeout_without_source", {"--timeout", "1", "a.png"}, "go with --camera or --pipeline"},
        ParseCase{"count_zero", {"--camera", "A", "--count", "0"}, "--count needs"},
        ParseCase{"count_not_a_number", {"--camera", "A", "--count", "many"}, "not 'many'"},
        ParseCase{"count_too_large", {"--camera", "A", "--count", "99999999999"}, "--count needs"},
        ParseCase{"timeout_negative", {"--camera", "A", "--timeout", "-1"}, "--timeout needs"},
        ParseCase{"timeout_not_finite", {"--camera", "A", "--timeout", "inf"}, "--timeout needs"},
        ParseCase{"timeout_longer_than_a_day", {"--camera", "A", "--timeout", "86401"}, "--timeout needs"},
        ParseCase{"timeout_without_seconds", {"--camera", "A", "--timeout"}, "--timeout needs a number of seconds"},
        ParseCase{"list_cameras", {"--list-cameras"}, nullptr},
        ParseCase{"list_cameras_with_file", {"--list-cameras", "a.png"}, "--list-cameras takes nothing else"},
        ParseCase{"inverted", {"--inverted", "a.png", "b.png"}, nullptr},
        ParseCase{"inverted_live", {"--inverted", "--camera", "A"}, nullptr},
        ParseCase{"inverted_takes_no_value", {"--inverted=1", "a.png"}, "unknown option --inverted=1"},
        ParseCase{"all", {"--all", "a.png", "b.png"}, nullptr},
        ParseCase{"all_json", {"--all", "--json", "a.png"}, nullptr},
        ParseCase{"all_raw_sample", {"--all", "--raw", "8x8:YUY2", "a.raw"}, nullptr},
        ParseCase{"all_live",
                  {"--all", "--pipeline", "videotestsrc"},
                  "--all, --raw-bytes and --max-megapixels go with picture files"},
        ParseCase{"raw_bytes", {"--raw-bytes", "a.png"}, nullptr},
        ParseCase{"raw_bytes_standard_input", {"--inverted", "--raw-bytes", "-"}, nullptr},
        ParseCase{"raw_bytes_two_files", {"--raw-bytes", "a.png", "b.png"}, "--raw-bytes takes one file"},
        ParseCase{"raw_bytes_json", {"--raw-bytes", "--json", "a.png"}, "not with --json or --all"},
        ParseCase{"raw_bytes_all", {"--all", "--raw-bytes", "a.png"}, "not with --json or --all"},
        ParseCase{"raw_bytes_live",
                  {"--raw-bytes", "--camera", "A"},
                  "--all, --raw-bytes and --max-megapixels go with picture files"},
        ParseCase{"max_megapixels", {"--max-megapixels", "80", "a.png", "b.png"}, nullptr},
        ParseCase{"max_megapixels_largest", {"--max-megapixels=1024", "a.png"}, nullptr},
        ParseCase{"max_megapixels_zero", {"--max-megapixels", "0", "a.png"}, "--max-megapixels needs a whole number"},
        ParseCase{"max_megapixels_over_the_largest", {"--max-megapixels", "1025", "a.png"}, "not '1025'"},
        ParseCase{"max_megapixels_fraction", {"--max-megapixels", "1.5", "a.png"}, "not '1.5'"},
        ParseCase{"max_megapixels_without_number", {"a.png", "--max-megapixels"}, "--max-megapixels needs a number"},
        ParseCase{"max_megapixels_raw", {"--max-megapixels", "80", "--raw", "8x8:YUY2", "a.raw"}, "not with --raw"},
        ParseCase{"max_megapixels_live", {"--max-megapixels", "80", "--camera", "A"}, "go with picture files"},
        ParseCase{"max_megapixels_list_cameras", {"--max-megapixels", "80", "--list-cameras"}, "takes nothing else"},
        ParseCase{"history", {"--history", "a.png", "b.png"}, nullptr},
        ParseCase{"history_live", {"--history", "--camera", "A", "--count", "3"}, nullptr},
        ParseCase{"history_raw_bytes", {"--history", "--raw-bytes", "a.png"}, nullptr},
        ParseCase{"history_without_file", {"--history"}, "no file given"},
        ParseCase{"history_takes_no_value", {"--history=1", "a.png"}, "unknown option --history=1"},
        ParseCase{"history_list_cameras", {"--history", "--list-cameras"}, "--list-cameras takes nothing else"},
        ParseCase{"history_export_csv", {"--history-export", "out.csv"}, nullptr},
        ParseCase{"history_export_jsonl", {"--history-export=out.jsonl"}, nullptr},
        ParseCase{"history_export_ndjson", {"--history-export", "/tmp/OUT.NDJSON"}, nullptr},
        ParseCase{"history_export_other_suffix", {"--history-export", "out.json"}, "not 'out.json'"},
        ParseCase{"history_export_no_suffix", {"--history-export", "out"}, "writes a .csv, .jsonl or .ndjson file"},
        ParseCase{"history_export_without_file", {"--history-export"}, "--history-export needs a file name"},
        ParseCase{"history_export_with_file", {"--history-export", "out.csv", "a.png"}, "takes nothing else"},
        ParseCase{"history_export_with_json", {"--json", "--history-export", "out.csv"}, "takes nothing else"},
        ParseCase{
            "history_export_with_format", {"--history-export", "out.csv", "--format", "EAN_8"}, "takes nothing else"},
        ParseCase{"history_export_live", {"--history-export", "out.csv", "--camera", "A"}, "takes nothing else"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseArguments, KeepsFileNamesAsBytesInTheirOrder)
{
    const std::optional<TScanOptions> options = Parse({"b\xe9.png", "--format", "EAN_8", "-", "--", "--json"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->files, (QList<QByteArray>{"b\xe9.png", "-", "--json"}));
    EXPECT_EQ(options->decode.format, TBarcodeFormat::EAN_8);
    EXPECT_FALSE(options->json);
}

TEST(ParseArguments, DecodeOptionsAreOffUnlessGiven)
{
    const std::optional<TScanOptions> plain = Parse({"a.png"});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->decode.inverted);
    EXPECT_FALSE(plain->all);
    EXPECT_FALSE(plain->rawBytes);
    const std::optional<TScanOptions> given = Parse({"--all", "a.png", "--inverted", "b.png"});
    ASSERT_TRUE(given);
    EXPECT_TRUE(given->decode.inverted);
    EXPECT_TRUE(given->all);
    EXPECT_FALSE(given->rawBytes);
    EXPECT_EQ(given->files, (QList<QByteArray>{"a.png", "b.png"}));
    const std::optional<TScanOptions> raw = Parse({"--raw-bytes", "a.png"});
    ASSERT_TRUE(raw);
    EXPECT_TRUE(raw->rawBytes);
}

// Each decode option sets its own field of the decode options and no other,
// with files, with a camera and with --raw-bytes.
struct DecodeOptionCase {
    const char* name;
    std::vector<std::string> arguments;
    TDecodeOptions expected;
};

void PrintTo(const DecodeOptionCase& c, std::ostream* out)
{
    *out << c.name;
}

class ParseDecodeOptions : public ::testing::TestWithParam<DecodeOptionCase> {};

TEST_P(ParseDecodeOptions, EachOptionItsField)
{
    const DecodeOptionCase& c = GetParam();
    const std::optional<TScanOptions> options = Parse(c.arguments);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->decode.format, c.expected.format);
    EXPECT_EQ(options->decode.inverted, c.expected.inverted);
    EXPECT_EQ(options->decode.everyFormat, c.expected.everyFormat);
    EXPECT_EQ(options->decode.tryHarder, c.expected.tryHarder);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseDecodeOptions,
    ::testing::Values(DecodeOptionCase{"none", {"a.png"}, {}},
                      DecodeOptionCase{"every_format", {"--every-format", "a.png"}, {.everyFormat = true}},
                      DecodeOptionCase{"try_harder", {"a.png", "--try-harder"}, {.tryHarder = true}},
                      DecodeOptionCase{"all_three",
                                       {"--try-harder", "--inverted", "--every-format", "a.png", "b.png"},
                                       {.inverted = true, .everyFormat = true, .tryHarder = true}},
                      DecodeOptionCase{"with_a_format",
                                       {"--format", "pdf_417", "--every-format", "a.png"},
                                       {.format = TBarcodeFormat::PDF_417, .everyFormat = true}},
                      DecodeOptionCase{"raw_bytes", {"--raw-bytes", "--try-harder", "a.png"}, {.tryHarder = true}},
                      DecodeOptionCase{
                          "live", {"--pipeline", "videotestsrc", "--every-format"}, {.everyFormat = true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseArguments, DecodeOptionsTakeNoValue)
{
    std::string errors;
    EXPECT_FALSE(Parse({"--every-format=1", "a.png"}, &errors));
    EXPECT_EQ(errors, "lantrix-scan: unknown option --every-format=1\n");
    errors.clear();
    EXPECT_FALSE(Parse({"--try-harder=yes", "a.png"}, &errors));
    EXPECT_EQ(errors, "lantrix-scan: unknown option --try-harder=yes\n");
}

TEST(ParseArguments, LiveLimits)
{
    const std::optional<TScanOptions> options =
        Parse({"--json", "--pipeline", " videotestsrc ! videoconvert ", "--count=2", "--timeout", "0.25"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->Live());
    EXPECT_EQ(options->pipeline, QStringLiteral("videotestsrc ! videoconvert"));
    EXPECT_EQ(options->count, 2);
    EXPECT_DOUBLE_EQ(options->timeoutSeconds, 0.25);
    EXPECT_TRUE(options->json);
}

// The code-format menu's names, and those JSON gives formats without a menu
// entry (MICRO_QR, RSS_LIMITED), in any letter case.
TEST(ParseArguments, EveryFormatNameInAnyLetterCase)
{
    std::vector<TCodeFormatInfo> formats(kCodeFormats.begin(), kCodeFormats.end());
    formats.insert(formats.end(), kUnlistedCodeFormats.begin(), kUnlistedCodeFormats.end());
    for (const TCodeFormatInfo& format : formats) {
        const QByteArray name(format.name);
        for (const QByteArray& spelling : {name, name.toLower(), name.toUpper()}) {
            const std::optional<TScanOptions> options = Parse({"--format", spelling.toStdString(), "a.png"});
            ASSERT_TRUE(options) << spelling.toStdString();
            EXPECT_EQ(options->decode.format, format.value) << spelling.toStdString();
        }
    }
}

// A format that has no reader under the options is decoded as Auto, as in
// the window, with a warning; a format with one, and Auto, get none.
struct NoticeCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* notice;
};

void PrintTo(const NoticeCase& c, std::ostream* out)
{
    *out << c.name;
}

class FormatWithoutReader : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(FormatWithoutReader, SaysItDecodesAsAuto)
{
    const std::optional<TScanOptions> options = Parse(GetParam().arguments);
    ASSERT_TRUE(options);
    EXPECT_EQ(FormatNotice(*options).toStdString(), GetParam().notice);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatWithoutReader,
    ::testing::Values(
        NoticeCase{"auto", {"a.png"}, ""}, NoticeCase{"one_of_the_ten", {"--format", "ean_13", "a.png"}, ""},
        NoticeCase{"msi", {"--format", "MSI", "a.png"}, "lantrix-scan: no reader for MSI: decoding as with Auto"},
        NoticeCase{"plessey_every_format",
                   {"--every-format", "--format", "plessey", "a.png"},
                   "lantrix-scan: no reader for PLESSEY: decoding as with Auto"},
        NoticeCase{"aztec_alone",
                   {"--format", "AZTEC", "a.png"},
                   "lantrix-scan: no reader for AZTEC without --every-format: decoding as with Auto"},
        NoticeCase{"aztec_every_format", {"--format", "AZTEC", "--every-format", "a.png"}, ""},
        NoticeCase{"micro_qr_alone",
                   {"--format", "micro_qr", "a.png"},
                   "lantrix-scan: no reader for MICRO_QR without --every-format: decoding as with Auto"},
        NoticeCase{"micro_qr_every_format", {"--every-format", "--format", "MICRO_QR", "a.png"}, ""},
        NoticeCase{"live_too",
                   {"--format", "MSI", "--pipeline", "videotestsrc"},
                   "lantrix-scan: no reader for MSI: decoding as with Auto"}),
    [](const auto& info) { return std::string(info.param.name); });

// DataBar Limited has a reader with zxing-cpp 2 only.
TEST(FormatWithoutReader, DataBarLimitedAsTheLibraryReadsIt)
{
    const std::optional<TScanOptions> options = Parse({"--every-format", "--format", "RSS_LIMITED", "a.png"});
    ASSERT_TRUE(options);
    EXPECT_EQ(FormatNotice(*options).isEmpty(), HasReader(TBarcodeFormat::RSS_LIMITED, true));
}

TEST(ParseArguments, PictureSizeLimit)
{
    const std::optional<TScanOptions> plain = Parse({"a.png"});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->maxMegapixels, 0);
    const std::optional<TScanOptions> raised = Parse({"--max-megapixels", "80", "a.png"});
    ASSERT_TRUE(raised);
    EXPECT_EQ(raised->maxMegapixels, 80);
}

struct RawFormatCase {
    const char* text;
    bool valid;
    int width, height;
};

class RawFormatText : public ::testing::TestWithParam<RawFormatCase> {};

TEST_P(RawFormatText, Parses)
{
    const std::optional<TRawFormat> format = ParseRawFormat(QString::fromUtf8(GetParam().text));
    ASSERT_EQ(format.has_value(), GetParam().valid);
    if (format) {
        EXPECT_EQ(format->width, GetParam().width);
        EXPECT_EQ(format->height, GetParam().height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RawFormatText,
    ::testing::Values(RawFormatCase{"640x480:YUY2", true, 640, 480}, RawFormatCase{"1x1:i420", true, 1, 1},
                      RawFormatCase{"999999x2:MJPG", true, 999999, 2}, RawFormatCase{"1000000x2:MJPG", false, 0, 0},
                      RawFormatCase{"0x480:YUY2", false, 0, 0}, RawFormatCase{"640x480:NV12", false, 0, 0},
                      RawFormatCase{"640x480", false, 0, 0}, RawFormatCase{" 640x480:YUY2", false, 0, 0},
                      RawFormatCase{"", false, 0, 0}));

TEST(Usage, NamesEveryOption)
{
    const std::string usage = Captured([](std::FILE* to) { PrintUsage(to); });
    for (const char* option :
         {"--format", "--json", "--raw", "--save-bitmap", "--camera", "--pipeline", "--count", "--timeout",
          "--list-cameras", "--inverted", "--all", "--raw-bytes", "--help", "-h", "--version", "--max-megapixels"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

// Every key of the JSON output is named where the usage text tells of it:
// those of one code a picture under --json, those of every code under --all.
TEST(Usage, NamesEveryJsonKey)
{
    const QString usage = QString::fromStdString(Captured([](std::FILE* to) { PrintUsage(to); }));
    const auto paragraph = [&usage](const char* option, const char* next) {
        const qsizetype start = usage.indexOf(QLatin1String(option));
        return usage.mid(start, usage.indexOf(QLatin1String(next), start) - start);
    };
    const TScanResult result{
        "a.png", TScanStatus::Decoded, {TDecodedCode{QStringLiteral("hi"), TBarcodeFormat::QR_CODE, "hi", {}}}, {}};
    const QJsonObject one = QJsonDocument::fromJson(JsonLine(result)).object();
    const QJsonObject all = QJsonDocument::fromJson(JsonLine(result, TCodesPerPicture::All)).object();
    const QJsonObject code = all.value("codes").toArray().first().toObject();
    ASSERT_TRUE(one.contains(QStringLiteral("content")) && code.contains(QStringLiteral("content")));
    const auto named = [](const QString& text, const QString& key) {
        return text.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(key)));
    };
    for (const QString& key : one.keys())
        EXPECT_TRUE(named(paragraph("  --json", "  --all"), key)) << key.toStdString();
    for (const QString& key : code.keys())
        EXPECT_TRUE(named(paragraph("  --all", "  --inverted"), key)) << key.toStdString();
}

TEST(Usage, LinesFitATerminal)
{
    const std::string usage = Captured([](std::FILE* to) { PrintUsage(to); });
    std::size_t start = 0;
    for (std::size_t end; (end = usage.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 79u) << usage.substr(start, end - start); // an 80-column terminal
}

// ---- Results: writers and exit status ---------------------------------------

TDecodedCode Code(const QString& text, TBarcodeFormat format = TBarcodeFormat::QR_CODE, QByteArray bytes = {},
                  std::array<QPoint, 4> position = {})
{
    if (bytes.isNull())
        bytes = text.toUtf8();
    return TDecodedCode{text, format, bytes, position};
}

TScanResult Decoded(const QByteArray& file, const QString& text, TBarcodeFormat format = TBarcodeFormat::QR_CODE)
{
    return {file, TScanStatus::Decoded, {Code(text, format)}, QString()};
}

TScanResult Unreadable(const QByteArray& file)
{
    return {file, TScanStatus::Unreadable, {}, QString()};
}

TScanResult Failed(const QByteArray& file, const QString& error)
{
    return {file, TScanStatus::Error, {}, error};
}

// A result of every code of a picture.
TScanResult DecodedAll(const QByteArray& file, std::vector<TDecodedCode> codes)
{
    return {file, TScanStatus::Decoded, std::move(codes), QString()};
}

struct WriterCase {
    const char* name;
    bool prefix;
    TScanResult result;
    std::string out, messages;
};

void PrintTo(const WriterCase& c, std::ostream* out)
{
    *out << c.name;
}

class TextWriter : public ::testing::TestWithParam<WriterCase> {};

TEST_P(TextWriter, WritesOneLineOnItsStream)
{
    std::string messages;
    const std::string out = Captured([&](std::FILE* outFile) {
        messages = Captured([&](std::FILE* messageFile) {
            TTextWriter(outFile, messageFile, GetParam().prefix).Write(GetParam().result);
        });
    });
    EXPECT_EQ(out, GetParam().out);
    EXPECT_EQ(messages, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextWriter,
    ::testing::Values(WriterCase{"decoded_alone", false, Decoded("a.png", "hello"), "hello\n", ""},
                      WriterCase{"unreadable_alone", false, Unreadable("a.png"), "", "Unreadable!\n"},
                      WriterCase{"error_alone", false, Failed("a.png", "File not found"), "", "File not found\n"},
                      WriterCase{"decoded_prefixed", true, Decoded("a.png", "hello"), "a.png: hello\n", ""},
                      WriterCase{"unreadable_prefixed", true, Unreadable("dir/b.jpg"), "", "dir/b.jpg: Unreadable!\n"},
                      WriterCase{"error_prefixed", true, Failed("c.png", "Unable to read image data"), "",
                                 "c.png: Unable to read image data\n"},
                      WriterCase{"name_bytes_as_given", true, Decoded("b\xe9.png", "x"), "b\xe9.png: x\n", ""},
                      WriterCase{"text_as_decoded", false, Decoded("a.png", QString::fromUtf8("t\u00e4b\tline\nnext")),
                                 "t\xc3\xa4"
                                 "b\tline\nnext\n",
                                 ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Given the program's name, an error of a file alone names the program and
// the file; a prefixed line (several files) keeps its file prefix alone, and
// the other results are written as without it. For the text writer and the
// raw-bytes writer alike.
struct ProgramCase {
    const char* name;
    bool rawBytes; // else the text writer
    bool prefix;   // the text writer's file prefix
    TScanResult result;
    std::string out, messages;
};

void PrintTo(const ProgramCase& c, std::ostream* out)
{
    *out << c.name;
}

class WriterNamingTheProgram : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(WriterNamingTheProgram, ErrorsOfAFileAloneNameProgramAndFile)
{
    const ProgramCase& c = GetParam();
    std::string messages;
    const std::string out = Captured([&](std::FILE* outFile) {
        messages = Captured([&](std::FILE* messageFile) {
            if (c.rawBytes)
                TRawBytesWriter(outFile, messageFile, "lantrix-scan").Write(c.result);
            else
                TTextWriter(outFile, messageFile, c.prefix, TCodesPerPicture::One, "lantrix-scan").Write(c.result);
        });
    });
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(messages, c.messages);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriterNamingTheProgram,
    ::testing::Values(
        ProgramCase{"error_alone", false, false, Failed("empty.png", "Unsupported image format"), "",
                    "lantrix-scan: empty.png: Unsupported image format\n"},
        ProgramCase{"error_alone_name_bytes_as_given", false, false, Failed("b\xe9/x.png", "Is a directory"), "",
                    "lantrix-scan: b\xe9/x.png: Is a directory\n"},
        // With several files too, as grep has it.
        ProgramCase{"error_prefixed", false, true, Failed("c.png", "Permission denied"), "",
                    "lantrix-scan: c.png: Permission denied\n"},
        ProgramCase{"unreadable_prefixed", false, true, Unreadable("a.png"), "", "a.png: Unreadable!\n"},
        // An empty name is shown as grep and ls show it.
        ProgramCase{"empty_name_alone", false, false, Failed("", "No such file or directory"), "",
                    "lantrix-scan: '': No such file or directory\n"},
        ProgramCase{"empty_name_prefixed", false, true, Failed("", "No such file or directory"), "",
                    "lantrix-scan: '': No such file or directory\n"},
        ProgramCase{"empty_name_unreadable_prefixed", false, true, Unreadable(""), "", "'': Unreadable!\n"},
        ProgramCase{"raw_bytes_empty_name", true, false, Failed("", "No such file or directory"), "",
                    "lantrix-scan: '': No such file or directory\n"},
        ProgramCase{"unreadable_alone", false, false, Unreadable("a.png"), "", "Unreadable!\n"},
        ProgramCase{"decoded_alone", false, false, Decoded("a.png", "hello"), "hello\n", ""},
        ProgramCase{"raw_bytes_error", true, false, Failed("-", "Nothing came on standard input."), "",
                    "lantrix-scan: -: Nothing came on standard input.\n"},
        ProgramCase{"raw_bytes_unreadable", true, false, Unreadable("a.png"), "", "Unreadable!\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// On a terminal, the messages' file names are escaped as the codes on
// standard output are: one file or several, text or raw bytes; elsewhere
// they come as given.
struct MessageNameCase {
    const char* name;
    QByteArray file;  // a hostile name
    QByteArray shown; // as a terminal gets it
};

void PrintTo(const MessageNameCase& c, std::ostream* out)
{
    *out << c.name;
}

class MessagesOnATerminal : public ::testing::TestWithParam<MessageNameCase> {};

TEST_P(MessagesOnATerminal, NameFilesEscaped)
{
    const MessageNameCase& c = GetParam();
    const auto messagesOf = [](TTextOutput output, bool rawBytes, bool prefix, const TScanResult& result) {
        return Captured([&](std::FILE* messages) {
            Captured([&](std::FILE* out) {
                if (rawBytes)
                    TRawBytesWriter(out, messages, "lantrix-scan", TTextOutput::AsDecoded, output).Write(result);
                else
                    TTextWriter(out, messages, prefix, TCodesPerPicture::One, "lantrix-scan", TTextOutput::AsDecoded,
                                output)
                        .Write(result);
            });
        });
    };
    const TScanResult failed = Failed(c.file, "No such file or directory");
    const std::string error = "lantrix-scan: " + c.shown.toStdString() + ": No such file or directory\n";
    for (const bool rawBytes : {false, true})
        EXPECT_EQ(messagesOf(TTextOutput::ForTerminal, rawBytes, false, failed), error) << rawBytes;
    EXPECT_EQ(messagesOf(TTextOutput::ForTerminal, false, true, failed), error);
    EXPECT_EQ(messagesOf(TTextOutput::ForTerminal, false, true, Unreadable(c.file)),
              c.shown.toStdString() + ": Unreadable!\n");
    EXPECT_EQ(messagesOf(TTextOutput::AsDecoded, false, true, failed),
              "lantrix-scan: " + c.file.toStdString() + ": No such file or directory\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessagesOnATerminal,
    ::testing::Values(MessageNameCase{"clear_screen", "miss\x1b[2Jing.png", "miss\\033[2Jing.png"},
                      MessageNameCase{"carriage_return", "ok.png\rfake", "ok.png\\rfake"},
                      MessageNameCase{"line_break", "a\nlantrix-scan: b.png", "a\\nlantrix-scan: b.png"},
                      MessageNameCase{"bell", "ring\x07.png", "ring\\a.png"},
                      MessageNameCase{"c1_csi_byte",
                                      "x\x9b"
                                      "2J.png",
                                      "x\\2332J.png"},
                      MessageNameCase{"c1_csi_in_utf8",
                                      "x\xc2\x9b"
                                      "2J.png",
                                      "x\\302\\2332J.png"},
                      MessageNameCase{"no_utf8", "b\xe9\xff.png", "b\\351\\377.png"},
                      MessageNameCase{"printable_utf8", "\xc3\xa9t\xc3\xa9.png", "\xc3\xa9t\xc3\xa9.png"},
                      MessageNameCase{"backslash", "a\\b.png", "a\\\\b.png"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every code of a picture: a line each, in the order given, each prefixed
// with the file where the lines are; no code, or an error, as with one code.
struct AllTextCase {
    const char* name;
    bool prefix;
    TScanResult result;
    std::string out, messages;
};

void PrintTo(const AllTextCase& c, std::ostream* out)
{
    *out << c.name;
}

class TextWriterAll : public ::testing::TestWithParam<AllTextCase> {};

TEST_P(TextWriterAll, ALineForEveryCode)
{
    std::string messages;
    const std::string out = Captured([&](std::FILE* outFile) {
        messages = Captured([&](std::FILE* messageFile) {
            TTextWriter(outFile, messageFile, GetParam().prefix, TCodesPerPicture::All).Write(GetParam().result);
        });
    });
    EXPECT_EQ(out, GetParam().out);
    EXPECT_EQ(messages, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextWriterAll,
    ::testing::Values(AllTextCase{"three_alone", false,
                                  DecodedAll("a.png", {Code("first"), Code("4006381333931", TBarcodeFormat::EAN_13),
                                                       Code("third")}),
                                  "first\n4006381333931\nthird\n", ""},
                      AllTextCase{"three_prefixed", true, DecodedAll("a.png", {Code("x"), Code("y"), Code("z")}),
                                  "a.png: x\na.png: y\na.png: z\n", ""},
                      AllTextCase{"unreadable", true, Unreadable("b.png"), "", "b.png: Unreadable!\n"},
                      AllTextCase{"error", false, Failed("c.png", "File not found"), "", "File not found\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The content of the one code, byte for byte and nothing else; messages as
// the text writer writes them alone.
TEST(RawBytesWriter, TheBytesAloneWithoutANewline)
{
    const QByteArray bytes("\x00\x80\xff\xc3\x28\n\r\x1b", 8);
    std::string messages;
    const std::string out = Captured([&](std::FILE* outFile) {
        messages = Captured([&](std::FILE* messageFile) {
            TRawBytesWriter writer(outFile, messageFile);
            writer.Write({"a.png",
                          TScanStatus::Decoded,
                          {Code(QStringLiteral("shown"), TBarcodeFormat::QR_CODE, bytes)},
                          QString()});
            writer.Write(Unreadable("b.png"));
            writer.Write(Failed("c.png", "File not found"));
        });
    });
    EXPECT_EQ(QByteArray::fromStdString(out).toHex(), bytes.toHex());
    EXPECT_EQ(messages, "Unreadable!\nFile not found\n");
}

// Text for a terminal: what could drive it is escaped, the way ls -b shows
// names in a UTF-8 locale, bytes that are no UTF-8 among them; printable
// text stays as it is.
struct EscapeCase {
    const char* name;
    QByteArray text, shown;
};

void PrintTo(const EscapeCase& c, std::ostream* out)
{
    *out << c.name;
}

class TerminalEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(TerminalEscape, ShowsControlsAsEscapes)
{
    EXPECT_EQ(EscapeForTerminal(GetParam().text).toStdString(), GetParam().shown.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalEscape,
    ::testing::Values(EscapeCase{"plain", "https://lantrix.invalid/?a=1&b=2", "https://lantrix.invalid/?a=1&b=2"},
                      EscapeCase{"empty", "", ""}, EscapeCase{"c_escapes", "\a\b\t\n\v\f\r", "\\a\\b\\t\\n\\v\\f\\r"},
                      EscapeCase{"escape_sequence", "\x1b[2J\x1b]0;t\x07", "\\033[2J\\033]0;t\\a"},
                      EscapeCase{"nul_and_others", QByteArray("\x00\x01\x1f ~\x7f", 6), "\\000\\001\\037 ~\\177"},
                      EscapeCase{"backslash", "a\\033", "a\\\\033"},
                      EscapeCase{"c1_first_and_last", "\xc2\x80\xc2\x9b\xc2\x9f", "\\302\\200\\302\\233\\302\\237"},
                      EscapeCase{"after_c1_printable", "\xc2\xa0\xc2\xa9\xc3\xa4\xe2\x82\xac",
                                 "\xc2\xa0\xc2\xa9\xc3\xa4\xe2\x82\xac"},
                      // Bytes outside well-formed UTF-8 in octal, as ls -b shows them.
                      EscapeCase{"no_utf8_in_octal", "\xff\xfe\xc2", "\\377\\376\\302"},
                      EscapeCase{"lone_c2_before_control", "\xc2\x1b", "\\302\\033"},
                      EscapeCase{"lone_c1_bytes",
                                 "a\x9b"
                                 "2Jb\x80\x9f",
                                 "a\\2332Jb\\200\\237"},
                      EscapeCase{"latin1_letters",
                                 "Gr\xfc\xdf"
                                 "e",
                                 "Gr\\374\\337e"},
                      EscapeCase{"overlong_slash", "\xc0\xaf", "\\300\\257"},
                      EscapeCase{"surrogate", "\xed\xa0\x80", "\\355\\240\\200"},
                      EscapeCase{"past_u10ffff", "\xf4\x90\x80\x80", "\\364\\220\\200\\200"},
                      EscapeCase{"cut_short_before_text", "\xe2\x82x", "\\342\\202x"},
                      EscapeCase{"four_bytes_as_they_are", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
                      EscapeCase{"three_bytes_from_u0800", "\xe0\xa0\x80\xed\x9f\xbf", "\xe0\xa0\x80\xed\x9f\xbf"}),
    [](const auto& info) { return std::string(info.param.name); });

// A write that fails (a full disk) is kept by the writer, whatever it writes,
// and nothing is written after it.
struct FullOutputCase {
    const char* name;
    TResultWriter* (*make)(std::FILE* out, std::FILE* messages);
};

void PrintTo(const FullOutputCase& c, std::ostream* out)
{
    *out << c.name;
}

class WriterOutputError : public ::testing::TestWithParam<FullOutputCase> {};

TEST_P(WriterOutputError, KeptFromTheFirstFailedWrite)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::string messages;
    std::unique_ptr<TResultWriter> writer;
    messages = Captured([&](std::FILE* messageFile) {
        writer.reset(GetParam().make(full, messageFile));
        EXPECT_EQ(writer->OutputError(), 0);
        writer->Write(Decoded("a.png", "hello"));
        EXPECT_EQ(writer->OutputError(), ENOSPC);
        writer->Write(Decoded("b.png", "again"));
        EXPECT_EQ(writer->OutputError(), ENOSPC);
    });
    std::fclose(full);

    std::FILE* file = std::tmpfile();
    const std::string out = Captured([&](std::FILE* good) {
        writer.reset(GetParam().make(good, file));
        writer->Write(Decoded("a.png", "hello"));
    });
    std::fclose(file);
    EXPECT_EQ(writer->OutputError(), 0);
    EXPECT_NE(out.find("hello"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Writers, WriterOutputError,
    ::testing::Values(FullOutputCase{"text",
                                     [](std::FILE* out, std::FILE* messages) -> TResultWriter* {
                                         return new TTextWriter(out, messages, false);
                                     }},
                      FullOutputCase{"text_all",
                                     [](std::FILE* out, std::FILE* messages) -> TResultWriter* {
                                         return new TTextWriter(out, messages, true, TCodesPerPicture::All);
                                     }},
                      FullOutputCase{"json",
                                     [](std::FILE* out, std::FILE*) -> TResultWriter* { return new TJsonWriter(out); }},
                      FullOutputCase{"raw_bytes",
                                     [](std::FILE* out, std::FILE* messages) -> TResultWriter* {
                                         return new TRawBytesWriter(out, messages);
                                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// Texts and names that JSON must escape, and bytes that are no UTF-8.
struct JsonCase {
    const char* name;
    QByteArray file;
    QString text;
};

void PrintTo(const JsonCase& c, std::ostream* out)
{
    *out << c.name;
}

class JsonWriter : public ::testing::TestWithParam<JsonCase> {};

TEST_P(JsonWriter, ParsesBackToTheRecord)
{
    const JsonCase& c = GetParam();
    const std::vector<TScanResult> results = {Decoded(c.file, c.text, TBarcodeFormat::DATA_MATRIX), Unreadable(c.file),
                                              Failed(c.file, c.text)};
    const std::string out = Captured([&](std::FILE* to) {
        TJsonWriter writer(to);
        for (const TScanResult& result : results)
            writer.Write(result);
    });
    const QList<QByteArray> lines = QByteArray::fromStdString(out).split('\n');
    ASSERT_EQ(lines.size(), 4); // three lines, each ended
    EXPECT_TRUE(lines.back().isEmpty());
    const QString name = QString::fromUtf8(c.file);
    const struct {
        const char* status;
        QJsonValue format, text, bytes, error;
    } expected[] = {{"decoded", QStringLiteral("DATA_MATRIX"), c.text, QString::fromLatin1(c.text.toUtf8().toHex()),
                     QJsonValue::Null},
                    {"unreadable", QJsonValue::Null, QJsonValue::Null, QJsonValue::Null, QJsonValue::Null},
                    {"error", QJsonValue::Null, QJsonValue::Null, QJsonValue::Null, c.text}};
    for (int i = 0; i < 3; ++i) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(lines[i], &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        const QJsonObject object = document.object();
        EXPECT_EQ(object.keys(), (QStringList{"bytes", "content", "error", "file", "format", "status", "text"}));
        EXPECT_EQ(object.value("file").toString(), name);
        EXPECT_EQ(object.value("status").toString(), QLatin1String(expected[i].status));
        EXPECT_EQ(object.value("format"), expected[i].format);
        EXPECT_EQ(object.value("text"), expected[i].text);
        EXPECT_EQ(object.value("bytes"), expected[i].bytes);
        EXPECT_EQ(object.value("error"), expected[i].error);
        // What the text holds, for a decoded code only.
        if (i == 0)
            EXPECT_EQ(object.value("content").toObject().value("type").toString(),
                      c.text.startsWith(QLatin1String("https:")) ? QStringLiteral("url") : QStringLiteral("text"));
        else
            EXPECT_EQ(object.value("content"), QJsonValue(QJsonValue::Null));
        EXPECT_FALSE(lines[i].contains('\n'));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonWriter,
    ::testing::Values(JsonCase{"plain", "codes/a.png", QStringLiteral("https://lantrix.invalid/")},
                      JsonCase{"quotes_and_backslashes", "say \"hi\"\\there.png",
                               QStringLiteral("C:\\path \"quoted\" {}[],:")},
                      JsonCase{"control_characters", QByteArray("tab\there\nnew\rline\x01\x1b.png"),
                               QString::fromUtf8("bell\x07 nul", 9) + QChar(0) + QStringLiteral("\x7f end\n")},
                      JsonCase{"not_utf8_name", QByteArray("caf\xe9 \xff\xfe.png"),
                               QString::fromUtf8("\u00fcnic\u00f6de \u20ac \U0001F600")},
                      JsonCase{"line_separators",
                               "a\xe2\x80\xa8"
                               "b.png",
                               QString::fromUtf8("x\u2028y\u2029z")},
                      JsonCase{"empty_text", "e.png", QString()}),
    [](const auto& info) { return std::string(info.param.name); });

// The bytes as the code holds them, in hexadecimal, whatever the text is.
TEST(JsonWriter, BytesThatAreNoUtf8InHexadecimal)
{
    const TScanResult result{
        "a.png",
        TScanStatus::Decoded,
        {Code(QStringLiteral("\uFFFD("), TBarcodeFormat::QR_CODE, QByteArray("\x00\xc3\x28\xff", 4))},
        QString()};
    const QJsonObject object = QJsonDocument::fromJson(JsonLine(result)).object();
    EXPECT_EQ(object.value("bytes").toString(), QStringLiteral("00c328ff"));
}

// Every code of a picture: "codes", a list in the order given, each with its
// format, text, bytes and four corners; empty when there is none, null after
// an error; no "format" or "text" of the picture's own.
TEST(JsonWriter, EveryCodeOfAPicture)
{
    const std::vector<TDecodedCode> codes = {
        Code(QStringLiteral("top"), TBarcodeFormat::QR_CODE, QByteArray("\xfe\x01", 2),
             {QPoint(10, 20), QPoint(110, 20), QPoint(110, 120), QPoint(10, 120)}),
        Code(QStringLiteral("4006381333931"), TBarcodeFormat::EAN_13, {},
             {QPoint(5, 300), QPoint(700, 301), QPoint(700, 340), QPoint(5, 341)})};
    const std::string out = Captured([&](std::FILE* to) {
        TJsonWriter writer(to, TCodesPerPicture::All);
        writer.Write(DecodedAll("a.png", codes));
        writer.Write(Unreadable("b.png"));
        writer.Write(Failed("c.png", "File not found"));
    });
    const QList<QByteArray> lines = QByteArray::fromStdString(out).split('\n');
    ASSERT_EQ(lines.size(), 4);
    std::vector<QJsonObject> objects;
    for (int i = 0; i < 3; ++i) {
        QJsonParseError error;
        objects.push_back(QJsonDocument::fromJson(lines[i], &error).object());
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        EXPECT_EQ(objects.back().keys(), (QStringList{"codes", "error", "file", "status"}));
    }
    EXPECT_EQ(objects[0].value("status").toString(), QStringLiteral("decoded"));
    const QJsonArray list = objects[0].value("codes").toArray();
    ASSERT_EQ(list.size(), 2);
    const QJsonObject first = list[0].toObject();
    EXPECT_EQ(first.keys(), (QStringList{"bytes", "content", "format", "position", "text"}));
    EXPECT_EQ(first.value("content").toObject().value("type").toString(), QStringLiteral("text"));
    EXPECT_EQ(first.value("format").toString(), QStringLiteral("QR_CODE"));
    EXPECT_EQ(first.value("text").toString(), QStringLiteral("top"));
    EXPECT_EQ(first.value("bytes").toString(), QStringLiteral("fe01"));
    EXPECT_EQ(QJsonDocument(first.value("position").toArray()).toJson(QJsonDocument::Compact),
              QByteArray("[[10,20],[110,20],[110,120],[10,120]]"));
    const QJsonObject second = list[1].toObject();
    EXPECT_EQ(second.value("format").toString(), QStringLiteral("EAN_13"));
    EXPECT_EQ(second.value("bytes").toString(), QString::fromLatin1(QByteArray("4006381333931").toHex()));
    EXPECT_EQ(QJsonDocument(second.value("position").toArray()).toJson(QJsonDocument::Compact),
              QByteArray("[[5,300],[700,301],[700,340],[5,341]]"));
    EXPECT_EQ(objects[0].value("error"), QJsonValue(QJsonValue::Null));

    EXPECT_EQ(objects[1].value("status").toString(), QStringLiteral("unreadable"));
    EXPECT_EQ(objects[1].value("codes"), QJsonValue(QJsonArray()));
    EXPECT_EQ(objects[2].value("status").toString(), QStringLiteral("error"));
    EXPECT_EQ(objects[2].value("codes"), QJsonValue(QJsonValue::Null));
    EXPECT_EQ(objects[2].value("error").toString(), QStringLiteral("File not found"));
}

TEST(JsonWriter, NamesThatAreNoUtf8BecomeReplacementCharacters)
{
    const QJsonObject object = QJsonDocument::fromJson(JsonLine(Unreadable("caf\xe9.png"))).object();
    EXPECT_EQ(object.value("file").toString(), QString::fromUtf8("caf\uFFFD.png"));
}

struct StatusCase {
    const char* name;
    std::vector<TScanStatus> statuses;
    int code;
};

class ExitStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ExitStatus, WorstOutcomeWins)
{
    TExitStatus status;
    for (TScanStatus s : GetParam().statuses)
        status.Add(s);
    EXPECT_EQ(status.Code(), GetParam().code);
}

using S = TScanStatus;
INSTANTIATE_TEST_SUITE_P(Cases, ExitStatus,
                         ::testing::Values(StatusCase{"all_decoded", {S::Decoded, S::Decoded, S::Decoded}, 0},
                                           StatusCase{"one_unreadable", {S::Decoded, S::Unreadable, S::Decoded}, 1},
                                           StatusCase{"one_error", {S::Decoded, S::Error, S::Decoded}, 2},
                                           StatusCase{"error_before_unreadable", {S::Error, S::Unreadable}, 2},
                                           StatusCase{"unreadable_before_error", {S::Unreadable, S::Error}, 2},
                                           StatusCase{"nothing", {}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The pool of decoder processes ---------------------------------------

// What a file of the pool's test holds, and the result it gives.
struct TPoolFile {
    const char* kind; // "code", "blank", "missing", or a fault's kind
    TScanStatus status;
};

std::vector<TScanResult> ScanWithPool(const QList<QByteArray>& files, int processes)
{
    std::vector<std::unique_ptr<TDecoderProcess>> pool;
    for (int i = 0; i < processes; ++i)
        pool.push_back(std::make_unique<TDecoderProcess>(ForkDecoder(TDecoderReaders::BuiltIn)));
    std::vector<TScanResult> results;
    ScanFiles(files, pool, TBarcodeFormat::Auto, [&](const TScanResult& result) { results.push_back(result); });
    return results;
}

// Results come in the files' order, whatever order the processes finish in,
// and a process that aborts, crashes, loops or runs out of memory costs its
// picture alone: the file gets an error that says so, and the files after it
// go to fresh processes.
TEST(ScanFiles, InOrderAndAFaultCostsOnePicture)
{
    const TDecoderFaults faults(1500);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const auto write = [&](const QString& name, const QImage& picture) {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(picture.save(path, "PNG"));
        return QFile::encodeName(path);
    };
    const QByteArray code = write(QStringLiteral("code.png"), LoadSample(QStringLiteral("ean_8.png")));
    QImage white(64, 64, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QByteArray blank = write(QStringLiteral("blank.png"), white);
    const std::vector<TPoolFile> kinds = {{"code", TScanStatus::Decoded},  {"blank", TScanStatus::Unreadable},
                                          {"missing", TScanStatus::Error}, {"abort", TScanStatus::Error},
                                          {"segv", TScanStatus::Error},    {"loop", TScanStatus::Error},
                                          {"alloc", TScanStatus::Error},   {"code", TScanStatus::Decoded}};
    QList<QByteArray> files;
    std::vector<TPoolFile> expected;
    for (int round = 0; round < 3; ++round)
        for (const TPoolFile& kind : kinds) {
            const QString name = QLatin1String(kind.kind);
            if (name == QLatin1String("code"))
                files.append(code);
            else if (name == QLatin1String("blank"))
                files.append(blank);
            else if (name == QLatin1String("missing"))
                files.append(QFile::encodeName(folder.filePath(QStringLiteral("missing.png"))));
            else
                files.append(write(name + QStringLiteral(".png"), FaultPicture(name)));
            expected.push_back(kind);
        }

    for (const int processes : {1, 3}) {
        const std::vector<TScanResult> results = ScanWithPool(files, processes);
        ASSERT_EQ(results.size(), expected.size());
        for (std::size_t i = 0; i < results.size(); ++i) {
            SCOPED_TRACE(testing::Message() << processes << " processes, file " << i << " " << expected[i].kind);
            EXPECT_EQ(results[i].file, files[qsizetype(i)]);
            EXPECT_EQ(results[i].status, expected[i].status);
            const QString kind = QLatin1String(expected[i].kind);
            if (kind == QLatin1String("code")) {
                ASSERT_EQ(results[i].codes.size(), 1u);
                EXPECT_EQ(results[i].codes.front().text, QStringLiteral("96385074"));
            } else if (kind == QLatin1String("missing")) {
                EXPECT_EQ(results[i].error, QString::fromLocal8Bit(std::strerror(ENOENT)));
            } else if (kind == QLatin1String("alloc")) {
                // Out of memory ends the process: with a reply that says so, or without one.
                EXPECT_TRUE(results[i].error == QLatin1String(kDecoderStoppedText)
                            || results[i].error == QLatin1String("Not enough memory to decode the picture."))
                    << results[i].error.toStdString();
            } else if (kind != QLatin1String("blank")) {
                EXPECT_EQ(results[i].error, QLatin1String(kDecoderStoppedText));
            }
        }
    }
}

// A decoder process can neither open a file, nor make a socket, nor start a
// process or a program: each call fails as the system refuses it.
TEST(ScanFiles, TheDecoderProcessMayDoNothingElse)
{
    const TDecoderFaults faults;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("probe.png"));
    ASSERT_TRUE(FaultPicture(QStringLiteral("probe")).save(path, "PNG"));
    for (const TDecoderReaders readers : {TDecoderReaders::BuiltIn, TDecoderReaders::All}) {
        TPictureDecoder decoder(ForkDecoder(readers));
        const TScanResult result = ScanPicture(QFile::encodeName(path), decoder, TBarcodeFormat::Auto);
        EXPECT_EQ(result.status, TScanStatus::Error);
        const QString refused = QString::fromLocal8Bit(std::strerror(EPERM));
        EXPECT_EQ(result.error, QStringLiteral("open: %1; socket: %1; fork: %1; exec: %1").arg(refused));
    }
}

TEST(WorkersFor, OnePerProcessorAndNoMoreThanFiles)
{
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(WorkersFor(1), 1);
    EXPECT_EQ(WorkersFor(0), 1);
    EXPECT_EQ(WorkersFor(1000), processors);
    EXPECT_EQ(WorkersFor(2), std::min(2, processors));
}

} // namespace

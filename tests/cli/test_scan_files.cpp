// lantrix-scan over several files, with --json and with standard input, run
// as a separate process in a folder of pictures made by the test.
#include "decode/ZXingCompat.h"
#include "support/CaptureTestSupport.h"
#include "support/CommandRun.h"
#include "support/PictureFiles.h"
#include "support/Samples.h"
#include "support/TestDecoder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRect>
#include <QTemporaryDir>

#include <ZXing/BitMatrix.h>
#include <ZXing/CharacterSet.h>
#include <ZXing/MultiFormatWriter.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace {

const QByteArray kQrText = "https://lantrix.invalid/hello?from=qr";

// What the system says of a file that is not there, and of a folder.
const QByteArray kNoSuchFile = std::strerror(ENOENT);
const QByteArray kIsAFolder = std::strerror(EISDIR);

// Bytes that are no UTF-8: a NUL, a lone continuation byte, bytes never
// used, a broken sequence, and a line break.
const QByteArray kBinary("\x00\x80\xff\xc3\x28"
                         "A\xfe\n\xe9\x01",
                         10);

// The sample with light and dark swapped: a light code on a dark ground.
QByteArray NegativeOf(const QString& sample)
{
    QImage picture = LoadSample(sample).convertToFormat(QImage::Format_RGB32);
    picture.invertPixels();
    return EncodePicture(picture, "PNG");
}

// Where each sample lies in the picture of three codes: a QR code at the top,
// an EAN-13 and a Data Matrix side by side below it (zxing-cpp finds a Data
// Matrix code only across the picture's middle row).
const QRect kThreeQr(300, 20, 296, 296);
const QRect kThreeEan13(40, 400, 798, 450);
const QRect kThreeDataMatrix(880, 360, 480, 480);

QByteArray ThreeCodes()
{
    QImage canvas(1400, 1200, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(kThreeDataMatrix.topLeft(), LoadSample("data_matrix.png"));
    painter.drawImage(kThreeEan13.topLeft(), LoadSample("ean_13.png"));
    painter.drawImage(kThreeQr.topLeft(), LoadSample("qr_code.png"));
    painter.end();
    return EncodePicture(canvas, "PNG");
}

QByteArray SampleBytes(const QString& name)
{
    QFile file(SamplePath(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

void WriteFile(const QByteArray& path, const QByteArray& bytes)
{
    FILE* file = std::fopen(path.constData(), "wb"); // the name as bytes
    ASSERT_NE(file, nullptr) << path.toStdString();
    EXPECT_EQ(std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), file), std::size_t(bytes.size()));
    std::fclose(file);
}

// A folder of pictures; the scanner runs in it, so that names are short.
class PictureFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = QFile::encodeName(dir.path()) + '/';
        Put("qr.png", SampleBytes("qr_code.png"));
        Put("ean8.png", SampleBytes("ean_8.png"));
        Put("code128.png", SampleBytes("code_128.png"));
        Put("aztec.png", SampleBytes("aztec.png"));
        Put("truncated.png", SampleBytes("qr_code.png").left(200));
        Put("notes.md", "# not a picture\n");
        Put("photo.jpg", EncodePicture(LoadSample("qr_code.png"), "JPG", 90));
        Put("qr-negative.png", NegativeOf("qr_code.png"));
        Put("dm-negative.png", NegativeOf("data_matrix.png"));
        Put("ean13-negative.png", NegativeOf("ean_13.png"));
        Put("three.png", ThreeCodes());
        Put("binary.png", EncodePicture(QrCodeOfBytes(kBinary), "PNG"));
    }

    void Put(const QByteArray& name, const QByteArray& bytes) { WriteFile(folder + name, bytes); }

    TCommandOutcome Scan(const QList<QByteArray>& arguments, const QByteArray& input = {})
    {
        TCommand command;
        command.program = BuiltProgram("lantrix-scan");
        command.arguments = arguments;
        command.input = input;
        command.workingFolder = folder;
        TCommandOutcome outcome = RunCommand(command);
        EXPECT_TRUE(outcome.finished) << "lantrix-scan did not end in time";
        EXPECT_EQ(outcome.signal, 0) << "lantrix-scan was ended by a signal";
        return outcome;
    }

    QTemporaryDir dir;
    QByteArray folder;
};

// ---- Several files: output in the files' order, and the exit status ------

struct ManyCase {
    const char* name;
    QList<QByteArray> arguments;
    int exitCode;
    QByteArray out, err; // all of each
};

void PrintTo(const ManyCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanMany : public PictureFolder, public ::testing::WithParamInterface<ManyCase> {};

TEST_P(ScanMany, PrefixedLinesInOrderAndExitStatus)
{
    const TCommandOutcome run = Scan(GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.out.toStdString(), GetParam().out.toStdString());
    EXPECT_EQ(run.err.toStdString(), GetParam().err.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanMany,
    ::testing::Values(
        ManyCase{"all_decoded",
                 {"qr.png", "ean8.png", "code128.png", "photo.jpg"},
                 0,
                 "qr.png: " + kQrText + "\nean8.png: 96385074\ncode128.png: LANTRIX-128-Sample\nphoto.jpg: " + kQrText
                     + "\n",
                 ""},
        ManyCase{"one_unreadable",
                 {"qr.png", "aztec.png", "ean8.png"},
                 1,
                 "qr.png: " + kQrText + "\nean8.png: 96385074\n",
                 "aztec.png: Unreadable!\n"},
        ManyCase{"one_missing",
                 {"missing.png", "qr.png"},
                 2,
                 "qr.png: " + kQrText + "\n",
                 "lantrix-scan: missing.png: " + kNoSuchFile + "\n"},
        ManyCase{"mixed",
                 {"aztec.png", "qr.png", "missing.png", "notes.md", "truncated.png", "ean8.png"},
                 2,
                 "qr.png: " + kQrText + "\nean8.png: 96385074\n",
                 "aztec.png: Unreadable!\nlantrix-scan: missing.png: " + kNoSuchFile
                     + "\nlantrix-scan: notes.md: Unknown picture file extension (.md)\n"
                       "lantrix-scan: truncated.png: Unable to read image data\n"},
        ManyCase{"unreadable_and_nothing_worse",
                 {"aztec.png", "aztec.png"},
                 1,
                 "",
                 "aztec.png: Unreadable!\naztec.png: Unreadable!\n"},
        ManyCase{"format_for_all",
                 {"--format", "EAN_8", "qr.png", "ean8.png"},
                 1,
                 "ean8.png: 96385074\n",
                 "qr.png: Unreadable!\n"},
        ManyCase{"folder_among_files",
                 {".", "qr.png"},
                 2,
                 "qr.png: " + kQrText + "\n",
                 "lantrix-scan: .: " + kIsAFolder + "\n"},
        ManyCase{"one_file_as_before", {"aztec.png"}, 1, "", "Unreadable!\n"},
        // One file: the message names the program and the file, as with several.
        ManyCase{"one_missing_file", {"missing.png"}, 2, "", "lantrix-scan: missing.png: " + kNoSuchFile + "\n"},
        ManyCase{"one_folder", {"."}, 2, "", "lantrix-scan: .: " + kIsAFolder + "\n"},
        ManyCase{"one_file_no_picture",
                 {"notes.md"},
                 2,
                 "",
                 "lantrix-scan: notes.md: Unknown picture file extension (.md)\n"},
        // Light codes on a dark ground: read with --inverted only.
        ManyCase{"negative_qr", {"qr-negative.png"}, 1, "", "Unreadable!\n"},
        ManyCase{"negative_qr_inverted", {"--inverted", "qr-negative.png"}, 0, kQrText + "\n", ""},
        ManyCase{"negative_data_matrix", {"dm-negative.png"}, 1, "", "Unreadable!\n"},
        ManyCase{
            "negative_data_matrix_inverted", {"dm-negative.png", "--inverted"}, 0, "Lantrix Data Matrix 0042\n", ""},
        ManyCase{"negative_ean13", {"--format", "EAN_13", "ean13-negative.png"}, 1, "", "Unreadable!\n"},
        ManyCase{"negative_ean13_inverted",
                 {"--inverted", "--format", "EAN_13", "ean13-negative.png"},
                 0,
                 "4006381333931\n",
                 ""},
        ManyCase{"negative_ean13_other_format",
                 {"--inverted", "--format", "QR_CODE", "ean13-negative.png"},
                 1,
                 "",
                 "Unreadable!\n"},
        ManyCase{"negatives_among_files",
                 {"--inverted", "qr.png", "dm-negative.png", "ean13-negative.png", "aztec.png"},
                 1,
                 "qr.png: " + kQrText
                     + "\ndm-negative.png: Lantrix Data Matrix 0042\nean13-negative.png: 4006381333931\n",
                 "aztec.png: Unreadable!\n"},
        ManyCase{"negatives_among_files_not_inverted",
                 {"qr.png", "dm-negative.png", "ean13-negative.png"},
                 1,
                 "qr.png: " + kQrText + "\n",
                 "dm-negative.png: Unreadable!\nean13-negative.png: Unreadable!\n"},
        // Every code of a picture, top to bottom and left to right.
        ManyCase{"three_codes_one", {"three.png"}, 0, "4006381333931\n", ""},
        ManyCase{
            "three_codes_all", {"--all", "three.png"}, 0, kQrText + "\n4006381333931\nLantrix Data Matrix 0042\n", ""},
        ManyCase{"three_codes_all_among_files",
                 {"three.png", "aztec.png", "ean8.png", "--all"},
                 1,
                 "three.png: " + kQrText
                     + "\nthree.png: 4006381333931\nthree.png: Lantrix Data Matrix 0042\n"
                       "ean8.png: 96385074\n",
                 "aztec.png: Unreadable!\n"},
        ManyCase{"three_codes_all_of_a_format",
                 {"--all", "--format", "DATA_MATRIX", "three.png"},
                 0,
                 "Lantrix Data Matrix 0042\n",
                 ""},
        ManyCase{"all_inverted", {"--all", "--inverted", "qr-negative.png"}, 0, kQrText + "\n", ""},
        // The content as encoded, byte for byte, without a newline.
        ManyCase{"raw_bytes_not_utf8", {"--raw-bytes", "binary.png"}, 0, kBinary, ""},
        ManyCase{"raw_bytes_text", {"--raw-bytes", "qr.png"}, 0, kQrText, ""},
        ManyCase{"raw_bytes_inverted", {"--inverted", "--raw-bytes", "qr-negative.png"}, 0, kQrText, ""},
        ManyCase{"raw_bytes_unreadable", {"--raw-bytes", "aztec.png"}, 1, "", "Unreadable!\n"},
        // An empty name is shown as grep shows it.
        ManyCase{"one_empty_name", {""}, 2, "", "lantrix-scan: '': " + kNoSuchFile + "\n"},
        ManyCase{"empty_name_among_files",
                 {"qr.png", ""},
                 2,
                 "qr.png: " + kQrText + "\n",
                 "lantrix-scan: '': " + kNoSuchFile + "\n"},
        // A format without a reader decodes as Auto, after a warning; the exit
        // status is that of the pictures.
        ManyCase{"format_without_reader",
                 {"--format", "MSI", "qr.png"},
                 0,
                 kQrText + "\n",
                 "lantrix-scan: no reader for MSI: decoding as with Auto\n"},
        ManyCase{"format_without_reader_among_files",
                 {"--format", "plessey", "qr.png", "aztec.png"},
                 1,
                 "qr.png: " + kQrText + "\n",
                 "lantrix-scan: no reader for PLESSEY: decoding as with Auto\naztec.png: Unreadable!\n"},
        ManyCase{"format_of_every_format_alone",
                 {"--format", "MICRO_QR", "ean8.png"},
                 0,
                 "96385074\n",
                 "lantrix-scan: no reader for MICRO_QR without --every-format: decoding as with Auto\n"},
        ManyCase{
            "micro_qr_looked_for_alone", {"--every-format", "--format", "micro_qr", "qr.png"}, 1, "", "Unreadable!\n"},
        ManyCase{"raw_bytes_missing",
                 {"--raw-bytes", "missing.png"},
                 2,
                 "",
                 "lantrix-scan: missing.png: " + kNoSuchFile + "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Many files of different costs: every line comes, in the files' order.
TEST_F(PictureFolder, ManyFilesKeepTheirOrder)
{
    QList<QByteArray> arguments;
    QByteArray expectedOut, expectedErr;
    const char* const names[] = {"qr.png", "aztec.png", "ean8.png", "photo.jpg", "code128.png"};
    for (int i = 0; i < 60; ++i) {
        const QByteArray name = names[(i * 7) % 5];
        arguments.append(name);
        if (name == "aztec.png")
            expectedErr += name + ": Unreadable!\n";
        else
            expectedOut += name + ": "
                           + (name == "ean8.png"      ? "96385074"
                              : name == "code128.png" ? "LANTRIX-128-Sample"
                                                      : kQrText)
                           + "\n";
    }
    const TCommandOutcome run = Scan(arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.toStdString(), expectedOut.toStdString());
    EXPECT_EQ(run.err.toStdString(), expectedErr.toStdString());
}

// ---- A decoder that stops --------------------------------------------------

struct FaultCase {
    const char* name;
    QList<QByteArray> arguments;
    QByteArray out, err;
    int exitCode;
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

// A picture on which the decoder process aborts, crashes, loops or runs out
// of address space costs that picture alone: it gets an error that says so,
// the run goes on with the next picture, and the exit status is 2.
class DecoderFaults : public PictureFolder, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DecoderFaults, CostOnePictureEach)
{
    const TDecoderFaults faults(1500);
    for (const char* kind : {"abort", "segv", "loop", "alloc"})
        Put(QByteArray(kind) + ".png", EncodePicture(FaultPicture(QLatin1String(kind)), "PNG"));
    const TCommandOutcome run = Scan(GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.out.toStdString(), GetParam().out.toStdString());
    QByteArray err = run.err;
    // Out of address space ends the process, with a reply that says so or without one.
    err.replace("Not enough memory to decode the picture.", kDecoderStoppedText);
    EXPECT_EQ(err.toStdString(), GetParam().err.toStdString());
}

const QByteArray kStopped = kDecoderStoppedText;
const QByteArray kQrJson = "{\"bytes\":\"" + kQrText.toHex() + "\",\"content\":{\"type\":\"url\",\"url\":\"" + kQrText
                           + "\"},\"error\":null,\"file\":\"qr.png\",\"format\":\"QR_CODE\",\"status\":\"decoded\","
                             "\"text\":\""
                           + kQrText + "\"}\n";

INSTANTIATE_TEST_SUITE_P(
    OneSeveralJson, DecoderFaults,
    ::testing::Values(
        FaultCase{"one_file", {"abort.png"}, "", "lantrix-scan: abort.png: " + kStopped + "\n", 2},
        FaultCase{"several_files",
                  {"segv.png", "qr.png", "loop.png", "ean8.png", "alloc.png", "abort.png", "qr.png"},
                  "qr.png: " + kQrText + "\nean8.png: 96385074\nqr.png: " + kQrText + "\n",
                  "lantrix-scan: segv.png: " + kStopped + "\nlantrix-scan: loop.png: " + kStopped
                      + "\nlantrix-scan: alloc.png: " + kStopped + "\nlantrix-scan: abort.png: " + kStopped + "\n",
                  2},
        FaultCase{"json",
                  {"--json", "abort.png", "qr.png"},
                  "{\"bytes\":null,\"content\":null,\"error\":\"" + kStopped
                      + "\",\"file\":\"abort.png\",\"format\":null,\"status\":\"error\",\"text\":null}\n" + kQrJson,
                  "",
                  2},
        FaultCase{"every_code",
                  {"--all", "qr.png", "segv.png", "ean8.png"},
                  "qr.png: " + kQrText + "\nean8.png: 96385074\n",
                  "lantrix-scan: segv.png: " + kStopped + "\n",
                  2}),
    [](const auto& info) { return std::string(info.param.name); });

// A real picture on which zxing-cpp 1.4 asserts when every format is read (a
// DataBar code scratched across one line of its right half): the scanner
// says the picture could not be decoded and reads the others. zxing-cpp 2
// reads its code.
TEST_F(PictureFolder, ALibraryAssertionCostsOnePicture)
{
    QFile witness(QStringLiteral(LANTRIX_SOURCE_DIR "/tests/decode/fixtures/databar-abort.png"));
    ASSERT_TRUE(witness.open(QIODevice::ReadOnly));
    Put("databar.png", witness.readAll());
    const TCommandOutcome run = Scan({"--every-format", "--try-harder", "databar.png", "qr.png"});
    if (ZXingCompat::kMajorVersion >= 2) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out.toStdString(), "databar.png: 98898765432106\nqr.png: " + kQrText.toStdString() + "\n");
        EXPECT_EQ(run.err.toStdString(), "");
    } else {
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out.toStdString(), "qr.png: " + kQrText.toStdString() + "\n");
        EXPECT_EQ(run.err.toStdString(), ("lantrix-scan: databar.png: " + kStopped + "\n").toStdString());
    }
}

// ---- --json, parsed back ---------------------------------------------------

struct JsonFile {
    QByteArray name; // as bytes; not always UTF-8
    const char* status;
    const char* format; // nullptr: null
    QString text;       // for "decoded"
    const char* error;  // a part of it, for "error"
};

// Names with control characters, quotes and bytes that are no UTF-8, and
// codes whose texts hold control characters, quotes and other scripts.
const QString kAwkwardText =
    QString::fromUtf8("tab\there \"quoted\" back\\slash\nnew line \x01\x1b[0m caf\u00e9 \u20ac \U0001F600");

TEST_F(PictureFolder, JsonLinesParseBackWithAwkwardTextsAndNames)
{
    const QByteArray awkwardName = "line\nbreak \"and\" \\ \x01 caf\xe9 \xff.png";
    ASSERT_TRUE(QrCodePicture(kAwkwardText).save(dir.filePath("awkward-text.png")));
    Put(awkwardName, SampleBytes("ean_8.png"));
    Put("\xe9t\xe9.bmp", QByteArray());
    {
        QFile bmp(dir.filePath("good.bmp"));
        ASSERT_TRUE(LoadSample("data_matrix.png").save(&bmp, "BMP"));
    }

    const std::vector<JsonFile> files = {
        {"awkward-text.png", "decoded", "QR_CODE", kAwkwardText, nullptr},
        {awkwardName, "decoded", "EAN_8", QStringLiteral("96385074"), nullptr},
        {"aztec.png", "unreadable", nullptr, {}, nullptr},
        {"missing.png", "error", nullptr, {}, std::strerror(ENOENT)},
        {"\xe9t\xe9.bmp", "error", nullptr, {}, ""},
        {"good.bmp", "decoded", "DATA_MATRIX", QStringLiteral("Lantrix Data Matrix 0042"), nullptr},
        {"notes.md", "error", nullptr, {}, "Unknown picture file extension (.md)"},
    };
    QList<QByteArray> arguments{"--json"};
    for (const JsonFile& file : files)
        arguments.append(file.name);
    const TCommandOutcome run = Scan(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, ""); // everything is on standard output

    QList<QByteArray> lines = run.out.split('\n');
    ASSERT_EQ(lines.size(), qsizetype(files.size()) + 1) << run.out.toStdString();
    EXPECT_TRUE(lines.takeLast().isEmpty());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const JsonFile& file = files[i];
        SCOPED_TRACE(i);
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(lines[qsizetype(i)], &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[qsizetype(i)].toStdString();
        EXPECT_EQ(object.value("file").toString(), QString::fromUtf8(file.name));
        EXPECT_EQ(object.value("status").toString(), QLatin1String(file.status));
        EXPECT_EQ(object.value("format"), file.format ? QJsonValue(QLatin1String(file.format)) : QJsonValue());
        if (QLatin1String(file.status) == QLatin1String("decoded"))
            EXPECT_EQ(object.value("text").toString(), file.text);
        else
            EXPECT_TRUE(object.value("text").isNull());
        if (file.error)
            EXPECT_TRUE(object.value("error").toString().contains(QLatin1String(file.error)));
        else
            EXPECT_TRUE(object.value("error").isNull());
    }
}

TEST_F(PictureFolder, JsonWithOneFileIsOneLine)
{
    const TCommandOutcome run = Scan({"--json", "qr.png"});
    EXPECT_EQ(run.exitCode, 0);
    const QJsonObject object = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(object.value("text").toString(), QString::fromUtf8(kQrText));
    EXPECT_EQ(object.value("format").toString(), QStringLiteral("QR_CODE"));
    EXPECT_TRUE(run.out.endsWith("}\n"));
    EXPECT_EQ(run.out.count('\n'), 1);
}

// The bytes of the code as encoded, in hexadecimal, beside a text that cannot
// hold them.
TEST_F(PictureFolder, JsonBytesOfACodeThatIsNoUtf8)
{
    const TCommandOutcome run = Scan({"--json", "binary.png", "qr.png"});
    EXPECT_EQ(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    const QJsonObject binary = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(binary.value("status").toString(), QStringLiteral("decoded"));
    EXPECT_EQ(binary.value("bytes").toString(), QString::fromLatin1(kBinary.toHex()));
    EXPECT_EQ(QByteArray::fromHex(binary.value("bytes").toString().toLatin1()), kBinary);
    const QJsonObject text = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(text.value("bytes").toString(), QString::fromLatin1(kQrText.toHex()));
}

// What each code holds, as "content" beside its text: one picture per kind,
// read back from lantrix-scan's JSON Lines.
TEST_F(PictureFolder, JsonContentOfEachKind)
{
    const struct {
        const char* file;
        const char* text;
        const char* content;
    } kinds[] = {
        {"link.png", "https://lantrix.invalid/a?b=1", R"({"type":"url","url":"https://lantrix.invalid/a?b=1"})"},
        {"wifi.png", "WIFI:T:WPA;S:Caf\u00e9\\;Bar;P:pa\\:ss\\,word;H:true;;",
         R"({"hidden":true,"password":"pa:ss,word","security":"WPA","ssid":"Caf\u00e9;Bar","type":"wifi"})"},
        {"mail.png", "mailto:ana@lantrix.invalid?subject=Hi",
         R"({"bcc":[],"body":null,"cc":[],"subject":"Hi","to":["ana@lantrix.invalid"],"type":"email"})"},
        {"phone.png", "tel:+15550100", R"({"number":"+15550100","type":"phone"})"},
        {"sms.png", "SMSTO:+15550100:See you", R"({"body":"See you","number":"+15550100","type":"sms"})"},
        {"contact.png", "MECARD:N:Lima,Ana;TEL:+15550100;EMAIL:ana@lantrix.invalid;;",
         R"({"address":null,"emails":["ana@lantrix.invalid"],"name":"Ana Lima","note":null,"organization":null,"phones":["+15550100"],"title":null,"type":"contact","url":null})"},
        {"event.png", "BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART:20261224T180000Z\nEND:VEVENT",
         R"({"description":null,"end":null,"location":null,"start":"2026-12-24T18:00:00Z","summary":"Launch","timeZone":null,"type":"event"})"},
        {"place.png", "geo:52.52,13.405",
         R"({"altitude":null,"latitude":52.52,"longitude":13.405,"query":null,"type":"place"})"},
        {"words.png", "WIFI:T:WPA;S:no password;;", R"({"type":"text"})"},
    };
    QList<QByteArray> arguments{"--json"};
    for (const auto& kind : kinds) {
        const QString text = QString::fromUtf8(kind.text);
        ASSERT_FALSE(text.isEmpty()) << kind.text;
        Put(kind.file, EncodePicture(QrCodePicture(text), "PNG"));
        arguments.append(kind.file);
    }
    const TCommandOutcome run = Scan(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QByteArray> lines = run.out.split('\n');
    ASSERT_EQ(lines.size(), int(std::size(kinds)) + 1) << run.out.toStdString();
    for (int i = 0; i < int(std::size(kinds)); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i]).object();
        EXPECT_EQ(object.value("file").toString(), QLatin1String(kinds[i].file));
        EXPECT_EQ(QJsonDocument(object.value("content").toObject()).toJson(QJsonDocument::Compact),
                  QJsonDocument::fromJson(kinds[i].content).toJson(QJsonDocument::Compact))
            << kinds[i].file;
    }
    // With every code of a picture, each code carries its content too.
    const TCommandOutcome all = Scan({"--all", "--json", "wifi.png"});
    const QJsonArray codes = QJsonDocument::fromJson(all.out).object().value("codes").toArray();
    ASSERT_EQ(codes.size(), 1) << all.out.toStdString();
    EXPECT_EQ(codes[0].toObject().value("content").toObject().value("ssid").toString(), QString::fromUtf8("Café;Bar"));
}

// --all --json: "codes" in reading order, each with its format, text, bytes
// and four corners, which lie in the picture on the code they belong to.
TEST_F(PictureFolder, JsonEveryCodeWithItsCorners)
{
    const TCommandOutcome run = Scan({"--all", "--json", "three.png", "aztec.png", "missing.png"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "");
    const QList<QByteArray> lines = run.out.split('\n');
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();

    const QJsonObject three = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(three.value("file").toString(), QStringLiteral("three.png"));
    EXPECT_EQ(three.value("status").toString(), QStringLiteral("decoded"));
    EXPECT_FALSE(three.contains("text"));
    const QJsonArray codes = three.value("codes").toArray();
    const struct {
        const char* format;
        QByteArray text;
        QRect area;
    } expected[] = {{"QR_CODE", kQrText, kThreeQr},
                    {"EAN_13", "4006381333931", kThreeEan13},
                    {"DATA_MATRIX", "Lantrix Data Matrix 0042", kThreeDataMatrix}};
    ASSERT_EQ(codes.size(), 3) << lines[0].toStdString();
    const QRect picture(0, 0, 1400, 1200);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject code = codes[i].toObject();
        EXPECT_EQ(code.value("format").toString(), QLatin1String(expected[i].format));
        EXPECT_EQ(code.value("text").toString(), QString::fromUtf8(expected[i].text));
        EXPECT_EQ(code.value("bytes").toString(), QString::fromLatin1(expected[i].text.toHex()));
        const QJsonArray corners = code.value("position").toArray();
        ASSERT_EQ(corners.size(), 4);
        for (const QJsonValue& corner : corners) {
            const QPoint point(corner.toArray().at(0).toInt(-1), corner.toArray().at(1).toInt(-1));
            EXPECT_TRUE(picture.contains(point)) << point.x() << "," << point.y();
            EXPECT_TRUE(expected[i].area.contains(point)) << point.x() << "," << point.y();
        }
    }
    const QJsonObject aztec = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(aztec.value("status").toString(), QStringLiteral("unreadable"));
    EXPECT_EQ(aztec.value("codes"), QJsonValue(QJsonArray()));
    const QJsonObject missing = QJsonDocument::fromJson(lines[2]).object();
    EXPECT_EQ(missing.value("status").toString(), QStringLiteral("error"));
    EXPECT_TRUE(missing.value("codes").isNull());
}

// ---- Standard input -------------------------------------------------------

struct InputCase {
    const char* name;
    QList<QByteArray> arguments;
    QByteArray (*input)();
    int exitCode;
    QByteArray out, err;
};

void PrintTo(const InputCase& c, std::ostream* out)
{
    *out << c.name;
}

QByteArray QrPng()
{
    return SampleBytes("qr_code.png");
}
QByteArray QrJpeg()
{
    return EncodePicture(LoadSample("qr_code.png"), "JPG", 90);
}
QByteArray Ean8Bmp()
{
    return EncodePicture(LoadSample("ean_8.png"), "BMP");
}
QByteArray QrSvg()
{
    const QImage code = LoadSample("qr_code.png").convertToFormat(QImage::Format_RGB32);
    QByteArray svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\">"
                                    "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>")
                         .arg(code.width())
                         .arg(code.height())
                         .toUtf8();
    for (int y = 0; y < code.height(); ++y)
        for (int x = 0; x < code.width(); ++x)
            if (qGray(code.pixel(x, y)) < 128)
                svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"1\" height=\"1\"/>").arg(x).arg(y).toUtf8();
    return svg + "</svg>\n";
}
QByteArray BinaryPng()
{
    return EncodePicture(QrCodeOfBytes(kBinary), "PNG");
}
QByteArray Words()
{
    return "these are words, not a picture\n";
}
QByteArray Nothing()
{
    return {};
}
QByteArray QrRgbSample()
{
    // The sample on a 320x240 frame, as 24-bit RGB rows bottom-up.
    const QImage scene = SceneWithCode(320, 240, LoadSample("qr_code.png").scaled(200, 200), 60, 20)
                             .convertToFormat(QImage::Format_RGB888);
    QByteArray out;
    for (int y = scene.height() - 1; y >= 0; --y)
        for (int x = 0; x < scene.width(); ++x) {
            const QRgb c = scene.pixel(x, y);
            out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        }
    return out;
}

class ScanInput : public PictureFolder, public ::testing::WithParamInterface<InputCase> {};

TEST_P(ScanInput, PictureFromStandardInput)
{
    const TCommandOutcome run = Scan(GetParam().arguments, GetParam().input());
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.out.toStdString(), GetParam().out.toStdString());
    EXPECT_EQ(run.err.toStdString(), GetParam().err.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanInput,
    ::testing::Values(
        InputCase{"png", {"-"}, QrPng, 0, kQrText + "\n", ""}, InputCase{"jpeg", {"-"}, QrJpeg, 0, kQrText + "\n", ""},
        InputCase{"bmp", {"-"}, Ean8Bmp, 0, "96385074\n", ""}, InputCase{"svg", {"-"}, QrSvg, 0, kQrText + "\n", ""},
        InputCase{"no_picture", {"-"}, Words, 2, "", "lantrix-scan: -: Unsupported image format\n"},
        InputCase{"nothing", {"-"}, Nothing, 2, "", "lantrix-scan: -: Nothing came on standard input.\n"},
        InputCase{"with_format", {"--format", "QR_CODE", "-"}, QrPng, 0, kQrText + "\n", ""},
        InputCase{"among_files",
                  {"ean8.png", "-", "aztec.png"},
                  QrJpeg,
                  1,
                  "ean8.png: 96385074\n-: " + kQrText + "\n",
                  "aztec.png: Unreadable!\n"},
        InputCase{"json",
                  {"--json", "-"},
                  QrPng,
                  0,
                  "{\"bytes\":\"" + kQrText.toHex() + "\",\"content\":{\"type\":\"url\",\"url\":\"" + kQrText
                      + "\"},\"error\":null,\"file\":\"-\",\"format\":\"QR_CODE\",\"status\":\"decoded\",\"text\":\""
                      + kQrText + "\"}\n",
                  ""},
        InputCase{"raw_bytes", {"--raw-bytes", "-"}, BinaryPng, 0, kBinary, ""},
        InputCase{"a_file_named_dash", {"./-"}, Nothing, 2, "", "lantrix-scan: ./-: " + kNoSuchFile + "\n"},
        InputCase{"raw_sample", {"--raw", "320x240:RGB", "-"}, QrRgbSample, 0, kQrText + "\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

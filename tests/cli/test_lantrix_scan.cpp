// lantrix-scan run as a separate process: its output and exit codes for
// picture files, bad usage, and raw camera samples.
#include "capture/SampleFormats.h"
#include "support/CaptureTestSupport.h"
#include "support/PictureFiles.h"
#include "support/Samples.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ScanOutcome {
    int exitCode = -1;
    QString out, err;
};

// A run that ends by a crash or does not end in time fails the test; the
// time is generous, for a busy machine, and only there so that a hang fails.
ScanOutcome Scan(const QStringList& arguments, int timeoutSeconds = 30)
{
    QProcess process;
    process.start(QStringLiteral(LANTRIX_BIN_DIR "/lantrix-scan"), arguments);
    if (!process.waitForFinished(timeoutSeconds * 1000)) {
        ADD_FAILURE() << "lantrix-scan did not end within " << timeoutSeconds << " s";
        process.kill();
        process.waitForFinished();
        return {};
    }
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "lantrix-scan crashed";
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

struct FileCase {
    const char* name;
    QStringList arguments; // "%S" stands for the samples folder
    int exitCode;
    const char* out;
    const char* err; // a part of standard error
};

class ScanFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ScanFile, OutputAndExitCode)
{
    QStringList arguments = GetParam().arguments;
    for (QString& a : arguments)
        a.replace("%S", QStringLiteral(LANTRIX_SOURCE_DIR "/samples"));
    const ScanOutcome run = Scan(arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), GetParam().out);
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(GetParam().err))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanFile,
    ::testing::Values(
        FileCase{"qr_auto", {"%S/qr_code.png"}, 0, "https://lantrix.invalid/hello?from=qr\n", ""},
        FileCase{"qr_own_format",
                 {"--format", "QR_CODE", "%S/qr_code.png"},
                 0,
                 "https://lantrix.invalid/hello?from=qr\n",
                 ""},
        FileCase{"format_after_file", {"%S/ean_8.png", "--format", "EAN_8"}, 0, "96385074\n", ""},
        FileCase{"other_format", {"--format", "EAN_13", "%S/qr_code.png"}, 1, "", "Unreadable!\n"},
        FileCase{"ean13_is_no_upca", {"--format", "UPC_A", "%S/ean_13.png"}, 1, "", "Unreadable!\n"},
        FileCase{"upca_as_upca", {"--format", "UPC_A", "%S/upc_a.png"}, 0, "036000291452\n", ""},
        FileCase{"no_reader_is_auto", {"--format", "PDF_417", "%S/code_93.png"}, 0, "LANTRIX93\n", ""},
        FileCase{"aztec_never", {"%S/aztec.png"}, 1, "", "Unreadable!"},
        FileCase{"missing_file", {"/no/such/picture.png"}, 2, "", ""},
        FileCase{"unknown_extension", {"%S/../README.md"}, 2, "", "Unknown picture file extension (.md)"},
        FileCase{"unknown_format", {"--format", "QRCODE", "%S/qr_code.png"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"lower_case_format",
                 {"--format", "qr_code", "%S/qr_code.png"},
                 0,
                 "https://lantrix.invalid/hello?from=qr\n",
                 ""},
        FileCase{"mixed_case_format", {"--format=Ean_8", "%S/ean_8.png"}, 0, "96385074\n", ""},
        FileCase{"lower_case_auto", {"--format", "auto", "%S/ean_8.png"}, 0, "96385074\n", ""},
        FileCase{"lower_case_other_format", {"--format", "ean_13", "%S/qr_code.png"}, 1, "", "Unreadable!\n"},
        FileCase{"format_without_name", {"%S/qr_code.png", "--format"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"unknown_option", {"--fast", "%S/qr_code.png"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"standard_input_twice", {"%S/qr_code.png", "-", "-"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"raw_with_two_files",
                 {"--raw", "8x8:YUY2", "%S/qr_code.png", "%S/ean_8.png"},
                 64,
                 "",
                 "Try 'lantrix-scan --help'."},
        FileCase{"count_without_source", {"--count", "1", "%S/qr_code.png"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"camera_with_file", {"--camera", "A", "%S/qr_code.png"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"no_file", {}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"save_without_raw",
                 {"--save-bitmap", "/tmp/x.bmp", "%S/qr_code.png"},
                 64,
                 "",
                 "Try 'lantrix-scan --help'."},
        FileCase{"bad_raw_size", {"--raw", "640:YUY2", "%S/qr_code.png"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"bad_raw_fourcc", {"--raw", "640x480:NV12", "%S/qr_code.png"}, 64, "", "Try 'lantrix-scan --help'."},
        FileCase{"raw_with_line_break_after",
                 {"--raw", "640x480:YUY2\n", "%S/qr_code.png"},
                 64,
                 "",
                 "Try 'lantrix-scan --help'."}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Pictures made by the test ---------------------------------------------

const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");

QString WriteBytes(const QString& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir + '/' + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return path;
}

// The QR sample as an SVG drawing, with the text written under the code as
// generators draw it.
QString WriteSvgWithText(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("qr_with_text.svg"),
                      SvgDrawing(LoadSample("qr_code.png"), QStringLiteral("hello?from=qr")));
}

QString WriteTruncatedPng(const QString& dir)
{
    QFile sample(SamplePath("qr_code.png"));
    EXPECT_TRUE(sample.open(QIODevice::ReadOnly));
    return WriteBytes(dir, QStringLiteral("truncated.png"), sample.read(200));
}

QString WriteEmptyPng(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("empty.png"), QByteArray());
}

QString WriteHuge16BitPng(const QString& dir)
{
    const QString path = dir + QStringLiteral("/huge.png");
    EXPECT_TRUE(WriteZeroPng(path, 6000, 6000, 16, 6));
    return path;
}

QString WriteTransparentPng(const QString& dir)
{
    const QString path = dir + QStringLiteral("/transparent.png");
    EXPECT_TRUE(TransparentQrSample().save(path));
    return path;
}

// A JPEG picture whose name says PNG: Qt's readers go by the content.
QString WriteJpegNamedPng(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("photo.png"), EncodePicture(LoadSample("qr_code.png"), "JPG", 95));
}

// A named pipe and a folder with a picture's name: no regular files. Nothing
// writes to the pipe, so reading it would wait forever.
QString MakePipeNamedPng(const QString& dir)
{
    const QString path = dir + QStringLiteral("/pipe.png");
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

QString MakeFolderNamedPng(const QString& dir)
{
    const QString path = dir + QStringLiteral("/folder.png");
    EXPECT_TRUE(QDir(dir).mkdir(QStringLiteral("folder.png")));
    return path;
}

QString MakeLinkLoop(const QString& dir)
{
    const QString path = dir + QStringLiteral("/loop.png");
    EXPECT_EQ(::symlink("loop.png", QFile::encodeName(path).constData()), 0);
    return path;
}

// A phone's photo of a barcode, taken sideways: stored as the sensor saw it,
// with the EXIF orientation that turns it upright.
QString WriteSidewaysPhoto(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("IMG_2041.jpg"), SidewaysJpeg(LoadSample("ean_13.png"), 6));
}

// Pictures whose names do not say their type: the content does.
QString WriteJfif(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("code.jfif"), EncodePicture(LoadSample("qr_code.png"), "JPG", 95));
}

QString WriteDib(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("code.dib"), EncodePicture(LoadSample("qr_code.png"), "BMP"));
}

QString WriteWithoutExtension(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("tmp.k2Jd81"), EncodePicture(LoadSample("qr_code.png"), "PNG"));
}

QString WriteSvgGz(const QString& dir)
{
    return WriteBytes(dir, QStringLiteral("code.svg.gz"), Gzip(SvgDrawing(LoadSample("qr_code.png"))));
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct MadeCase {
    const char* name;
    QString (*write)(const QString& dir);
    int exitCode;
    QString out;
    QString err; // all of standard error: the program's own message only; %1 the file
};

void PrintTo(const MadeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanMadePicture : public ::testing::TestWithParam<MadeCase> {};

TEST_P(ScanMadePicture, OutputAndExitCode)
{
    QTemporaryDir dir;
    const QString file = GetParam().write(dir.path());
    const ScanOutcome run = Scan({file});
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.out, GetParam().out);
    EXPECT_EQ(run.err, GetParam().err.contains("%1") ? GetParam().err.arg(file) : GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanMadePicture,
    ::testing::Values(
        MadeCase{"svg_with_text", WriteSvgWithText, 0, kQrText + "\n", ""},
        MadeCase{"truncated_png", WriteTruncatedPng, 2, "", "lantrix-scan: %1: Unable to read image data\n"},
        MadeCase{"empty_png", WriteEmptyPng, 2, "", "lantrix-scan: %1: Unsupported image format\n"},
        MadeCase{"huge_16bit_png", WriteHuge16BitPng, 2, "",
                 "lantrix-scan: %1: The picture is too large to open (6000 x 6000 pixels).\n"},
        MadeCase{"transparent_png", WriteTransparentPng, 0, kQrText + "\n", ""},
        MadeCase{"jpeg_named_png", WriteJpegNamedPng, 0, kQrText + "\n", ""},
        MadeCase{"jfif", WriteJfif, 0, kQrText + "\n", ""}, MadeCase{"dib", WriteDib, 0, kQrText + "\n", ""},
        MadeCase{"no_extension", WriteWithoutExtension, 0, kQrText + "\n", ""},
        MadeCase{"svg_gz", WriteSvgGz, 0, kQrText + "\n", ""},
        MadeCase{"sideways_photo", WriteSidewaysPhoto, 0, "4006381333931\n", ""},
        MadeCase{"pipe_named_png", MakePipeNamedPng, 2, "", "lantrix-scan: %1: Not a regular file\n"},
        MadeCase{"folder_named_png", MakeFolderNamedPng, 2, "", "lantrix-scan: %1: " + SystemText(EISDIR) + "\n"},
        MadeCase{"link_loop", MakeLinkLoop, 2, "", "lantrix-scan: %1: " + SystemText(ELOOP) + "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file the user may not read. The superuser may read any file, so then
// lantrix-scan runs as "nobody".
TEST(ScanMadePicture, PermissionDenied)
{
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString file =
        WriteBytes(dir.path(), QStringLiteral("secret.png"), EncodePicture(LoadSample("qr_code.png"), "PNG"));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0000), 0);

    QProcess process;
    if (::geteuid() == 0)
        process.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(125);
        });
    process.start(QStringLiteral(LANTRIX_BIN_DIR "/lantrix-scan"), {file});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_NE(process.exitCode(), 125) << "could not run as another user";
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), "");
    EXPECT_EQ(process.readAllStandardError().toStdString(),
              QStringLiteral("lantrix-scan: %1: %2\n").arg(file, SystemText(EACCES)).toStdString());
}

TEST(ScanHelp, PrintsUsageAndSucceeds)
{
    const ScanOutcome run = Scan({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith("Usage: lantrix-scan"));
    EXPECT_TRUE(run.out.contains("UPC_EAN_EXTENSION"));
}

// ---- Raw camera samples ----------------------------------------------------

// BT.601 limited range, as cameras deliver it.
void ToYuv(QRgb c, std::uint8_t& y, std::uint8_t& u, std::uint8_t& v)
{
    const double r = qRed(c), g = qGreen(c), b = qBlue(c);
    auto clamp = [](double x) { return static_cast<std::uint8_t>(std::clamp(x + 0.5, 0.0, 255.0)); };
    y = clamp(16 + 0.2568 * r + 0.5041 * g + 0.0979 * b);
    u = clamp(128 - 0.1482 * r - 0.2910 * g + 0.4392 * b);
    v = clamp(128 + 0.4392 * r - 0.3678 * g - 0.0714 * b);
}

QByteArray MakeSample(const QImage& picture, const QString& fourCC)
{
    const QImage p = picture.convertToFormat(QImage::Format_RGB32);
    const int w = p.width(), h = p.height();
    QByteArray out;
    if (fourCC == "RGB") {
        for (int y = h - 1; y >= 0; --y) // rows bottom-up
            for (int x = 0; x < w; ++x) {
                const QRgb c = p.pixel(x, y);
                out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
            }
    } else if (fourCC == "YUY2") {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; x += 2) {
                std::uint8_t y0, y1, u, v, u1, v1;
                ToYuv(p.pixel(x, y), y0, u, v);
                ToYuv(p.pixel(x + 1, y), y1, u1, v1);
                out.append(char(y0)).append(char(u)).append(char(y1)).append(char(v));
            }
    } else if (fourCC == "I420" || fourCC == "YV12") {
        QByteArray luma, planeU, planeV;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t Y, u, v;
                ToYuv(p.pixel(x, y), Y, u, v);
                luma.append(char(Y));
                if (y % 2 == 0 && x % 2 == 0) {
                    planeU.append(char(u));
                    planeV.append(char(v));
                }
            }
        out = luma + (fourCC == "I420" ? planeU + planeV : planeV + planeU);
    } else if (fourCC == "MJPG") {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        p.save(&buffer, "JPEG", 95);
    }
    return out;
}

struct RawCase {
    const char* fourCC;
    int extraBytes; // added to the sample: whole rows more, which the webcam tab takes too
    int exitCode;
};

class ScanRaw : public ::testing::TestWithParam<RawCase> {};

TEST_P(ScanRaw, ConvertsSavesAndDecodes)
{
    QTemporaryDir dir;
    const QImage scene = SceneWithCode(640, 480, LoadSample("qr_code.png"), 150, 90);
    QByteArray sample = MakeSample(scene, GetParam().fourCC);
    sample.append(QByteArray(GetParam().extraBytes, '\0'));
    const QString samplePath = dir.filePath("frame.raw");
    const QString bitmapPath = dir.filePath("frame.bmp");
    QFile file(samplePath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(sample);
    file.close();

    const ScanOutcome run =
        Scan({"--raw", QStringLiteral("640x480:") + GetParam().fourCC, "--save-bitmap", bitmapPath, samplePath});
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    const QImage bitmap(bitmapPath);
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.size(), QSize(640, 480));
    EXPECT_EQ(run.out, "https://lantrix.invalid/hello?from=qr\n");
    // The converted frame looks like the scene (same corner colours, roughly).
    for (QPoint at : {QPoint(2, 2), QPoint(637, 477), QPoint(320, 240)}) {
        const QColor want = scene.pixelColor(at), got = bitmap.pixelColor(at);
        EXPECT_NEAR(got.red(), want.red(), 12);
        EXPECT_NEAR(got.green(), want.green(), 12);
        EXPECT_NEAR(got.blue(), want.blue(), 12);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ScanRaw,
                         ::testing::Values(RawCase{"RGB", 0, 0}, RawCase{"YUY2", 0, 0}, RawCase{"I420", 0, 0},
                                           RawCase{"YV12", 0, 0}, RawCase{"MJPG", 0, 0},
                                           RawCase{"YUY2", 4 * 640 * 2, 0}),
                         [](const auto& info) {
                             return std::string(info.param.fourCC) + "_plus" + std::to_string(info.param.extraBytes);
                         });

// A sample whose size is not a frame's of the size and format given is
// refused with both sizes, and no bitmap is written.
struct WrongSizeCase {
    const char* name;
    const char* layout;
    int bytes;
    const char* err;
};

void PrintTo(const WrongSizeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanRawWrongSize : public ::testing::TestWithParam<WrongSizeCase> {};

TEST_P(ScanRawWrongSize, IsRefused)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("sample.raw"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(GetParam().bytes, '\x80'));
    file.close();
    const ScanOutcome run = Scan({"--raw", GetParam().layout, "--save-bitmap", dir.filePath("m.bmp"), file.fileName()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    // Named, as every file's error is, by the program and the file.
    EXPECT_EQ(run.err.toStdString(), "lantrix-scan: " + file.fileName().toStdString() + ": " + GetParam().err);
    EXPECT_FALSE(QFile::exists(dir.filePath("m.bmp")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanRawWrongSize,
    ::testing::Values(WrongSizeCase{"empty", "640x480:YUY2", 0,
                                    "The sample is 0 bytes long, but a 640x480 YUY2 frame takes 614400 bytes.\n"},
                      WrongSizeCase{"short", "640x480:YUY2", 1000,
                                    "The sample is 1000 bytes long, but a 640x480 YUY2 frame takes 614400 bytes.\n"},
                      WrongSizeCase{"rgb_one_more", "640x480:RGB", 640 * 480 * 3 + 1,
                                    "The sample is 921601 bytes long, but a 640x480 RGB frame takes 921600 bytes.\n"},
                      WrongSizeCase{"i420_seven_more", "640x480:I420", 640 * 480 * 3 / 2 + 7,
                                    "The sample is 460807 bytes long, but a 640x480 I420 frame takes 460800 bytes.\n"},
                      WrongSizeCase{"yuy2_two_rows_more", "640x480:yuy2", 640 * 480 * 2 + 1280,
                                    "The sample is 615680 bytes long, but a 640x480 YUY2 frame takes 614400 bytes.\n"},
                      WrongSizeCase{"yv12_short", "320x240:YV12", 320 * 240,
                                    "The sample is 76800 bytes long, but a 320x240 YV12 frame takes 115200 bytes.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A device that never ends is read no further than the largest sample taken.
TEST(ScanRaw, EndlessDeviceIsRefused)
{
    const ScanOutcome run = Scan({"--raw", "640x480:YUY2", "/dev/zero"}, 300);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.toStdString(), "lantrix-scan: /dev/zero: The sample is too large (more than 536870912 bytes).\n");
}

TEST(ScanRaw, PipeWithoutWriterIsRefused)
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath("frames"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const ScanOutcome run = Scan({"--raw", "640x480:YUY2", dir.filePath("frames")}, 120);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.toStdString(),
              QStringLiteral("lantrix-scan: %1: The pipe is empty and no program writes to it.\n")
                  .arg(dir.filePath("frames"))
                  .toStdString());
}

// A pipe that a program writes to is read as a stream to its end, the way
// `lantrix-scan --raw ... <(cat frame.raw)` hands a sample over.
TEST(ScanRaw, PipeWithWriterIsReadToTheEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("frames");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const QByteArray sample = MakeSample(SceneWithCode(640, 480, LoadSample("qr_code.png"), 150, 90), "RGB");
    // The writer's open waits for the reader; the sample is larger than a pipe holds.
    std::signal(SIGPIPE, SIG_IGN); // a reader that leaves early makes the write fail instead
    std::thread writer([&] {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(sample);
    });
    const ScanOutcome run = Scan({"--raw", "640x480:RGB", path}, 120);
    // Should the scanner not have read it all, a reader of our own lets the writer end.
    ::close(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK));
    writer.join();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, kQrText + "\n");
    EXPECT_EQ(run.err, "");
}

TEST(ScanRaw, UnreadableSampleFile)
{
    const ScanOutcome run = Scan({"--raw", "640x480:YUY2", "/no/such/sample.raw"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("/no/such/sample.raw"));
}

// Every sample format of the table is read by its name, in either case.
class ScanRawFormat : public ::testing::TestWithParam<TSampleFormatInfo> {};

TEST_P(ScanRawFormat, NameInEitherCaseIsRead)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("tiny.raw"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(5, '\x40')); // fits no format: refused, or for motion JPEG the message picture
    file.close();
    const QString name = QString::fromLatin1(GetParam().name);
    const bool motionJpeg = GetParam().family == TSampleFamily::MotionJpeg;
    for (const QString& spelling : {name, name.toLower()}) {
        const ScanOutcome run = Scan({"--raw", "8x8:" + spelling, file.fileName()});
        EXPECT_EQ(run.exitCode, motionJpeg ? 1 : 2) << spelling.toStdString() << ": " << run.err.toStdString();
        if (motionJpeg)
            EXPECT_EQ(run.err, "Unreadable!\n");
        else
            EXPECT_TRUE(
                run.err.startsWith(QStringLiteral("lantrix-scan: %1: The sample is 5 bytes long, but a 8x8 %2 frame")
                                       .arg(file.fileName(), name)))
                << run.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ScanRawFormat, ::testing::ValuesIn(kSampleFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScanUsage, ListsEverySampleFormatInTheTablesOrder)
{
    const ScanOutcome run = Scan({"--help"});
    const qsizetype from = run.out.indexOf("FOURCC is");
    const qsizetype to = run.out.indexOf("--save-bitmap", from);
    ASSERT_GE(from, 0);
    ASSERT_GT(to, from);
    const QString formats = run.out.mid(from, to - from);
    qsizetype last = -1;
    for (const TSampleFormatInfo& row : kSampleFormats) {
        const qsizetype at =
            formats.indexOf(QRegularExpression(QStringLiteral("\\b%1\\b").arg(QLatin1String(row.name))));
        EXPECT_GT(at, last) << row.name; // listed, after the formats before it
        last = at;
    }
}

} // namespace

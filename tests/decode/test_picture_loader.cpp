// Pictures loaded from an open file and from memory, with the same rules as
// a file opened by name.
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "support/PictureFiles.h"
#include "support/Samples.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, format));
    return bytes;
}

QByteArray SampleBytes(const char* name)
{
    QFile file(SamplePath(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

struct DataCase {
    const char* name;
    QByteArray (*bytes)();
    const char* text;  // nullptr: refused
    const char* error; // then this is the message
};

void PrintTo(const DataCase& c, std::ostream* out)
{
    *out << c.name;
}

class LoadFromMemory : public ::testing::TestWithParam<DataCase> {};

TEST_P(LoadFromMemory, TypeFromTheContent)
{
    const DataCase& c = GetParam();
    if (!c.text) {
        try {
            LoadPictureData(c.bytes());
            ADD_FAILURE() << "loaded";
        } catch (const EPictureError& error) {
            EXPECT_STREQ(error.what(), c.error);
        }
        return;
    }
    QImage picture = LoadPictureData(c.bytes());
    const auto text = DecodeBitmap(picture, TBarcodeFormat::Auto);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFromMemory,
    ::testing::Values(DataCase{"png", [] { return SampleBytes("ean_8.png"); }, "96385074", nullptr},
                      DataCase{"jpeg", [] { return Bytes(LoadSample("ean_8.png"), "JPG"); }, "96385074", nullptr},
                      DataCase{"bmp", [] { return Bytes(LoadSample("ean_8.png"), "BMP"); }, "96385074", nullptr},
                      DataCase{"ppm", [] { return Bytes(LoadSample("ean_8.png"), "PPM"); }, "96385074", nullptr},
                      DataCase{"truncated_png", [] { return SampleBytes("ean_8.png").left(100); }, nullptr,
                               "Unable to read image data"},
                      DataCase{"text", [] { return QByteArray("hello, world\n"); }, nullptr,
                               "Unsupported image format"},
                      DataCase{"nothing", [] { return QByteArray(); }, nullptr, "Unsupported image format"}),
    [](const auto& info) { return std::string(info.param.name); });

// Held in memory, a picture gets the same limits as a file: too many pixels,
// or too many bytes once decoded, refused before it is read.
struct HugeCase {
    const char* name;
    int width, height, bitDepth, colourType;
    const char* error;
};

class LoadHugeFromMemory : public ::testing::TestWithParam<HugeCase> {};

TEST_P(LoadHugeFromMemory, RefusedBeforeReading)
{
    const HugeCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.png"));
    ASSERT_TRUE(WriteZeroPng(path, c.width, c.height, c.bitDepth, c.colourType));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    try {
        LoadPictureData(file.readAll());
        ADD_FAILURE() << "loaded";
    } catch (const EPictureError& error) {
        EXPECT_STREQ(error.what(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LoadHugeFromMemory,
                         ::testing::Values(HugeCase{"too_many_bytes", 6000, 6000, 16, 6,
                                                    "The picture is too large to open (6000 x 6000 pixels)."},
                                           HugeCase{"too_many_pixels", 30000, 30000, 1, 0,
                                                    "The picture is too large to open (30000 x 30000 pixels)."}),
                         [](const auto& info) { return std::string(info.param.name); });

// A TGA file whose pixels are missing is refused before its reader runs
// through them one byte at a time (the footer is no pixel); a whole one still
// loads. Qt does not read run-length coded files.
struct TgaCase {
    const char* name;
    int imageType, width, height, depth;
    QByteArray pixels;
    const char* error; // nullptr: loads, width x height
};

QByteArray TgaFile(const TgaCase& c)
{
    QByteArray header(18, '\0');
    header[2] = char(c.imageType);
    header[12] = char(c.width & 0xff);
    header[13] = char(c.width >> 8);
    header[14] = char(c.height & 0xff);
    header[15] = char(c.height >> 8);
    header[16] = char(c.depth);
    header[17] = char(c.depth == 32 ? 0x28 : 0x20); // rows from the top; alpha bits
    // The footer of version 2, without which Qt does not read the file.
    return header + c.pixels + QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.\0", 18);
}

void PrintTo(const TgaCase& c, std::ostream* out)
{
    *out << c.name;
}

class LoadTga : public ::testing::TestWithParam<TgaCase> {};

TEST_P(LoadTga, PixelsTheHeaderDeclares)
{
    const TgaCase& c = GetParam();
    QByteArray bytes = TgaFile(c);
    QBuffer device(&bytes);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    try {
        const QImage picture = LoadPicture(device, QStringLiteral("picture.tga"));
        EXPECT_EQ(c.error, nullptr) << "loaded";
        EXPECT_EQ(picture.size(), QSize(c.width, c.height));
    } catch (const EPictureError& error) {
        ASSERT_NE(c.error, nullptr) << error.what();
        EXPECT_STREQ(error.what(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadTga,
    ::testing::Values(
        TgaCase{"plain_without_pixels", 2, 9472, 6144, 32, QByteArray(28, '\x7f'),
                "The picture file ends before its picture does (9472 x 6144 pixels declared)."},
        TgaCase{"run_length_without_pixels", 10, 9472, 6144, 32, QByteArray(100, '\xff'), "Unsupported image format"},
        TgaCase{"plain_one_byte_short", 2, 2, 2, 24, QByteArray(11, '\x40'),
                "The picture file ends before its picture does (2 x 2 pixels declared)."},
        TgaCase{"plain_footer_short", 2, 3, 3, 24, QByteArray(26, '\x40'),
                "The picture file ends before its picture does (3 x 3 pixels declared)."},
        TgaCase{"plain_whole", 2, 2, 2, 24, QByteArray(12, '\x40'), nullptr},
        TgaCase{"plain_whole_32_bits", 2, 3, 1, 32, QByteArray(12, '\x40'), nullptr},
        TgaCase{"run_length_whole", 10, 2, 2, 24, QByteArray("\x83\x10\x20\x30", 4), "Unsupported image format"}),
    [](const auto& info) { return std::string(info.param.name); });

// Qt's BMP reader leaves the pixels a file does not give as it found them:
// those of a cut file, and those a run-length coded file skips. They come out
// white, or a palette file's first colour, not what the memory held before.
struct BmpCase {
    const char* name;
    QByteArray (*bytes)(); // a file of 64 x 48 pixels, rows from the bottom
    int rowsGiven;         // the bottom rows the file gives
    bool topDown = false;  // rows from the top instead: the file gives the top rows
};

void PrintTo(const BmpCase& c, std::ostream* out)
{
    *out << c.name;
}

constexpr int kBmpWidth = 64;
constexpr int kBmpHeight = 48;

// A pixel a row's own: no row of the picture is blank.
QImage BmpPicture(QImage::Format format)
{
    QImage picture(kBmpWidth, kBmpHeight, QImage::Format_RGB32);
    for (int y = 0; y < kBmpHeight; ++y)
        for (int x = 0; x < kBmpWidth; ++x)
            picture.setPixel(x, y, (x + y) % 3 ? qRgb(0, 0, 0) : qRgb(40 + 4 * y, 90, 200));
    return picture.convertToFormat(format);
}

// Whole rows of pixels cut off the top (the end of the file). Qt writes
// `format` with `fileBits` bits a pixel.
QByteArray CutBmp(QImage::Format format, int fileBits, int rowsGiven)
{
    const QByteArray whole = Bytes(BmpPicture(format), "bmp");
    const int fileRowBytes = (kBmpWidth * fileBits + 31) / 32 * 4;
    return whole.left(whole.size() - (kBmpHeight - rowsGiven) * fileRowBytes);
}

// An 8-bit run-length coded file whose bottom rows are runs of colour 1 and
// 2 in turn: then the end of the file, or its end-of-picture mark.
QByteArray RunLengthBmp(int rowsGiven, bool endMark)
{
    QByteArray palette;
    for (int i = 0; i < 256; ++i)
        palette += QByteArray::fromRawData(i == 0 ? "\xff\xff\xff\0" : i == 1 ? "\0\0\0\0" : "\x80\x40\x20\0", 4);
    QByteArray runs;
    for (int y = 0; y < rowsGiven; ++y)
        runs += QByteArray("\x40") + char(1 + y % 2) + QByteArray("\0\0", 2); // 64 pixels, end of row
    if (endMark)
        runs += QByteArray("\0\x01", 2);
    const auto word = [](quint32 value) {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = char(value >> (8 * i));
        return bytes;
    };
    const quint32 offset = 14 + 40 + quint32(palette.size());
    QByteArray file = "BM" + word(offset + quint32(runs.size())) + word(0) + word(offset);
    file += word(40) + word(kBmpWidth) + word(kBmpHeight) + QByteArray("\x01\0\x08\0", 4) + word(1)
            + word(quint32(runs.size())) + word(2835) + word(2835) + word(256) + word(0);
    return file + palette + runs;
}

// The same file stored from the top down: its height negative.
QByteArray TopDown(QByteArray file)
{
    qint32 height = 0;
    std::memcpy(&height, file.constData() + 22, sizeof height);
    height = -height;
    std::memcpy(file.data() + 22, &height, sizeof height);
    return file;
}

class LoadBmp : public ::testing::TestWithParam<BmpCase> {};

TEST_P(LoadBmp, PixelsTheFileDoesNotGiveAreBlank)
{
    const BmpCase& c = GetParam();
    QByteArray bytes = c.bytes();
    // Memory of the picture's size, scribbled on and given back: the reader's
    // picture may get it.
    for (int i = 0; i < 4; ++i) {
        const std::size_t size = std::size_t(kBmpWidth) * kBmpHeight * (1 << i);
        void* used = std::malloc(size);
        std::memset(used, 0x5a, size);
        std::free(used);
    }
    QBuffer device(&bytes);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    const QImage picture = LoadPicture(device, QStringLiteral("picture.bmp"));
    ASSERT_EQ(picture.size(), QSize(kBmpWidth, kBmpHeight));
    const QRgb blank = picture.depth() <= 8 ? picture.color(0) : qRgb(255, 255, 255);
    const int firstGiven = c.topDown ? 0 : kBmpHeight - c.rowsGiven;
    const int endGiven = firstGiven + c.rowsGiven;
    for (int y = 0; y < kBmpHeight; ++y)
        for (int x = 0; x < kBmpWidth && (y < firstGiven || y >= endGiven); ++x)
            ASSERT_EQ(picture.pixel(x, y), blank) << x << "," << y;
    // The rows the file gives are not blank.
    for (int y = firstGiven; y < endGiven; ++y) {
        bool drawn = false;
        for (int x = 0; x < kBmpWidth; ++x)
            drawn |= picture.pixel(x, y) != blank;
        EXPECT_TRUE(drawn) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadBmp,
    ::testing::Values(
        BmpCase{"bits_24_cut", [] { return CutBmp(QImage::Format_RGB32, 24, 20); }, 20},
        BmpCase{"bits_8_cut", [] { return CutBmp(QImage::Format_Indexed8, 8, 30); }, 30},
        BmpCase{"bits_1_cut", [] { return CutBmp(QImage::Format_Mono, 1, 10); }, 10},
        BmpCase{"bits_24_whole", [] { return CutBmp(QImage::Format_RGB32, 24, kBmpHeight); }, kBmpHeight},
        BmpCase{"run_length_cut", [] { return RunLengthBmp(16, false); }, 16},
        BmpCase{"run_length_ended_early", [] { return RunLengthBmp(16, true); }, 16},
        BmpCase{"top_down_bits_24_cut", [] { return TopDown(CutBmp(QImage::Format_RGB32, 24, 20)); }, 20, true},
        BmpCase{"top_down_bits_1_cut", [] { return TopDown(CutBmp(QImage::Format_Mono, 1, 10)); }, 10, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A file stored from the top down is held to the size bound like any other
// (its header alone: 10000 x 10000 one-bit pixels).
TEST(LoadBmp, TopDownFileOverTheBoundIsRefused)
{
    const auto word = [](qint32 value, int bytes) { return QByteArray(reinterpret_cast<const char*>(&value), bytes); };
    const QByteArray palette("\xff\xff\xff\0\0\0\0\0", 8);
    const qint32 offset = 14 + 40 + qint32(palette.size());
    QByteArray file = "BM" + word(offset, 4) + word(0, 4) + word(offset, 4);
    file += word(40, 4) + word(10000, 4) + word(-10000, 4) + word(1, 2) + word(1, 2) + word(0, 4) + word(0, 4)
            + word(2835, 4) + word(2835, 4) + word(2, 4) + word(0, 4) + palette;
    QBuffer device(&file);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    try {
        LoadPicture(device, QStringLiteral("picture.bmp"));
        FAIL() << "loaded";
    } catch (const EPictureError& error) {
        EXPECT_STREQ(error.what(), "The picture is too large to open (10000 x 10000 pixels).");
    }
}

// An open file: the content gives the type, the name's extension only a hint
// and the message when no reader takes the content.
struct DeviceCase {
    const char* name;
    QByteArray (*bytes)();
    const char* fileName;
    const char* text;
    const char* error;
};

void PrintTo(const DeviceCase& c, std::ostream* out)
{
    *out << c.name;
}

class LoadFromOpenFile : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(LoadFromOpenFile, AsAFileOpenedByName)
{
    const DeviceCase& c = GetParam();
    QBuffer device;
    device.setData(c.bytes());
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    try {
        QImage picture = LoadPicture(device, QString::fromUtf8(c.fileName));
        ASSERT_TRUE(c.text) << "loaded";
        const auto text = DecodeBitmap(picture, TBarcodeFormat::Auto);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->toStdString(), c.text);
    } catch (const EPictureError& error) {
        ASSERT_FALSE(c.text) << error.what();
        EXPECT_STREQ(error.what(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFromOpenFile,
    ::testing::Values(
        DeviceCase{"png", [] { return SampleBytes("ean_8.png"); }, "caf\xef\xbf\xbd.png", "96385074", nullptr},
        DeviceCase{"jpeg_named_png", [] { return Bytes(LoadSample("ean_8.png"), "JPG"); }, "photo.png", "96385074",
                   nullptr},
        DeviceCase{"png_named_md", [] { return SampleBytes("ean_8.png"); }, "notes.md", "96385074", nullptr},
        DeviceCase{"no_extension", [] { return SampleBytes("ean_8.png"); }, "picture", "96385074", nullptr},
        DeviceCase{"text_named_md", [] { return QByteArray("# Notes\n"); }, "notes.md", nullptr,
                   "Unknown picture file extension (.md)"},
        DeviceCase{"text_without_extension", [] { return QByteArray("# Notes\n"); }, "notes", nullptr,
                   "Unsupported image format"},
        DeviceCase{"empty", [] { return QByteArray(); }, "empty.png", nullptr, "Unsupported image format"}),
    [](const auto& info) { return std::string(info.param.name); });

// Loading from several threads at once gives every picture.
TEST(LoadFromMemory, SeveralThreadsAtOnce)
{
    const QByteArray png = SampleBytes("ean_8.png");
    const QByteArray jpeg = Bytes(LoadSample("qr_code.png"), "JPG");
    std::atomic<int> decoded{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                QImage picture = LoadPictureData((t + i) % 2 ? png : jpeg);
                if (DecodeBitmap(picture, TBarcodeFormat::Auto))
                    ++decoded;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(decoded.load(), 40);
}

// ---- Photos stored sideways ------------------------------------------------

// Each of the eight EXIF orientations, in both byte orders a camera may
// write: the picture comes upright, from a file and from memory alike.
struct OrientationCase {
    const char* name;
    int orientation;
    bool bigEndian;
};

void PrintTo(const OrientationCase& c, std::ostream* out)
{
    *out << c.name;
}

class LoadSidewaysPhoto : public ::testing::TestWithParam<OrientationCase> {};

void ExpectUpright(const QImage& loaded, const QImage& upright)
{
    ASSERT_EQ(loaded.size(), upright.size());
    const QList<QRgb> want = QuarterColours(upright);
    const QList<QRgb> got = QuarterColours(loaded);
    for (int i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(qRed(got[i]), qRed(want[i]), 48) << "quarter " << i;
        EXPECT_NEAR(qGreen(got[i]), qGreen(want[i]), 48) << "quarter " << i;
        EXPECT_NEAR(qBlue(got[i]), qBlue(want[i]), 48) << "quarter " << i;
    }
}

TEST_P(LoadSidewaysPhoto, ComesUpright)
{
    const OrientationCase& c = GetParam();
    const QImage upright = FourColours(96, 48);
    const QByteArray jpeg = SidewaysJpeg(upright, c.orientation, c.bigEndian);
    ASSERT_FALSE(jpeg.isEmpty());

    {
        SCOPED_TRACE("from memory");
        ExpectUpright(LoadPictureData(jpeg), upright);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size());
    file.close();
    {
        SCOPED_TRACE("from a file");
        ExpectUpright(LoadPicture(path), upright);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadSidewaysPhoto,
    ::testing::Values(OrientationCase{"as_stored", 1, true}, OrientationCase{"mirrored", 2, true},
                      OrientationCase{"half_turn", 3, true}, OrientationCase{"upside_down_mirrored", 4, true},
                      OrientationCase{"transposed", 5, true}, OrientationCase{"quarter_clockwise", 6, true},
                      OrientationCase{"transversed", 7, true}, OrientationCase{"quarter_anticlockwise", 8, true},
                      OrientationCase{"quarter_clockwise_intel", 6, false},
                      OrientationCase{"transversed_intel", 7, false},
                      OrientationCase{"quarter_anticlockwise_intel", 8, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The barcode of a photo taken sideways is read once the photo is upright.
TEST(LoadSidewaysPhoto, BarcodeIsRead)
{
    const QByteArray jpeg = SidewaysJpeg(LoadSample("ean_13.png"), 6);
    QImage picture = LoadPictureData(jpeg);
    const auto text = DecodeBitmap(picture, TBarcodeFormat::Auto);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->toStdString(), "4006381333931");
}

// ---- The type from the content ---------------------------------------------

// Files by name: whatever the name says, the content decides; the name
// gives the message only when no reader takes the content.
struct TypeCase {
    const char* name;
    const char* fileName;
    QByteArray (*bytes)();
    const char* text;  // nullptr: refused
    const char* error; // then this is the message
};

void PrintTo(const TypeCase& c, std::ostream* out)
{
    *out << c.name;
}

class LoadByContent : public ::testing::TestWithParam<TypeCase> {};

TEST_P(LoadByContent, NameIsOnlyAHint)
{
    const TypeCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf8(c.fileName));
    QFile file(path);
    const QByteArray bytes = c.bytes();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    try {
        QImage picture = LoadPicture(path);
        ASSERT_TRUE(c.text) << "loaded";
        const auto text = DecodeBitmap(picture, TBarcodeFormat::Auto);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->toStdString(), c.text);
    } catch (const EPictureError& error) {
        ASSERT_FALSE(c.text) << error.what();
        EXPECT_STREQ(error.what(), c.error);
    }
}

QByteArray Ean8Jpeg()
{
    return Bytes(LoadSample("ean_8.png"), "JPG");
}

QByteArray Ean8Bmp()
{
    return Bytes(LoadSample("ean_8.png"), "BMP");
}

QByteArray Ean8Png()
{
    return SampleBytes("ean_8.png");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadByContent,
    ::testing::Values(TypeCase{"jfif", "photo.jfif", Ean8Jpeg, "96385074", nullptr},
                      TypeCase{"jpe", "photo.jpe", Ean8Jpeg, "96385074", nullptr},
                      TypeCase{"dib", "picture.dib", Ean8Bmp, "96385074", nullptr},
                      TypeCase{"png_named_dib", "picture.dib", Ean8Png, "96385074", nullptr},
                      TypeCase{"no_extension", "tmp.Xq3v9ZkT", Ean8Png, "96385074", nullptr},
                      TypeCase{"no_dot_at_all", "download", Ean8Jpeg, "96385074", nullptr},
                      TypeCase{"jpeg_named_png", "photo.png", Ean8Jpeg, "96385074", nullptr},
                      TypeCase{"png_named_jpg", "photo.JPG", Ean8Png, "96385074", nullptr},
                      TypeCase{"png_named_txt", "notes.txt", Ean8Png, "96385074", nullptr},
                      TypeCase{"text_named_txt", "notes.txt", [] { return QByteArray("hello\n"); }, nullptr,
                               "Unknown picture file extension (.txt)"},
                      TypeCase{"text_without_extension", "notes", [] { return QByteArray("hello\n"); }, nullptr,
                               "Unsupported image format"},
                      TypeCase{"empty_png", "empty.png", [] { return QByteArray(); }, nullptr,
                               "Unsupported image format"},
                      TypeCase{"truncated_png", "broken.png", [] { return SampleBytes("ean_8.png").left(100); },
                               nullptr, "Unable to read image data"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Files that cannot be opened -------------------------------------------

// The message names the file and says what happened, in the system's words;
// the reason alone is there for a message that names the file itself.
struct OpenCase {
    const char* name;
    QString (*make)(const QString& dir); // the file's path
    int error;                           // its errno value, or 0:
    const char* reason;                  // this reason
};

void PrintTo(const OpenCase& c, std::ostream* out)
{
    *out << c.name;
}

class LoadUnopenable : public ::testing::TestWithParam<OpenCase> {};

TEST_P(LoadUnopenable, SaysWhatHappened)
{
    const OpenCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = c.make(dir.path());
    const QString reason = c.error ? QString::fromLocal8Bit(std::strerror(c.error)) : QString::fromUtf8(c.reason);
    try {
        LoadPicture(path);
        ADD_FAILURE() << "loaded";
    } catch (const EPictureFileError& error) {
        EXPECT_EQ(error.Reason().toStdString(), reason.toStdString());
        EXPECT_EQ(error.what(), QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason).toStdString());
    } catch (const EPictureError& error) {
        ADD_FAILURE() << "not a file error: " << error.what();
    }
}

QString MissingFile(const QString& dir)
{
    return dir + QStringLiteral("/missing.png");
}

QString Folder(const QString& dir)
{
    const QString path = dir + QStringLiteral("/scans");
    EXPECT_EQ(::mkdir(QFile::encodeName(path).constData(), 0700), 0);
    return path;
}

QString FolderNamedPng(const QString& dir)
{
    const QString path = dir + QStringLiteral("/folder.png");
    EXPECT_EQ(::mkdir(QFile::encodeName(path).constData(), 0700), 0);
    return path;
}

QString LinkLoop(const QString& dir)
{
    const QString path = dir + QStringLiteral("/loop.png");
    EXPECT_EQ(::symlink("loop.png", QFile::encodeName(path).constData()), 0);
    return path;
}

QString PipeNamedPng(const QString& dir)
{
    const QString path = dir + QStringLiteral("/pipe.png");
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

QString FileInAFile(const QString& dir)
{
    const QString file = dir + QStringLiteral("/a.png");
    QFile(file).open(QIODevice::WriteOnly);
    return file + QStringLiteral("/b.png");
}

INSTANTIATE_TEST_SUITE_P(Cases, LoadUnopenable,
                         ::testing::Values(OpenCase{"missing", MissingFile, ENOENT, nullptr},
                                           OpenCase{"folder", Folder, EISDIR, nullptr},
                                           OpenCase{"folder_named_png", FolderNamedPng, EISDIR, nullptr},
                                           OpenCase{"link_loop", LinkLoop, ELOOP, nullptr},
                                           OpenCase{"below_a_file", FileInAFile, ENOTDIR, nullptr},
                                           OpenCase{"pipe", PipeNamedPng, 0, "Not a regular file"},
                                           OpenCase{"device",
                                                    [](const QString&) { return QStringLiteral("/dev/null"); }, 0,
                                                    "Not a regular file"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file the user may not read. The superuser may read any file, so then
// the load runs on a thread whose file-system user is "nobody" (the
// file-system user and its rights are a thread's own on Linux).
TEST(LoadUnopenable, PermissionDenied)
{
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString path = dir.filePath(QStringLiteral("secret.png"));
    QFile file(path);
    const QByteArray png = SampleBytes("ean_8.png");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(png) == png.size());
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0000), 0);

    QString reason, message;
    std::thread load([&] {
        if (::geteuid() == 0) {
            ::setfsuid(65534);
            if (::setfsuid(65534) != 65534)
                return;
        }
        try {
            LoadPicture(path);
        } catch (const EPictureFileError& error) {
            reason = error.Reason();
            message = QString::fromUtf8(error.what());
        } catch (const EPictureError& error) {
            message = QString::fromUtf8(error.what());
        }
    });
    load.join();
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    EXPECT_EQ(reason.toStdString(), denied.toStdString()) << message.toStdString();
    EXPECT_EQ(message.toStdString(), QStringLiteral("Cannot open file \"%1\". %2").arg(path, denied).toStdString());
}

} // namespace

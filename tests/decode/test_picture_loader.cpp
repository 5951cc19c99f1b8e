// Pictures loaded from an open file and from memory, with the same rules as
// a file opened by name.
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "support/Samples.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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
        } catch (const PictureError& error) {
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
    ::testing::Values(
        DataCase{"png", [] { return SampleBytes("ean_8.png"); }, "96385074", nullptr},
        DataCase{"jpeg", [] { return Bytes(LoadSample("ean_8.png"), "JPG"); }, "96385074", nullptr},
        DataCase{"bmp", [] { return Bytes(LoadSample("ean_8.png"), "BMP"); }, "96385074", nullptr},
        DataCase{"ppm", [] { return Bytes(LoadSample("ean_8.png"), "PPM"); }, "96385074", nullptr},
        DataCase{"truncated_png", [] { return SampleBytes("ean_8.png").left(100); }, nullptr, "Unable to read image data"},
        DataCase{"text", [] { return QByteArray("hello, world\n"); }, nullptr, "Unsupported image format"},
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
    } catch (const PictureError& error) {
        EXPECT_STREQ(error.what(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadHugeFromMemory,
    ::testing::Values(
        HugeCase{"too_many_bytes", 6000, 6000, 16, 6, "The picture is too large to open (6000 x 6000 pixels)."},
        HugeCase{"too_many_pixels", 30000, 30000, 1, 0, "The picture is too large to open (30000 x 30000 pixels)."}),
    [](const auto& info) { return std::string(info.param.name); });

// An open file: the name gives the extension, the content the type.
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
    } catch (const PictureError& error) {
        ASSERT_FALSE(c.text) << error.what();
        EXPECT_STREQ(error.what(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFromOpenFile,
    ::testing::Values(
        DeviceCase{"png", [] { return SampleBytes("ean_8.png"); }, "caf\xef\xbf\xbd.png", "96385074", nullptr},
        DeviceCase{"jpeg_named_png", [] { return Bytes(LoadSample("ean_8.png"), "JPG"); }, "photo.png", "96385074", nullptr},
        DeviceCase{"unknown_extension", [] { return SampleBytes("ean_8.png"); }, "notes.md", nullptr,
                   "Unknown picture file extension (.md)"},
        DeviceCase{"no_extension", [] { return SampleBytes("ean_8.png"); }, "picture", nullptr,
                   "Unknown picture file extension (.)"},
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

} // namespace

// The run-time binding of GdkPixbuf and its picture loading.
#include "capture/GrayBitmap.h"
#include "capture/PixbufLoader.h"
#include "support/CaptureTestSupport.h"

#include <gtest/gtest.h>

namespace {

// The loader's state is process-wide: every test starts unbound and leaves it so.
class PixbufLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { PixbufShutdown(); }
    void TearDown() override { PixbufShutdown(); }

    static void BindRealLibrary()
    {
        PixbufStartup();
        if (!PixbufAvailable())
            GTEST_SKIP() << "GdkPixbuf with a JPEG decoder is not installed";
    }
};

// A picture that no test decodes into its target: a marker colour.
QImage MarkedBitmap(int width, int height, QImage::Format format = QImage::Format_BGR888)
{
    QImage bitmap(width, height, format);
    bitmap.fill(0x5A);
    return bitmap;
}

TEST_F(PixbufLoaderTest, UnboundLibraryIsNotAvailableAndLoadsNothing)
{
    const QByteArray jpeg = EncodePicture(QuadrantPicture(16, 16));
    QImage target = MarkedBitmap(4, 4);
    const QImage before = target;

    EXPECT_FALSE(PixbufAvailable());
    EXPECT_EQ(LoadBitmapFromStream(jpeg, target), kPixbufNotAvailable);
    // Not available comes before the missing target.
    EXPECT_EQ(LoadBitmapFromStream(jpeg, nullptr), kPixbufNotAvailable);
    EXPECT_EQ(target, before);
}

struct TUnusableLibrary {
    const char* description;
    const char* name;
};

class UnusableLibraryTest : public PixbufLoaderTest, public ::testing::WithParamInterface<TUnusableLibrary> {};

TEST_P(UnusableLibraryTest, StartupLeavesLoaderUnavailable)
{
    PixbufStartup(GetParam().name);
    EXPECT_FALSE(PixbufAvailable());
    QImage target = MarkedBitmap(4, 4);
    EXPECT_EQ(LoadBitmapFromStream(EncodePicture(QuadrantPicture(8, 8)), target), kPixbufNotAvailable);
}

INSTANTIATE_TEST_SUITE_P(Libraries, UnusableLibraryTest,
                         ::testing::Values(TUnusableLibrary{"missing", "libgdk_pixbuf-does-not-exist.so.0"},
                                           // present, but without the loader's functions
                                           TUnusableLibrary{"lacking_functions", "libm.so.6"}),
                         [](const auto& info) { return std::string(info.param.description); });

TEST_F(PixbufLoaderTest, StartupAfterShutdownBindsAgain)
{
    BindRealLibrary();
    PixbufShutdown();
    EXPECT_FALSE(PixbufAvailable());
    QImage target;
    EXPECT_EQ(LoadBitmapFromStream(EncodePicture(QuadrantPicture(8, 8)), target), kPixbufNotAvailable);

    PixbufStartup();
    ASSERT_TRUE(PixbufAvailable());
    EXPECT_EQ(LoadBitmapFromStream(EncodePicture(QuadrantPicture(8, 8)), target), kPixbufOk);
    EXPECT_EQ(target.size(), QSize(8, 8));
}

TEST_F(PixbufLoaderTest, MissingTargetGivesNoTarget)
{
    BindRealLibrary();
    EXPECT_EQ(LoadBitmapFromStream(EncodePicture(QuadrantPicture(8, 8)), nullptr), kPixbufNoTarget);
}

// A 640 x 480 picture into a 320 x 240 bitmap: the bitmap takes the picture's
// size and shows all of it, whatever its format was.
struct TTargetForm {
    const char* description;
    QImage::Format format;
    QImage::Format expectedFormat;
};

class PixbufTargetTest : public PixbufLoaderTest, public ::testing::WithParamInterface<TTargetForm> {};

TEST_P(PixbufTargetTest, ColourTargetTakesPictureSizeAndShowsWholePicture)
{
    BindRealLibrary();
    QImage target = MarkedBitmap(320, 240, GetParam().format);

    ASSERT_EQ(LoadBitmapFromStream(EncodePicture(QuadrantPicture(640, 480)), target), kPixbufOk);

    ASSERT_EQ(target.size(), QSize(640, 480));
    EXPECT_EQ(target.format(), GetParam().expectedFormat);
    const QPoint centres[4] = {{160, 120}, {480, 120}, {160, 360}, {480, 360}};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ColourNear(PixelColour(target, centres[i].x(), centres[i].y()), kQuadrantColours[i], 8))
            << "quadrant " << i;
}

INSTANTIATE_TEST_SUITE_P(Forms, PixbufTargetTest,
                         ::testing::Values(TTargetForm{"bgr888", QImage::Format_BGR888, QImage::Format_BGR888},
                                           TTargetForm{"argb32", QImage::Format_ARGB32, QImage::Format_BGR888}),
                         [](const auto& info) { return std::string(info.param.description); });

TEST_F(PixbufLoaderTest, GrayTargetGetsNearestGrayOfEachColour)
{
    BindRealLibrary();
    QImage target;
    MakeGrayBitmap(target, 10, 10);

    ASSERT_EQ(LoadBitmapFromStream(EncodePicture(QuadrantPicture(64, 48)), target), kPixbufOk);

    ASSERT_EQ(target.size(), QSize(64, 48));
    EXPECT_TRUE(HasGrayForm(target));
    const QPoint centres[4] = {{16, 12}, {48, 12}, {16, 36}, {48, 36}};
    for (int i = 0; i < 4; ++i) {
        const QColor& colour = kQuadrantColours[i];
        const int mean = (colour.red() + colour.green() + colour.blue()) / 3;
        EXPECT_NEAR(target.pixelIndex(centres[i]), mean, 6) << "quadrant " << i;
    }
}

TEST_F(PixbufLoaderTest, OtherPictureFormatsAreDecodedToo)
{
    BindRealLibrary();
    QImage target;
    ASSERT_EQ(LoadBitmapFromStream(EncodePicture(QuadrantPicture(20, 10), "PNG"), target), kPixbufOk);
    ASSERT_EQ(target.size(), QSize(20, 10));
    // PNG is lossless: the colours come through exactly.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(PixelColour(target, 5 + 10 * (i % 2), 2 + 5 * (i / 2)), kQuadrantColours[i]);
}

struct TUndecodable {
    const char* description;
    QByteArray bytes;
};

class PixbufUndecodableTest : public PixbufLoaderTest, public ::testing::WithParamInterface<TUndecodable> {};

TEST_P(PixbufUndecodableTest, FailsAndLeavesTargetUntouched)
{
    BindRealLibrary();
    QImage target = MarkedBitmap(32, 24);
    const QImage before = target.copy();

    const int result = LoadBitmapFromStream(GetParam().bytes, target);

    EXPECT_NE(result, kPixbufOk);
    EXPECT_NE(result, kPixbufNotAvailable);
    EXPECT_NE(result, kPixbufNoTarget);
    EXPECT_EQ(target, before);
}

QByteArray TruncatedJpeg()
{
    const QByteArray jpeg = EncodePicture(QuadrantPicture(64, 64));
    return jpeg.left(jpeg.size() / 3);
}

INSTANTIATE_TEST_SUITE_P(Streams, PixbufUndecodableTest,
                         ::testing::Values(TUndecodable{"empty", QByteArray()},
                                           TUndecodable{"text", QByteArray("this is no picture at all, only text")},
                                           TUndecodable{"jpeg_marker_then_garbage",
                                                        QByteArray("\xFF\xD8\xFF\xE0garbage garbage garbage", 27)},
                                           TUndecodable{"truncated_jpeg", TruncatedJpeg()}),
                         [](const auto& info) { return std::string(info.param.description); });

// The caller's bound on the pixels a picture declares, for every format the
// library reads: a picture over it is refused as soon as its size is known.
// A loader named by the caller reads its own format only (a motion-JPEG
// sample goes to the JPEG loader, and no other loader sees a device's bytes).
struct TBound {
    const char* description;
    QByteArray bytes;
    int64_t maxPixels;
    int expected;
    const char* type = nullptr; // the loader named; nullptr: the library chooses by the content
};

class PixbufBoundTest : public PixbufLoaderTest, public ::testing::WithParamInterface<TBound> {};

TEST_P(PixbufBoundTest, PictureOverTheBoundOrOfAnotherTypeIsRefused)
{
    BindRealLibrary();
    QImage target = MarkedBitmap(8, 8);
    const QImage before = target.copy();
    const QByteArray& bytes = GetParam().bytes;
    const int result = LoadBitmapFromMemory(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), &target,
                                            false, GetParam().maxPixels, GetParam().type);
    EXPECT_EQ(result, GetParam().expected);
    if (result == kPixbufOk)
        EXPECT_EQ(target.size(), QSize(64, 48));
    else
        EXPECT_EQ(target, before);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PixbufBoundTest,
    ::testing::Values(
        TBound{"jpeg_at_bound", EncodePicture(QuadrantPicture(64, 48)), 64 * 48, kPixbufOk},
        TBound{"jpeg_over_bound", EncodePicture(QuadrantPicture(64, 48)), 64 * 48 - 1, kPixbufTooLarge},
        TBound{"jpeg_without_bound", EncodePicture(QuadrantPicture(64, 48)), 0, kPixbufOk},
        TBound{"png_over_bound", EncodePicture(QuadrantPicture(64, 48), "PNG"), 64 * 48 - 1, kPixbufTooLarge},
        TBound{"bmp_over_bound", EncodePicture(QuadrantPicture(64, 48), "BMP"), 64 * 48 - 1, kPixbufTooLarge},
        TBound{"progressive_declaring_30000_squared",
               WithDeclaredSize(EncodeProgressiveJpeg(QuadrantPicture(16, 16)), 30000, 30000), int64_t(1) << 26,
               kPixbufTooLarge},
        TBound{"jpeg_as_jpeg", EncodePicture(QuadrantPicture(64, 48)), 0, kPixbufOk, "jpeg"},
        TBound{"png_as_jpeg", EncodePicture(QuadrantPicture(64, 48), "PNG"), 0, kPixbufErrorBase + 0, "jpeg"},
        TBound{"bmp_as_jpeg", EncodePicture(QuadrantPicture(64, 48), "BMP"), 0, kPixbufErrorBase + 0, "jpeg"},
        TBound{"png_by_content", EncodePicture(QuadrantPicture(64, 48), "PNG"), 0, kPixbufOk},
        TBound{"jpeg_as_no_such_type", EncodePicture(QuadrantPicture(64, 48)), 0, kPixbufErrorBase + 3,
               "no-such-type"}),
    [](const auto& info) { return std::string(info.param.description); });

} // namespace

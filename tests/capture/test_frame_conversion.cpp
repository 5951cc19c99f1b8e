// Conversion of raw camera samples into the frame bitmaps.
#include "capture/FrameConversion.h"
#include "capture/GrayBitmap.h"
#include "capture/PixbufLoader.h"
#include "capture/SampleFormats.h"
#include "support/CaptureTestSupport.h"

#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

auto* const guiEnvironment = ::testing::AddGlobalTestEnvironment(new TGuiApplicationEnvironment);

using TUnpackResult = TFrameConverter::TUnpackResult;
using TBytes = std::vector<uint8_t>;

// Hands a sample to the converter from memory that ends right before an
// inaccessible page: reading past the sample's end ends the test program.
TUnpackResult Unpack(TFrameConverter& converter, const TBytes& sample)
{
    TGuardedBuffer buffer(sample.size());
    if (!sample.empty())
        std::memcpy(buffer.data(), sample.data(), sample.size());
    return converter.UnpackFrame(qsizetype(sample.size()), buffer.data());
}

TBytes RandomBytes(size_t count, unsigned seed = 7)
{
    std::mt19937 random(seed);
    TBytes bytes(count);
    for (uint8_t& byte : bytes)
        byte = uint8_t(random());
    return bytes;
}

// An I420 sample of a W x H picture whose luma is y everywhere and whose
// chroma samples come from chromaAt(column, row).
template <typename ChromaAt>
TBytes I420Sample(int width, int height, uint8_t y, ChromaAt chromaAt)
{
    const int chromaWidth = width / 2;
    const int chromaHeight = height / 2;
    TBytes sample(size_t(width) * height * 3 / 2, 0);
    std::memset(sample.data(), y, size_t(width) * height);
    uint8_t* planeU = sample.data() + width * height;
    uint8_t* planeV = planeU + width * height / 4;
    for (int row = 0; row < chromaHeight; ++row)
        for (int column = 0; column < chromaWidth; ++column) {
            const auto [u, v] = chromaAt(column, row);
            planeU[row * chromaWidth + column] = u;
            planeV[row * chromaWidth + column] = v;
        }
    return sample;
}

// Height of a line of text drawn on a frame bitmap.
int MessageLineHeight()
{
    QImage probe(1, 1, QImage::Format_BGR888);
    QPainter painter(&probe);
    return painter.fontMetrics().height();
}

QColor Bgr(int blue, int green, int red)
{
    return QColor(red, green, blue);
}

// ---------------------------------------------------------------- tables

struct TTableEntry {
    const char* table;
    int index;
    int64_t expected;
};

int64_t TableValue(const TFrameConverter& converter, const std::string& table, int index)
{
    const TFrameConverter::TTables tables = converter.Tables();
    if (table == "ValueY_298")
        return tables.ValueY_298[index];
    if (table == "ValueU_100")
        return tables.ValueU_100[index];
    if (table == "ValueU_516")
        return tables.ValueU_516[index];
    if (table == "ValueV_409")
        return tables.ValueV_409[index];
    if (table == "ValueV_208")
        return tables.ValueV_208[index];
    if (table == "ValueClip")
        return tables.ValueClip[index];
    if (table == "GrayConvR")
        return tables.GrayConvR[index];
    if (table == "GrayConvG")
        return tables.GrayConvG[index];
    if (table == "GrayConvB")
        return tables.GrayConvB[index];
    ADD_FAILURE() << "no table " << table;
    return 0;
}

class TableTest : public ::testing::TestWithParam<TTableEntry> {};

TEST_P(TableTest, EntryHasReferenceValue)
{
    const TFrameConverter converter;
    EXPECT_TRUE(converter.Tables().YUY2TablesPrepared);
    EXPECT_EQ(TableValue(converter, GetParam().table, GetParam().index), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, TableTest,
                         ::testing::Values(
                             // exact ties, rounded to the even neighbour
                             TTableEntry{"ValueY_298", 250, 74520}, TTableEntry{"ValueU_516", 193, 28798},
                             TTableEntry{"ValueV_409", 172, 13208},
                             // reference entries
                             TTableEntry{"ValueY_298", 16, 4769}, TTableEntry{"ValueY_298", 255, 76011},
                             TTableEntry{"ValueU_516", 0, -70870}, TTableEntry{"ValueU_516", 128, -4769},
                             TTableEntry{"ValueU_516", 255, 60815}, TTableEntry{"ValueU_100", 128, -12837},
                             TTableEntry{"ValueU_100", 255, -25574}, TTableEntry{"ValueV_409", 0, -57068},
                             TTableEntry{"ValueV_409", 128, -4769}, TTableEntry{"ValueV_409", 255, 47121},
                             TTableEntry{"ValueV_208", 0, 34707}, TTableEntry{"ValueV_208", 128, 8068},
                             TTableEntry{"ValueV_208", 255, -18363},
                             // clip: entry 1023 + k
                             TTableEntry{"ValueClip", 0, 0}, TTableEntry{"ValueClip", 1022, 0},
                             TTableEntry{"ValueClip", 1023, 0}, TTableEntry{"ValueClip", 1024, 1},
                             TTableEntry{"ValueClip", 1023 + 255, 255}, TTableEntry{"ValueClip", 1023 + 256, 255},
                             TTableEntry{"ValueClip", 2046, 255}, TTableEntry{"ValueClip", 2047, 0},
                             // gray weights
                             TTableEntry{"GrayConvR", 255, 25500}, TTableEntry{"GrayConvG", 255, 32640},
                             TTableEntry{"GrayConvB", 0, 127}, TTableEntry{"GrayConvB", 255, 7267}),
                         [](const auto& info) {
                             return std::string(info.param.table) + "_" + std::to_string(info.param.index);
                         });

// ---------------------------------------------------------- reference pixels

struct TReferencePixel {
    uint8_t y, u, v;
    uint8_t blue, green, red;
};

class ReferencePixelTest : public ::testing::TestWithParam<TReferencePixel> {
protected:
    QColor Expected() const { return Bgr(GetParam().blue, GetParam().green, GetParam().red); }
};

TEST_P(ReferencePixelTest, PackedYuvPairGivesReferenceColour)
{
    const TReferencePixel& p = GetParam();
    TFrameConverter converter;
    converter.SetStreamFormat(2, 1, FourCC::YUY2);
    ASSERT_EQ(Unpack(converter, {p.y, p.u, p.y, p.v}), TUnpackResult::Converted);
    EXPECT_EQ(PixelColour(converter.Bitmap(), 0, 0), Expected());
    EXPECT_EQ(PixelColour(converter.Bitmap(), 1, 0), Expected());
}

TEST_P(ReferencePixelTest, PlanarYuvBlockGivesReferenceColour)
{
    const TReferencePixel& p = GetParam();
    TFrameConverter converter;
    converter.SetStreamFormat(2, 2, FourCC::I420);
    ASSERT_EQ(Unpack(converter, {p.y, p.y, p.y, p.y, p.u, p.v}), TUnpackResult::Converted);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(PixelColour(converter.Bitmap(), x, y), Expected()) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, ReferencePixelTest,
    ::testing::Values(TReferencePixel{16, 128, 128, 0, 0, 0}, TReferencePixel{235, 128, 128, 255, 255, 255},
                      TReferencePixel{128, 128, 128, 130, 130, 130}, TReferencePixel{81, 90, 240, 0, 0, 254},
                      TReferencePixel{145, 54, 34, 0, 255, 0}, TReferencePixel{41, 240, 110, 255, 0, 0},
                      TReferencePixel{0, 0, 0, 0, 135, 0}));

TEST(PackedYuvTest, PairSharesChromaAndKeepsOwnLuma)
{
    TFrameConverter converter;
    converter.SetStreamFormat(2, 1, FourCC::YUY2);
    ASSERT_EQ(Unpack(converter, {16, 128, 235, 128}), TUnpackResult::Converted);
    EXPECT_EQ(PixelColour(converter.Bitmap(), 0, 0), Bgr(0, 0, 0));
    EXPECT_EQ(PixelColour(converter.Bitmap(), 1, 0), Bgr(255, 255, 255));
}

// ------------------------------------------------------------- byte counts

struct TByteCount {
    const char* description;
    uint32_t fourCC;
    int width, height;
    qsizetype n;
    bool converted;
    const char* secondLine; // of the message, when not converted
};

class ByteCountTest : public ::testing::TestWithParam<TByteCount> {};

TEST_P(ByteCountTest, CountIsAcceptedOrAnsweredWithMessage)
{
    const TByteCount& c = GetParam();
    TFrameConverter converter;
    converter.SetStreamFormat(c.width, c.height, c.fourCC);
    const TBytes sample = RandomBytes(size_t(c.n));

    const TUnpackResult result = Unpack(converter, sample);

    EXPECT_TRUE(TFrameConverter::Unpacked(result));
    if (c.converted) {
        EXPECT_EQ(result, TUnpackResult::Converted);
        EXPECT_TRUE(converter.LastMessage().isEmpty());
    } else {
        EXPECT_EQ(result, TUnpackResult::Message);
        EXPECT_EQ(converter.LastMessage(), QStringList({"Unknown compression", QString::fromLatin1(c.secondLine)}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ByteCountTest,
    ::testing::Values(
        TByteCount{"YUY2_exact", FourCC::YUY2, 640, 480, 614400, true, ""},
        // The message painted on a frame taller than 32767 rows.
        TByteCount{"YUY2_taller_than_32767_rows", FourCC::YUY2, 4, 32769, 10, false, "DataSize: 10  FourCC: YUY2"},
        TByteCount{"YUY2_480_rows_and_a_byte", FourCC::YUY2, 640, 480, 614401, true, ""},
        TByteCount{"YUY2_488_rows", FourCC::YUY2, 640, 480, 624640, true, ""},
        TByteCount{"YUY2_481_rows", FourCC::YUY2, 640, 480, 615680, false, "DataSize: 615680  FourCC: YUY2"},
        TByteCount{"YUY2_one_byte_short", FourCC::YUY2, 640, 480, 614399, false, "DataSize: 614399  FourCC: YUY2"},
        // 476 rows is a multiple of 4 too, but fewer than the frame has
        TByteCount{"YUY2_476_rows", FourCC::YUY2, 640, 480, 609280, false, "DataSize: 609280  FourCC: YUY2"},
        TByteCount{"YUNV_exact", FourCC::YUNV, 640, 480, 614400, true, ""},
        TByteCount{"YUYV_484_rows", FourCC::YUYV, 640, 480, 619520, true, ""},
        TByteCount{"I420_exact", FourCC::I420, 640, 480, 460800, true, ""},
        TByteCount{"I420_one_more", FourCC::I420, 640, 480, 460801, false, "DataSize: 460801  FourCC: I420"},
        TByteCount{"IYUV_one_less", FourCC::IYUV, 640, 480, 460799, false, "DataSize: 460799  FourCC: IYUV"},
        TByteCount{"YV12_exact", FourCC::YV12, 640, 480, 460800, true, ""},
        TByteCount{"I420_odd_size", FourCC::I420, 5, 3, 22, true, ""},
        TByteCount{"RGB_exact", FourCC::RGB, 640, 480, 921600, true, ""},
        TByteCount{"RGB_one_more", FourCC::RGB, 640, 480, 921601, false, "DataSize: 921601  FourCC: RGB"},
        // rows of 486 bytes padded to 488
        TByteCount{"RGB_width_162_padded_rows", FourCC::RGB, 162, 120, 58560, false, "DataSize: 58560  FourCC: RGB"},
        TByteCount{"NV12", FourCC::Make('N', 'V', '1', '2'), 640, 480, 460800, false, "DataSize: 460800  FourCC: NV12"},
        TByteCount{"unprintable_code", 0x00010203, 4, 4, 16, false, "DataSize: 16  FourCC: ????"},
        // sizes that fit no sample; a naive product of the negative sides would
        TByteCount{"negative_sides", FourCC::RGB, -2, -2, 12, false, "DataSize: 12  FourCC: RGB"},
        TByteCount{"zero_width", FourCC::I420, 0, 480, 0, false, "DataSize: 0  FourCC: I420"},
        TByteCount{"sides_of_2_to_31", FourCC::YUY2, std::numeric_limits<int32_t>::max(),
                   std::numeric_limits<int32_t>::max(), 64, false, "DataSize: 64  FourCC: YUY2"},
        TByteCount{"huge_frame", FourCC::I420, 100000, 100000, 4096, false, "DataSize: 4096  FourCC: I420"}),
    [](const auto& info) { return std::string(info.param.description); });

TEST(ByteCountTest, SampleSizeFitsWithoutOverflow)
{
    // W x H x 3 of these sides does not fit 64 bits; it must not wrap to a
    // small count that a short sample could match.
    const int32_t side = std::numeric_limits<int32_t>::max();
    const qsizetype wrapped = qsizetype(uint64_t(side) * uint64_t(side) * 3);
    EXPECT_FALSE(TFrameConverter::SampleSizeFits(FourCC::RGB, side, side, wrapped));
    EXPECT_FALSE(TFrameConverter::SampleSizeFits(FourCC::RGB, side, side, 0));
    EXPECT_TRUE(TFrameConverter::SampleSizeFits(FourCC::MJPG, 0, 0, 0));
}

TEST(ByteCountTest, HugeFrameLeavesBitmapsEmptyAndMessageUndrawn)
{
    TFrameConverter converter;
    converter.SetStreamFormat(100000, 100000, FourCC::YUY2);
    EXPECT_TRUE(converter.Bitmap().isNull());
    EXPECT_TRUE(converter.BitmapGray().isNull());
    EXPECT_EQ(Unpack(converter, RandomBytes(1000)), TUnpackResult::Message);
    EXPECT_TRUE(converter.Bitmap().isNull());
}

TEST(UnpackFrameTest, NoSampleDoesNothing)
{
    TFrameConverter converter;
    converter.SetStreamFormat(4, 4, FourCC::RGB);
    converter.FillBitmap(QColor(1, 2, 3));
    const QImage before = converter.Bitmap().copy();

    const TUnpackResult result = converter.UnpackFrame(48, nullptr);
    EXPECT_EQ(result, TUnpackResult::NoSample);
    EXPECT_FALSE(TFrameConverter::Unpacked(result));
    EXPECT_EQ(converter.Bitmap(), before);
}

TEST(StreamFormatTest, AccessorsGiveTheFormatAndBlackPicturesOfItsSize)
{
    TFrameConverter converter;
    EXPECT_EQ(converter.Width(), 0);
    EXPECT_EQ(converter.Height(), 0);
    EXPECT_FALSE(converter.Gray8Bit());
    EXPECT_TRUE(converter.Bitmap().isNull());

    converter.SetStreamFormat(6, 4, FourCC::I420);
    EXPECT_EQ(converter.Width(), 6);
    EXPECT_EQ(converter.Height(), 4);
    EXPECT_EQ(converter.FourCC(), FourCC::I420);
    ASSERT_EQ(converter.Bitmap().size(), QSize(6, 4));
    EXPECT_EQ(converter.Bitmap().format(), QImage::Format_BGR888);
    EXPECT_EQ(PixelColour(converter.Bitmap(), 5, 3), Bgr(0, 0, 0));
    EXPECT_EQ(converter.BitmapGray().size(), QSize(6, 4));
    EXPECT_TRUE(HasGrayForm(converter.BitmapGray()));
    EXPECT_EQ(&converter.CurrentBitmap(), &converter.Bitmap());

    converter.SetGray8Bit(true);
    EXPECT_TRUE(converter.Gray8Bit());
    EXPECT_EQ(&converter.CurrentBitmap(), &converter.BitmapGray());

    // A new format keeps the mode and gives pictures of the new size.
    converter.SetStreamFormat(2, 2, FourCC::YUY2);
    EXPECT_EQ(converter.FourCC(), FourCC::YUY2);
    EXPECT_TRUE(converter.Gray8Bit());
    EXPECT_EQ(converter.Bitmap().size(), QSize(2, 2));
    EXPECT_EQ(converter.BitmapGray().size(), QSize(2, 2));
}

TEST(UnpackFrameTest, ZeroSizedStreamGivesEmptyPictures)
{
    TFrameConverter converter;
    converter.SetStreamFormat(0, 0, FourCC::YUY2);
    EXPECT_EQ(Unpack(converter, RandomBytes(16)), TUnpackResult::Message);
    EXPECT_TRUE(converter.Bitmap().isNull());
    EXPECT_TRUE(converter.BitmapGray().isNull());
}

// ------------------------------------------------------------ the message

class MessageTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;
    const QColor kPrevious{10, 20, 30};

    void SetUp() override
    {
        converter.SetStreamFormat(kWidth, kHeight, FourCC::YUY2);
        converter.FillBitmap(kPrevious);
    }

    // Rows [first, last) of the colour bitmap hold black text on white.
    bool RowsHoldText(int first, int last) const
    {
        bool white = false, black = false;
        for (int y = first; y < last; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const QColor c = PixelColour(converter.Bitmap(), x, y);
                white = white || c == Qt::white;
                black = black || c == Qt::black;
            }
        return white && black;
    }

    bool RowsKeepPrevious(int first) const
    {
        for (int y = first; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (PixelColour(converter.Bitmap(), x, y) != kPrevious)
                    return false;
        return true;
    }

    TFrameConverter converter;
};

TEST_F(MessageTest, TwoLinesAreDrawnOverPreviousContent)
{
    ASSERT_EQ(Unpack(converter, RandomBytes(615680)), TUnpackResult::Message);
    const int lineHeight = MessageLineHeight();
    ASSERT_GT(lineHeight, 0);
    ASSERT_LT(2 * lineHeight, kHeight);
    EXPECT_TRUE(RowsHoldText(0, lineHeight));
    EXPECT_TRUE(RowsHoldText(lineHeight, 2 * lineHeight));
    EXPECT_TRUE(RowsKeepPrevious(2 * lineHeight));
    // Right of the longer line the previous picture stays.
    EXPECT_EQ(PixelColour(converter.Bitmap(), kWidth - 1, 0), kPrevious);
}

TEST_F(MessageTest, GrayModeDrawsIntoColourBitmapAndKeepsGrayPicture)
{
    converter.SetGray8Bit(true);
    TBytes frame(size_t(kWidth) * kHeight * 2);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint8_t(i % 2 == 0 ? (i / 2) % 251 : 128);
    ASSERT_EQ(Unpack(converter, frame), TUnpackResult::Converted);
    const QImage grayPicture = converter.BitmapGray().copy();
    EXPECT_EQ(converter.Bitmap().pixelColor(0, 0), kPrevious); // untouched by the gray frame

    ASSERT_EQ(Unpack(converter, RandomBytes(100)), TUnpackResult::Message);

    EXPECT_EQ(converter.BitmapGray(), grayPicture);
    EXPECT_TRUE(RowsHoldText(0, MessageLineHeight()));
}

// --------------------------------------------------------- uncompressed RGB

TEST(RgbTest, RowsAreTurnedTopDownWithBytesUnchanged)
{
    constexpr int kWidth = 3, kHeight = 4;
    const TBytes sample = RandomBytes(kWidth * kHeight * 3);
    TFrameConverter converter;
    converter.SetStreamFormat(kWidth, kHeight, FourCC::RGB);

    ASSERT_EQ(Unpack(converter, sample), TUnpackResult::Converted);

    ASSERT_EQ(converter.Bitmap().format(), QImage::Format_BGR888);
    for (int k = 0; k < kHeight; ++k)
        EXPECT_EQ(0, std::memcmp(converter.Bitmap().constScanLine(kHeight - 1 - k), sample.data() + k * kWidth * 3,
                                 kWidth * 3))
            << "sample row " << k;
}

struct TRgbGray {
    const char* description;
    uint8_t blue, green, red;
    int gray;
};

class RgbGrayTest : public ::testing::TestWithParam<TRgbGray> {};

TEST_P(RgbGrayTest, PixelGetsWeightedGray)
{
    // Three columns: one pair and the odd last column.
    constexpr int kWidth = 3, kHeight = 2;
    const TRgbGray& c = GetParam();
    TBytes sample;
    for (int i = 0; i < kWidth * kHeight; ++i)
        sample.insert(sample.end(), {c.blue, c.green, c.red});
    TFrameConverter converter;
    converter.SetStreamFormat(kWidth, kHeight, FourCC::RGB);
    converter.SetGray8Bit(true);

    ASSERT_EQ(Unpack(converter, sample), TUnpackResult::Converted);

    ASSERT_TRUE(HasGrayForm(converter.BitmapGray()));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            EXPECT_EQ(converter.BitmapGray().pixelIndex(x, y), c.gray) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Colours, RgbGrayTest,
                         ::testing::Values(TRgbGray{"white", 255, 255, 255, 255}, TRgbGray{"black", 0, 0, 0, 0},
                                           TRgbGray{"red", 0, 0, 255, 100}, TRgbGray{"green", 0, 255, 0, 127},
                                           TRgbGray{"blue", 255, 0, 0, 28}, TRgbGray{"grey", 128, 128, 128, 128}),
                         [](const auto& info) { return std::string(info.param.description); });

TEST(RgbTest, GrayKeepsBottomUpRowOrder)
{
    TFrameConverter converter;
    converter.SetStreamFormat(2, 2, FourCC::RGB);
    converter.SetGray8Bit(true);
    // sample row 0 white (bottom of the picture), row 1 black
    ASSERT_EQ(Unpack(converter, {255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0}), TUnpackResult::Converted);
    EXPECT_EQ(converter.BitmapGray().pixelIndex(0, 0), 0);
    EXPECT_EQ(converter.BitmapGray().pixelIndex(1, 1), 255);
}

// ------------------------------------------------------------------- YUV

TEST(PackedYuvTest, LargerSampleIsConvertedFromItsFirstRows)
{
    constexpr int kWidth = 640, kHeight = 480;
    const TBytes exact = RandomBytes(size_t(kWidth) * kHeight * 2, 3);
    TBytes larger = exact;
    larger.resize(624640, 0xFF); // 488 rows

    TFrameConverter first, second;
    first.SetStreamFormat(kWidth, kHeight, FourCC::YUY2);
    second.SetStreamFormat(kWidth, kHeight, FourCC::YUY2);
    ASSERT_EQ(Unpack(first, exact), TUnpackResult::Converted);
    ASSERT_EQ(Unpack(second, larger), TUnpackResult::Converted);
    EXPECT_EQ(first.Bitmap(), second.Bitmap());
}

TEST(PackedYuvTest, GrayTakesLumaOfEachPixel)
{
    // 3 x 2: rows of one pair each (the odd width leaves 4 bytes per row)
    TFrameConverter converter;
    converter.SetStreamFormat(3, 2, FourCC::YUY2);
    converter.SetGray8Bit(true);
    ASSERT_EQ(Unpack(converter, {10, 99, 20, 99, 30, 99, 40, 99, 0, 0, 0, 0}), TUnpackResult::Converted);
    const QImage& gray = converter.BitmapGray();
    EXPECT_EQ(gray.pixelIndex(0, 0), 10);
    EXPECT_EQ(gray.pixelIndex(1, 0), 20);
    EXPECT_EQ(gray.pixelIndex(0, 1), 30);
    EXPECT_EQ(gray.pixelIndex(1, 1), 40);
    // the odd last column repeats its neighbour
    EXPECT_EQ(gray.pixelIndex(2, 0), 20);
    EXPECT_EQ(gray.pixelIndex(2, 1), 40);
}

TEST(PlanarYuvTest, Yv12AndI420OfSamePictureGiveSameOutput)
{
    constexpr int kWidth = 64, kHeight = 48;
    const TBytes i420 = RandomBytes(kWidth * kHeight * 3 / 2, 11);
    TBytes yv12 = i420;
    const size_t luma = kWidth * kHeight, chroma = luma / 4;
    std::memcpy(yv12.data() + luma, i420.data() + luma + chroma, chroma);
    std::memcpy(yv12.data() + luma + chroma, i420.data() + luma, chroma);

    TFrameConverter fromI420, fromYv12;
    fromI420.SetStreamFormat(kWidth, kHeight, FourCC::I420);
    fromYv12.SetStreamFormat(kWidth, kHeight, FourCC::YV12);
    ASSERT_EQ(Unpack(fromI420, i420), TUnpackResult::Converted);
    ASSERT_EQ(Unpack(fromYv12, yv12), TUnpackResult::Converted);
    EXPECT_EQ(fromI420.Bitmap(), fromYv12.Bitmap());
    // and the picture is no flat colour that any plane order would give
    EXPECT_NE(PixelColour(fromI420.Bitmap(), 0, 0), PixelColour(fromI420.Bitmap(), 2, 0));
}

TEST(PlanarYuvTest, ChromaRowServesTwoPictureRows)
{
    // luma 41 everywhere; chroma row 0 neutral (gray), row 1 (240, 110): blue
    const TBytes sample = I420Sample(4, 4, 41, [](int, int row) {
        return row == 0 ? std::pair<uint8_t, uint8_t>{128, 128} : std::pair<uint8_t, uint8_t>{240, 110};
    });
    TFrameConverter converter;
    converter.SetStreamFormat(4, 4, FourCC::I420);
    ASSERT_EQ(Unpack(converter, sample), TUnpackResult::Converted);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const QColor c = PixelColour(converter.Bitmap(), x, y);
            if (y < 2)
                EXPECT_TRUE(c.red() == c.green() && c.green() == c.blue()) << x << "," << y;
            else
                EXPECT_EQ(c, Bgr(255, 0, 0)) << x << "," << y;
        }
}

TEST(PlanarYuvTest, OddSizeTakesLastChromaForLastRowAndColumn)
{
    // 3 x 3: one chroma sample, which also serves the odd last row and column
    const TBytes sample = I420Sample(3, 3, 41, [](int, int) { return std::pair<uint8_t, uint8_t>{240, 110}; });
    TFrameConverter converter;
    converter.SetStreamFormat(3, 3, FourCC::I420);
    ASSERT_EQ(Unpack(converter, sample), TUnpackResult::Converted);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(PixelColour(converter.Bitmap(), x, y), Bgr(255, 0, 0)) << x << "," << y;
}

TEST(PlanarYuvTest, OnePixelWideFrameIsShownInGray)
{
    TFrameConverter converter;
    converter.SetStreamFormat(1, 3, FourCC::I420);
    ASSERT_EQ(Unpack(converter, {235, 128, 16, 0}), TUnpackResult::Converted);
    EXPECT_EQ(PixelColour(converter.Bitmap(), 0, 0), Bgr(255, 255, 255));
    EXPECT_EQ(PixelColour(converter.Bitmap(), 0, 1), Bgr(130, 130, 130));
    EXPECT_EQ(PixelColour(converter.Bitmap(), 0, 2), Bgr(0, 0, 0));
}

TEST(PlanarYuvTest, GrayCopiesLumaRows)
{
    constexpr int kWidth = 6, kHeight = 4;
    const TBytes sample = RandomBytes(kWidth * kHeight * 3 / 2, 5);
    TFrameConverter converter;
    converter.SetStreamFormat(kWidth, kHeight, FourCC::IYUV);
    converter.SetGray8Bit(true);
    ASSERT_EQ(Unpack(converter, sample), TUnpackResult::Converted);
    for (int row = 0; row < kHeight; ++row)
        EXPECT_EQ(0, std::memcmp(converter.BitmapGray().constScanLine(row), sample.data() + row * kWidth, kWidth));
}

TEST(UnpackFrameTest, GrayModeChangeTakesEffectAtNextConversion)
{
    TFrameConverter converter;
    converter.SetStreamFormat(2, 1, FourCC::YUY2);
    const TBytes sample{145, 54, 145, 34};
    ASSERT_EQ(Unpack(converter, sample), TUnpackResult::Converted);
    EXPECT_EQ(PixelColour(converter.Bitmap(), 0, 0), Bgr(0, 255, 0));
    EXPECT_EQ(converter.BitmapGray().pixelIndex(0, 0), 0);

    converter.SetGray8Bit(true);
    ASSERT_EQ(Unpack(converter, sample), TUnpackResult::Converted);
    EXPECT_EQ(converter.BitmapGray().pixelIndex(0, 0), 145);
}

// ------------------------------------------------------------ Convert24ToGray

TEST(Convert24ToGrayTest, EachColourBecomesNearestGray)
{
    QImage colour(3, 1, QImage::Format_BGR888);
    colour.setPixelColor(0, 0, QColor(255, 0, 0));  // mean 85
    colour.setPixelColor(1, 0, QColor(10, 20, 31)); // mean 20.33
    colour.setPixelColor(2, 0, QColor(10, 20, 32)); // mean 20.67
    QImage gray(7, 7, QImage::Format_RGB32);

    TFrameConverter::Convert24ToGray(colour, gray);

    ASSERT_EQ(gray.size(), colour.size());
    ASSERT_TRUE(HasGrayForm(gray));
    EXPECT_EQ(gray.pixelIndex(0, 0), 85);
    EXPECT_EQ(gray.pixelIndex(1, 0), 20);
    EXPECT_EQ(gray.pixelIndex(2, 0), 21);
}

TEST(Convert24ToGrayTest, EightBitBitmapIsCopiedAsItIs)
{
    QImage indexed(2, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    indexed.fill(1);
    QImage gray;
    TFrameConverter::Convert24ToGray(indexed, gray);
    EXPECT_EQ(gray, indexed);
    EXPECT_EQ(gray.colorTable(), indexed.colorTable());
}

TEST(Convert24ToGrayTest, SameBitmapAsSourceAndTarget)
{
    QImage picture(2, 1, QImage::Format_BGR888);
    picture.setPixelColor(0, 0, QColor(90, 90, 90));
    picture.setPixelColor(1, 0, QColor(0, 0, 3));
    TFrameConverter::Convert24ToGray(picture, picture);
    ASSERT_TRUE(HasGrayForm(picture));
    EXPECT_EQ(picture.pixelIndex(0, 0), 90);
    EXPECT_EQ(picture.pixelIndex(1, 0), 1);
}

// ------------------------------------------------------------- motion JPEG

enum class TDecoderPath { Libjpeg, Pixbuf };

class MotionJpegTest : public ::testing::TestWithParam<TDecoderPath> {
protected:
    void SetUp() override
    {
        if (GetParam() == TDecoderPath::Pixbuf) {
            PixbufStartup();
            if (!PixbufAvailable())
                GTEST_SKIP() << "GdkPixbuf with a JPEG decoder is not installed";
        } else {
            PixbufStartup("libgdk_pixbuf-not-installed.so.0");
            ASSERT_FALSE(PixbufAvailable());
        }
    }
    void TearDown() override { PixbufShutdown(); }

    static TBytes Bytes(const QByteArray& data) { return TBytes(data.begin(), data.end()); }

    const QColor kPrevious{10, 20, 30};
    TFrameConverter converter;
};

TEST_P(MotionJpegTest, ColourPictureOfStreamSize)
{
    converter.SetStreamFormat(64, 48, FourCC::MJPG);
    const TUnpackResult result = Unpack(converter, Bytes(EncodePicture(QuadrantPicture(64, 48))));
    ASSERT_EQ(result, TUnpackResult::Converted);
    EXPECT_TRUE(TFrameConverter::Unpacked(result));
    ASSERT_EQ(converter.Bitmap().size(), QSize(64, 48));
    ASSERT_EQ(converter.Bitmap().format(), QImage::Format_BGR888);
    const QPoint centres[4] = {{16, 12}, {48, 12}, {16, 36}, {48, 36}};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ColourNear(PixelColour(converter.Bitmap(), centres[i].x(), centres[i].y()), kQuadrantColours[i], 8))
            << "quadrant " << i;
}

TEST_P(MotionJpegTest, GrayModeFillsGrayBitmap)
{
    converter.SetStreamFormat(64, 48, FourCC::MJPG);
    converter.SetGray8Bit(true);
    converter.FillBitmap(kPrevious);
    ASSERT_EQ(Unpack(converter, Bytes(EncodePicture(QuadrantPicture(64, 48)))), TUnpackResult::Converted);
    ASSERT_EQ(converter.BitmapGray().size(), QSize(64, 48));
    EXPECT_TRUE(HasGrayForm(converter.BitmapGray()));
    EXPECT_EQ(converter.Bitmap().pixelColor(0, 0), kPrevious);
    // dark red quadrant against the light bottom-right one
    EXPECT_LT(converter.BitmapGray().pixelIndex(16, 12), 120);
    EXPECT_GT(converter.BitmapGray().pixelIndex(48, 36), 220);
}

TEST_P(MotionJpegTest, BrokenPictureGivesMessageOrKeepsPreviousPicture)
{
    converter.SetStreamFormat(160, 120, FourCC::MJPG);
    converter.FillBitmap(kPrevious);
    const QImage before = converter.Bitmap().copy();
    const TBytes broken{0xFF, 0xD8, 0xFF, 0xE0, 'n', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};

    const TUnpackResult result = Unpack(converter, broken);

    EXPECT_TRUE(TFrameConverter::Unpacked(result));
    if (GetParam() == TDecoderPath::Libjpeg) {
        EXPECT_EQ(result, TUnpackResult::Message);
        EXPECT_EQ(converter.LastMessage(), QStringList({"Unknown compression", "DataSize: 14  FourCC: MJPG"}));
        EXPECT_NE(converter.Bitmap(), before);
    } else {
        EXPECT_EQ(result, TUnpackResult::Converted);
        EXPECT_EQ(converter.Bitmap(), before);
    }
}

// A sample in another picture format is no motion-JPEG frame: neither path
// decodes it.
TEST_P(MotionJpegTest, PictureOfAnotherFormatIsNotDecoded)
{
    for (const char* format : {"PNG", "BMP"}) {
        converter.SetStreamFormat(64, 48, FourCC::MJPG);
        converter.FillBitmap(kPrevious);
        const QImage before = converter.Bitmap().copy();
        const TUnpackResult result = Unpack(converter, Bytes(EncodePicture(QuadrantPicture(64, 48), format)));
        EXPECT_TRUE(TFrameConverter::Unpacked(result)) << format;
        if (GetParam() == TDecoderPath::Libjpeg)
            EXPECT_EQ(result, TUnpackResult::Message) << format;
        else
            EXPECT_EQ(converter.Bitmap(), before) << format;
    }
}

TEST_P(MotionJpegTest, PictureLargerThanStream)
{
    converter.SetStreamFormat(32, 24, FourCC::MJPG);
    ASSERT_EQ(Unpack(converter, Bytes(EncodePicture(QuadrantPicture(64, 48)))), TUnpackResult::Converted);
    const QImage& bitmap = converter.Bitmap();
    if (GetParam() == TDecoderPath::Pixbuf) {
        // the bitmap takes the picture's size and shows all of it
        ASSERT_EQ(bitmap.size(), QSize(64, 48));
        EXPECT_TRUE(ColourNear(PixelColour(bitmap, 48, 36), kQuadrantColours[3], 8));
    } else {
        // drawn unscaled: the stream-sized bitmap shows the top-left quadrant only
        ASSERT_EQ(bitmap.size(), QSize(32, 24));
        for (const QPoint& p : {QPoint(1, 1), QPoint(28, 1), QPoint(1, 20), QPoint(28, 20)})
            EXPECT_TRUE(ColourNear(PixelColour(bitmap, p.x(), p.y()), kQuadrantColours[0], 12))
                << p.x() << "," << p.y();
    }
}

TEST_P(MotionJpegTest, PictureSmallerThanStream)
{
    converter.SetStreamFormat(64, 48, FourCC::MJPG);
    converter.FillBitmap(kPrevious);
    ASSERT_EQ(Unpack(converter, Bytes(EncodePicture(QuadrantPicture(32, 24)))), TUnpackResult::Converted);
    const QImage& bitmap = converter.Bitmap();
    if (GetParam() == TDecoderPath::Pixbuf) {
        EXPECT_EQ(bitmap.size(), QSize(32, 24));
    } else {
        // drawn at the top-left corner; the rest keeps the previous picture
        ASSERT_EQ(bitmap.size(), QSize(64, 48));
        EXPECT_TRUE(ColourNear(PixelColour(bitmap, 8, 6), kQuadrantColours[0], 8));
        EXPECT_TRUE(ColourNear(PixelColour(bitmap, 24, 18), kQuadrantColours[3], 8));
        EXPECT_EQ(PixelColour(bitmap, 40, 6), kPrevious);
        EXPECT_EQ(PixelColour(bitmap, 8, 30), kPrevious);
    }
}

// A frame whose header declares more pixels than a picture file may have is
// refused before it is decoded, with each decoder's failure result: the
// message after libjpeg-turbo, the previous picture after GdkPixbuf.
TEST_P(MotionJpegTest, FrameDeclaringMorePixelsThanPicturesMayHaveIsRefused)
{
    const QByteArray small = EncodePicture(QuadrantPicture(16, 16));
    const QByteArray frames[] = {
        WithDeclaredSize(small, 65407, 65279),
        WithDeclaredSize(small, 8193, 8192), // one column of blocks beyond 64 Mpixel
        WithDeclaredSize(EncodeProgressiveJpeg(QuadrantPicture(16, 16)), 30000, 30000),
    };
    for (const QByteArray& frame : frames) {
        converter.SetStreamFormat(160, 120, FourCC::MJPG);
        converter.FillBitmap(kPrevious);
        const QImage before = converter.Bitmap().copy();
        const TUnpackResult result = Unpack(converter, Bytes(frame));
        EXPECT_TRUE(TFrameConverter::Unpacked(result));
        if (GetParam() == TDecoderPath::Libjpeg) {
            EXPECT_EQ(result, TUnpackResult::Message);
            EXPECT_EQ(
                converter.LastMessage(),
                QStringList({"Unknown compression", QStringLiteral("DataSize: %1  FourCC: MJPG").arg(frame.size())}));
        } else {
            EXPECT_EQ(result, TUnpackResult::Converted);
            EXPECT_EQ(converter.Bitmap(), before);
        }
    }
}

// The decoder's own bound: the declared size decides, to the pixel.
TEST(JpegDecoderTest, PictureOverTheBoundIsRefusedBeforeDecoding)
{
    const QByteArray jpeg = EncodePicture(QuadrantPicture(64, 48));
    const auto* data = reinterpret_cast<const uint8_t*>(jpeg.constData());
    TJpegDecoder decoder;
    QImage target(64, 48, QImage::Format_BGR888);

    target.fill(Qt::black);
    decoder.MaxPixels = 64 * 48;
    EXPECT_TRUE(decoder.DrawTo(data, size_t(jpeg.size()), target));
    EXPECT_TRUE(ColourNear(PixelColour(target, 16, 12), kQuadrantColours[0], 8));

    target.fill(Qt::black);
    decoder.MaxPixels = 64 * 48 - 1;
    EXPECT_FALSE(decoder.DrawTo(data, size_t(jpeg.size()), target));
    EXPECT_EQ(decoder.LastError(), QStringLiteral("The picture is too large (64 x 48 pixels)"));
    EXPECT_EQ(PixelColour(target, 16, 12), QColor(Qt::black));
}

INSTANTIATE_TEST_SUITE_P(Decoders, MotionJpegTest, ::testing::Values(TDecoderPath::Libjpeg, TDecoderPath::Pixbuf),
                         [](const auto& info) { return info.param == TDecoderPath::Libjpeg ? "Libjpeg" : "Pixbuf"; });

} // namespace

// The table of sample formats, and what the frame conversion, the capture's
// caps and the four-character codes take from it.
#include "capture/FrameConversion.h"
#include "capture/GstSupport.h"
#include "capture/SampleDelivery.h"
#include "capture/SampleFormats.h"
#include "support/CaptureTestSupport.h"

#include <gst/video/video.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

auto* const guiEnvironment = ::testing::AddGlobalTestEnvironment(new TGuiApplicationEnvironment);

// ------------------------------------------------------------ the table rows

class SampleFormatRow : public ::testing::TestWithParam<TSampleFormatInfo> {};

TEST_P(SampleFormatRow, NameAndCodeGoBothWays)
{
    const TSampleFormatInfo& row = GetParam();
    EXPECT_EQ(FourCC::ToString(row.FourCC), QString::fromLatin1(row.name));
    EXPECT_EQ(FourCC::Parse(QString::fromLatin1(row.name)), row.FourCC);
    ASSERT_NE(SampleFormatOf(row.FourCC), nullptr);
    EXPECT_STREQ(SampleFormatOf(row.FourCC)->name, row.name);
    EXPECT_EQ(SampleFormatNamed(QString::fromLatin1(row.name)), SampleFormatOf(row.FourCC));
    EXPECT_EQ(SampleFormatNamed(QString::fromLatin1(row.name).toLower()), SampleFormatOf(row.FourCC));
}

TEST_P(SampleFormatRow, SampleOfItsFamilysSizeIsConverted)
{
    const TSampleFormatInfo& row = GetParam();
    constexpr int kWidth = 4, kHeight = 2;
    QByteArray sample;
    switch (row.family) {
    case TSampleFamily::RGB24: sample.fill('\x40', kWidth * kHeight * 3); break;
    case TSampleFamily::Packed422: sample.fill('\x40', kWidth * kHeight * 2); break;
    case TSampleFamily::Planar420: sample.fill('\x40', kWidth * kHeight * 3 / 2); break;
    case TSampleFamily::MotionJpeg: sample = EncodePicture(QuadrantPicture(kWidth, kHeight)); break;
    }
    TFrameConverter converter;
    converter.SetStreamFormat(kWidth, kHeight, row.FourCC);
    EXPECT_TRUE(TFrameConverter::SampleSizeFits(row.FourCC, kWidth, kHeight, sample.size()));
    EXPECT_EQ(converter.UnpackFrame(sample.size(), reinterpret_cast<const uint8_t*>(sample.constData())),
              TFrameConverter::TUnpackResult::Converted);
    if (row.family != TSampleFamily::MotionJpeg) {
        EXPECT_FALSE(TFrameConverter::SampleSizeFits(row.FourCC, kWidth, kHeight, sample.size() + 1));
    }
}

TEST_P(SampleFormatRow, GStreamerNameGivesTheCodeBack)
{
    const TSampleFormatInfo& row = GetParam();
    if (!row.gstFormat) {
        EXPECT_TRUE(row.capturePreference == 0 || row.family == TSampleFamily::MotionJpeg) << row.name;
        return;
    }
    EXPECT_NE(gst_video_format_from_string(row.gstFormat), GST_VIDEO_FORMAT_UNKNOWN) << row.gstFormat;
    EXPECT_EQ(FourCCOfGstFormat(row.gstFormat), row.FourCC);
}

TEST_P(SampleFormatRow, SamplesOfItsCapsArriveWithItsCode)
{
    const TSampleFormatInfo& row = GetParam();
    const QByteArray caps = SampleFormatCaps(row);
    if (row.capturePreference == 0) {
        EXPECT_TRUE(caps.isEmpty());
        return;
    }
    EnsureGStreamer();
    const TGstCapsPtr fixed(gst_caps_from_string((caps + ",width=64,height=48").constData()));
    ASSERT_TRUE(fixed) << caps.constData();
    TSampleFormat format;
    ASSERT_EQ(SampleFormatFromCaps(fixed.get(), format), S_OK);
    EXPECT_EQ(format, (TSampleFormat{64, 48, row.FourCC}));
}

INSTANTIATE_TEST_SUITE_P(Table, SampleFormatRow, ::testing::ValuesIn(kSampleFormats),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------ the whole table

TEST(SampleFormatTable, CodesNamesAndPreferencesAreEachOnce)
{
    std::set<uint32_t> codes;
    std::set<QString> names;
    std::set<std::string> gstFormats;
    std::vector<int> preferences;
    for (const TSampleFormatInfo& row : kSampleFormats) {
        EXPECT_TRUE(codes.insert(row.FourCC).second) << row.name;
        EXPECT_TRUE(names.insert(QString::fromLatin1(row.name).toUpper()).second) << row.name;
        if (row.gstFormat) {
            EXPECT_TRUE(gstFormats.insert(row.gstFormat).second) << row.name;
        }
        if (row.capturePreference != 0)
            preferences.push_back(row.capturePreference);
    }
    std::sort(preferences.begin(), preferences.end());
    std::vector<int> oneToN(preferences.size());
    for (size_t i = 0; i < oneToN.size(); ++i)
        oneToN[i] = int(i) + 1;
    EXPECT_EQ(preferences, oneToN);
}

TEST(SampleFormatTable, UnknownCodesAndNamesHaveNoRow)
{
    EXPECT_EQ(SampleFormatOf(FourCC::Make('N', 'V', '1', '2')), nullptr);
    EXPECT_EQ(SampleFormatNamed(u"NV12"), nullptr);
    EXPECT_EQ(SampleFormatNamed(u"BGR"), nullptr); // GStreamer's name, not the code's
    EXPECT_EQ(SampleFormatNamed(u""), nullptr);
    EXPECT_FALSE(TFrameConverter::SampleSizeFits(FourCC::Make('N', 'V', '1', '2'), 4, 2, 12));
}

TEST(SampleFormatTable, GStreamerFormatsOutsideTheTableKeepTheirOwnCode)
{
    EnsureGStreamer();
    EXPECT_EQ(FourCCOfGstFormat("NV12"), FourCC::Make('N', 'V', '1', '2'));
    EXPECT_EQ(FourCCOfGstFormat("RGB"), std::nullopt); // red first: no code of its own
    EXPECT_EQ(FourCCOfGstFormat("no such format"), std::nullopt);
    EXPECT_EQ(FourCCOfGstFormat(nullptr), std::nullopt);
}

// The camera is asked for the formats the conversion reads, most wanted first.
TEST(SampleFormatTable, CapsAskForTheReadFormatsInTheirOrder)
{
    EXPECT_EQ(CameraSampleCaps(), "video/x-raw,format=YUY2; video/x-raw,format=I420; video/x-raw,format=YV12; "
                                  "video/x-raw,format=BGR; image/jpeg");
    EXPECT_EQ(ConvertedSampleCaps(), "video/x-raw,format={ YUY2, I420, YV12, BGR }");
    EnsureGStreamer();
    for (const QByteArray& text : {CameraSampleCaps(), ConvertedSampleCaps()}) {
        const TGstCapsPtr caps(gst_caps_from_string(text.constData()));
        EXPECT_TRUE(caps && !gst_caps_is_empty(caps.get())) << text.constData();
    }
}

// ------------------------------------------------------------------ FourCC

struct TFourCCText {
    const char* text;
    std::optional<uint32_t> code;
};

class FourCCTest : public ::testing::TestWithParam<TFourCCText> {};

TEST_P(FourCCTest, ParsesText)
{
    EXPECT_EQ(FourCC::Parse(QString::fromLatin1(GetParam().text)), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Texts, FourCCTest,
                         ::testing::Values(TFourCCText{"YUY2", 0x32595559u}, TFourCCText{"I420", 0x30323449u},
                                           TFourCCText{"IYUV", 0x56555949u}, TFourCCText{"YV12", 0x32315659u},
                                           TFourCCText{"YUNV", 0x564E5559u}, TFourCCText{"YUYV", 0x56595559u},
                                           TFourCCText{"MJPG", 0x47504A4Du}, TFourCCText{"RGB", 0u},
                                           TFourCCText{"rgb", 0u}, TFourCCText{"YUY", std::nullopt},
                                           TFourCCText{"YUY22", std::nullopt}, TFourCCText{"", std::nullopt},
                                           TFourCCText{"YU\tY", std::nullopt}));

TEST(FourCCTest, TextRoundTrip)
{
    for (uint32_t code : {FourCC::YUY2, FourCC::MJPG, FourCC::YV12, FourCC::RGB})
        EXPECT_EQ(FourCC::Parse(FourCC::ToString(code)), code);
    EXPECT_EQ(FourCC::ToString(FourCC::I420), "I420");
}

} // namespace

// ------------------------------------------------------------ padded samples

namespace {

// The byte GStreamer's frame holds in plane `plane`, row `row`, byte `column`
// of the row: every byte tells where it came from.
std::uint8_t Marked(int plane, int row, int column)
{
    return static_cast<std::uint8_t>(plane * 71 + row * 7 + column * 3 + 1);
}

struct PaddedCase {
    const char* format; // GStreamer's name
    int width, height;
};

void PrintTo(const PaddedCase& c, std::ostream* out)
{
    *out << c.format << '_' << c.width << 'x' << c.height;
}

std::vector<PaddedCase> PaddedCases()
{
    std::vector<PaddedCase> cases;
    for (const char* format : {"YUY2", "I420", "YV12", "BGR"})
        for (int width = 368; width <= 372; ++width)
            for (int height : {240, 241, 243})
                cases.push_back({format, width, height});
    return cases;
}

class PaddedSample : public ::testing::TestWithParam<PaddedCase> {};

} // namespace

// GStreamer pads rows and planes to its strides (a multiple of 4 bytes, and
// chroma planes of odd sizes take the extra column and row). The sample
// callback gets each row and plane where the frame conversion reads them,
// whatever the padding, and the conversion takes the sample.
TEST_P(PaddedSample, IsReadByTheStridesIntoTheLayoutTheConversionReads)
{
    EnsureGStreamer();
    const PaddedCase& c = GetParam();
    GstVideoInfo info;
    ASSERT_TRUE(gst_video_info_set_format(&info, gst_video_format_from_string(c.format), c.width, c.height));
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    ASSERT_NE(buffer, nullptr);
    {
        GstMapInfo all;
        ASSERT_TRUE(gst_buffer_map(buffer, &all, GST_MAP_WRITE));
        std::fill(all.data, all.data + all.size, 0xEE); // the padding
        gst_buffer_unmap(buffer, &all);
        GstVideoFrame frame;
        ASSERT_TRUE(gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE));
        for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(&frame); ++plane) {
            auto* data = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
            const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane);
            // The bytes of a row and the rows that GStreamer's plane holds.
            const int component = plane; // one component per plane in these formats
            const int rowBytes =
                GST_VIDEO_FRAME_COMP_WIDTH(&frame, component) * GST_VIDEO_FRAME_COMP_PSTRIDE(&frame, component);
            const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&frame, component);
            for (int row = 0; row < rows; ++row)
                for (int column = 0; column < rowBytes; ++column)
                    data[row * stride + column] = Marked(static_cast<int>(plane), row, column);
        }
        gst_video_frame_unmap(&frame);
    }

    // What the conversion reads (FrameConversion.h): rows without padding,
    // BGR bottom-up, YUY2 in whole pixel pairs, the chroma planes of 4:2:0 of
    // (W div 2) x (H div 2) at W x H and W x H + (W x H) div 4.
    const std::size_t w = c.width, h = c.height;
    struct Plane {
        std::size_t offset, rowBytes, rows;
    };
    std::vector<Plane> planes;
    std::size_t size = 0;
    bool bottomUp = false;
    std::uint32_t fourCC = 0;
    const std::string format = c.format;
    if (format == "BGR") {
        planes = {{0, w * 3, h}};
        size = w * h * 3;
        bottomUp = true;
        fourCC = FourCC::RGB;
    } else if (format == "YUY2") {
        planes = {{0, w / 2 * 4, h}};
        size = w * h * 2;
        fourCC = FourCC::YUY2;
    } else {
        planes = {{0, w, h}, {w * h, w / 2, h / 2}, {w * h + w * h / 4, w / 2, h / 2}};
        size = w * h * 3 / 2;
        fourCC = format == "I420" ? FourCC::I420 : FourCC::YV12;
    }

    std::vector<std::uint8_t> scratch;
    {
        const TSampleBytes bytes(buffer, &info, scratch);
        ASSERT_EQ(bytes.Size(), size);
        int mismatches = 0;
        for (std::size_t p = 0; p < planes.size(); ++p)
            for (std::size_t row = 0; row < planes[p].rows; ++row)
                for (std::size_t column = 0; column < planes[p].rowBytes; ++column) {
                    const std::size_t from = bottomUp ? planes[p].rows - 1 - row : row;
                    const std::uint8_t expected =
                        Marked(static_cast<int>(p), static_cast<int>(from), static_cast<int>(column));
                    if (bytes.Data()[planes[p].offset + row * planes[p].rowBytes + column] != expected
                        && ++mismatches <= 3)
                        ADD_FAILURE() << "plane " << p << " row " << row << " byte " << column;
                }
        EXPECT_EQ(mismatches, 0);
        EXPECT_TRUE(TFrameConverter::SampleSizeFits(fourCC, c.width, c.height, static_cast<qsizetype>(bytes.Size())));
        // A sample GStreamer did not pad is handed on without a copy.
        const bool padded = GST_VIDEO_INFO_SIZE(&info) != size || bottomUp
                            || GST_VIDEO_INFO_PLANE_STRIDE(&info, 0) != static_cast<int>(planes[0].rowBytes)
                            || (planes.size() > 1
                                && (GST_VIDEO_INFO_PLANE_OFFSET(&info, 1) != planes[1].offset
                                    || GST_VIDEO_INFO_PLANE_OFFSET(&info, 2) != planes[2].offset
                                    || GST_VIDEO_INFO_PLANE_STRIDE(&info, 1) != static_cast<int>(planes[1].rowBytes)));
        EXPECT_EQ(bytes.Data() == scratch.data(), padded);
    }
    gst_buffer_unref(buffer);
}

INSTANTIATE_TEST_SUITE_P(WidthsAndOddHeights, PaddedSample, ::testing::ValuesIn(PaddedCases()), [](const auto& info) {
    return std::string(info.param.format) + "_" + std::to_string(info.param.width) + "x"
           + std::to_string(info.param.height);
});

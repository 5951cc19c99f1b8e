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
    EXPECT_EQ(FourCC::ToString(row.FourCC), QString::fromLatin1(row.Name));
    EXPECT_EQ(FourCC::Parse(QString::fromLatin1(row.Name)), row.FourCC);
    ASSERT_NE(SampleFormatOf(row.FourCC), nullptr);
    EXPECT_STREQ(SampleFormatOf(row.FourCC)->Name, row.Name);
    EXPECT_EQ(SampleFormatNamed(QString::fromLatin1(row.Name)), SampleFormatOf(row.FourCC));
    EXPECT_EQ(SampleFormatNamed(QString::fromLatin1(row.Name).toLower()), SampleFormatOf(row.FourCC));
}

TEST_P(SampleFormatRow, SampleOfItsFamilysSizeIsConverted)
{
    const TSampleFormatInfo& row = GetParam();
    constexpr int kWidth = 4, kHeight = 2;
    QByteArray sample;
    switch (row.Family) {
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
    if (row.Family != TSampleFamily::MotionJpeg) {
        EXPECT_FALSE(TFrameConverter::SampleSizeFits(row.FourCC, kWidth, kHeight, sample.size() + 1));
    }
}

TEST_P(SampleFormatRow, GStreamerNameGivesTheCodeBack)
{
    const TSampleFormatInfo& row = GetParam();
    if (!row.GstFormat) {
        EXPECT_TRUE(row.CapturePreference == 0 || row.Family == TSampleFamily::MotionJpeg) << row.Name;
        return;
    }
    EXPECT_NE(gst_video_format_from_string(row.GstFormat), GST_VIDEO_FORMAT_UNKNOWN) << row.GstFormat;
    EXPECT_EQ(FourCCOfGstFormat(row.GstFormat), row.FourCC);
}

TEST_P(SampleFormatRow, SamplesOfItsCapsArriveWithItsCode)
{
    const TSampleFormatInfo& row = GetParam();
    const QByteArray caps = SampleFormatCaps(row);
    if (row.CapturePreference == 0) {
        EXPECT_TRUE(caps.isEmpty());
        return;
    }
    EnsureGStreamer();
    const GstCapsPtr fixed(gst_caps_from_string((caps + ",width=64,height=48").constData()));
    ASSERT_TRUE(fixed) << caps.constData();
    TSampleFormat format;
    ASSERT_EQ(SampleFormatFromCaps(fixed.get(), format), S_OK);
    EXPECT_EQ(format, (TSampleFormat{64, 48, row.FourCC}));
}

INSTANTIATE_TEST_SUITE_P(Table, SampleFormatRow, ::testing::ValuesIn(kSampleFormats),
                         [](const auto& info) { return std::string(info.param.Name); });

// ------------------------------------------------------------ the whole table

TEST(SampleFormatTable, CodesNamesAndPreferencesAreEachOnce)
{
    std::set<uint32_t> codes;
    std::set<QString> names;
    std::set<std::string> gstFormats;
    std::vector<int> preferences;
    for (const TSampleFormatInfo& row : kSampleFormats) {
        EXPECT_TRUE(codes.insert(row.FourCC).second) << row.Name;
        EXPECT_TRUE(names.insert(QString::fromLatin1(row.Name).toUpper()).second) << row.Name;
        if (row.GstFormat) {
            EXPECT_TRUE(gstFormats.insert(row.GstFormat).second) << row.Name;
        }
        if (row.CapturePreference != 0)
            preferences.push_back(row.CapturePreference);
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
        const GstCapsPtr caps(gst_caps_from_string(text.constData()));
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
                         ::testing::Values(TFourCCText{"YUY2", 0x32595559u},
                                           TFourCCText{"I420", 0x30323449u},
                                           TFourCCText{"IYUV", 0x56555949u},
                                           TFourCCText{"YV12", 0x32315659u},
                                           TFourCCText{"YUNV", 0x564E5559u},
                                           TFourCCText{"YUYV", 0x56595559u},
                                           TFourCCText{"MJPG", 0x47504A4Du},
                                           TFourCCText{"RGB", 0u}, TFourCCText{"rgb", 0u},
                                           TFourCCText{"YUY", std::nullopt},
                                           TFourCCText{"YUY22", std::nullopt},
                                           TFourCCText{"", std::nullopt},
                                           TFourCCText{"YU\tY", std::nullopt}));

TEST(FourCCTest, TextRoundTrip)
{
    for (uint32_t code : {FourCC::YUY2, FourCC::MJPG, FourCC::YV12, FourCC::RGB})
        EXPECT_EQ(FourCC::Parse(FourCC::ToString(code)), code);
    EXPECT_EQ(FourCC::ToString(FourCC::I420), "I420");
}

} // namespace

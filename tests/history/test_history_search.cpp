// Finding entries again: the webcam's de-duplication (a code recorded once
// when it appears) and the History tab's search.
#include "history/HistoryFilter.h"
#include "history/HistoryRecorder.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

// A sighting a number of milliseconds after the start.
struct Sighting {
    qint64 atMs;
    QString source;
    QString text;
    bool recorded;
};

struct RecorderCase {
    const char* name;
    std::vector<Sighting> sightings;
    bool forgetBeforeLast = false; // a new capture starts before the last sighting
};

void PrintTo(const RecorderCase& c, std::ostream* out)
{
    *out << c.name;
}

class HistoryRecorder : public ::testing::TestWithParam<RecorderCase> {};

TEST_P(HistoryRecorder, RecordsACodeOnceWhenItAppears)
{
    const QDateTime start(QDate(2026, 5, 1), QTime(12, 0), QTimeZone(0));
    THistoryRecorder recorder;
    const std::vector<Sighting>& sightings = GetParam().sightings;
    for (std::size_t i = 0; i < sightings.size(); ++i) {
        if (GetParam().forgetBeforeLast && i + 1 == sightings.size())
            recorder.Forget();
        const Sighting& s = sightings[i];
        EXPECT_EQ(recorder.ShouldRecord(s.source, s.text, start.addMSecs(s.atMs)), s.recorded)
            << "sighting " << i << " at " << s.atMs << " ms";
    }
}

const QString kCam = QStringLiteral("HD Webcam");
const QString kOther = QStringLiteral("USB Camera");
const int kPause = THistoryRecorder::kRepeatSeconds * 1000;

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryRecorder,
    ::testing::Values(
        RecorderCase{"first_sighting", {{0, kCam, "A", true}}},
        RecorderCase{"same_code_frame_after_frame",
                     {{0, kCam, "A", true}, {33, kCam, "A", false}, {66, kCam, "A", false}, {100, kCam, "A", false}}},
        RecorderCase{"stays_in_view_longer_than_the_pause",
                     {{0, kCam, "A", true},
                      {4000, kCam, "A", false},
                      {8000, kCam, "A", false},
                      {12000, kCam, "A", false},
                      {16000, kCam, "A", false}}},
        RecorderCase{"again_just_within_the_pause", {{0, kCam, "A", true}, {kPause, kCam, "A", false}}},
        RecorderCase{"again_after_the_pause", {{0, kCam, "A", true}, {kPause + 1, kCam, "A", true}}},
        RecorderCase{"other_code", {{0, kCam, "A", true}, {33, kCam, "B", true}}},
        RecorderCase{"two_codes_in_view_by_turns",
                     {{0, kCam, "A", true},
                      {33, kCam, "B", true},
                      {66, kCam, "A", false},
                      {100, kCam, "B", false},
                      {133, kCam, "A", false}}},
        RecorderCase{"back_to_the_first_code_within_the_pause",
                     {{0, kCam, "A", true}, {1000, kCam, "B", true}, {2000, kCam, "A", false}}},
        RecorderCase{"back_to_the_first_code_after_the_pause",
                     {{0, kCam, "A", true}, {1000, kCam, "B", true}, {kPause + 500, kCam, "A", true}}},
        RecorderCase{"other_camera", {{0, kCam, "A", true}, {33, kOther, "A", true}, {66, kCam, "A", false}}},
        RecorderCase{"case_and_spaces_make_another_text",
                     {{0, kCam, "abc", true}, {10, kCam, "ABC", true}, {20, kCam, "abc ", true}}},
        RecorderCase{"clock_set_back", {{10000, kCam, "A", true}, {0, kCam, "A", true}}},
        RecorderCase{"new_capture", {{0, kCam, "A", true}, {33, kCam, "A", true}}, true}),
    [](const auto& info) { return std::string(info.param.name); });

THistoryEntry Entry(const QString& source, const QString& format, const QString& text)
{
    THistoryEntry entry;
    entry.source = source;
    entry.format = format;
    entry.text = text;
    return entry;
}

const QList<THistoryEntry> kEntries = {
    Entry("/home/me/Pictures/label.png", "QR_CODE", "https://example.org/Shop?item=7"), // 0
    Entry("HD Webcam", "EAN_13", "4006381333931"),                                      // 1
    Entry("Clipboard", "QR_CODE", "WIFI:S:Straße;T:WPA;P:geheim;;"),                    // 2
    Entry("Screen", "DATA_MATRIX", "Lot 4711\nBest before 2027"),                       // 3
    Entry("HD Webcam", "CODE_128", "shop-item-7"),                                      // 4
    Entry("/tmp/ünïcode.jpg", "QR_CODE", "ÉCOLE"),                                      // 5
};

struct FilterCase {
    const char* name;
    QString query;
    QString format;
    QList<qsizetype> shown;
};

void PrintTo(const FilterCase& c, std::ostream* out)
{
    *out << c.name;
}

class HistoryFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(HistoryFilter, ShowsTheEntriesThatMatchInOrder)
{
    // Compared as vectors: Qt 6.4's QList == hands an empty list's null data
    // to memcmp, which UndefinedBehaviorSanitizer reports.
    const QList<qsizetype> shown = FilterHistory(kEntries, GetParam().query, GetParam().format);
    EXPECT_EQ(std::vector<qsizetype>(shown.begin(), shown.end()),
              std::vector<qsizetype>(GetParam().shown.begin(), GetParam().shown.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryFilter,
    ::testing::Values(
        FilterCase{"everything", "", "", {0, 1, 2, 3, 4, 5}}, FilterCase{"in_the_text_any_case", "SHOP", "", {0, 4}},
        FilterCase{"in_the_source", "webcam", "", {1, 4}}, FilterCase{"in_the_path", "pictures", "", {0}},
        FilterCase{"in_the_format", "ean", "", {1}}, FilterCase{"format_name_part", "code", "", {0, 2, 4, 5}},
        FilterCase{"across_a_line_break_no", "4711 Best", "", {}},
        FilterCase{"on_a_line_of_its_own", "best before", "", {3}}, FilterCase{"non_ascii_folded", "straße", "", {2}},
        FilterCase{"accented_capitals", "école", "", {5}}, FilterCase{"accent_in_the_source", "ÜNÏ", "", {5}},
        FilterCase{"format_alone", "", "QR_CODE", {0, 2, 5}}, FilterCase{"format_and_query", "shop", "CODE_128", {4}},
        FilterCase{"format_is_whole_name", "", "QR", {}}, FilterCase{"format_of_nothing_shown", "wifi", "EAN_13", {}},
        FilterCase{"spaces_count", "item 7", "", {}}, FilterCase{"no_match", "zzz", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryFilterGrowing, EachLetterNarrowsTheList)
{
    // What the tab asks as the user types "shop-": never more than the letter before.
    QString query;
    qsizetype before = kEntries.size();
    for (const QChar letter : QStringLiteral("shop-")) {
        query += letter;
        const qsizetype shown = FilterHistory(kEntries, query, QString()).size();
        EXPECT_LE(shown, before) << query.toStdString();
        before = shown;
    }
    EXPECT_EQ(FilterHistory(kEntries, query, QString()), (QList<qsizetype>{4}));
    EXPECT_TRUE(FilterHistory({}, "x", "QR_CODE").isEmpty());
}

} // namespace

// The scan history written out: CSV (RFC 4180, read back with a reader of
// that RFC, and with formula-looking fields kept as text) and JSON Lines
// (read back with QJsonDocument), and the format a file's name asks for.
#include "history/HistoryExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

namespace {

// RFC 4180 read strictly: records end in CR LF; a field is either plain
// (no comma, quote, CR or LF) or quoted, with "" for a quote inside. A
// malformed file gives no records and fails the test.
QList<QStringList> ReadCsv(const QByteArray& csv)
{
    QList<QStringList> records;
    QStringList record;
    QByteArray field;
    qsizetype i = 0;
    const auto fail = [&](const char* what) {
        ADD_FAILURE() << what << " at byte " << i;
        return QList<QStringList>();
    };
    while (i < csv.size()) {
        field.clear();
        if (csv[i] == '"') {
            ++i;
            for (;;) {
                if (i >= csv.size())
                    return fail("unterminated quoted field");
                if (csv[i] == '"') {
                    if (i + 1 < csv.size() && csv[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += csv[i++];
            }
        } else {
            while (i < csv.size() && csv[i] != ',' && csv[i] != '\r') {
                if (csv[i] == '"' || csv[i] == '\n')
                    return fail("quote or line feed in a plain field");
                field += csv[i++];
            }
        }
        record.append(QString::fromUtf8(field));
        if (i < csv.size() && csv[i] == ',') {
            ++i;
            continue;
        }
        if (i + 1 < csv.size() && csv[i] == '\r' && csv[i + 1] == '\n') {
            i += 2;
            records.append(record);
            record.clear();
            continue;
        }
        return fail("a field not followed by a comma or CR LF");
    }
    if (!record.isEmpty())
        return fail("last record without CR LF");
    return records;
}

// What a program reading the CSV does to get the text back.
QString WithoutMarkApostrophe(const QString& field)
{
    return field.startsWith(u'\'') ? field.mid(1) : field;
}

struct FieldCase {
    const char* name;
    QString value;
    QByteArray written;
};

void PrintTo(const FieldCase& c, std::ostream* out)
{
    *out << c.name;
}

class CsvField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(CsvField, IsWrittenSoASpreadsheetShowsTheText)
{
    EXPECT_EQ(HistoryCsvField(GetParam().value), GetParam().written);
    // Read back by an RFC 4180 reader, without the mark apostrophe: the text again.
    const QList<QStringList> records = ReadCsv(HistoryCsvField(GetParam().value) + "\r\n");
    ASSERT_EQ(records.size(), 1);
    ASSERT_EQ(records[0].size(), 1);
    EXPECT_EQ(WithoutMarkApostrophe(records[0][0]), GetParam().value);
    // A spreadsheet takes no field that begins so for a formula.
    const QString shown = records[0][0];
    if (!shown.isEmpty()) {
        EXPECT_FALSE(QStringLiteral("=+-@\t\r").contains(shown.front())) << shown.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvField,
    ::testing::Values(
        FieldCase{"plain", "hello", "hello"}, FieldCase{"empty", "", ""}, FieldCase{"comma", "a,b", "\"a,b\""},
        FieldCase{"quotes", "say \"hi\"", "\"say \"\"hi\"\"\""}, FieldCase{"only_a_quote", "\"", "\"\"\"\""},
        FieldCase{"line_feed", "one\ntwo", "\"one\ntwo\""}, FieldCase{"cr_lf", "one\r\ntwo", "\"one\r\ntwo\""},
        FieldCase{"non_ascii", "Grüße ☕ 漢字", "Grüße ☕ 漢字"},
        FieldCase{"formula_equals", "=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        FieldCase{"formula_sum", "=1+2", "'=1+2"}, FieldCase{"plus", "+491701234567", "'+491701234567"},
        FieldCase{"minus", "-2+3", "'-2+3"}, FieldCase{"at", "@SUM(A1)", "'@SUM(A1)"},
        FieldCase{"tab", "\t=1", "'\t=1"}, FieldCase{"carriage_return", "\r=1", "\"'\r=1\""},
        FieldCase{"own_apostrophe", "'quoted'", "''quoted'"}, FieldCase{"formula_sign_inside", "a=b+c", "a=b+c"},
        FieldCase{"space_before_equals", " =1", " =1"}, FieldCase{"formula_and_comma", "=A1,B2", "\"'=A1,B2\""}),
    [](const auto& info) { return std::string(info.param.name); });

THistoryEntry Entry(qint64 msecs, const QString& source, const QString& format, const QString& text,
                    const QByteArray& bytes, const QString& contentType)
{
    THistoryEntry entry;
    entry.time = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone(0));
    entry.source = source;
    entry.format = format;
    entry.text = text;
    entry.bytes = bytes;
    entry.contentType = contentType;
    return entry;
}

const QList<THistoryEntry> kEntries = {
    Entry(1'767'225'600'000, "/home/me/Bilder/Über, 1.png", "QR_CODE", "WIFI:S:Café;T:WPA;P:\"x,y\";;",
          QByteArray("WIFI:S:Caf\xc3\xa9;T:WPA;P:\"x,y\";;"), "wifi"),
    Entry(1'767'225'601'500, "HD Webcam", "EAN_13", "4006381333931", "4006381333931", "text"),
    Entry(1'767'225'602'000, "Clipboard", "QR_CODE", "=cmd|' /C calc'!A0", "=cmd|' /C calc'!A0", "text"),
    Entry(1'767'225'603'000, "Screen", "DATA_MATRIX", "line 1\nline 2\r\nline 3", QByteArray("\x00\xff", 2), "text"),
    Entry(1'767'225'604'000, "@camera", "QR_CODE", "https://example.org/?q=a,b", "https://example.org/?q=a,b", "url"),
    Entry(1'767'225'605'000, "Screen", "QR_CODE", "", "", "text"),
};

// The zone the exports' local time is in, for the test's run.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
        : fSaved(qgetenv("TZ"))
        , fHad(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (fHad)
            qputenv("TZ", fSaved);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray fSaved;
    bool fHad;
};

struct TimeCase {
    const char* name;
    const char* zone;
    qint64 msecs;
    QString written;
};

void PrintTo(const TimeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ExportTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ExportTime, IsIso8601WithTheLocalOffset)
{
    const LocalZone zone(GetParam().zone);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(GetParam().msecs, QTimeZone(0));
    EXPECT_EQ(HistoryTimeText(time), GetParam().written);
    EXPECT_EQ(HistoryTimeText(time.toLocalTime()), GetParam().written);
    // Read back: the same moment, to the second.
    EXPECT_EQ(QDateTime::fromString(GetParam().written, Qt::ISODate).toMSecsSinceEpoch(),
              GetParam().msecs / 1000 * 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportTime,
    ::testing::Values(TimeCase{"berlin_winter", "Europe/Berlin", 1'767'225'600'000, "2026-01-01T01:00:00+01:00"},
                      TimeCase{"berlin_summer", "Europe/Berlin", 1'782'864'000'000, "2026-07-01T02:00:00+02:00"},
                      TimeCase{"new_york", "America/New_York", 1'767'225'600'999, "2025-12-31T19:00:00-05:00"},
                      TimeCase{"kolkata", "Asia/Kolkata", 1'767'225'600'000, "2026-01-01T05:30:00+05:30"},
                      TimeCase{"utc", "UTC", 1'767'225'600'000, "2026-01-01T00:00:00Z"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryCsv, ReadsBackAsTheEntries)
{
    const LocalZone zone("Europe/Berlin");
    const QByteArray csv = HistoryCsv(kEntries);
    EXPECT_FALSE(csv.startsWith("\xef\xbb\xbf")); // no byte order mark
    EXPECT_TRUE(csv.startsWith("time,source,format,text,content_type\r\n"));
    const QList<QStringList> records = ReadCsv(csv);
    ASSERT_EQ(records.size(), kEntries.size() + 1);
    EXPECT_EQ(records[0], (QStringList{"time", "source", "format", "text", "content_type"}));
    for (qsizetype i = 0; i < kEntries.size(); ++i) {
        SCOPED_TRACE(i);
        const QStringList& record = records[i + 1];
        ASSERT_EQ(record.size(), 5);
        const THistoryEntry& entry = kEntries[i];
        EXPECT_EQ(QDateTime::fromString(record[0], Qt::ISODate).toMSecsSinceEpoch(),
                  entry.time.toMSecsSinceEpoch() / 1000 * 1000);
        EXPECT_TRUE(record[0].endsWith("+01:00")) << record[0].toStdString();
        EXPECT_EQ(WithoutMarkApostrophe(record[1]), entry.source);
        EXPECT_EQ(record[2], entry.format);
        EXPECT_EQ(WithoutMarkApostrophe(record[3]), entry.text);
        EXPECT_EQ(record[4], entry.contentType);
    }
    EXPECT_EQ(records[3][3], "'=cmd|' /C calc'!A0");
    EXPECT_EQ(records[5][1], "'@camera");
}

TEST(HistoryCsv, OfNothingIsTheHeaderAlone)
{
    EXPECT_EQ(HistoryCsv({}), "time,source,format,text,content_type\r\n");
    EXPECT_TRUE(HistoryJsonLines({}).isEmpty());
}

TEST(HistoryJsonLines, ReadBackAsTheEntries)
{
    const LocalZone zone("Asia/Kolkata");
    const QByteArray jsonLines = HistoryJsonLines(kEntries);
    ASSERT_TRUE(jsonLines.endsWith('\n'));
    const QList<QByteArray> lines = jsonLines.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), kEntries.size());
    for (qsizetype i = 0; i < kEntries.size(); ++i) {
        SCOPED_TRACE(i);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(lines[i], &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        ASSERT_TRUE(document.isObject());
        const QJsonObject object = document.object();
        const THistoryEntry& entry = kEntries[i];
        EXPECT_EQ(object.keys(), (QStringList{"bytes", "content", "format", "source", "text", "time"}));
        EXPECT_EQ(object["time"].toString(), HistoryTimeText(entry.time));
        EXPECT_TRUE(object["time"].toString().endsWith("+05:30"));
        EXPECT_EQ(object["source"].toString(), entry.source);
        EXPECT_EQ(object["format"].toString(), entry.format);
        EXPECT_EQ(object["text"].toString(), entry.text);
        EXPECT_EQ(QByteArray::fromHex(object["bytes"].toString().toLatin1()), entry.bytes);
        EXPECT_EQ(object["content"].toObject()["type"].toString(), entry.contentType);
    }
    // The content as lantrix-scan --json gives it.
    const QJsonObject wifi = QJsonDocument::fromJson(lines[0]).object()["content"].toObject();
    EXPECT_EQ(wifi["ssid"].toString(), "Café");
    EXPECT_EQ(wifi["password"].toString(), "x,y");
    EXPECT_EQ(QJsonDocument::fromJson(lines[4]).object()["content"].toObject()["url"].toString(),
              "https://example.org/?q=a,b");
    EXPECT_EQ(QJsonDocument::fromJson(lines[3]).object()["bytes"].toString(), "00ff");
}

TEST(HistoryJsonLines, AnEntryWithoutATimeHasNull)
{
    THistoryEntry entry = kEntries[1];
    entry.time = QDateTime();
    const QJsonObject object = QJsonDocument::fromJson(HistoryJsonLines({entry})).object();
    EXPECT_TRUE(object["time"].isNull());
    const QList<QStringList> records = ReadCsv(HistoryCsv({entry}));
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1][0], "");
}

TEST(HistoryExport, GivesTheFormatAsked)
{
    EXPECT_EQ(HistoryExport(kEntries, THistoryExportFormat::Csv), HistoryCsv(kEntries));
    EXPECT_EQ(HistoryExport(kEntries, THistoryExportFormat::JsonLines), HistoryJsonLines(kEntries));
}

struct SuffixCase {
    const char* name;
    QString file;
    std::optional<THistoryExportFormat> format;
};

void PrintTo(const SuffixCase& c, std::ostream* out)
{
    *out << c.name;
}

class ExportFormat : public ::testing::TestWithParam<SuffixCase> {};

TEST_P(ExportFormat, IsTakenFromTheSuffix)
{
    EXPECT_EQ(ExportFormatForFile(GetParam().file), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportFormat,
                         ::testing::Values(SuffixCase{"csv", "/home/me/scans.csv", THistoryExportFormat::Csv},
                                           SuffixCase{"csv_capitals", "SCANS.CSV", THistoryExportFormat::Csv},
                                           SuffixCase{"jsonl", "out/history.jsonl", THistoryExportFormat::JsonLines},
                                           SuffixCase{"ndjson", "history.NDJSON", THistoryExportFormat::JsonLines},
                                           SuffixCase{"two_dots", "history.2026.01.csv", THistoryExportFormat::Csv},
                                           SuffixCase{"json_is_not_lines", "history.json", std::nullopt},
                                           SuffixCase{"text", "history.txt", std::nullopt},
                                           SuffixCase{"none", "history", std::nullopt},
                                           SuffixCase{"folder_with_dot", "/tmp/a.csv/history", std::nullopt},
                                           SuffixCase{"trailing_dot", "history.csv.", std::nullopt},
                                           SuffixCase{"empty", "", std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

// lantrix-scan's side of the scan history, in place: the limit read from
// settings.ini as the window reads it, what a result's source is called, and
// the writer that records what it passes on.
#include "cli/HistoryRecording.h"
#include "history/HistorySettings.h"
#include "support/CoreApplication.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace {

struct IniCase {
    const char* name;
    QByteArray ini;
    int limit; // what HistoryLimit of Settings gives
};

void PrintTo(const IniCase& c, std::ostream* out)
{
    *out << c.name;
}

class LimitInSettingsFile : public ::testing::TestWithParam<IniCase> {};

// settings.ini in the data folder, read as the window reads it.
TEST_P(LimitInSettingsFile, ReadsAsTheWindowDoes)
{
    QTemporaryDir folder;
    const QString dataFolder = folder.path() + "/";
    QFile ini(dataFolder + "settings.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(GetParam().ini);
    ini.close();
    EXPECT_EQ(HistoryLimitOf(dataFolder), GetParam().limit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LimitInSettingsFile,
    ::testing::Values(IniCase{"plain", "[Settings]\r\nHistoryLimit=500\r\n", 500},
                      IniCase{"any_case_and_blanks", "  [ settings ]\n  historylimit  =  7 \n", 7},
                      IniCase{"byte_order_mark", "\xef\xbb\xbf[Settings]\nHistoryLimit=8\n", 8},
                      IniCase{"quoted", "[Settings]\nHistoryLimit=\" 9 \"\n", 9},
                      IniCase{"first_of_two", "[Settings]\nHistoryLimit=1\nHistoryLimit=2\n", 1},
                      IniCase{"section_given_twice", "[Settings]\nA=1\n[Other]\nB=2\n[Settings]\nHistoryLimit=3\n", 3},
                      IniCase{"empty_value", "[Settings]\nHistoryLimit=\n", kDefaultHistoryLimit},
                      IniCase{"value_with_equals", "[Settings]\nHistoryLimit=a=b\n", kDefaultHistoryLimit},
                      IniCase{"other_section", "[Window]\nHistoryLimit=4\n", kDefaultHistoryLimit},
                      IniCase{"before_any_section", "HistoryLimit=4\n[Settings]\n", kDefaultHistoryLimit},
                      IniCase{"key_is_a_prefix", "[Settings]\nHistoryLimits=4\n", kDefaultHistoryLimit},
                      IniCase{"not_utf8", "[Settings]\nHistoryLimit=4\nName=\xff\n", kDefaultHistoryLimit},
                      IniCase{"empty", "", kDefaultHistoryLimit}),
    [](const auto& info) { return std::string(info.param.name); });

struct LimitCase {
    const char* name;
    QString value;
    int limit;
};

void PrintTo(const LimitCase& c, std::ostream* out)
{
    *out << c.name;
}

class HistoryLimitSetting : public ::testing::TestWithParam<LimitCase> {};

TEST_P(HistoryLimitSetting, IsAWholeNumberOrTheDefault)
{
    EXPECT_EQ(HistoryLimitFromSetting(GetParam().value), GetParam().limit);
}

INSTANTIATE_TEST_SUITE_P(Cases, HistoryLimitSetting,
                         ::testing::Values(LimitCase{"number", "250", 250}, LimitCase{"blanks", " 42 ", 42},
                                           LimitCase{"zero_is_no_limit", "0", 0},
                                           LimitCase{"empty", "", kDefaultHistoryLimit},
                                           LimitCase{"negative", "-1", kDefaultHistoryLimit},
                                           LimitCase{"fraction", "2.5", kDefaultHistoryLimit},
                                           LimitCase{"words", "many", kDefaultHistoryLimit},
                                           LimitCase{"too_large", "99999999999", kDefaultHistoryLimit}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeepHistorySetting, OnlyZeroTurnsItOff)
{
    EXPECT_FALSE(KeepHistoryFromSetting("0"));
    EXPECT_FALSE(KeepHistoryFromSetting(" 0 "));
    for (const char* value : {"1", "", "yes", "00"})
        EXPECT_TRUE(KeepHistoryFromSetting(value)) << value;
}

TEST(HistoryLimitOf, ReadsTheDataFoldersSettings)
{
    QTemporaryDir folder;
    const QString dataFolder = folder.path() + "/";
    EXPECT_EQ(HistoryLimitOf(dataFolder), kDefaultHistoryLimit); // no settings.ini
    QFile ini(dataFolder + "settings.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\r\nHistoryLimit=12\r\n");
    ini.close();
    EXPECT_EQ(HistoryLimitOf(dataFolder), 12);
}

TEST(HistorySource, NamesWhereACodeCameFrom)
{
    EXPECT_EQ(HistorySource("-", false), "Standard input");
    EXPECT_EQ(HistorySource("/tmp/a b.png", false), "/tmp/a b.png");
    EXPECT_EQ(HistorySource("sub/../c.png", false), QDir::currentPath() + "/c.png");
    EXPECT_EQ(HistorySource("caf\xc3\xa9.png", false), QDir::currentPath() + QString::fromUtf8("/caf\xc3\xa9.png"));
    EXPECT_EQ(HistorySource("  Door QR ", true), "Door QR");
    EXPECT_EQ(HistorySource("videotestsrc ! videoconvert", true), "videotestsrc ! videoconvert");
}

// Keeps what it is given; its output fails (ENOSPC) when told to.
class TKeptWriter : public TResultWriter {
public:
    void Write(const TScanResult& result) override { written.push_back(result); }
    int OutputError() const override { return failOutput ? 28 : 0; }
    std::vector<TScanResult> written;
    bool failOutput = false;
};

TDecodedCode Code(const QString& text, TBarcodeFormat format = TBarcodeFormat::QR_CODE)
{
    TDecodedCode code;
    code.text = text;
    code.format = format;
    code.bytes = text.toUtf8() + '\0';
    return code;
}

TScanResult Result(const QByteArray& file, TScanStatus status, std::vector<TDecodedCode> codes = {})
{
    TScanResult result;
    result.file = file;
    result.status = status;
    result.codes = std::move(codes);
    return result;
}

// The messages a writer says, as a stream of the test's.
class Messages {
public:
    Messages()
        : fFile(open_memstream(&fBuffer, &fSize))
    {
    }
    ~Messages()
    {
        std::fclose(fFile);
        std::free(fBuffer);
    }
    std::FILE* File() const { return fFile; }
    QByteArray Text()
    {
        std::fflush(fFile);
        return QByteArray(fBuffer, static_cast<qsizetype>(fSize));
    }

private:
    char* fBuffer = nullptr;
    std::size_t fSize = 0;
    std::FILE* fFile;
};

struct RecordingCase {
    const char* name;
    TCodesPerPicture codes;
    bool live;
    std::vector<TScanResult> results;
    QStringList recorded; // texts, newest first
    QStringList sources;
};

void PrintTo(const RecordingCase& c, std::ostream* out)
{
    *out << c.name;
}

class RecordingWriter : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(RecordingWriter, PassesEveryResultOnAndRecordsTheCodesWritten)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("history.sqlite");
    Messages messages;
    auto kept = std::make_unique<TKeptWriter>();
    TKeptWriter* inner = kept.get();
    {
        THistoryRecordingWriter writer(std::move(kept), file, 0, GetParam().live, GetParam().codes, messages.File());
        for (const TScanResult& result : GetParam().results)
            writer.Write(result);
        EXPECT_FALSE(writer.Failed());
        EXPECT_EQ(writer.Recorded(), GetParam().recorded.size());
        EXPECT_EQ(writer.OutputError(), 0);
        ASSERT_EQ(inner->written.size(), GetParam().results.size());
        for (std::size_t i = 0; i < inner->written.size(); ++i)
            EXPECT_EQ(inner->written[i].file, GetParam().results[i].file);
    }
    EXPECT_EQ(messages.Text(), "");
    if (GetParam().recorded.isEmpty()) {
        EXPECT_FALSE(QFile::exists(file)); // nothing to record, nothing made
        return;
    }
    THistoryStore store(file);
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    QStringList texts, sources;
    for (const THistoryEntry& entry : store.All()) {
        texts.append(entry.text);
        sources.append(entry.source);
        EXPECT_EQ(entry.bytes, entry.text.toUtf8() + '\0');
        EXPECT_FALSE(entry.format.isEmpty());
    }
    EXPECT_EQ(texts, GetParam().recorded);
    EXPECT_EQ(sources, GetParam().sources);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordingWriter,
    ::testing::Values(
        RecordingCase{"first_code_of_a_picture",
                      TCodesPerPicture::One,
                      false,
                      {Result("/p/a.png", TScanStatus::Decoded, {Code("one"), Code("two")})},
                      {"one"},
                      {"/p/a.png"}},
        RecordingCase{"every_code_with_all",
                      TCodesPerPicture::All,
                      false,
                      {Result("/p/a.png", TScanStatus::Decoded, {Code("one"), Code("two")})},
                      {"two", "one"},
                      {"/p/a.png", "/p/a.png"}},
        RecordingCase{"unreadable_and_errors_are_not",
                      TCodesPerPicture::One,
                      false,
                      {Result("/p/a.png", TScanStatus::Unreadable), Result("/p/b.png", TScanStatus::Error),
                       Result("/p/c.png", TScanStatus::Decoded, {Code("c")})},
                      {"c"},
                      {"/p/c.png"}},
        RecordingCase{
            "nothing_read", TCodesPerPicture::One, false, {Result("/p/a.png", TScanStatus::Unreadable)}, {}, {}},
        RecordingCase{"a_live_source",
                      TCodesPerPicture::One,
                      true,
                      {Result("HD Webcam", TScanStatus::Decoded, {Code("A")}),
                       Result("HD Webcam", TScanStatus::Decoded, {Code("B", TBarcodeFormat::EAN_13)})},
                      {"B", "A"},
                      {"HD Webcam", "HD Webcam"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordingWriterFailure, SaysItOnceRecordsNoMoreAndPassesEveryResultOn)
{
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("history.sqlite")); // a folder where the file should be
    Messages messages;
    auto kept = std::make_unique<TKeptWriter>();
    TKeptWriter* inner = kept.get();
    THistoryRecordingWriter writer(std::move(kept), folder.filePath("history.sqlite"), 0, false, TCodesPerPicture::One,
                                   messages.File());
    for (int i = 0; i < 3; ++i)
        writer.Write(Result("/p/a.png", TScanStatus::Decoded, {Code("x")}));
    EXPECT_TRUE(writer.Failed());
    EXPECT_EQ(writer.Recorded(), 0);
    EXPECT_EQ(inner->written.size(), 3u);
    const QByteArray said = messages.Text();
    EXPECT_TRUE(said.startsWith("lantrix-scan: Cannot keep the scan history")) << said.toStdString();
    EXPECT_EQ(said.count('\n'), 1);
}

TEST(RecordingWriterFailure, GivesTheOutputErrorOfTheWriterItPassesToAndRecordsNothingUnprinted)
{
    QTemporaryDir folder;
    Messages messages;
    auto kept = std::make_unique<TKeptWriter>();
    kept->failOutput = true;
    THistoryRecordingWriter writer(std::move(kept), folder.filePath("history.sqlite"), 0, false, TCodesPerPicture::One,
                                   messages.File());
    writer.Write(Result("/p/a.png", TScanStatus::Decoded, {Code("x")}));
    EXPECT_EQ(writer.OutputError(), 28);
    // Not printed, so not recorded: the history holds what the user saw.
    EXPECT_EQ(writer.Recorded(), 0);
    EXPECT_FALSE(writer.Failed());
    EXPECT_FALSE(QFile::exists(folder.filePath("history.sqlite")));
}

} // namespace

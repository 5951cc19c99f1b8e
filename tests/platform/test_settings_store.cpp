#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("settings.ini"));

    void WriteFile(const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray ReadFile()
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(SettingsStoreTest, MissingFileGivesEmptyStoreAndIsNotCreated)
{
    SettingsStore store(path);
    EXPECT_EQ(store.ReadString("Settings", "InitialDir", "fallback"), "fallback");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(SettingsStoreTest, RoundTripWritesBomSectionsAndCrLf)
{
    {
        SettingsStore store(path);
        store.WriteString("Settings", "InitialDir", "/home/ana/Bilder/Straße");
        store.UpdateFile();
    }
    EXPECT_EQ(ReadFile(), QByteArray("\xEF\xBB\xBF[Settings]\r\nInitialDir=/home/ana/Bilder/Stra\xC3\x9F"
                                     "e\r\n\r\n"));
    SettingsStore again(path);
    EXPECT_EQ(again.ReadString("Settings", "InitialDir", ""), QString("/home/ana/Bilder/Straße"));
}

TEST_F(SettingsStoreTest, UnknownSectionsKeysAndCommentsSurviveAFlush)
{
    WriteFile("[Window]\nLeft=10\n; placed by hand\nTop=20\n\n[Settings]\nInitialDir=/old\nColour=blue\n");
    SettingsStore store(path);
    store.WriteString("settings", "initialdir", "/new"); // names compare without case
    store.WriteString("Extra", "Key", "v");
    store.UpdateFile();
    EXPECT_EQ(ReadFile(), QByteArray("\xEF\xBB\xBF"
                                     "[Window]\r\nLeft=10\r\n; placed by hand\r\nTop=20\r\n\r\n"
                                     "[Settings]\r\ninitialdir=/new\r\nColour=blue\r\n\r\n"
                                     "[Extra]\r\nKey=v\r\n\r\n"));
}

struct ReadCase {
    const char* name;
    QByteArray bytes;
    const char* expected; // InitialDir, or nullptr when absent
};

class SettingsStoreRead : public SettingsStoreTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SettingsStoreRead, ReadsInitialDir)
{
    WriteFile(GetParam().bytes);
    SettingsStore store(path);
    const QString value = store.ReadString("Settings", "InitialDir", "<none>");
    EXPECT_EQ(value, GetParam().expected ? QString::fromUtf8(GetParam().expected) : QString("<none>"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsStoreRead,
    ::testing::Values(ReadCase{"bom_crlf", "\xEF\xBB\xBF[Settings]\r\nInitialDir=/a b\r\n", "/a b"},
                      ReadCase{"no_bom_lf", "[Settings]\nInitialDir=/x\n", "/x"},
                      ReadCase{"blanks_around", "  [ Settings ]  \n  InitialDir = /y  \n", "/y"},
                      ReadCase{"other_case", "[SETTINGS]\ninitialDIR=/z\n", "/z"},
                      ReadCase{"key_in_other_section", "[Other]\nInitialDir=/o\n", nullptr},
                      ReadCase{"key_before_any_section", "InitialDir=/o\n[Settings]\n", nullptr},
                      ReadCase{"empty_file", "", nullptr},
                      ReadCase{"value_with_equals", "[Settings]\nInitialDir=/a=b\n", "/a=b"},
                      ReadCase{"last_of_two_sections", "[Settings]\nA=1\n[Settings]\nInitialDir=/s\n", "/s"},
                      ReadCase{"in_quotes", "[Settings]\nInitialDir = \" /q \" \n", " /q "},
                      ReadCase{"quote_inside", "[Settings]\nInitialDir=/a \"b\"\n", "/a \"b\""}),
    [](const auto& info) { return std::string(info.param.name); });

// Loading, flushing and loading again gives the same values, and once
// flushed the file stays byte for byte what it is through every further load
// and flush. A byte-order mark that is not the file's first character (files
// joined with cat) counts as a blank at the start of its line.
struct RoundTripCase {
    const char* name;
    QByteArray bytes;
    const char* expected; // InitialDir, or nullptr when absent
};

class SettingsStoreRoundTrip : public SettingsStoreTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(SettingsStoreRoundTrip, LoadFlushLoadKeepsValuesAndFlushedBytes)
{
    const QString expected = GetParam().expected ? QString::fromUtf8(GetParam().expected) : QString("<none>");
    WriteFile(GetParam().bytes);
    SettingsStore first(path);
    EXPECT_EQ(first.ReadString("Settings", "InitialDir", "<none>"), expected);
    first.UpdateFile();
    const QByteArray flushed = ReadFile();

    SettingsStore second(path);
    EXPECT_EQ(second.ReadString("Settings", "InitialDir", "<none>"), expected);
    EXPECT_EQ(second.ReadString("Other", "Key", "<none>"), first.ReadString("Other", "Key", "<none>"));
    second.UpdateFile();
    EXPECT_EQ(ReadFile(), flushed);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsStoreRoundTrip,
    ::testing::Values(
        RoundTripCase{"plain", "\xEF\xBB\xBF[Settings]\r\nInitialDir=/x\r\n\r\n", "/x"},
        RoundTripCase{"bom_after_blank_line", "\n\xEF\xBB\xBF[Settings]\nInitialDir=/x\n", "/x"},
        RoundTripCase{"bom_alone_on_a_line", QByteArray("\x0A\xEF\xBB\xBF\x0A\x0A", 6), nullptr},
        RoundTripCase{"two_boms_at_start", "\xEF\xBB\xBF\xEF\xBB\xBF[Settings]\nInitialDir=/x\n", "/x"},
        RoundTripCase{"two_files_joined",
                      "\xEF\xBB\xBF[Other]\r\nKey=v\r\n\r\n\xEF\xBB\xBF[Settings]\r\nInitialDir=/b\r\n\r\n", "/b"},
        RoundTripCase{"bom_before_key", "[Settings]\n\xEF\xBB\xBFInitialDir=/k\n", "/k"},
        RoundTripCase{"bom_between_blanks", "\n \xEF\xBB\xBF \xEF\xBB\xBF[Settings]\nInitialDir=/y\n", "/y"}),
    [](const auto& info) { return std::string(info.param.name); });

// A value is stored faithfully or not at all: after a flush and a new load
// it reads back exactly, or, when the file cannot hold it, the earlier value
// stays. No value adds a line, key or section of its own.
struct WriteCase {
    const char* name;
    QString value;
    bool held;
    QByteArray line; // the key's line in the flushed file
};

class SettingsStoreWrite : public SettingsStoreTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SettingsStoreWrite, ValueIsStoredFaithfullyOrNotAtAll)
{
    WriteFile("[Settings]\r\nInitialDir=/earlier\r\n\r\n[Other]\r\nKey=v\r\n\r\n");
    SettingsStore store(path);
    EXPECT_EQ(store.WriteString("Settings", "InitialDir", GetParam().value), GetParam().held);
    EXPECT_EQ(SettingsStore::CanHold("Settings", "InitialDir", GetParam().value), GetParam().held);
    store.UpdateFile();

    const QString expected = GetParam().held ? GetParam().value : QString("/earlier");
    EXPECT_EQ(store.ReadString("Settings", "InitialDir", "<none>"), expected);
    SettingsStore again(path);
    EXPECT_EQ(again.ReadString("Settings", "InitialDir", "<none>"), expected);
    EXPECT_EQ(again.ReadString("Other", "Key", "<none>"), QString("v"));
    EXPECT_EQ(again.ReadString("Evil", "InitialDir", "<none>"), QString("<none>"));
    EXPECT_EQ(ReadFile(), QByteArray("\xEF\xBB\xBF[Settings]\r\n") + GetParam().line
                              + QByteArray("\r\n\r\n[Other]\r\nKey=v\r\n\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsStoreWrite,
    ::testing::Values(WriteCase{"plain", "/home/u/scans", true, "InitialDir=/home/u/scans"},
                      WriteCase{"plain_with_equals_and_inner_blanks", "/a b=c", true, "InitialDir=/a b=c"},
                      WriteCase{"empty", "", true, "InitialDir="},
                      WriteCase{"trailing_blank", "/home/u/scans ", true, "InitialDir=\"/home/u/scans \""},
                      WriteCase{"leading_blank", " /x", true, "InitialDir=\" /x\""},
                      WriteCase{"trailing_tab", "/x\t", true, "InitialDir=\"/x\t\""},
                      WriteCase{"only_blanks", "  ", true, "InitialDir=\"  \""},
                      WriteCase{"trailing_byte_order_mark", QString("/x") + QChar(0xFEFF), true,
                                "InitialDir=\"/x\xEF\xBB\xBF\""},
                      WriteCase{"in_quotes", "\"/q\"", true, "InitialDir=\"\"/q\"\""},
                      WriteCase{"one_quote", "\"", true, "InitialDir=\""},
                      WriteCase{"inner_quotes", "/a \"b\" c", true, "InitialDir=/a \"b\" c"},
                      WriteCase{"section_injected", "a\n[Evil]\nInitialDir=/etc", false, "InitialDir=/earlier"},
                      WriteCase{"crlf", "/x\r\n/y", false, "InitialDir=/earlier"},
                      WriteCase{"lone_cr", "/x\r", false, "InitialDir=/earlier"},
                      WriteCase{"line_separator", QString("/x") + QChar(0x2028) + "y", false, "InitialDir=/earlier"},
                      WriteCase{"next_line", QString("/x") + QChar(0x0085), false, "InitialDir=/earlier"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsStoreTest, KeysAndSectionsTheFileCannotHoldAreNotWritten)
{
    SettingsStore store(path);
    EXPECT_FALSE(store.WriteString("Settings", "a=b", "v"));
    EXPECT_FALSE(store.WriteString("Settings", "[k", "v]"));
    EXPECT_FALSE(store.WriteString("Settings", " k", "v"));
    EXPECT_FALSE(store.WriteString("Settings", "", "v"));
    EXPECT_FALSE(store.WriteString("Settings", "k\nx", "v"));
    EXPECT_FALSE(store.WriteString("Set\ntings", "k", "v"));
    EXPECT_FALSE(store.WriteString(" Settings", "k", "v"));
    EXPECT_TRUE(store.WriteString("Settings", "k", "v]"));
    store.UpdateFile();
    EXPECT_EQ(ReadFile(), QByteArray("\xEF\xBB\xBF[Settings]\r\nk=v]\r\n\r\n"));
}

TEST_F(SettingsStoreTest, InvalidUtf8IsAnError)
{
    for (const QByteArray& bytes : {QByteArray("[Settings]\nInitialDir=/caf\xE9\n"), QByteArray("\xFF\xFE[S]\n"),
                                    QByteArray("[Settings]\nA=\xC3\n")}) {
        WriteFile(bytes);
        EXPECT_THROW(SettingsStore{path}, ESettingsError);
    }
}

TEST_F(SettingsStoreTest, UnreadableFileIsAnError)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("settings.ini")); // a folder in the file's place
    EXPECT_THROW(SettingsStore{path}, ESettingsError);
}

// A flush that cannot complete (here: the file-size limit, as a full disk
// would) raises an error and leaves the previous file whole, with no stray
// temporary file beside it.
TEST_F(SettingsStoreTest, FailedFlushKeepsThePreviousFile)
{
    const QByteArray original("\xEF\xBB\xBF[Settings]\r\nInitialDir=/previous\r\n\r\n");
    WriteFile(original);
    SettingsStore store(path);
    store.WriteString("Settings", "InitialDir", QString(4096, QChar('x')));

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(store.UpdateFile(), ESettingsError);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadFile(), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"settings.ini"});
}

TEST_F(SettingsStoreTest, FlushIntoMissingFolderIsAnError)
{
    SettingsStore store(dir.filePath("no/such/folder/settings.ini"));
    store.WriteString("Settings", "InitialDir", "/x");
    EXPECT_THROW(store.UpdateFile(), ESettingsError);
}

} // namespace

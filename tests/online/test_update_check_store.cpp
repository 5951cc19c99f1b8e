// The update check's store: an INI file in the user's configuration folder,
// section "Settings", numbers as decimal text.
#include "online/UpdateCheckStore.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(UpdateCheckStore, FileInTheUsersConfigurationFolder)
{
    EXPECT_EQ(UpdateCheckStore::FileIn("/home/u/.config"), QString("/home/u/.config/DASTREL/Lantrix.ini"));
    EXPECT_EQ(UpdateCheckStore::FileIn(""), QString());
}

TEST(UpdateCheckStore, OpeningMakesTheFolder)
{
    QTemporaryDir root;
    const QString file = UpdateCheckStore::FileIn(root.filePath("config"));
    UpdateCheckStore store(file);
    EXPECT_TRUE(QFileInfo(root.filePath("config/DASTREL")).isDir());
    EXPECT_EQ(store.FileName(), file);
}

TEST(UpdateCheckStore, DefaultsWhenAbsent)
{
    QTemporaryDir root;
    UpdateCheckStore store(root.filePath("DASTREL/Lantrix.ini"));
    EXPECT_EQ(store.ReadString(kUpdateSection, kLastUpdateCheck, ""), QString(""));
    EXPECT_EQ(store.ReadString(kUpdateSection, kCurrentURL, "x"), QString("x"));
    EXPECT_EQ(store.ReadInteger(kUpdateSection, kShowUpdate, 1), 1);
    EXPECT_EQ(store.ReadInteger(kUpdateSection, kLastUpdateCheckCount, 0), 0);
}

TEST(UpdateCheckStore, WrittenValuesAreInTheFileAndReadBack)
{
    QTemporaryDir root;
    const QString file = root.filePath("DASTREL/Lantrix.ini");
    {
        UpdateCheckStore store(file);
        store.WriteString(kUpdateSection, kLastUpdateCheck, "05/01/2026");
        store.WriteInteger(kUpdateSection, kLastUpdateCheckCount, 3);
        store.WriteString(kUpdateSection, kCurrentVersion, "1.3");
        store.WriteInteger(kUpdateSection, kShowUpdate, 0);
        // Saved at once, not when the store goes.
        const QByteArray text = ReadFile(file);
        EXPECT_TRUE(text.startsWith("[Settings]")) << text.toStdString();
        EXPECT_TRUE(text.contains("LastUpdateCheckCount=3")) << text.toStdString();
        EXPECT_TRUE(text.contains("ShowUpdate=0")) << text.toStdString();
        EXPECT_TRUE(text.contains("CurrentVersion=1.3")) << text.toStdString();
    }
    UpdateCheckStore again(file);
    EXPECT_EQ(again.ReadString(kUpdateSection, kLastUpdateCheck, ""), QString("05/01/2026"));
    EXPECT_EQ(again.ReadInteger(kUpdateSection, kLastUpdateCheckCount, 0), 3);
    EXPECT_EQ(again.ReadString(kUpdateSection, kCurrentVersion, ""), QString("1.3"));
    EXPECT_EQ(again.ReadInteger(kUpdateSection, kShowUpdate, 1), 0);
    // Another section does not see them.
    EXPECT_EQ(again.ReadInteger("Other", kShowUpdate, 7), 7);
}

struct NumberCase {
    const char* stored;
    int read; // with the default 42
};

std::ostream& operator<<(std::ostream& out, const NumberCase& c)
{
    return out << '"' << c.stored << '"';
}

class StoreNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(StoreNumberTest, DefaultWhenNotANumber)
{
    QTemporaryDir root;
    const QString file = WriteTestFile(root.path(), "Lantrix.ini",
                                       QByteArray("[Settings]\r\nLastUpdateCheckCount=") + GetParam().stored + "\r\n");
    UpdateCheckStore store(file);
    EXPECT_EQ(store.ReadInteger(kUpdateSection, kLastUpdateCheckCount, 42), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Values, StoreNumberTest,
                         ::testing::Values(NumberCase{"5", 5}, NumberCase{"0", 0}, NumberCase{"-3", -3},
                                           NumberCase{" 4 ", 4}, NumberCase{"", 42}, NumberCase{"abc", 42},
                                           NumberCase{"12abc", 42}, NumberCase{"0x10", 42}, NumberCase{"1.5", 42},
                                           NumberCase{"99999999999", 42}, NumberCase{"1, 2", 42}));

TEST(UpdateCheckStore, OpenFailsWithoutAFile)
{
    EXPECT_THROW(UpdateCheckStore(""), TUpdateCheckStoreError);
}

TEST(UpdateCheckStore, OpenFailsWhenTheFolderCannotBeMade)
{
    QTemporaryDir root;
    const QString notAFolder = WriteTestFile(root.path(), "not-a-folder", "x");
    EXPECT_THROW(UpdateCheckStore(UpdateCheckStore::FileIn(notAFolder + "/config")), TUpdateCheckStoreError);
}

TEST(UpdateCheckStore, OpenFailsWhenTheFileIsAFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("DASTREL/Lantrix.ini"));
    EXPECT_THROW(UpdateCheckStore(root.filePath("DASTREL/Lantrix.ini")), TUpdateCheckStoreError);
}

TEST(UpdateCheckStore, AWriteThatFailsIsSkipped)
{
    QTemporaryDir root;
    const QString file = root.filePath("DASTREL/Lantrix.ini");
    UpdateCheckStore store(file);
    // The folder gives way to a file: the store can no longer be saved.
    ASSERT_TRUE(QDir(root.filePath("DASTREL")).removeRecursively());
    WriteTestFile(root.path(), "DASTREL", "x");
    EXPECT_NO_THROW(store.WriteInteger(kUpdateSection, kShowUpdate, 0));
    EXPECT_FALSE(QFileInfo(file).exists());
}

} // namespace

// Files the program reads but did not make, each replaced by a FIFO or by a
// file far too large: the language table, a language file (at start-up and in
// the language window) and cameras.ini. Nothing may wait for a FIFO's writer;
// each row ends, with the FIFO's watchdog as the backstop when it would not.
#include "capture/CameraSources.h"
#include "localization/LanguageFiles.h"
#include "localization/LanguageWindow.h"
#include "platform/RegularFile.h"
#include "support/FifoGuard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Texts in failure messages as text.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

#include <functional>
#include <memory>

namespace {

enum class Content { Fifo, TooLarge, Folder };

constexpr qint64 kLargerThanAnyLanguageFile = 17 * 1024 * 1024;

const QByteArray kGerman = "{Yes}Ja\r\n{INFO:Translated By}Anna\r\n";
const QByteArray kTable = "1031,German.lang.txt\r\n";

// What a row saw: the language state after start-up's language step, the
// error that step raised, and what the language window and the camera list
// made of the files.
struct Outcome {
    QString error;
    QString currentLanguage;
    QStringList languageFiles;
    QString yes; // Translate("Yes")
};

struct FileKindCase {
    const char* name;
    const char* file; // relative to the shipped-files folder
    Content content;
    QByteArray start; // the first bytes of a file that is too large
    std::function<void(const QString& shipped, const Outcome&)> check;
};

void PrintTo(const FileKindCase& row, std::ostream* os)
{
    *os << row.name;
}

class FileKinds : public ::testing::TestWithParam<FileKindCase> {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override
    {
        Clear();
        TCameraSources::SetFile({});
    }
    static void Clear()
    {
        LanguageFolder.clear();
        LanguageFiles.clear();
        CurrentLanguage.clear();
        LanguageFilePath.clear();
        LanguageLines.clear();
    }
};

void WriteFile(const QString& path, const QByteArray& bytes, qint64 size = -1)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
    if (size >= 0) {
        ASSERT_TRUE(file.resize(size)); // a sparse file: large, yet cheap to make
    }
}

TEST_P(FileKinds, NothingWaitsAndTheFileIsPassedOverOrNamed)
{
    const FileKindCase& row = GetParam();
    QTemporaryDir shipped;
    ASSERT_TRUE(shipped.isValid());
    const QString languages = shipped.filePath("Languages");
    ASSERT_TRUE(QDir().mkpath(languages));
    WriteFile(languages + "/German.lang.txt", kGerman);
    WriteFile(languages + "/LanguageCodes.csv", kTable);
    WriteFile(shipped.filePath("cameras.ini"), "Test=videotestsrc\n");

    const QString path = shipped.filePath(row.file);
    ASSERT_TRUE(QFile::remove(path));
    std::unique_ptr<TFifoGuard> fifo;
    switch (row.content) {
    case Content::Fifo:
        fifo = std::make_unique<TFifoGuard>(path);
        ASSERT_TRUE(fifo->Made());
        break;
    case Content::TooLarge: WriteFile(path, row.start, kLargerThanAnyLanguageFile); break;
    case Content::Folder: ASSERT_TRUE(QDir().mkpath(path)); break;
    }

    Outcome outcome;
    try {
        LoadLanguage(QString(), shipped.path(), [] { return quint16(1031); });
    } catch (const ELanguageFileError& error) {
        outcome.error = QString::fromStdString(error.what());
    }
    outcome.currentLanguage = CurrentLanguage;
    outcome.languageFiles = LanguageFiles;
    outcome.yes = Translate("Yes");
    row.check(shipped.path(), outcome);

    if (fifo) {
        fifo->Done();
        EXPECT_FALSE(fifo->Rescued()) << "the program waited for a writer of " << row.file;
    }
}

const QString kGermanPath = "Languages/German.lang.txt";

INSTANTIATE_TEST_SUITE_P(Files, FileKinds,
                         ::testing::Values(
                             // The table: a FIFO is a missing table, so no language.
                             FileKindCase{"table_fifo",
                                          "Languages/LanguageCodes.csv",
                                          Content::Fifo,
                                          {},
                                          [](const QString&, const Outcome& seen) {
                                              EXPECT_EQ(seen.error, QString());
                                              EXPECT_EQ(seen.currentLanguage, QString());
                                              EXPECT_EQ(seen.yes, "Yes");
                                          }},
                             // Of a table far larger than any, the first mebibyte is read.
                             FileKindCase{"table_too_large", "Languages/LanguageCodes.csv", Content::TooLarge, kTable,
                                          [](const QString&, const Outcome& seen) {
                                              EXPECT_EQ(seen.error, QString());
                                              EXPECT_EQ(seen.currentLanguage, "German");
                                              EXPECT_EQ(seen.yes, "Ja");
                                          }},
                             // A language file that is a FIFO is neither listed nor loaded, and the
                             // language window reads nothing from it.
                             FileKindCase{"language_file_fifo",
                                          "Languages/German.lang.txt",
                                          Content::Fifo,
                                          {},
                                          [](const QString& shipped, const Outcome& seen) {
                                              EXPECT_EQ(seen.error, QString());
                                              EXPECT_EQ(seen.currentLanguage, QString());
                                              EXPECT_EQ(seen.languageFiles, QStringList());
                                              EXPECT_EQ(seen.yes, "Yes");
                                              EXPECT_EQ(TranslatorText("German", shipped + "/Languages"), QString());
                                          }},
                             // A language file over the limit is named as too large; the program
                             // goes on in English, and the language window shows no translators.
                             FileKindCase{"language_file_too_large", "Languages/German.lang.txt", Content::TooLarge,
                                          kGerman,
                                          [](const QString& shipped, const Outcome& seen) {
                                              const QString name = QDir(shipped).filePath(kGermanPath);
                                              EXPECT_EQ(seen.error, "The language file " + name + " is too large.");
                                              EXPECT_EQ(seen.currentLanguage, "German");
                                              EXPECT_EQ(seen.languageFiles, QStringList{"German.lang.txt"});
                                              EXPECT_EQ(seen.yes, "Yes");
                                              EXPECT_EQ(TranslatorText("German", shipped + "/Languages"), QString());
                                          }},
                             FileKindCase{"language_file_folder",
                                          "Languages/German.lang.txt",
                                          Content::Folder,
                                          {},
                                          [](const QString& shipped, const Outcome& seen) {
                                              EXPECT_EQ(seen.error, QString());
                                              EXPECT_EQ(seen.currentLanguage, QString());
                                              EXPECT_EQ(seen.languageFiles, QStringList());
                                              EXPECT_EQ(TranslatorText("German", shipped + "/Languages"), QString());
                                          }},
                             // cameras.ini: a FIFO or a file over the limit lists no camera.
                             FileKindCase{"cameras_fifo",
                                          "cameras.ini",
                                          Content::Fifo,
                                          {},
                                          [](const QString& shipped, const Outcome& seen) {
                                              EXPECT_EQ(seen.currentLanguage, "German");
                                              TCameraSources::SetFile(shipped + "/cameras.ini");
                                              EXPECT_TRUE(TCameraSources::List().isEmpty());
                                          }},
                             FileKindCase{"cameras_too_large", "cameras.ini", Content::TooLarge, "Test=videotestsrc\n",
                                          [](const QString& shipped, const Outcome&) {
                                              TCameraSources::SetFile(shipped + "/cameras.ini");
                                              EXPECT_TRUE(TCameraSources::List().isEmpty());
                                          }}),
                         [](const auto& info) { return std::string(info.param.name); });

// The language window reads the file of the entry the user selects, which may
// have become a FIFO since start-up listed it.
TEST(FileKindsLater, LanguageFileReplacedByAFifo)
{
    QTemporaryDir languages;
    const QString path = languages.filePath("German.lang.txt");
    TFifoGuard fifo(path);
    ASSERT_TRUE(fifo.Made());
    EXPECT_EQ(TranslatorText("German", languages.path()), QString());
    fifo.Done();
    EXPECT_FALSE(fifo.Rescued());
}

// ---- Reading a regular file only ----------------------------------------------------

struct ReadCase {
    const char* name;
    QByteArray bytes;
    qint64 limit;
    TFileReadStatus status;
    QByteArray read;
};

void PrintTo(const ReadCase& row, std::ostream* os)
{
    *os << row.name;
}

class ReadRegularFileTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadRegularFileTest, ReadsUpToTheLimit)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("file");
    WriteFile(path, GetParam().bytes);
    const TFileRead file = ReadRegularFile(path, GetParam().limit);
    EXPECT_EQ(file.status, GetParam().status);
    EXPECT_EQ(file.bytes, GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadRegularFileTest,
                         ::testing::Values(ReadCase{"empty", "", 4, TFileReadStatus::Read, ""},
                                           ReadCase{"below", "abc", 4, TFileReadStatus::Read, "abc"},
                                           ReadCase{"at_the_limit", "abcd", 4, TFileReadStatus::Read, "abcd"},
                                           ReadCase{"one_byte_over", "abcde", 4, TFileReadStatus::TooLarge, "abcd"},
                                           ReadCase{"limit_zero", "a", 0, TFileReadStatus::TooLarge, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadRegularFileKinds, OtherKindsAreMissing)
{
    QTemporaryDir folder;
    const QString fifoPath = folder.filePath("fifo");
    TFifoGuard fifo(fifoPath);
    ASSERT_TRUE(fifo.Made());
    for (const QString& path :
         {fifoPath, folder.path(), folder.filePath("none"), QString("/dev/null"), QString("/dev/zero"), QString()}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(ReadRegularFile(path, 16).status, TFileReadStatus::Missing);
        EXPECT_FALSE(IsRegularFile(path));
    }
    fifo.Done();
    EXPECT_FALSE(fifo.Rescued());
    WriteFile(folder.filePath("regular"), "x");
    ASSERT_TRUE(QFile::link(folder.filePath("regular"), folder.filePath("link")));
    EXPECT_TRUE(IsRegularFile(folder.filePath("link")));
}

} // namespace

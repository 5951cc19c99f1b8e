// The language files and the language table that ship beside the program.
#include "localization/FormatPattern.h"
#include "localization/LanguageCodes.h"
#include "localization/LanguageFiles.h"
#include "localization/TextLines.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <ostream>

// Texts in failure messages as text.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

#include <map>
#include <set>

namespace {

const QString kSourceFolder = QStringLiteral(LANTRIX_SOURCE_DIR "/Languages");
const QString kShippedFolder = QStringLiteral(LANTRIX_BIN_DIR "/Languages");

// The program's folders whose sources are searched for translatable texts.
const QStringList kProgramFolders{"platform", "decode", "capture", "content", "localization",
                                  "about",    "online", "app",     "cli"};

// The texts of C++ source text that are handed to Translate or FormatTranslated
// as string literals (QStringLiteral, QLatin1String, QString or bare; adjacent
// literals joined), in the order they appear.
QStringList TranslatableTextsIn(const QString& source)
{
    static const QRegularExpression call(
        R"re(\b(?:Translate|FormatTranslated)\s*\(\s*(?:(?:QStringLiteral|QLatin1String|QString)\s*\(\s*)?(?:u8?)?((?:"(?:[^"\\\n]|\\.)*"\s*)+))re");
    static const QRegularExpression literal(R"re("((?:[^"\\\n]|\\.)*)")re");
    QStringList texts;
    for (const QRegularExpressionMatch& found : call.globalMatch(source)) {
        QString text;
        for (const QRegularExpressionMatch& piece : literal.globalMatch(found.captured(1))) {
            const QString escaped = piece.captured(1);
            for (qsizetype i = 0; i < escaped.size(); ++i) {
                QChar c = escaped.at(i);
                if (c == '\\' && i + 1 < escaped.size()) {
                    c = escaped.at(++i);
                    if (c == 'n')
                        c = '\n';
                    else if (c == 't')
                        c = '\t';
                }
                text += c;
            }
        }
        texts << text;
    }
    return texts;
}

// Every text that the program's sources pass through Translate, found in the
// sources themselves: a text added anywhere without its translations fails
// the test of every language that lacks it.
QStringList ProgramTexts()
{
    QStringList texts;
    for (const QString& folder : kProgramFolders) {
        QDirIterator files(QStringLiteral(LANTRIX_SOURCE_DIR "/") + folder, {"*.cpp", "*.h"}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly))
                texts << TranslatableTextsIn(QString::fromUtf8(file.readAll()));
        }
    }
    // The feedback window translates the texts its widgets were made with.
    texts << QStringList{"We would really appreciate your feedback.",
                         "What did you like or dislike?",
                         "Include my e-mail:",
                         "Send",
                         "I like it!",
                         "I dislike it!"};
    texts.removeDuplicates();
    texts.sort();
    return texts;
}

// The texts every language file holds: the program's, and the entry that
// names the translators.
const QStringList kKeys = ProgramTexts() << QStringLiteral("INFO:Translated By");

const QStringList kLanguages{"German",  "French", "Spanish", "Italian", "PortugueseBrazil",
                             "Turkish", "Polish", "Russian", "Dutch",   "ChineseSimplified"};

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ShippedLanguage : public ::testing::TestWithParam<QString> {
protected:
    QString File() const { return GetParam() + ".lang.txt"; }
};

TEST_P(ShippedLanguage, ShipsBesideTheProgram)
{
    const QByteArray source = ReadBytes(kSourceFolder + '/' + File());
    ASSERT_FALSE(source.isEmpty());
    EXPECT_EQ(ReadBytes(kShippedFolder + '/' + File()), source);
}

TEST_P(ShippedLanguage, HasEveryKeyWithItsPlaceholders)
{
    const QStringList lines = ReadLanguageFileLines(kSourceFolder + '/' + File());
    std::map<QString, int> seen;
    for (const QString& line : lines) {
        if (!line.startsWith('{'))
            continue;
        const QString key = line.mid(1, line.indexOf('}') - 1);
        ++seen[key];
        EXPECT_TRUE(kKeys.contains(key)) << "unknown key " << key.toStdString();
    }
    for (const QString& key : kKeys) {
        SCOPED_TRACE(key.toStdString());
        EXPECT_EQ(seen[key], 1);
        const QString translation = LookupTranslation(key, lines);
        EXPECT_FALSE(translation.trimmed().isEmpty());
        EXPECT_EQ(translation, translation.trimmed());
        if (key.contains("%s"))
            EXPECT_TRUE(FormatOneString(translation, "Lantrix")) << translation.toStdString();
        else
            EXPECT_FALSE(translation.contains('%')) << translation.toStdString();
        EXPECT_FALSE(translation.contains(QChar::ReplacementCharacter));
    }
}

TEST_P(ShippedLanguage, LoadsThroughTheTableAndTranslates)
{
    const QStringList lines = ReadLanguageFileLines(kSourceFolder + '/' + File());
    LoadLanguage(File(), LANTRIX_BIN_DIR, [] { return quint16(0); });
    EXPECT_EQ(CurrentLanguage, GetParam());
    for (const QString& key : kKeys)
        EXPECT_EQ(Translate(key), LookupTranslation(key, lines));
    LanguageFilePath.clear();
    LanguageLines.clear();
    CurrentLanguage.clear();
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage, ::testing::ValuesIn(kLanguages.begin(), kLanguages.end()),
                         [](const auto& info) { return info.param.toStdString(); });

// ---- Finding the translatable texts ----------------------------------------

struct ScanCase {
    const char* name;
    QString source;
    QStringList texts;
};

class TranslatableTexts : public ::testing::TestWithParam<ScanCase> {};

TEST_P(TranslatableTexts, AreFoundInTheSource)
{
    EXPECT_EQ(TranslatableTextsIn(GetParam().source), GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, TranslatableTexts,
    ::testing::Values(
        ScanCase{"string_literal_macro", R"(x->setText(Translate(QStringLiteral("Copy")));)", {"Copy"}},
        ScanCase{"bare_literal", R"(Translate("Yes"))", {"Yes"}},
        ScanCase{"latin1", R"(Translate(QLatin1String("No")))", {"No"}},
        ScanCase{"format_pattern", R"(FormatTranslated(QStringLiteral("About %s"), name))", {"About %s"}},
        ScanCase{"over_lines_and_joined",
                 "Fail(Translate(\n    QStringLiteral(\"The screen \"\n \"could not be read.\")));",
                 {"The screen could not be read."}},
        ScanCase{"escapes", R"(Translate(QStringLiteral("Say \"hi\"\nnow")))", {"Say \"hi\"\nnow"}},
        ScanCase{"two_in_a_line", R"(f(Translate(QStringLiteral("A")) + Translate(QStringLiteral("B"))))", {"A", "B"}},
        ScanCase{"not_a_literal", R"(Label1->setText(Translate(Label1->text()));)", {}},
        ScanCase{"other_names", R"(TTranslateForm(env); TranslateAddedTexts(); MyTranslate("x");)", {}},
        ScanCase{"declaration", R"(QString Translate(const QString& key);)", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The search reaches every part of the program that shows translated texts.
TEST(TranslatableTexts, ComeFromEveryWindowAndMessage)
{
    for (const char* text :
         {"Restart Application?", "About %s", "Contribute to Translation", "Invalid e-mail address!",
          "UPDATE AVAILABLE", "The screen could not be read.", "[Screenshot]", "The language file %s is too large."})
        EXPECT_TRUE(kKeys.contains(QString::fromUtf8(text))) << text;
}

TEST(ShippedLanguages, OnlyTheseFiles)
{
    QStringList expected;
    for (const QString& language : kLanguages)
        expected << language + ".lang.txt";
    expected.sort();
    QStringList found = LanguageFilesIn(kSourceFolder);
    found.sort();
    EXPECT_EQ(found, expected);
}

TEST(ShippedLanguages, TableMapsTheCommonIdentifiers)
{
    const QStringList table = ReadLanguageCodeTable(kShippedFolder + "/LanguageCodes.csv");
    ASSERT_FALSE(table.isEmpty());
    const std::map<int, QString> expected{{1031, "German"},
                                          {3079, "German"},
                                          {2055, "German"},
                                          {5127, "German"},
                                          {4103, "German"},
                                          {1036, "French"},
                                          {2060, "French"},
                                          {3084, "French"},
                                          {4108, "French"},
                                          {3082, "Spanish"},
                                          {1034, "Spanish"},
                                          {2058, "Spanish"},
                                          {11274, "Spanish"},
                                          {22538, "Spanish"},
                                          {1040, "Italian"},
                                          {2064, "Italian"},
                                          {1046, "PortugueseBrazil"},
                                          {1055, "Turkish"},
                                          {1045, "Polish"},
                                          {1049, "Russian"},
                                          {1043, "Dutch"},
                                          {2067, "Dutch"},
                                          {2052, "ChineseSimplified"},
                                          {4100, "ChineseSimplified"}};
    for (const auto& [id, language] : expected)
        EXPECT_EQ(LanguageFileForCode(table, QString::number(id)), language + ".lang.txt") << id;
    // Languages without a file of their own stay English.
    for (const int id : {1033, 2057, 2070, 1028, 3076, 1041})
        EXPECT_FALSE(LanguageFileForCode(table, QString::number(id))) << id;
}

TEST(ShippedLanguages, EveryTableRowNamesAShippedFileOnce)
{
    const QStringList files = LanguageFilesIn(kSourceFolder);
    std::set<QString> ids;
    for (const QString& line : ReadLanguageCodeTable(kSourceFolder + "/LanguageCodes.csv")) {
        SCOPED_TRACE(line.toStdString());
        const QStringList fields = line.split(',');
        ASSERT_EQ(fields.size(), 2);
        bool number = false;
        const int id = fields[0].toInt(&number);
        EXPECT_TRUE(number && id > 0 && id <= 0xFFFF && QString::number(id) == fields[0]);
        EXPECT_TRUE(ids.insert(fields[0]).second);
        EXPECT_TRUE(files.contains(fields[1]));
    }
}

TEST(ShippedLanguages, GermanInterfaceStartsInGerman)
{
    LoadLanguage("", LANTRIX_BIN_DIR, [] { return quint16(3079); });
    EXPECT_EQ(CurrentLanguage, "German");
    EXPECT_EQ(Translate("Yes"), "Ja");
    EXPECT_EQ(FormatTranslated("About %s", "Lantrix"), QString::fromUtf8("Über Lantrix"));
    LoadLanguage("", LANTRIX_BIN_DIR, [] { return quint16(1033); });
    EXPECT_EQ(CurrentLanguage, "");
    EXPECT_EQ(Translate("Yes"), "Yes");
}

TEST(ShippedFiles, LicenceBesideTheProgram)
{
    const QByteArray licence = ReadBytes(LANTRIX_BIN_DIR "/license.txt");
    EXPECT_EQ(licence, ReadBytes(LANTRIX_SOURCE_DIR "/license.txt"));
    for (const char* part : {"MIT License", "Copyright (c) 2026 DASTREL", "Qt 6", "zxing-cpp", "libjpeg-turbo",
                             "GStreamer", "libcurl", "ICU", "GdkPixbuf", "Apache License", "LESSER GENERAL PUBLIC",
                             "Independent JPEG Group", "What Lantrix sends over the network"})
        EXPECT_TRUE(licence.contains(part)) << part;
}

} // namespace

#include "localization/FormatPattern.h"
#include "localization/LanguageCodes.h"
#include "localization/LanguageFiles.h"
#include "localization/TextLines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Puts the language state back to "nothing loaded" around every test.
class LanguageState : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        LanguageFolder.clear();
        LanguageFiles.clear();
        CurrentLanguage.clear();
        LanguageFilePath.clear();
        LanguageLines.clear();
    }
};

// ---- Lines -------------------------------------------------------------------

struct LinesCase {
    const char* name;
    QString text;
    QStringList lines;
};

class SplitLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(SplitLinesTest, EndsLinesAtCrLfLfOrCr)
{
    EXPECT_EQ(SplitLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitLinesTest,
    ::testing::Values(LinesCase{"crlf", "a\r\nb", {"a", "b"}}, LinesCase{"lf_and_final_break", "a\nb\n", {"a", "b"}},
                      LinesCase{"cr", "a\rb", {"a", "b"}}, LinesCase{"empty_line", "a\r\n\r\nb", {"a", "", "b"}},
                      LinesCase{"lf_then_cr", "a\n\rb", {"a", "", "b"}}, LinesCase{"empty", "", {}},
                      LinesCase{"only_a_break", "\n", {""}}, LinesCase{"no_break", "{OK}x", {"{OK}x"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Lookup ------------------------------------------------------------------

struct LookupCase {
    const char* name;
    QStringList lines;
    QString key;
    QString translated; // what Translate gives with these lines loaded
    QString looked;     // what LookupTranslation gives
};

class LookupTest : public LanguageState, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(LookupTest, TranslateAndLookupTranslation)
{
    const LookupCase& c = GetParam();
    LanguageFilePath = QStringLiteral("/languages/Test.lang.txt");
    LanguageLines = c.lines;
    EXPECT_EQ(Translate(c.key), c.translated);
    EXPECT_EQ(LookupTranslation(c.key, c.lines), c.looked);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LookupTest,
    ::testing::Values(
        LookupCase{"plain", {"{OK}Tamam"}, "OK", "Tamam", "Tamam"},
        LookupCase{"key_case_matters", {"{OK}Tamam"}, "ok", "ok", "ok"},
        LookupCase{"empty_translation", {"{OK}"}, "OK", "OK", ""},
        LookupCase{"blanks_belong_to_it", {"{OK} Tamam "}, "OK", " Tamam ", " Tamam "},
        LookupCase{"later_brace_belongs_to_it", {"{OK}a}b"}, "OK", "a}b", "a}b"},
        LookupCase{"first_line_wins", {"{OK}first", "{OK}second"}, "OK", "first", "first"},
        LookupCase{"first_line_wins_even_empty", {"{OK}", "{OK}second"}, "OK", "OK", ""},
        LookupCase{"blank_before_brace", {" {OK}Tamam"}, "OK", "OK", "OK"},
        LookupCase{"closing_brace_must_follow_key", {"{License...}Lizenz..."}, "License", "License", "License"},
        LookupCase{"longer_key_needs_its_line", {"{License}Lizenz"}, "License...", "License...", "License..."},
        LookupCase{"comment_and_blank_lines", {"; comment", "", "{Yes}Evet"}, "Yes", "Evet", "Evet"},
        LookupCase{"pattern_kept", {"{About %s}%s hakkında"}, "About %s", "%s hakkında", "%s hakkında"},
        LookupCase{
            "info_entry_missing", {"{OK}Tamam"}, "INFO:Translated By", "INFO:Translated By", "INFO:Translated By"},
        LookupCase{"no_lines", {}, "OK", "OK", "OK"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LanguageState, NothingLoadedGivesEveryKeyBack)
{
    LanguageLines = {"{OK}Tamam", "{About %s}%s hakkında"}; // lines without a loaded file count for nothing
    EXPECT_EQ(Translate("OK"), "OK");
    EXPECT_EQ(Translate("About %s"), "About %s");
    EXPECT_EQ(FormatTranslated("About %s", "Lantrix"), "About Lantrix");
}

// ---- Format patterns from language files ---------------------------------------

struct PatternCase {
    const char* name;
    QString translation; // of "About %s"
    QString title;       // with the product "Lantrix"
};

class PatternTest : public LanguageState, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(PatternTest, OnlyAFittingTranslationServesAsPattern)
{
    LanguageFilePath = QStringLiteral("/languages/Test.lang.txt");
    LanguageLines = {QStringLiteral("{About %s}") + GetParam().translation};
    EXPECT_EQ(FormatTranslated("About %s", "Lantrix"), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Translations, PatternTest,
                         ::testing::Values(PatternCase{"fits", "Über %s", "Über Lantrix"},
                                           PatternCase{"fits_at_the_start", "%s hakkında", "Lantrix hakkında"},
                                           PatternCase{"two_strings_and_an_escape", "%s – 100%% %s", "About Lantrix"},
                                           PatternCase{"escaped_percent_alone", "100%% über %s", "100% über Lantrix"},
                                           PatternCase{"integer_conversion", "Über %d", "About Lantrix"},
                                           PatternCase{"two_strings", "%s über %s", "About Lantrix"},
                                           PatternCase{"lone_percent", "100% über %s", "About Lantrix"},
                                           PatternCase{"percent_at_the_end", "Über %s %", "About Lantrix"},
                                           PatternCase{"indexed_string", "Über %0:s", "About Lantrix"},
                                           PatternCase{"capital_s", "Über %S", "About Lantrix"},
                                           PatternCase{"no_placeholder", "Über das Programm", "About Lantrix"},
                                           PatternCase{"empty", "", "About Lantrix"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormatOneString, ArgumentIsInsertedAsItIs)
{
    EXPECT_EQ(FormatOneString("Über %s", "50%s %d"), QString("Über 50%s %d"));
    EXPECT_EQ(FormatOneString("%s", ""), QString(""));
    EXPECT_FALSE(FormatOneString("%", "x"));
}

// ---- The language table ----------------------------------------------------------

struct TableCase {
    const char* name;
    QStringList lines;
    QString code;
    std::optional<QString> file;
};

class TableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(TableTest, FindsTheFileOfTheFirstMatchingLine)
{
    EXPECT_EQ(LanguageFileForCode(GetParam().lines, GetParam().code), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TableTest,
    ::testing::Values(
        TableCase{"plain", {"1031,German.lang.txt"}, "1031", "German.lang.txt"},
        TableCase{"blanks_around_the_comma", {"1031 , german.lang.txt "}, "1031", "german.lang.txt"},
        TableCase{"controls_around_the_fields", {"\t1031\t,\tGerman.lang.txt\x01"}, "1031", "German.lang.txt"},
        TableCase{"leading_zero", {"01031,German.lang.txt"}, "1031", std::nullopt},
        TableCase{"third_column_joins_the_name", {"1031,German.lang.txt,x"}, "1031", "German.lang.txt,x"},
        TableCase{"line_without_comma", {"1031", "1031,German.lang.txt"}, "1031", "German.lang.txt"},
        TableCase{"header_line", {"Identifier,File", "1055,Turkish.lang.txt"}, "1055", "Turkish.lang.txt"},
        TableCase{"first_line_wins", {"1031,German.lang.txt", "1031,Other.lang.txt"}, "1031", "German.lang.txt"},
        TableCase{"other_code", {"1031,German.lang.txt"}, "3079", std::nullopt},
        TableCase{"empty_name", {"1031,"}, "1031", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct EncodingCase {
    const char* name;
    QByteArray bytes;
    QStringList lines;
};

class TableEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(TableEncodingTest, DetectsTheByteOrderMark)
{
    EXPECT_EQ(DecodeLanguageCodeTable(GetParam().bytes), GetParam().lines);
}

QByteArray Utf16(const QString& text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char low = static_cast<char>(c.unicode() & 0xFF);
        const char high = static_cast<char>(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, TableEncodingTest,
    ::testing::Values(
        EncodingCase{"utf8_with_mark",
                     "\xEF\xBB\xBF"
                     "1031,Deutsch\xC3\xA4.lang.txt\r\n",
                     {"1031,Deutsch\u00E4.lang.txt"}},
        EncodingCase{
            "utf16le_with_mark", Utf16("1031,Türkçe.lang.txt\r\n1055,X\r\n", true), {"1031,Türkçe.lang.txt", "1055,X"}},
        EncodingCase{"utf16be_with_mark", Utf16("1055,Türkçe.lang.txt", false), {"1055,Türkçe.lang.txt"}},
        EncodingCase{
            "no_mark", "1031,German.lang.txt\n1036,French.lang.txt", {"1031,German.lang.txt", "1036,French.lang.txt"}},
        EncodingCase{
            "utf16le_starting_with_nul", Utf16(QString(QChar(0)) + "\n1031,X", true), {QString(QChar(0)), "1031,X"}},
        EncodingCase{"utf8_cut_in_a_character", "1031,Deutsch\xC3", {"1031,Deutsch\uFFFD"}},
        EncodingCase{"utf16_odd_last_byte", Utf16("1031,X", true) + "Y", {"1031,X\uFFFD"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Finding and loading language files --------------------------------------------

class LoadLanguageTest : public LanguageState {
protected:
    QTemporaryDir root;
    QString shipped = root.path();
    QString languages = root.filePath("Languages");

    void SetUp() override
    {
        LanguageState::SetUp();
        ASSERT_TRUE(QDir().mkpath(languages));
    }
    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(languages + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static TUILanguageSource Ui(quint16 id)
    {
        return [id] { return id; };
    }
};

TEST_F(LoadLanguageTest, MissingFolderLoadsNothing)
{
    QDir(languages).removeRecursively();
    LoadLanguage("", shipped, Ui(1031));
    EXPECT_EQ(LanguageFolder, languages);
    EXPECT_TRUE(LanguageFiles.isEmpty());
    EXPECT_EQ(CurrentLanguage, "");
    EXPECT_EQ(LanguageFilePath, "");
    EXPECT_EQ(Translate("OK"), "OK");
}

TEST_F(LoadLanguageTest, FindsLanguageFilesByPatternAndSkipsFolders)
{
    Write("German.lang.txt", "{OK}OK");
    Write("Xlang.txt", "");
    Write("Upper.LANG.TXT", "");
    Write(".Hidden.lang.txt", "");
    Write("notes.txt", "");
    Write("LanguageCodes.csv", "");
    ASSERT_TRUE(QDir(languages).mkdir("Folder.lang.txt"));
    EXPECT_EQ(LanguageFilesIn(languages),
              (QStringList{".Hidden.lang.txt", "German.lang.txt", "Upper.LANG.TXT", "Xlang.txt"}));
    EXPECT_EQ(LanguageDisplayName("German.lang.txt"), "German");
    EXPECT_EQ(LanguageDisplayName("Xlang.txt"), "");
    EXPECT_EQ(LanguageDisplayName("Upper.LANG.TXT"), "");
    EXPECT_EQ(LanguageDisplayName("Two.lang.txt.lang.txt"), "Two");
    EXPECT_TRUE(LanguageFilesIn(root.filePath("missing")).isEmpty());
}

struct LoadCase {
    const char* name;
    QByteArray table; // LanguageCodes.csv; nullptr: no table
    quint16 uiLanguage;
    QString preferred;
    QString current; // CurrentLanguage afterwards
    QString yes;     // Translate("Yes") afterwards
};

class LoadLanguageCases : public LoadLanguageTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadLanguageCases, ChoosesTheFile)
{
    const LoadCase& c = GetParam();
    Write("German.lang.txt", "\xEF\xBB\xBF{Yes}Ja\r\n{No}Nein\r\n");
    Write("Turkish.lang.txt", "{Yes}Evet\n");
    if (!c.table.isNull())
        Write("LanguageCodes.csv", c.table);
    LoadLanguage(c.preferred, shipped, Ui(c.uiLanguage));
    EXPECT_EQ(LanguageFiles, (QStringList{"German.lang.txt", "Turkish.lang.txt"}));
    EXPECT_EQ(CurrentLanguage, c.current);
    EXPECT_EQ(LanguageFilePath, c.current.isEmpty() ? QString() : languages + '/' + c.current + ".lang.txt");
    EXPECT_EQ(Translate("Yes"), c.yes);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, LoadLanguageCases,
    ::testing::Values(
        LoadCase{"mapped", "1055,Turkish.lang.txt\r\n1031,German.lang.txt\r\n", 1031, "", "German", "Ja"},
        LoadCase{"blanks_and_other_case", "1031 , german.lang.txt \r\n", 1031, "", "German", "Ja"},
        LoadCase{"leading_zero", "01031,German.lang.txt\r\n", 1031, "", "", "Yes"},
        LoadCase{"no_row_for_the_language", "1031,German.lang.txt\r\n", 1033, "", "", "Yes"},
        LoadCase{"row_names_a_missing_file", "1031,Klingon.lang.txt\r\n", 1031, "", "", "Yes"},
        LoadCase{"row_names_a_path", "1031,../Languages/German.lang.txt\r\n", 1031, "", "", "Yes"},
        LoadCase{"no_table", QByteArray(), 1031, "", "", "Yes"},
        LoadCase{"utf16_table", Utf16("1031,German.lang.txt\r\n1055,Turkish.lang.txt\r\n", true), 1055, "", "Turkish",
                 "Evet"},
        LoadCase{"preferred_file_wins", "1031,German.lang.txt\r\n", 1031, "Turkish.lang.txt", "Turkish", "Evet"},
        LoadCase{"preferred_file_trimmed", QByteArray(), 0, " Turkish.lang.txt ", "Turkish", "Evet"},
        LoadCase{"preferred_file_missing", "1031,German.lang.txt\r\n", 1031, "Klingon.lang.txt", "", "Yes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoadLanguageTest, ByteOrderMarkDoesNotHideTheFirstLine)
{
    Write("German.lang.txt", "\xEF\xBB\xBF{Yes}Ja\r\n");
    Write("LanguageCodes.csv", "1031,German.lang.txt");
    LoadLanguage("", shipped, Ui(1031));
    EXPECT_EQ(LanguageLines, QStringList{"{Yes}Ja"});
    EXPECT_EQ(Translate("Yes"), "Ja");
}

TEST_F(LoadLanguageTest, TheNameAsFoundInTheFolderIsLoaded)
{
    Write("german.lang.txt", "{Yes}ja");
    Write("LanguageCodes.csv", "1031,GERMAN.LANG.TXT");
    LoadLanguage("", shipped, Ui(1031));
    EXPECT_EQ(CurrentLanguage, "german");
    EXPECT_EQ(LanguageFilePath, languages + "/german.lang.txt");
}

TEST_F(LoadLanguageTest, InterfaceLanguageIsNotAskedForWhenAFileIsPreferred)
{
    Write("German.lang.txt", "{Yes}Ja");
    Write("LanguageCodes.csv", "1031,German.lang.txt");
    int asked = 0;
    LoadLanguage("German.lang.txt", shipped, [&asked] {
        ++asked;
        return quint16(1031);
    });
    EXPECT_EQ(asked, 0);
    LoadLanguage("", shipped, [&asked] {
        ++asked;
        return quint16(1031);
    });
    EXPECT_EQ(asked, 1);
}

// A language file that exists but cannot be read: its error is raised after
// the name and path are set, and every lookup gives its key.
TEST_F(LoadLanguageTest, UnreadableFileRaisesAndLeavesNoLines)
{
    // A file that opens but fails to read, even for root.
    ASSERT_TRUE(QFile::link("/proc/self/mem", languages + "/German.lang.txt"));
    Write("LanguageCodes.csv", "1031,German.lang.txt");
    try {
        LoadLanguage("", shipped, Ui(1031));
        FAIL() << "no error raised";
    } catch (const ELanguageFileError& error) {
        EXPECT_NE(std::string(error.what()).find("German.lang.txt"), std::string::npos) << error.what();
    }
    EXPECT_EQ(CurrentLanguage, "German");
    EXPECT_EQ(LanguageFilePath, languages + "/German.lang.txt");
    EXPECT_TRUE(LanguageLines.isEmpty());
    EXPECT_EQ(Translate("Yes"), "Yes");
}

TEST_F(LoadLanguageTest, BytesThatAreNotUtf8DoNotStopTheOtherLines)
{
    Write("German.lang.txt", "{No}N\xFF\xFEin\n{Yes}Ja\n");
    LoadLanguage("German.lang.txt", shipped, Ui(0));
    EXPECT_EQ(Translate("Yes"), "Ja");
    EXPECT_EQ(Translate("No"), QString("N\uFFFD\uFFFDin"));
}

TEST_F(LoadLanguageTest, ALoadStartsFromNothing)
{
    Write("German.lang.txt", "{Yes}Ja");
    LoadLanguage("German.lang.txt", shipped, Ui(0));
    ASSERT_EQ(Translate("Yes"), "Ja");
    LoadLanguage("", shipped, Ui(1031)); // no table
    EXPECT_EQ(LanguageFiles, QStringList{"German.lang.txt"});
    EXPECT_EQ(CurrentLanguage, "");
    EXPECT_TRUE(LanguageLines.isEmpty());
    EXPECT_EQ(Translate("Yes"), "Yes");
}

} // namespace

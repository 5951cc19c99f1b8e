#include "localization/LanguageWindow.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(LanguageWindow, FlagOfEveryNamedLanguage)
{
    const std::vector<std::pair<QString, QString>> flags{{"English", "flag"},
                                                         {"German", "de"},
                                                         {"French", "fr"},
                                                         {"Turkish", "tr"},
                                                         {"Albanian", "al"},
                                                         {"Arabic", "sa"},
                                                         {"Bulgarian", "bg"},
                                                         {"ChineseSimplified", "cn"},
                                                         {"ChineseTraditional", "tw"},
                                                         {"Czech", "cz"},
                                                         {"Dutch", "nl"},
                                                         {"Finnish", "fi"},
                                                         {"Greek", "gr"},
                                                         {"Hebrew", "il"},
                                                         {"Hungarian", "hu"},
                                                         {"Italian", "it"},
                                                         {"Japanese", "jp"},
                                                         {"Korean", "kr"},
                                                         {"Persian", "ir"},
                                                         {"Polish", "pl"},
                                                         {"PortugueseBrazil", "br"},
                                                         {"PortuguesePortugal", "pt"},
                                                         {"Romanian", "ro"},
                                                         {"Russian", "ru"},
                                                         {"Slovenian", "si"},
                                                         {"Spanish", "es"},
                                                         {"Swedish", "se"},
                                                         {"Ukrainian", "ua"},
                                                         {"Vietnamese", "vi"},
                                                         {"Slovak", "sk"},
                                                         // Anything else, by whole text and letter case:
                                                         {"Klingon", "xx"},
                                                         {"german", "xx"},
                                                         {"English ", "xx"},
                                                         {"", "xx"},
                                                         {"American", "xx"}};
    for (const auto& [entry, flag] : flags)
        EXPECT_EQ(FlagImageName(entry), flag) << entry.toStdString();
}

TEST(LanguageWindow, FlagPicturesInListOrder)
{
    EXPECT_EQ(FlagImageNames(), (QStringList{"xx", "flag", "de", "fr", "tr", "al", "sa", "bg", "cn", "tw", "cz",
                                             "nl", "fi",   "gr", "il", "hu", "it", "jp", "kr", "ir", "pl", "br",
                                             "pt", "ro",   "ru", "si", "es", "se", "ua", "vi", "sk", "us"}));
}

TEST(LanguageWindow, EntriesInAlphabeticalOrderBesideEnglish)
{
    EXPECT_EQ(LanguageEntries({"Turkish.lang.txt", "German.lang.txt"}), (QStringList{"English", "German", "Turkish"}));
    EXPECT_EQ(LanguageEntries({}), QStringList{"English"});
    EXPECT_EQ(LanguageEntries({"dutch.lang.txt", "Albanian.lang.txt", "english.lang.txt", "English.lang.txt"}),
              (QStringList{"Albanian", "dutch", "English", "english", "English"}));
    EXPECT_EQ(LanguageEntries({"Xlang.txt"}), (QStringList{"", "English"}));
}

struct LinesCase {
    const char* name;
    QString text;
    QStringList lines;
};

class TranslatorLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(TranslatorLinesTest, OneNamePerLine)
{
    EXPECT_EQ(TranslatorLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TranslatorLinesTest,
    ::testing::Values(LinesCase{"one", "Dastrel", {"Dastrel"}},
                      LinesCase{"comma_and_blank", "Ayşe Yılmaz, Jan Kowalski", {"Ayşe Yılmaz", "Jan Kowalski"}},
                      LinesCase{"empty_piece", "A,,B", {"A", "", "B"}}, LinesCase{"trailing_comma", "A,B,", {"A", "B"}},
                      LinesCase{"controls_trimmed", "\tA\x01,  B  ", {"A", "B"}}, LinesCase{"empty", "", {}},
                      LinesCase{"rich_text_stays_text", "<b>A</b>, &amp;", {"<b>A</b>", "&amp;"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageWindow, TranslatorText)
{
    QTemporaryDir folder;
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("German.lang.txt", "\xEF\xBB\xBF{Yes}Ja\r\n{INFO:Translated By}Anna, Ben\r\n");
    write("Turkish.lang.txt", "{Yes}Evet\r\n");
    write("English.lang.txt", "{INFO:Translated By}Somebody\r\n");
    EXPECT_EQ(TranslatorText("German", folder.path()), "Anna, Ben");
    EXPECT_EQ(TranslatorText("Turkish", folder.path()), "INFO:Translated By");
    EXPECT_EQ(TranslatorText("English", folder.path()), "Dastrel"); // no file is read for English
    EXPECT_EQ(TranslatorText("Klingon", folder.path()), "");        // cannot be read
}

TEST(LanguageWindow, TranslationPage)
{
    EXPECT_EQ(TranslationPageAddress("www.example.invalid"), QUrl("https://www.example.invalid/translation/"));
}

} // namespace

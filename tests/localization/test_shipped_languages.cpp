// The language files and the language table that ship beside the program.
#include "localization/FormatPattern.h"
#include "localization/LanguageCodes.h"
#include "localization/LanguageFiles.h"
#include "localization/TextLines.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

const QString kSourceFolder = QStringLiteral(LANTRIX_SOURCE_DIR "/Languages");
const QString kShippedFolder = QStringLiteral(LANTRIX_BIN_DIR "/Languages");

// Every text that the program passes through Translate, and the entry that
// names the translators.
const QStringList kKeys{
    // Language window and the restart question
    "Language", "User Interface Language:", "Translated by:", "OK", "Contribute to Translation", "Copy",
    "Select All", "Yes", "No", "Confirmation", "Restart Application?",
    // About window
    "About %s", "Info", "Acknowledgements...", "How to uninstall...", "License...", "License", "File not found!",
    // Feedback window
    "feedback", "We would really appreciate your feedback.", "What did you like or dislike?", "Include my e-mail:",
    "Send", "I like it!", "I dislike it!", "Success", "Your feedback is received.", "Thank you!", "Failure",
    "Something went wrong. Your feedback could not be delivered.", "Please try again later.",
    "Invalid e-mail address!",
    // Update check
    "UPDATE AVAILABLE", "Click to download", "IMPORTANT",
    // The action row under the result panes, and its messages
    "Open Link", "Write E-mail", "Call", "Send SMS", "Save Contact...", "Add to Calendar...", "Show on Map",
    "Copy Password", "Connect", "Link to:", "E-mail to:", "Telephone:", "SMS to:", "Wi-Fi network:", "no password",
    "hidden", "Contact:", "Event:", "Place:", "The desktop could not open %s.", "The file could not be saved: %s",
    "Saved as %s.", "The password is on the clipboard.", "NetworkManager is joining the network.",
    "NetworkManager does not run here, so Lantrix cannot join the network. Copy the password and join the network "
    "in the desktop's settings.",
    "NetworkManager has no Wi-Fi device to join the network with.", "NetworkManager could not join the network: %s",
    // The translators
    "INFO:Translated By"};

const QStringList kLanguages{"German", "French", "Spanish", "Italian", "PortugueseBrazil",
                             "Turkish", "Polish", "Russian", "Dutch", "ChineseSimplified"};

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
    const std::map<int, QString> expected{
        {1031, "German"}, {3079, "German"}, {2055, "German"}, {5127, "German"}, {4103, "German"},
        {1036, "French"}, {2060, "French"}, {3084, "French"}, {4108, "French"},
        {3082, "Spanish"}, {1034, "Spanish"}, {2058, "Spanish"}, {11274, "Spanish"}, {22538, "Spanish"},
        {1040, "Italian"}, {2064, "Italian"}, {1046, "PortugueseBrazil"}, {1055, "Turkish"}, {1045, "Polish"},
        {1049, "Russian"}, {1043, "Dutch"}, {2067, "Dutch"}, {2052, "ChineseSimplified"},
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

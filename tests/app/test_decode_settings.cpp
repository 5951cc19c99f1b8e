// The window's decode options: the Settings switches kept in settings.ini,
// and the status bar's words on what a decode with them can read.
#include "app/DecodeSettings.h"
#include "app/StatusHints.h"
#include "decode/BarcodeFormat.h"
#include "platform/SettingsStore.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

struct TSwitches {
    bool inverted, everyFormat, tryHarder;
};

TSwitches SwitchesOf(const TDecodeOptions& options)
{
    return {options.inverted, options.everyFormat, options.tryHarder};
}

bool operator==(const TSwitches& a, const TSwitches& b)
{
    return a.inverted == b.inverted && a.everyFormat == b.everyFormat && a.tryHarder == b.tryHarder;
}

void PrintTo(const TSwitches& s, std::ostream* os)
{
    *os << "{inverted " << s.inverted << ", every format " << s.everyFormat << ", try harder " << s.tryHarder << '}';
}

// settings.ini in a folder of its own.
class DecodeSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("settings.ini"));

    void WriteFile(const QByteArray& bytes) { WriteTestFile(dir.path(), QStringLiteral("settings.ini"), bytes); }
    QByteArray ReadFile()
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// ---- settings.ini -----------------------------------------------------------

struct LoadCase {
    const char* name;
    QByteArray file;
    TSwitches expected;
};

class LoadedSwitches : public DecodeSettingsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadedSwitches, EachKeyItsOwnSwitchOnlyOneIsOn)
{
    WriteFile(GetParam().file);
    const SettingsStore store(path);
    const TDecodeOptions options = LoadDecodeOptions(&store, TBarcodeFormat::PDF_417);
    EXPECT_EQ(SwitchesOf(options), GetParam().expected);
    EXPECT_EQ(options.format, TBarcodeFormat::PDF_417); // the format given, whatever the file holds
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadedSwitches,
    ::testing::Values(
        LoadCase{"empty", "", {false, false, false}},
        LoadCase{"inverted", "[Settings]\r\nReadInvertedCodes=1\r\n", {true, false, false}},
        LoadCase{"every_format", "[Settings]\r\nReadEveryFormat=1\r\n", {false, true, false}},
        LoadCase{"try_harder", "[Settings]\r\nTryHarder=1\r\n", {false, false, true}},
        LoadCase{
            "all_on", "[Settings]\r\nReadInvertedCodes=1\r\nReadEveryFormat=1\r\nTryHarder=1\r\n", {true, true, true}},
        LoadCase{"all_off",
                 "[Settings]\r\nReadInvertedCodes=0\r\nReadEveryFormat=0\r\nTryHarder=0\r\n",
                 {false, false, false}},
        LoadCase{"other_case_and_blanks", "[settings]\r\nreadeveryformat= 1 \r\nTRYHARDER=1\r\n", {false, true, true}},
        LoadCase{
            "words_and_numbers_are_off", "[Settings]\r\nReadEveryFormat=yes\r\nTryHarder=2\r\n", {false, false, false}},
        LoadCase{"another_section", "[Other]\r\nReadEveryFormat=1\r\nTryHarder=1\r\n", {false, false, false}},
        LoadCase{
            "format_key_is_not_read", "[Settings]\r\nCodeFormat=QR_CODE\r\nTryHarder=1\r\n", {false, false, true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadDecodeOptions, NoStoreEverySwitchOff)
{
    const TDecodeOptions options = LoadDecodeOptions(nullptr, TBarcodeFormat::MSI);
    EXPECT_EQ(SwitchesOf(options), (TSwitches{false, false, false}));
    EXPECT_EQ(options.format, TBarcodeFormat::MSI);
}

struct ToggleCase {
    const char* name;
    TDecodeFlag flag;
    const char* key;
};

class ToggledSwitch : public DecodeSettingsTest, public ::testing::WithParamInterface<ToggleCase> {};

// A toggle sets its own flag at once, writes its own key alone, and the
// next load gives it back; the other keys and lines stay as they were.
TEST_P(ToggledSwitch, WritesItsKeyAloneAndReadsBack)
{
    WriteFile("[Settings]\r\nInitialDir=/home/ana\r\n");
    SettingsStore store(path);
    TDecodeOptions options;
    options.format = TBarcodeFormat::QR_CODE;
    SetDecodeSwitch(options, GetParam().flag, true, &store);
    EXPECT_TRUE(options.*GetParam().flag);
    EXPECT_EQ(options.format, TBarcodeFormat::QR_CODE);
    EXPECT_EQ(ReadFile(), QByteArray("\xEF\xBB\xBF[Settings]\r\nInitialDir=/home/ana\r\n") + GetParam().key
                              + QByteArray("=1\r\n\r\n"));
    {
        const SettingsStore again(path);
        const TDecodeOptions loaded = LoadDecodeOptions(&again);
        EXPECT_EQ(SwitchesOf(loaded), SwitchesOf(options));
    }

    SetDecodeSwitch(options, GetParam().flag, false, &store);
    EXPECT_FALSE(options.*GetParam().flag);
    EXPECT_EQ(ReadFile(), QByteArray("\xEF\xBB\xBF[Settings]\r\nInitialDir=/home/ana\r\n") + GetParam().key
                              + QByteArray("=0\r\n\r\n"));
    const SettingsStore third(path);
    EXPECT_EQ(SwitchesOf(LoadDecodeOptions(&third)), (TSwitches{false, false, false}));
}

TEST_P(ToggledSwitch, WithoutStoreHoldsForTheRun)
{
    TDecodeOptions options;
    SetDecodeSwitch(options, GetParam().flag, true, nullptr);
    EXPECT_TRUE(options.*GetParam().flag);
    EXPECT_FALSE(QFile::exists(path));
}

INSTANTIATE_TEST_SUITE_P(Switches, ToggledSwitch,
                         ::testing::Values(ToggleCase{"inverted", &TDecodeOptions::inverted, "ReadInvertedCodes"},
                                           ToggleCase{"every_format", &TDecodeOptions::everyFormat, "ReadEveryFormat"},
                                           ToggleCase{"try_harder", &TDecodeOptions::tryHarder, "TryHarder"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file that cannot be written: the error is raised after the flag is set.
TEST_F(DecodeSettingsTest, UnwritableFileRaisesAfterTheFlagIsSet)
{
    SettingsStore store(dir.filePath(QStringLiteral("no-such-folder/settings.ini")));
    TDecodeOptions options;
    EXPECT_THROW(SetDecodeSwitch(options, &TDecodeOptions::tryHarder, true, &store), ESettingsError);
    EXPECT_TRUE(options.tryHarder);
}

// ---- The status bar's words ----------------------------------------------------

TDecodeOptions Options(TBarcodeFormat format, TSwitches switches)
{
    TDecodeOptions options;
    options.format = format;
    options.inverted = switches.inverted;
    options.everyFormat = switches.everyFormat;
    options.tryHarder = switches.tryHarder;
    return options;
}

struct MayReadMoreCase {
    const char* name;
    TBarcodeFormat format;
    TSwitches switches;
    QStringList expected;
};

class MayReadMore : public ::testing::TestWithParam<MayReadMoreCase> {};

TEST_P(MayReadMore, TheEntriesThatAreOffAndMayHelp)
{
    const TDecodeOptions options = Options(GetParam().format, GetParam().switches);
    EXPECT_EQ(EntriesThatMayReadMore(options), GetParam().expected);
    const QString hint = UnreadableHint(options);
    if (GetParam().expected.isEmpty()) {
        EXPECT_TRUE(hint.isEmpty());
        return;
    }
    EXPECT_EQ(hint, "These Settings entries are off and may read it: " + GetParam().expected.join(", "));
}

INSTANTIATE_TEST_SUITE_P(
    Options, MayReadMore,
    ::testing::Values(
        MayReadMoreCase{"auto_all_off",
                        TBarcodeFormat::Auto,
                        {false, false, false},
                        {"Read Inverted Codes", "Read Every Format", "Try Harder"}},
        MayReadMoreCase{"auto_all_on", TBarcodeFormat::Auto, {true, true, true}, {}},
        MayReadMoreCase{
            "auto_inverted_on", TBarcodeFormat::Auto, {true, false, false}, {"Read Every Format", "Try Harder"}},
        MayReadMoreCase{
            "auto_every_format_on", TBarcodeFormat::Auto, {false, true, false}, {"Read Inverted Codes", "Try Harder"}},
        MayReadMoreCase{"auto_try_harder_on",
                        TBarcodeFormat::Auto,
                        {false, false, true},
                        {"Read Inverted Codes", "Read Every Format"}},
        // A format with a reader among the ten is looked for alone either way.
        MayReadMoreCase{
            "qr_code_all_off", TBarcodeFormat::QR_CODE, {false, false, false}, {"Read Inverted Codes", "Try Harder"}},
        MayReadMoreCase{"ean_13_inverted_and_try_harder_on", TBarcodeFormat::EAN_13, {true, false, true}, {}},
        // A format without one: Read Every Format brings its reader, or more readers under Auto.
        MayReadMoreCase{"pdf_417_all_off",
                        TBarcodeFormat::PDF_417,
                        {false, false, false},
                        {"Read Inverted Codes", "Read Every Format", "Try Harder"}},
        MayReadMoreCase{
            "msi_inverted_and_try_harder_on", TBarcodeFormat::MSI, {true, false, true}, {"Read Every Format"}},
        MayReadMoreCase{"plessey_all_on", TBarcodeFormat::PLESSEY, {true, true, true}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct NoticeCase {
    const char* name;
    TBarcodeFormat format;
    bool everyFormat;
    const char* expected; // empty: no notice
};

class CodeFormatNotices : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(CodeFormatNotices, SaysWhenTheChosenFormatHasNoReader)
{
    TDecodeOptions options = Options(GetParam().format, {true, GetParam().everyFormat, true});
    EXPECT_EQ(CodeFormatNotice(options), QString::fromUtf8(GetParam().expected));
    options.inverted = options.tryHarder = false; // the other switches have no say
    EXPECT_EQ(CodeFormatNotice(options), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CodeFormatNotices,
    ::testing::Values(NoticeCase{"auto", TBarcodeFormat::Auto, false, ""},
                      NoticeCase{"auto_every_format", TBarcodeFormat::Auto, true, ""},
                      NoticeCase{"qr_code", TBarcodeFormat::QR_CODE, false, ""},
                      NoticeCase{"code_39_every_format", TBarcodeFormat::CODE_39, true, ""},
                      NoticeCase{"aztec", TBarcodeFormat::AZTEC, false, "No reader for AZTEC: decoding as with Auto."},
                      NoticeCase{"rss_expanded", TBarcodeFormat::RSS_EXPANDED, false,
                                 "No reader for RSS_EXPANDED: decoding as with Auto."},
                      NoticeCase{"msi", TBarcodeFormat::MSI, false, "No reader for MSI: decoding as with Auto."},
                      NoticeCase{"msi_every_format", TBarcodeFormat::MSI, true,
                                 "No reader for MSI: decoding as with Auto."},
                      NoticeCase{"plessey_every_format", TBarcodeFormat::PLESSEY, true,
                                 "No reader for PLESSEY: decoding as with Auto."}),
    [](const auto& info) { return std::string(info.param.name); });

// Under Read Every Format the formats that zxing-cpp reads have their reader
// and no notice.
class EveryFormatReaders : public ::testing::TestWithParam<TBarcodeFormat> {};

TEST_P(EveryFormatReaders, NoNoticeWithTheOptionOnOneWithout)
{
    EXPECT_TRUE(CodeFormatNotice(Options(GetParam(), {false, true, false})).isEmpty());
    EXPECT_EQ(CodeFormatNotice(Options(GetParam(), {false, false, false})),
              "No reader for " + CodeFormatName(GetParam()) + ": decoding as with Auto.");
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormatReaders,
                         ::testing::Values(TBarcodeFormat::AZTEC, TBarcodeFormat::CODABAR, TBarcodeFormat::MAXICODE,
                                           TBarcodeFormat::PDF_417, TBarcodeFormat::RSS_14,
                                           TBarcodeFormat::RSS_EXPANDED),
                         [](const auto& info) { return CodeFormatName(info.param).toStdString(); });

} // namespace

// The decode options beyond the default request: every format, trying
// harder, and both; the corpus of zint's pictures read with them off and on.
#include "decode/DecodeBitmap.h"
#include "decode/ZXingCompat.h"
#include "support/CodeCorpus.h"

#include <QPainter>
#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>

namespace {

const TCorpusCode& CorpusCode(std::string_view name)
{
    for (const TCorpusCode& code : CorpusCodes())
        if (name == code.name)
            return code;
    ADD_FAILURE() << "no corpus code " << name;
    return CorpusCodes().front();
}

// The four sets of options each corpus picture is read with.
const std::array<TDecodeOptions, 4> kOptionSets = {{
    {},
    {.everyFormat = true},
    {.tryHarder = true},
    {.everyFormat = true, .tryHarder = true},
}};

// What a decode of a corpus picture gives: Y its text, A its text with the
// add-on digits, - nothing, w another text.
char Outcome(const TCorpusCode& code, const std::optional<TDecodedCode>& read)
{
    if (!read)
        return '-';
    if (read->text == QLatin1String(code.text))
        return 'Y';
    if (code.addOn && read->text == QLatin1String(code.text) + u' ' + QLatin1String(code.addOn))
        return 'A';
    return 'w';
}

// Per code, per layout in the order of CorpusLayouts() (upright, turned by
// 90, 180 and 270 degrees, skewed, off the middle, small modules, on a photo),
// the outcome under each set of options: off, every format, try harder, both.
// Off is the default request: the ten readers, one pass. Every format adds
// the readers of the nine other formats and Micro QR; trying harder finds
// linear codes turned or off the middle. What stays unread with both on is
// what zxing-cpp 1.4 does not read: skewed Code 128 and Code 39, a Data Matrix
// code away from the middle row, MaxiCode except upright on a clean ground,
// DataBar Limited (no reader) and MSI and Plessey (no reader). Every format
// on, the add-on digits are read wherever the code is, skewed excepted.
//
// zxing-cpp 2 reads more: a Data Matrix code off the middle, and on a photo
// trying harder; an Aztec code skewed, off the middle (trying harder) and on
// a photo; DataBar Limited. Where its outcomes differ they are the second row.
struct CorpusCase {
    const char* code;
    std::array<const char*, 8> outcomes;
    std::array<const char*, 8> newerOutcomes{}; // zxing-cpp 2's, where they differ
};

// The outcomes the library linked gives.
const std::array<const char*, 8>& ExpectedOutcomes(const CorpusCase& c)
{
    return ZXingCompat::kMajorVersion >= 2 && c.newerOutcomes[0] ? c.newerOutcomes : c.outcomes;
}

const CorpusCase kCorpusCases[] = {
    {"qr_code", {"YYYY", "YYYY", "YYYY", "YYYY", "YYYY", "YYYY", "YYYY", "YYYY"}},
    {"data_matrix",
     {"YYYY", "YYYY", "YYYY", "YYYY", "YYYY", "----", "YYYY", "----"},
     {"YYYY", "YYYY", "YYYY", "YYYY", "YYYY", "YYYY", "YYYY", "--YY"}},
    {"ean_13", {"YYYY", "--YY", "YYYY", "--YY", "YYYY", "--YY", "YYYY", "YYYY"}},
    {"ean_13_add_on", {"YAYA", "--YA", "YAYA", "--YA", "YYYY", "--YA", "YAYA", "YAYA"}},
    {"ean_8", {"YYYY", "--YY", "YYYY", "--YY", "YYYY", "--YY", "YYYY", "YYYY"}},
    {"upc_a", {"YYYY", "--YY", "YYYY", "--YY", "YYYY", "--YY", "YYYY", "YYYY"}},
    {"upc_e", {"YYYY", "--YY", "YYYY", "--YY", "YYYY", "--YY", "YYYY", "YYYY"}},
    {"code_128", {"YYYY", "--YY", "YYYY", "--YY", "----", "--YY", "YYYY", "YYYY"}},
    {"code_39", {"YYYY", "--YY", "YYYY", "--YY", "----", "--YY", "YYYY", "YYYY"}},
    {"code_93", {"YYYY", "--YY", "YYYY", "--YY", "YYYY", "--YY", "YYYY", "YYYY"}},
    {"itf", {"YYYY", "--YY", "YYYY", "--YY", "YYYY", "--YY", "YYYY", "YYYY"}},
    {"aztec",
     {"-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "----", "----", "-Y-Y", "----"},
     {"-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "---Y", "-Y-Y", "-Y-Y"}},
    {"codabar", {"-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "-Y-Y"}},
    {"maxicode", {"-Y-Y", "----", "----", "----", "----", "-Y-Y", "-Y-Y", "----"}},
    {"pdf_417", {"-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "----", "-Y-Y", "-Y-Y", "-Y-Y"}},
    {"rss_14", {"-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "-Y-Y"}},
    {"rss_expanded", {"-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "-Y-Y"}},
    {"rss_limited",
     {"----", "----", "----", "----", "----", "----", "----", "----"},
     {"-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "---Y", "-Y-Y", "-Y-Y"}},
    {"micro_qr", {"-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y", "-Y-Y"}},
    {"msi", {"----", "----", "----", "----", "----", "----", "----", "----"}},
    {"plessey", {"----", "----", "----", "----", "----", "----", "----", "----"}},
};

void PrintTo(const CorpusCase& c, std::ostream* out)
{
    *out << c.code;
}

class DecodeCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(DecodeCorpus, ReadAsExpectedWithTheOptionsOffAndOn)
{
    const CorpusCase& c = GetParam();
    const TCorpusCode& code = CorpusCode(c.code);
    for (std::size_t i = 0; i < CorpusLayouts().size(); ++i) {
        const TCorpusLayout layout = CorpusLayouts()[i];
        const QImage picture = CorpusPicture(code, layout);
        ASSERT_FALSE(picture.isNull()) << "zint could not draw " << c.code;
        std::string outcomes;
        for (const TDecodeOptions& options : kOptionSets) {
            QImage copy = picture;
            const std::optional<TDecodedCode> read = DecodeCode(copy, options);
            outcomes += Outcome(code, read);
            if (read && Outcome(code, read) != 'w') {
                EXPECT_EQ(read->format, code.format) << CorpusLayoutName(layout);
            }
        }
        EXPECT_EQ(outcomes, ExpectedOutcomes(c)[i]) << CorpusLayoutName(layout);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, DecodeCorpus, ::testing::ValuesIn(kCorpusCases),
                         [](const auto& info) { return std::string(info.param.code); });

// Every format read, the readers of the nine formats outside the ten join
// them; MSI, Plessey and the add-on digits alone have none.
TEST(HasReader, EveryFormatAddsTheOtherReaders)
{
    QStringList withReader;
    for (const TCodeFormatInfo& format : kCodeFormats)
        if (HasReader(format.value, true))
            withReader << QString::fromLatin1(format.name);
    EXPECT_EQ(withReader, (QStringList{"Auto", "AZTEC", "CODABAR", "CODE_39", "CODE_93", "CODE_128", "DATA_MATRIX",
                                       "EAN_8", "EAN_13", "ITF", "MAXICODE", "PDF_417", "QR_CODE", "RSS_14",
                                       "RSS_EXPANDED", "UPC_A", "UPC_E"}));
    EXPECT_TRUE(HasReader(TBarcodeFormat::MICRO_QR, true));
    EXPECT_FALSE(HasReader(TBarcodeFormat::MICRO_QR, false));
    // DataBar Limited where the library reads it (zxing-cpp 2), under Auto.
    EXPECT_EQ(HasReader(TBarcodeFormat::RSS_LIMITED, true), bool(LANTRIX_ZXING_READS_DATABAR_LIMITED));
    EXPECT_FALSE(HasReader(TBarcodeFormat::RSS_LIMITED, false));
}

TEST(CodeFormatName, FormatsWithoutAMenuEntry)
{
    EXPECT_EQ(CodeFormatName(TBarcodeFormat::MICRO_QR), QStringLiteral("MICRO_QR"));
    EXPECT_FALSE(CodeFormatByName(QStringLiteral("MICRO_QR")).has_value());
    EXPECT_EQ(CodeFormatName(TBarcodeFormat::RSS_LIMITED), QStringLiteral("RSS_LIMITED"));
    EXPECT_FALSE(CodeFormatByName(QStringLiteral("RSS_LIMITED")).has_value());
}

// A format chosen: every format read, one of the nine others is looked for
// alone; without, it decodes as Auto. A format without a reader decodes as
// Auto either way, and Micro QR is read only under Auto.
struct ChosenCase {
    const char* name;
    TBarcodeFormat format;
    bool everyFormat;
    const char* code; // an upright corpus picture
    bool read;
};

const ChosenCase kChosenCases[] = {
    {"pdf417_alone", TBarcodeFormat::PDF_417, true, "pdf_417", true},
    {"pdf417_finds_no_qr", TBarcodeFormat::PDF_417, true, "qr_code", false},
    {"pdf417_as_auto_without", TBarcodeFormat::PDF_417, false, "qr_code", true},
    {"pdf417_unread_without", TBarcodeFormat::PDF_417, false, "pdf_417", false},
    {"aztec_alone", TBarcodeFormat::AZTEC, true, "aztec", true},
    {"aztec_finds_no_micro_qr", TBarcodeFormat::AZTEC, true, "micro_qr", false},
    {"codabar_alone", TBarcodeFormat::CODABAR, true, "codabar", true},
    {"codabar_finds_no_code39", TBarcodeFormat::CODABAR, true, "code_39", false},
    {"databar_alone", TBarcodeFormat::RSS_14, true, "rss_14", true},
    {"databar_finds_no_ean13", TBarcodeFormat::RSS_14, true, "ean_13", false},
    {"databar_expanded_alone", TBarcodeFormat::RSS_EXPANDED, true, "rss_expanded", true},
    {"maxicode_alone", TBarcodeFormat::MAXICODE, true, "maxicode", true},
    {"maxicode_finds_no_qr", TBarcodeFormat::MAXICODE, true, "qr_code", false},
    {"micro_qr_under_auto", TBarcodeFormat::Auto, true, "micro_qr", true},
    {"micro_qr_not_under_qr", TBarcodeFormat::QR_CODE, true, "micro_qr", false},
    {"databar_limited_under_auto", TBarcodeFormat::Auto, true, "rss_limited",
     bool(LANTRIX_ZXING_READS_DATABAR_LIMITED)},
    {"databar_limited_not_under_databar", TBarcodeFormat::RSS_14, true, "rss_limited", false},
    {"msi_as_auto", TBarcodeFormat::MSI, true, "qr_code", true},
    {"plessey_as_auto", TBarcodeFormat::PLESSEY, true, "ean_8", true},
    {"qr_finds_no_pdf417", TBarcodeFormat::QR_CODE, true, "pdf_417", false},
};

void PrintTo(const ChosenCase& c, std::ostream* out)
{
    *out << c.name;
}

class ChosenFormat : public ::testing::TestWithParam<ChosenCase> {};

TEST_P(ChosenFormat, RestrictsOrDecodesAsAuto)
{
    const ChosenCase& c = GetParam();
    const TCorpusCode& code = CorpusCode(c.code);
    const TDecodeOptions options{.format = c.format, .everyFormat = c.everyFormat};
    QImage picture = CorpusPicture(code, TCorpusLayout::Upright);
    ASSERT_FALSE(picture.isNull());
    QImage again = picture;
    const std::optional<TDecodedCode> one = DecodeCode(picture, options);
    const std::vector<TDecodedCode> all = DecodeAllCodes(again, options);
    EXPECT_EQ(one.has_value(), c.read);
    EXPECT_EQ(all.size(), c.read ? 1u : 0u);
    if (one) {
        EXPECT_EQ(one->text, QLatin1String(code.text));
        EXPECT_EQ(one->format, code.format);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ChosenFormat, ::testing::ValuesIn(kChosenCases),
                         [](const auto& info) { return std::string(info.param.name); });

// GS1 codes of the formats that carry other data too: the element strings as
// the code holds them, a group separator (29) after a field of varying
// length, no brackets (only DataBar Expanded, a GS1 code alone, has them),
// the same from every release of the library.
struct Gs1Case {
    const char* name;
    TBarcodeFormat format;
    int zintSymbology;
    bool matrix;
};

class Gs1Code : public ::testing::TestWithParam<Gs1Case> {};

TEST_P(Gs1Code, ElementStringsWithGroupSeparators)
{
    const Gs1Case& c = GetParam();
    const TCorpusCode code{c.name,
                           c.format,
                           c.zintSymbology,
                           "[10]ABC[21]123",
                           "10ABC\x1d"
                           "21123",
                           c.matrix};
    QImage picture = ZintPicture(code, c.matrix ? 6 : 3);
    ASSERT_FALSE(picture.isNull()) << "zint could not draw " << c.name;
    const std::optional<TDecodedCode> read = DecodeCode(picture, {});
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->format, c.format);
    EXPECT_EQ(read->text.toStdString(), code.text);
    EXPECT_EQ(read->bytes.toStdString(), code.text);
}

INSTANTIATE_TEST_SUITE_P(Formats, Gs1Code,
                         ::testing::Values(Gs1Case{"gs1_128", TBarcodeFormat::CODE_128, 16, false},
                                           Gs1Case{"gs1_data_matrix", TBarcodeFormat::DATA_MATRIX, 71, true},
                                           Gs1Case{"gs1_qr_code", TBarcodeFormat::QR_CODE, 58, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A code of the formats beyond the ten drawn twice, one copy under the other
// (a sheet of labels): every copy is reported, each once. zxing-cpp 1.4 ends
// the program when one request finds the same DataBar code twice.
class RepeatedOtherCode : public ::testing::TestWithParam<const char*> {};

TEST_P(RepeatedOtherCode, EveryCopyOnce)
{
    const TCorpusCode& code = CorpusCode(GetParam());
    const QImage one = CorpusPicture(code, TCorpusLayout::Upright);
    ASSERT_FALSE(one.isNull());
    QImage sheet(one.width(), 2 * one.height() + 40, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.drawImage(0, 0, one);
    painter.drawImage(0, one.height() + 40, one);
    painter.end();
    const TDecodeOptions options{.everyFormat = true, .tryHarder = true};
    const std::vector<TDecodedCode> all = DecodeAllCodes(sheet, options);
    ASSERT_EQ(all.size(), 2u);
    for (const TDecodedCode& found : all) {
        EXPECT_EQ(found.text, QLatin1String(code.text));
        EXPECT_EQ(found.format, code.format);
    }
    EXPECT_LT(all[0].position[0].y(), all[1].position[0].y());
}

INSTANTIATE_TEST_SUITE_P(Formats, RepeatedOtherCode, ::testing::Values("rss_14", "rss_expanded", "codabar", "pdf_417"));

} // namespace

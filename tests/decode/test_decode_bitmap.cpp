#include "decode/DecodeBitmap.h"
#include "support/Samples.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <tuple>

void PrintTo(const TCodeFormatInfo& format, std::ostream* out)
{
    *out << format.name;
}

namespace {

// Every sample under every code format. A format with a reader finds only
// codes of its own format; Auto and the formats without a reader try all ten.
struct SampleCase {
    const char* file;
    const char* text;                           // what the sample holds; null: nothing is ever read
    TBarcodeFormat own;                         // its format
    TBarcodeFormat also = TBarcodeFormat::Auto; // another format whose reader finds the same bars
    const char* alsoText = nullptr;             // and what that reader gives
};

// A UPC-A code is an EAN-13 code whose first digit is 0: the bars are the
// same. The UPC-A reader gives the 12 digits, the EAN-13 reader the 13 digits
// of the same code; an EAN-13 code with another first digit is no UPC-A code.
const SampleCase kSamples[] = {
    {"qr_code.png", "https://lantrix.invalid/hello?from=qr", TBarcodeFormat::QR_CODE},
    {"data_matrix.png", "Lantrix Data Matrix 0042", TBarcodeFormat::DATA_MATRIX},
    {"ean_13.png", "4006381333931", TBarcodeFormat::EAN_13},
    {"ean_8.png", "96385074", TBarcodeFormat::EAN_8},
    {"upc_a.png", "036000291452", TBarcodeFormat::UPC_A, TBarcodeFormat::EAN_13, "0036000291452"},
    {"upc_e.png", "04252614", TBarcodeFormat::UPC_E},
    {"code_128.png", "LANTRIX-128-Sample", TBarcodeFormat::CODE_128},
    {"code_39.png", "LANTRIX 39", TBarcodeFormat::CODE_39},
    {"code_93.png", "LANTRIX93", TBarcodeFormat::CODE_93},
    {"itf.png", "12345678901231", TBarcodeFormat::ITF},
    {"aztec.png", nullptr, TBarcodeFormat::AZTEC},
};

void PrintTo(const SampleCase& sample, std::ostream* out)
{
    *out << sample.file;
}

class DecodeSample : public ::testing::TestWithParam<std::tuple<SampleCase, TCodeFormatInfo>> {};

TEST_P(DecodeSample, OnlyTheOwnFormatOrAllReadersFindTheText)
{
    const auto& [sample, format] = GetParam();
    const char* expected = nullptr;
    TBarcodeFormat expectedFormat = sample.own;
    if (format.value == sample.own || format.value == TBarcodeFormat::Auto || !HasReader(format.value))
        expected = sample.text;
    else if (format.value == sample.also) {
        expected = sample.alsoText;
        expectedFormat = sample.also;
    }

    QImage picture = LoadSample(sample.file);
    const auto text = DecodeBitmap(picture, format.value);
    QImage again = LoadSample(sample.file);
    const auto code = DecodeCode(again, {.format = format.value});
    if (!expected) {
        EXPECT_FALSE(text.has_value()) << text->toStdString();
        EXPECT_FALSE(code.has_value());
        return;
    }
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->toStdString(), expected);
    // The same code, with the format it was read as.
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(code->text, *text);
    EXPECT_EQ(CodeFormatName(code->format), CodeFormatName(expectedFormat));
}

// Every format of the menu has its name back, and nothing else has one.
TEST(CodeFormatName, TheMenuNames)
{
    for (const TCodeFormatInfo& format : kCodeFormats)
        EXPECT_EQ(CodeFormatName(format.value), QLatin1String(format.name));
    EXPECT_TRUE(CodeFormatName(static_cast<TBarcodeFormat>(1u << 30)).isEmpty());
    EXPECT_TRUE(CodeFormatName(static_cast<TBarcodeFormat>(3)).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Samples, DecodeSample,
                         ::testing::Combine(::testing::ValuesIn(kSamples), ::testing::ValuesIn(kCodeFormats)),
                         [](const auto& info) {
                             return QString(std::get<0>(info.param).file).section('.', 0, 0).toStdString() + "_"
                                    + std::get<1>(info.param).name;
                         });

// The ten readers, and Auto that uses them all; the other nine formats have none.
TEST(HasReader, TheTenReadersAndAuto)
{
    QStringList withReader;
    for (const TCodeFormatInfo& format : kCodeFormats)
        if (HasReader(format.value))
            withReader << QString::fromLatin1(format.name);
    EXPECT_EQ(withReader, (QStringList{"Auto", "CODE_39", "CODE_93", "CODE_128", "DATA_MATRIX", "EAN_8", "EAN_13",
                                       "ITF", "QR_CODE", "UPC_A", "UPC_E"}));
}

// Several codes in one picture: Auto reports the first reader's find in the
// order Code 128, UPC-A, UPC-E, EAN-13, EAN-8, Code 93, ITF, Code 39, QR Code,
// Data Matrix; a selected format reports its own code.
struct MixCase {
    const char* name;
    const char* top;
    const char* bottom;
    TBarcodeFormat format;
    const char* text;
    const char* formatRead;
};

class DecodeMixed : public ::testing::TestWithParam<MixCase> {};

TEST_P(DecodeMixed, ReaderOrderDecides)
{
    const MixCase& c = GetParam();
    QImage canvas = StackPictures({LoadSample(c.top), LoadSample(c.bottom)});
    const auto code = DecodeCode(canvas, {.format = c.format});
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(code->text.toStdString(), c.text);
    EXPECT_EQ(CodeFormatName(code->format).toStdString(), c.formatRead);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DecodeMixed,
    ::testing::Values(MixCase{"qr_above_code128_auto", "qr_code.png", "code_128.png", TBarcodeFormat::Auto,
                              "LANTRIX-128-Sample", "CODE_128"},
                      MixCase{"qr_above_code128_qr", "qr_code.png", "code_128.png", TBarcodeFormat::QR_CODE,
                              "https://lantrix.invalid/hello?from=qr", "QR_CODE"},
                      MixCase{"ean13_above_code128_auto", "ean_13.png", "code_128.png", TBarcodeFormat::Auto,
                              "LANTRIX-128-Sample", "CODE_128"},
                      MixCase{"code39_above_ean8_auto", "code_39.png", "ean_8.png", TBarcodeFormat::Auto, "96385074",
                              "EAN_8"},
                      MixCase{"datamatrix_above_qr_auto", "data_matrix.png", "qr_code.png", TBarcodeFormat::Auto,
                              "https://lantrix.invalid/hello?from=qr", "QR_CODE"},
                      MixCase{"ean13_above_code128_ean13", "ean_13.png", "code_128.png", TBarcodeFormat::EAN_13,
                              "4006381333931", "EAN_13"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeBitmap, LightCodeOnDarkGroundIsNotRead)
{
    QImage picture = LoadSample("qr_code.png").convertToFormat(QImage::Format_RGB32);
    QImage normal = picture;
    ASSERT_TRUE(DecodeBitmap(normal, TBarcodeFormat::Auto).has_value());
    picture.invertPixels();
    EXPECT_FALSE(DecodeBitmap(picture, TBarcodeFormat::Auto).has_value());
    EXPECT_FALSE(DecodeBitmap(picture, TBarcodeFormat::QR_CODE).has_value());
}

// Light codes on a dark ground: read only when the inverted retry is asked
// for, with Auto and with the code's own format, and never by another format's
// reader; every code is found that way too.
struct InvertedCase {
    const char* file;
    const char* text;
    TBarcodeFormat own;
    TBarcodeFormat other; // a format with a reader that must not find it
};

void PrintTo(const InvertedCase& c, std::ostream* out)
{
    *out << c.file;
}

const InvertedCase kInverted[] = {
    {"qr_code.png", "https://lantrix.invalid/hello?from=qr", TBarcodeFormat::QR_CODE, TBarcodeFormat::EAN_13},
    {"data_matrix.png", "Lantrix Data Matrix 0042", TBarcodeFormat::DATA_MATRIX, TBarcodeFormat::QR_CODE},
    {"ean_13.png", "4006381333931", TBarcodeFormat::EAN_13, TBarcodeFormat::CODE_128},
};

class InvertedPicture : public ::testing::TestWithParam<std::tuple<InvertedCase, bool>> {};

TEST_P(InvertedPicture, ReadOnlyWithTheInvertedRetry)
{
    const auto& [c, inverted] = GetParam();
    QImage negative = LoadSample(c.file).convertToFormat(QImage::Format_RGB32);
    negative.invertPixels();
    for (TBarcodeFormat format : {TBarcodeFormat::Auto, c.own}) {
        const TDecodeOptions options{.format = format, .inverted = inverted};
        QImage picture = negative;
        const std::optional<TDecodedCode> code = DecodeCode(picture, options);
        QImage again = negative;
        const std::vector<TDecodedCode> all = DecodeAllCodes(again, options);
        QImage once = negative;
        const std::optional<QString> text = DecodeBitmap(once, options);
        if (!inverted) {
            EXPECT_FALSE(code.has_value()) << code->text.toStdString();
            EXPECT_TRUE(all.empty());
            EXPECT_FALSE(text.has_value());
            continue;
        }
        ASSERT_TRUE(code.has_value()) << CodeFormatName(format).toStdString();
        EXPECT_EQ(code->text.toStdString(), c.text);
        EXPECT_EQ(CodeFormatName(code->format), CodeFormatName(c.own));
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all.front().text.toStdString(), c.text);
        EXPECT_EQ(text, QString::fromLatin1(c.text));
    }
    QImage picture = negative;
    EXPECT_FALSE(DecodeCode(picture, {.format = c.other, .inverted = inverted}).has_value());
}

// The retry changes nothing for a picture that the first pass reads, nor for
// one without a code.
TEST_P(InvertedPicture, PlainPicturesReadAsWithoutTheRetry)
{
    const auto& [c, inverted] = GetParam();
    QImage picture = LoadSample(c.file);
    const std::optional<TDecodedCode> code =
        DecodeCode(picture, TDecodeOptions{.format = TBarcodeFormat::Auto, .inverted = inverted});
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(code->text.toStdString(), c.text);

    QImage blank(300, 200, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_FALSE(DecodeCode(blank, TDecodeOptions{.format = TBarcodeFormat::Auto, .inverted = inverted}).has_value());
    blank.fill(Qt::black);
    EXPECT_FALSE(DecodeCode(blank, TDecodeOptions{.format = TBarcodeFormat::Auto, .inverted = inverted}).has_value());
}

INSTANTIATE_TEST_SUITE_P(Samples, InvertedPicture,
                         ::testing::Combine(::testing::ValuesIn(kInverted), ::testing::Bool()), [](const auto& info) {
                             return QString(std::get<0>(info.param).file).section('.', 0, 0).toStdString()
                                    + (std::get<1>(info.param) ? "_with_retry" : "_without_retry");
                         });

TEST(DecodeBitmap, OtherLayoutsAreConvertedTo24BitsInPlace)
{
    const QImage original = LoadSample("qr_code.png").convertToFormat(QImage::Format_RGB32);
    for (QImage::Format layout :
         {QImage::Format_ARGB32, QImage::Format_RGB32, QImage::Format_Indexed8, QImage::Format_Mono,
          QImage::Format_MonoLSB, QImage::Format_Grayscale8, QImage::Format_RGB888, QImage::Format_RGB16}) {
        QImage picture = original.convertToFormat(layout);
        EXPECT_TRUE(DecodeBitmap(picture, TBarcodeFormat::Auto).has_value()) << layout;
        EXPECT_EQ(picture.format(), QImage::Format_BGR888) << layout;
        EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32), original) << layout;
    }
}

TEST(DecodeBitmap, OneBitPicturesOfAnyWidthConvertExactly)
{
    for (QImage::Format layout : {QImage::Format_Mono, QImage::Format_MonoLSB})
        for (int width : {1, 7, 8, 9, 17, 64}) {
            QImage picture(width, 3, layout);
            picture.setColorTable({qRgb(250, 240, 230), qRgb(5, 10, 20)});
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < width; ++x)
                    picture.setPixel(x, y, (x * 7 + y * 3) % 5 < 2);
            const QImage expected = picture.convertToFormat(QImage::Format_RGB32);
            DecodeBitmap(picture, TBarcodeFormat::Auto);
            ASSERT_EQ(picture.format(), QImage::Format_BGR888);
            EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32), expected) << layout << " width " << width;
        }
}

TEST(DecodeBitmap, PaletteColoursSurviveTheConversion)
{
    QImage picture(9, 2, QImage::Format_Indexed8); // 9 pixels: not a whole number of 4-byte words
    picture.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50), qRgb(0, 255, 0)});
    for (int x = 0; x < 9; ++x) {
        picture.setPixel(x, 0, x % 3);
        picture.setPixel(x, 1, 2 - x % 3);
    }
    const QImage expected = picture.convertToFormat(QImage::Format_RGB32);
    DecodeBitmap(picture, TBarcodeFormat::Auto);
    ASSERT_EQ(picture.format(), QImage::Format_BGR888);
    EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32), expected);
}

// Pictures with an alpha channel decode as they are shown: over white.
// `argb` in the layout; palette layouts get the picture's colours as their
// table, alpha included.
QImage InLayout(const QImage& argb, QImage::Format layout)
{
    if (layout != QImage::Format_Indexed8 && layout != QImage::Format_Mono)
        return argb.convertToFormat(layout);
    QList<QRgb> table;
    QImage picture(argb.size(), layout);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb colour = argb.pixel(x, y);
            if (!table.contains(colour)) {
                table.append(colour);
                picture.setColorTable(table);
            }
            picture.setPixel(x, y, static_cast<uint>(table.indexOf(colour)));
        }
    return picture;
}

const QImage::Format kAlphaLayouts[] = {QImage::Format_ARGB32,   QImage::Format_ARGB32_Premultiplied,
                                        QImage::Format_RGBA8888, QImage::Format_RGBA64,
                                        QImage::Format_Indexed8, QImage::Format_Mono};

class TransparentPicture : public ::testing::TestWithParam<QImage::Format> {};

TEST_P(TransparentPicture, HiddenBlackPixelsDoNotHideTheCode)
{
    QImage picture = InLayout(TransparentQrSample(), GetParam());
    ASSERT_TRUE(picture.hasAlphaChannel());
    const auto text = DecodeBitmap(picture, TBarcodeFormat::QR_CODE);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->toStdString(), "https://lantrix.invalid/hello?from=qr");
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::white));
}

INSTANTIATE_TEST_SUITE_P(Layouts, TransparentPicture, ::testing::ValuesIn(kAlphaLayouts));

struct OverWhiteCase {
    QRgb colour; // not premultiplied
    QRgb shown;
};

void PrintTo(const OverWhiteCase& c, std::ostream* out)
{
    *out << "ARGB " << std::hex << c.colour;
}

class OverWhite : public ::testing::TestWithParam<std::tuple<QImage::Format, OverWhiteCase>> {};

TEST_P(OverWhite, ColourIsCompositedOverWhite)
{
    const auto& [layout, c] = GetParam();
    QImage argb(3, 2, QImage::Format_ARGB32);
    argb.fill(c.colour);
    QImage picture = InLayout(argb, layout);
    DecodeBitmap(picture, TBarcodeFormat::Auto);
    ASSERT_EQ(picture.format(), QImage::Format_BGR888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(picture.pixelColor(x, y), QColor::fromRgb(c.shown)) << x << "," << y;
}

// shown = colour * alpha / 255 + 255 - alpha, for each of red, green and blue
const OverWhiteCase kOverWhite[] = {
    {qRgba(0, 0, 0, 0), qRgb(255, 255, 255)},      {qRgba(255, 0, 0, 128), qRgb(255, 127, 127)},
    {qRgba(10, 200, 30, 51), qRgb(206, 244, 210)}, {qRgba(0, 0, 255, 255), qRgb(0, 0, 255)},
    {qRgba(40, 80, 120, 255), qRgb(40, 80, 120)},
};

INSTANTIATE_TEST_SUITE_P(Colours, OverWhite,
                         ::testing::Combine(::testing::ValuesIn(kAlphaLayouts), ::testing::ValuesIn(kOverWhite)));

TEST(DecodeBitmap, EmptyOrTinyPicturesGiveNothing)
{
    QImage none;
    EXPECT_FALSE(DecodeBitmap(none, TBarcodeFormat::Auto).has_value());
    QImage dot(1, 1, QImage::Format_BGR888);
    dot.fill(Qt::black);
    EXPECT_FALSE(DecodeBitmap(dot, TBarcodeFormat::Auto).has_value());
}

struct GreyCase {
    QRgb colour;
    std::uint8_t grey;
};

class GreyPlane : public ::testing::TestWithParam<GreyCase> {};

TEST_P(GreyPlane, IntegerWeights)
{
    QImage picture(3, 2, QImage::Format_BGR888);
    picture.fill(QColor::fromRgb(GetParam().colour));
    std::uint8_t grey[6];
    MakeGreyPlane(picture, grey);
    for (std::uint8_t g : grey)
        EXPECT_EQ(g, GetParam().grey);
}

// (3482 R + 11721 G + 1181 B) >> 14
INSTANTIATE_TEST_SUITE_P(Colours, GreyPlane,
                         ::testing::Values(GreyCase{qRgb(255, 255, 255), 255}, GreyCase{qRgb(0, 0, 0), 0},
                                           GreyCase{qRgb(255, 0, 0), 54}, GreyCase{qRgb(0, 255, 0), 182},
                                           GreyCase{qRgb(0, 0, 255), 18}, GreyCase{qRgb(128, 128, 128), 128},
                                           GreyCase{qRgb(10, 200, 30), 147}));

TEST(GreyPlane, RowsFromTheTopWithoutRowPadding)
{
    QImage picture(5, 2, QImage::Format_BGR888); // 15 bytes a row, padded to 16
    picture.fill(Qt::white);
    for (int x = 0; x < 5; ++x)
        picture.setPixelColor(x, 1, Qt::black);
    std::uint8_t grey[10];
    MakeGreyPlane(picture, grey);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(grey[x], 255);
        EXPECT_EQ(grey[5 + x], 0);
    }
}

} // namespace

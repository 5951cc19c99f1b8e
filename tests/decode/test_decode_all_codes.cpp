// Every code in a picture (DecodeAllCodes) in reading order, where each one
// lies, and the content of a code as it was encoded (its bytes).
#include "decode/DecodeBitmap.h"
#include "decode/ZXingCompat.h"
#include "support/Samples.h"

#include <QPainter>
#include <QRect>
#include <QTransform>

#include <ZXing/BitMatrix.h>
#include <ZXing/CharacterSet.h>
#include <ZXing/MultiFormatWriter.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kQrText = "https://lantrix.invalid/hello?from=qr";
const std::string kDataMatrixText = "Lantrix Data Matrix 0042";
const std::string kEan13Text = "4006381333931";

// ---- Several codes in one picture ------------------------------------------

struct Placement {
    const char* sample;
    QPoint at; // where its top-left corner is drawn
};

struct ExpectedCode {
    std::string text;
    const char* format;
    const char* sample; // the picture it must lie in
};

struct AllCase {
    const char* name;
    QSize canvas;
    std::vector<Placement> placements;
    TBarcodeFormat format;
    std::vector<ExpectedCode> expected; // in reading order
};

void PrintTo(const AllCase& c, std::ostream* out)
{
    *out << c.name;
}

QImage Compose(const AllCase& c, std::vector<std::pair<const char*, QRect>>& drawn)
{
    QImage canvas(c.canvas, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    for (const Placement& p : c.placements) {
        const QImage sample = LoadSample(p.sample);
        painter.drawImage(p.at, sample);
        drawn.emplace_back(p.sample, QRect(p.at, sample.size()));
    }
    return canvas;
}

class AllCodes : public ::testing::TestWithParam<AllCase> {};

TEST_P(AllCodes, InReadingOrderWithCornersOnTheCode)
{
    const AllCase& c = GetParam();
    std::vector<std::pair<const char*, QRect>> drawn;
    QImage picture = Compose(c, drawn);
    const std::vector<TDecodedCode> codes = DecodeAllCodes(picture, {.format = c.format});
    std::string found;
    for (const TDecodedCode& code : codes)
        found += CodeFormatName(code.format).toStdString() + " ";
    ASSERT_EQ(codes.size(), c.expected.size()) << found;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const ExpectedCode& expected = c.expected[i];
        EXPECT_EQ(codes[i].text.toStdString(), expected.text) << i;
        EXPECT_EQ(CodeFormatName(codes[i].format).toStdString(), expected.format) << i;
        EXPECT_EQ(codes[i].bytes.toStdString(), expected.text) << i; // plain ASCII: the bytes are the text
        // A picture drawn more than once: each find lies on a copy of its own.
        QRect area;
        for (auto& [sample, rect] : drawn)
            if (sample && std::string(sample) == expected.sample && rect.contains(codes[i].position[0])) {
                area = rect;
                sample = nullptr;
                break;
            }
        EXPECT_FALSE(area.isNull()) << i << ": not on an unclaimed copy of " << expected.sample;
        for (const QPoint& corner : codes[i].position) {
            EXPECT_TRUE(picture.rect().contains(corner)) << i << ": " << corner.x() << "," << corner.y();
            EXPECT_TRUE(area.contains(corner)) << i << ": " << corner.x() << "," << corner.y();
        }
        // Four corners, not one point: the code has an extent.
        const QPoint& topLeft = codes[i].position[0];
        const QPoint& bottomRight = codes[i].position[2];
        EXPECT_GT((bottomRight - topLeft).manhattanLength(), 50) << i;
    }
    // One code at a time finds one of them, as before.
    QImage again = Compose(c, drawn);
    const std::optional<TDecodedCode> one = DecodeCode(again, {.format = c.format});
    ASSERT_TRUE(one.has_value());
}

// zxing-cpp 1.4, not trying harder, finds a Data Matrix code only across the
// middle row of the picture, and linear codes only in a band around it; the
// pictures put them there.
INSTANTIATE_TEST_SUITE_P(
    Pictures, AllCodes,
    ::testing::Values(
        // The Data Matrix starts higher than the EAN-13, but lies beside it: one row.
        AllCase{"one_above_two_in_a_row",
                {1400, 1200},
                {{"data_matrix.png", {880, 360}}, {"ean_13.png", {40, 400}}, {"qr_code.png", {300, 20}}},
                TBarcodeFormat::Auto,
                {{kQrText, "QR_CODE", "qr_code.png"},
                 {kEan13Text, "EAN_13", "ean_13.png"},
                 {kDataMatrixText, "DATA_MATRIX", "data_matrix.png"}}},
        AllCase{"three_in_a_row",
                {1800, 1200},
                {{"ean_13.png", {960, 380}}, {"qr_code.png", {620, 420}}, {"data_matrix.png", {40, 360}}},
                TBarcodeFormat::Auto,
                {{kDataMatrixText, "DATA_MATRIX", "data_matrix.png"},
                 {kQrText, "QR_CODE", "qr_code.png"},
                 {kEan13Text, "EAN_13", "ean_13.png"}}},
        // Each lower one further left: the rows decide.
        AllCase{"three_in_a_column",
                {900, 1500},
                {{"ean_8.png", {40, 940}}, {"qr_code.png", {300, 20}}, {"data_matrix.png", {210, 420}}},
                TBarcodeFormat::Auto,
                {{kQrText, "QR_CODE", "qr_code.png"},
                 {kDataMatrixText, "DATA_MATRIX", "data_matrix.png"},
                 {"96385074", "EAN_8", "ean_8.png"}}},
        // A selected format finds only its own codes.
        AllCase{"only_the_selected_format",
                {1400, 1200},
                {{"data_matrix.png", {880, 360}}, {"ean_13.png", {40, 400}}, {"qr_code.png", {300, 20}}},
                TBarcodeFormat::DATA_MATRIX,
                {{kDataMatrixText, "DATA_MATRIX", "data_matrix.png"}}},
        AllCase{"two_linear_codes",
                {1700, 1000},
                {{"code_128.png", {40, 40}}, {"ean_13.png", {40, 520}}},
                TBarcodeFormat::Auto,
                {{"LANTRIX-128-Sample", "CODE_128", "code_128.png"}, {kEan13Text, "EAN_13", "ean_13.png"}}},
        // A sheet of labels repeats a code. zxing-cpp 1.4 ends the program
        // when one request finds the same linear code twice.
        AllCase{"the_same_linear_code_twice",
                {900, 1000},
                {{"ean_13.png", {40, 40}}, {"ean_13.png", {40, 520}}},
                TBarcodeFormat::Auto,
                {{kEan13Text, "EAN_13", "ean_13.png"}, {kEan13Text, "EAN_13", "ean_13.png"}}},
        AllCase{
            "the_same_linear_code_twice_under_its_format",
            {1700, 1000},
            {{"code_128.png", {40, 40}}, {"code_128.png", {40, 520}}},
            TBarcodeFormat::CODE_128,
            {{"LANTRIX-128-Sample", "CODE_128", "code_128.png"}, {"LANTRIX-128-Sample", "CODE_128", "code_128.png"}}},
        AllCase{"a_code_twice_beside_another",
                {1800, 1000},
                {{"ean_8.png", {40, 40}}, {"upc_e.png", {1100, 300}}, {"ean_8.png", {40, 520}}},
                TBarcodeFormat::Auto,
                {{"96385074", "EAN_8", "ean_8.png"},
                 {"04252614", "UPC_E", "upc_e.png"},
                 {"96385074", "EAN_8", "ean_8.png"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AllCodes, NoneInABlankPicture)
{
    QImage blank(640, 480, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_TRUE(DecodeAllCodes(blank, {.format = TBarcodeFormat::Auto}).empty());
    QImage none;
    EXPECT_TRUE(DecodeAllCodes(none, {.format = TBarcodeFormat::Auto}).empty());
}

// ---- One linear code repeated, under every request ----------------------------

struct RepeatCase {
    const char* name;
    TDecodeOptions options;
    int copies;             // of the EAN-13 sample, one under the other
    bool turned = false;    // the sheet a quarter turn round
    bool scratched = false; // a grey line across the first copy's bars
    bool dark = false;      // light bars on a dark ground
};

void PrintTo(const RepeatCase& c, std::ostream* out)
{
    *out << c.name;
}

QImage RepeatSheet(const RepeatCase& c)
{
    const QImage sample = LoadSample("ean_13.png");
    QImage sheet(sample.width() + 80, c.copies * (sample.height() + 80) + 80, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int i = 0; i < c.copies; ++i)
        painter.drawImage(40, 40 + i * (sample.height() + 80), sample);
    if (c.scratched)
        painter.fillRect(0, 40 + sample.height() / 3, sheet.width(), 3, QColor(128, 128, 128));
    painter.end();
    if (c.dark)
        sheet.invertPixels();
    return c.turned ? sheet.transformed(QTransform().rotate(90)) : sheet;
}

class RepeatedCode : public ::testing::TestWithParam<RepeatCase> {};

// zxing-cpp 1.4 ends the program when one request finds the same linear code
// twice; every copy is reported, and each copy once.
TEST_P(RepeatedCode, EveryCopyOnceAndOneCodeAlone)
{
    const RepeatCase& c = GetParam();
    QImage sheet = RepeatSheet(c);
    const std::vector<TDecodedCode> codes = DecodeAllCodes(sheet, c.options);
    ASSERT_EQ(codes.size(), static_cast<std::size_t>(c.copies));
    for (std::size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(codes[i].text.toStdString(), kEan13Text) << i;
        EXPECT_EQ(codes[i].format, TBarcodeFormat::EAN_13) << i;
        if (i > 0) { // each copy found at a place of its own
            EXPECT_NE(codes[i].position[0], codes[i - 1].position[0]) << i;
        }
    }
    QImage again = RepeatSheet(c);
    const std::optional<TDecodedCode> one = DecodeCode(again, c.options);
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->text.toStdString(), kEan13Text);
}

// Not trying harder, zxing-cpp reads linear codes in a band around the
// picture's middle, which two copies fill.
INSTANTIATE_TEST_SUITE_P(
    Sheets, RepeatedCode,
    ::testing::Values(RepeatCase{"two_copies", {}, 2}, RepeatCase{"two_copies_one_scratched", {}, 2, false, true},
                      RepeatCase{"two_copies_every_format", {.everyFormat = true}, 2},
                      RepeatCase{"two_light_copies_on_dark", {.inverted = true}, 2, false, false, true},
                      RepeatCase{"three_copies_trying_harder", {.tryHarder = true}, 3},
                      RepeatCase{"three_copies_turned_trying_harder", {.tryHarder = true}, 3, true},
                      RepeatCase{"three_copies_scratched_trying_harder", {.tryHarder = true}, 3, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Reading order -----------------------------------------------------------

struct Box {
    const char* name;
    QRect rect;
    TBarcodeFormat format = TBarcodeFormat::QR_CODE;
};

struct OrderCase {
    const char* name;
    std::vector<Box> boxes;         // as the library might give them
    std::vector<std::string> order; // the names in reading order
};

void PrintTo(const OrderCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReadingOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ReadingOrder, RowsFromTheTopEachFromTheLeft)
{
    std::vector<TDecodedCode> codes;
    for (const Box& box : GetParam().boxes) {
        TDecodedCode code;
        code.text = QString::fromLatin1(box.name);
        code.format = box.format;
        code.position = {box.rect.topLeft(), box.rect.topRight(), box.rect.bottomRight(), box.rect.bottomLeft()};
        codes.push_back(code);
    }
    // Whatever order they come in, the same order goes out.
    for (int turn = 0; turn < static_cast<int>(codes.size()); ++turn) {
        std::vector<TDecodedCode> shuffled = codes;
        std::rotate(shuffled.begin(), shuffled.begin() + turn, shuffled.end());
        std::reverse(shuffled.begin() + (turn % 2), shuffled.end());
        SortInReadingOrder(shuffled);
        std::vector<std::string> names;
        for (const TDecodedCode& code : shuffled)
            names.push_back(code.text.toStdString());
        EXPECT_EQ(names, GetParam().order) << "turn " << turn;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadingOrder,
    ::testing::Values(OrderCase{"side_by_side_uneven_tops",
                                {{"right", QRect(300, 10, 100, 100)}, {"left", QRect(10, 40, 100, 100)}},
                                {"left", "right"}},
                      OrderCase{"one_below_the_other_further_left",
                                {{"top", QRect(300, 10, 100, 100)}, {"below", QRect(10, 200, 100, 100)}},
                                {"top", "below"}},
                      OrderCase{"small_one_beside_the_lower_half_starts_a_row",
                                {{"big", QRect(200, 0, 200, 200)}, {"small", QRect(10, 120, 40, 40)}},
                                {"big", "small"}},
                      OrderCase{"grid_of_four",
                                {{"d", QRect(220, 230, 90, 90)},
                                 {"a", QRect(10, 10, 100, 100)},
                                 {"c", QRect(15, 215, 100, 100)},
                                 {"b", QRect(200, 0, 100, 100)}},
                                {"a", "b", "c", "d"}},
                      OrderCase{"same_place_reader_order_then_text",
                                {{"qr", QRect(10, 10, 100, 100), TBarcodeFormat::QR_CODE},
                                 {"ean-b", QRect(10, 10, 100, 100), TBarcodeFormat::EAN_13},
                                 {"ean-a", QRect(10, 10, 100, 100), TBarcodeFormat::EAN_13},
                                 {"code128", QRect(10, 10, 100, 100), TBarcodeFormat::CODE_128}},
                                {"code128", "ean-a", "ean-b", "qr"}},
                      OrderCase{"linear_bands",
                                {{"lower", QRect(40, 300, 700, 30)}, {"upper", QRect(40, 60, 700, 30)}},
                                {"upper", "lower"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The content as encoded ---------------------------------------------------

struct BytesCase {
    const char* name;
    QByteArray bytes;             // what the code holds
    ZXing::CharacterSet encoding; // how the writer announces it
    const char* text;             // what the text must be; null: not checked
};

void PrintTo(const BytesCase& c, std::ostream* out)
{
    *out << c.name;
}

// A QR code holding `bytes` (each a character of the writer's input), 5 pixels a module.
QImage QrCodeOfBytes(const QByteArray& bytes, ZXing::CharacterSet encoding)
{
    std::wstring contents;
    if (encoding == ZXing::CharacterSet::UTF8)
        contents = QString::fromUtf8(bytes).toStdWString();
    else
        for (char byte : bytes)
            contents += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    const ZXing::BitMatrix bits = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                      .setEncoding(encoding)
                                      .setMargin(4)
                                      .encode(contents, 0, 0);
    constexpr int kModule = 5;
    QImage picture(bits.width() * kModule, bits.height() * kModule, QImage::Format_Grayscale8);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.scanLine(y)[x] = bits.get(x / kModule, y / kModule) ? 0 : 255;
    return picture;
}

class CodeBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(CodeBytes, AsEncodedByteForByte)
{
    const BytesCase& c = GetParam();
    const QImage code = QrCodeOfBytes(c.bytes, c.encoding);
    QImage picture = code;
    const std::optional<TDecodedCode> one = DecodeCode(picture, {.format = TBarcodeFormat::QR_CODE});
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->bytes.toHex().toStdString(), c.bytes.toHex().toStdString());
    if (c.text) {
        EXPECT_EQ(one->text, QString::fromUtf8(c.text));
    }
    picture = code;
    const std::vector<TDecodedCode> all = DecodeAllCodes(picture, {.format = TBarcodeFormat::Auto});
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all.front().bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, CodeBytes,
                         ::testing::Values(BytesCase{"not_utf8",
                                                     QByteArray("\x00\x80\xff\xc3\x28"
                                                                "A\xfe\n\xe9\x01",
                                                                10),
                                                     ZXingCompat::kWriterRawBytes, nullptr},
                                           BytesCase{"latin1_announced", QByteArray("caf\xe9 cr\xe8me"),
                                                     ZXing::CharacterSet::ISO8859_1, "caf\u00e9 cr\u00e8me"},
                                           BytesCase{"utf8_announced",
                                                     QByteArray("\xc3\xbcnic\xc3\xb6"
                                                                "de \xe2\x82\xac"),
                                                     ZXing::CharacterSet::UTF8, "\u00fcnic\u00f6de \u20ac"},
                                           BytesCase{"ascii", QByteArray("hello, world"), ZXing::CharacterSet::Unknown,
                                                     "hello, world"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

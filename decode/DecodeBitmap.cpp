#include "decode/DecodeBitmap.h"

#include <ZXing/DecodeHints.h>
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using ZXing::BarcodeFormat;

// A reader, with the program's format value of what it reads.
struct TReader {
    TBarcodeFormat format;
    BarcodeFormat zxing;
};

// The ten readers, in the order in which Auto consults them: the linear
// readers first, then QR Code and Data Matrix.
constexpr TReader kDefaultOrder[] = {
    {TBarcodeFormat::CODE_128, BarcodeFormat::Code128}, {TBarcodeFormat::UPC_A, BarcodeFormat::UPCA},
    {TBarcodeFormat::UPC_E, BarcodeFormat::UPCE},       {TBarcodeFormat::EAN_13, BarcodeFormat::EAN13},
    {TBarcodeFormat::EAN_8, BarcodeFormat::EAN8},       {TBarcodeFormat::CODE_93, BarcodeFormat::Code93},
    {TBarcodeFormat::ITF, BarcodeFormat::ITF},          {TBarcodeFormat::CODE_39, BarcodeFormat::Code39},
    {TBarcodeFormat::QR_CODE, BarcodeFormat::QRCode},   {TBarcodeFormat::DATA_MATRIX, BarcodeFormat::DataMatrix},
};

// The readers that join the ten when every format is read, consulted after
// them in this order. Micro QR has no menu entry: it is read under Auto.
constexpr TReader kEveryFormatOrder[] = {
    {TBarcodeFormat::CODABAR, BarcodeFormat::Codabar},
    {TBarcodeFormat::RSS_14, BarcodeFormat::DataBar},
    {TBarcodeFormat::RSS_EXPANDED, BarcodeFormat::DataBarExpanded},
    {TBarcodeFormat::PDF_417, BarcodeFormat::PDF417},
    {TBarcodeFormat::AZTEC, BarcodeFormat::Aztec},
    {TBarcodeFormat::MAXICODE, BarcodeFormat::MaxiCode},
    {TBarcodeFormat::MICRO_QR, BarcodeFormat::MicroQRCode},
};

// Every reader, the ten first; a reader's rank is its place here.
constexpr auto kAllReaders = [] {
    std::array<TReader, std::size(kDefaultOrder) + std::size(kEveryFormatOrder)> all{};
    std::size_t i = 0;
    for (const TReader& r : kDefaultOrder)
        all[i++] = r;
    for (const TReader& r : kEveryFormatOrder)
        all[i++] = r;
    return all;
}();

bool IsLinear(BarcodeFormat format)
{
    return ZXing::BarcodeFormats(BarcodeFormat::LinearCodes).testFlag(format);
}

// The hints of one pass of the readers of `formats`. The linear readers look
// along the picture's middle rows, or, trying harder, along its rows and
// columns everywhere; trying harder, the matrix readers also look at a smaller
// copy of a large picture. (zxing-cpp 1.4 compares the linear codes it finds
// in a smaller copy with those of the picture by a check that ends the
// program, so the linear readers never look at one.) The Data Matrix reader looks from the
// middle towards each of the four sides, so that it finds a code at any
// quarter turn: a Data Matrix code has no upright (the other matrix readers
// find their codes at any turn anyway). Every format read, the EAN and UPC
// readers read the add-on digits of a code that has them.
ZXing::DecodeHints MakeHints(ZXing::BarcodeFormats formats, int maxSymbols, const TDecodeOptions& options)
{
    const bool linear = formats.testFlags(BarcodeFormat::LinearCodes);
    ZXing::DecodeHints hints;
    hints.setFormats(formats)
        .setTryHarder(options.tryHarder)
        .setTryRotate(options.tryHarder || !linear)
        .setTryDownscale(options.tryHarder && !linear)
        .setEanAddOnSymbol(options.everyFormat ? ZXing::EanAddOnSymbol::Read : ZXing::EanAddOnSymbol::Ignore)
        .setIsPure(false)
        .setBinarizer(ZXing::Binarizer::LocalAverage)
        .setTryCode39ExtendedMode(false)
        .setValidateCode39CheckSum(false)
        .setValidateITFCheckSum(false)
        .setReturnErrors(false)
        .setMaxNumberOfSymbols(static_cast<std::uint8_t>(maxSymbols));
    return hints;
}

int Rank(BarcodeFormat format)
{
    const auto it =
        std::find_if(kAllReaders.begin(), kAllReaders.end(), [format](const TReader& r) { return r.zxing == format; });
    return static_cast<int>(it - kAllReaders.begin());
}

// The same rank for the program's format value.
int RankOf(TBarcodeFormat format)
{
    const auto it =
        std::find_if(kAllReaders.begin(), kAllReaders.end(), [format](const TReader& r) { return r.format == format; });
    return static_cast<int>(it - kAllReaders.begin());
}

// The program's value of a format one of the readers reads.
TBarcodeFormat ProgramFormat(BarcodeFormat format)
{
    const int rank = Rank(format);
    return rank < static_cast<int>(kAllReaders.size()) ? kAllReaders[rank].format : TBarcodeFormat::Auto;
}

// One row of blue-green-red pixels to grey. Written so that the compiler
// vectorises it; the AVX2 variant is chosen at run time where the processor has it.
// The choice is made while the program is being loaded, before
// ThreadSanitizer's run-time is ready to watch it, so a thread-sanitized
// build has the default variant only.
#if defined(__SANITIZE_THREAD__)
#define LANTRIX_GREY_ROW_VARIANTS
#else
#define LANTRIX_GREY_ROW_VARIANTS __attribute__((target_clones("avx2", "default")))
#endif
LANTRIX_GREY_ROW_VARIANTS void GreyRow(const std::uint8_t* __restrict bgr, std::uint8_t* __restrict grey, int width)
{
    for (int x = 0; x < width; ++x)
        grey[x] =
            static_cast<std::uint8_t>((3482u * bgr[3 * x + 2] + 11721u * bgr[3 * x + 1] + 1181u * bgr[3 * x]) >> 14);
}

// A pixel (premultiplied) drawn over white: colour + (255 - alpha) for each
// component. An opaque pixel stays as it is.
inline void OverWhite(QRgb premultiplied, std::uint8_t* bgr)
{
    const unsigned rest = 255u - qAlpha(premultiplied);
    bgr[0] = static_cast<std::uint8_t>(std::min(255u, qBlue(premultiplied) + rest));
    bgr[1] = static_cast<std::uint8_t>(std::min(255u, qGreen(premultiplied) + rest));
    bgr[2] = static_cast<std::uint8_t>(std::min(255u, qRed(premultiplied) + rest));
}

// A picture with an alpha channel goes to 24 bits as it is shown, over white:
// what its transparent pixels hide (often black) must not hide the code.
QImage CompositeOverWhite(const QImage& bitmap)
{
    const QImage premultiplied = bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage converted(bitmap.size(), QImage::Format_BGR888);
    if (premultiplied.isNull() || converted.isNull())
        return QImage();
    for (int y = 0; y < bitmap.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
        std::uint8_t* out = converted.scanLine(y);
        for (int x = 0; x < bitmap.width(); ++x)
            OverWhite(in[x], out + 3 * x);
    }
    return converted;
}

// Palette pictures (the usual form of scanned and generated code pictures)
// go to 24 bits through their colour table in one pass, entries with alpha
// drawn over white; Qt's own conversion takes a detour through 32 bits for them.
QImage ConvertPalette(const QImage& bitmap)
{
    const QImage::Format format = bitmap.format();
    const bool mono = format != QImage::Format_Indexed8;
    const QList<QRgb> table = bitmap.colorTable();
    std::uint8_t bgr[256][3] = {};
    for (qsizetype i = 0; i < std::min<qsizetype>(table.size(), 256); ++i)
        OverWhite(qPremultiply(table[i]), bgr[i]);
    QImage converted(bitmap.size(), QImage::Format_BGR888);
    if (converted.isNull())
        return QImage();
    // A 1-bit picture goes a byte (eight pixels) at a time.
    std::vector<std::array<std::uint8_t, 24>> eightPixels;
    if (mono) {
        eightPixels.resize(256);
        for (int value = 0; value < 256; ++value)
            for (int pixel = 0; pixel < 8; ++pixel) {
                const int bit = format == QImage::Format_Mono ? 7 - pixel : pixel;
                std::memcpy(&eightPixels[value][3 * pixel], bgr[(value >> bit) & 1], 3);
            }
    }
    const int width = bitmap.width();
    const int height = bitmap.height();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = bitmap.constScanLine(y);
        std::uint8_t* out = converted.scanLine(y);
        if (!mono) {
            for (int x = 0; x < width; ++x)
                std::memcpy(out + 3 * x, bgr[in[x]], 3);
            continue;
        }
        const int wholeBytes = width / 8;
        for (int i = 0; i < wholeBytes; ++i)
            std::memcpy(out + 24 * i, eightPixels[in[i]].data(), 24);
        if (const int rest = width % 8)
            std::memcpy(out + 24 * wholeBytes, eightPixels[in[wholeBytes]].data(), 3 * rest);
    }
    return converted;
}

// Palette pictures and pictures with an alpha channel are converted here;
// other layouts are Qt's business.
void ConvertTo24Bits(QImage& bitmap)
{
    const QImage::Format format = bitmap.format();
    const bool palette =
        format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8;
    if (!palette && !bitmap.hasAlphaChannel()) {
        bitmap.convertTo(QImage::Format_BGR888);
        return;
    }
    QImage converted = palette ? ConvertPalette(bitmap) : CompositeOverWhite(bitmap);
    converted.setDotsPerMeterX(bitmap.dotsPerMeterX());
    converted.setDotsPerMeterY(bitmap.dotsPerMeterY());
    bitmap = std::move(converted);
}

// The 8-bit grey plane of a picture, which the readers read.
class TGreyPicture {
public:
    // Converts `bitmap` to 24 bits in place when it has another layout, and
    // makes its grey plane; nothing for an empty picture.
    static std::optional<TGreyPicture> Of(QImage& bitmap)
    {
        if (bitmap.format() != QImage::Format_BGR888)
            ConvertTo24Bits(bitmap);
        if (bitmap.isNull() || bitmap.width() <= 0 || bitmap.height() <= 0)
            return std::nullopt;
        TGreyPicture grey(bitmap.width(), bitmap.height());
        MakeGreyPlane(bitmap, grey.fPixels.get());
        return grey;
    }

    ZXing::ImageView View() const { return ZXing::ImageView(fPixels.get(), fWidth, fHeight, ZXing::ImageFormat::Lum); }

    // Light becomes dark and dark light: grey = 255 - grey.
    void Invert()
    {
        std::uint8_t* pixels = fPixels.get();
        const std::size_t size = static_cast<std::size_t>(fWidth) * fHeight;
        for (std::size_t i = 0; i < size; ++i)
            pixels[i] = static_cast<std::uint8_t>(255 - pixels[i]);
    }

private:
    TGreyPicture(int width, int height)
        : fPixels(std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(width) * height))
        , fWidth(width)
        , fHeight(height)
    {
    }

    std::unique_ptr<std::uint8_t[]> fPixels;
    int fWidth;
    int fHeight;
};

// The readers a decode uses, as zxing-cpp's formats: the selected one when the
// decoder has it, else all ten (and those that join them when every format is
// read); the linear ones apart from the matrix ones, and the DataBar readers
// apart from the other linear ones.
//
// zxing-cpp 1.4's DataBar readers can find the same code twice in one pass,
// and comparing the two ends the program (an assertion of the library), so
// they look for one code at a time in a pass of their own.
struct TReaderSet {
    explicit TReaderSet(const TDecodeOptions& options)
    {
        const TBarcodeFormat format = options.format;
        const bool restricted = format != TBarcodeFormat::Auto && HasReader(format, options.everyFormat);
        const auto add = [&](const TReader& r) {
            if (restricted && r.format != format)
                return;
            if (r.zxing == BarcodeFormat::DataBar || r.zxing == BarcodeFormat::DataBarExpanded)
                dataBar |= r.zxing;
            else
                (IsLinear(r.zxing) ? linear : matrix) |= r.zxing;
        };
        for (const TReader& r : kDefaultOrder)
            add(r);
        if (options.everyFormat)
            for (const TReader& r : kEveryFormatOrder)
                add(r);
    }

    ZXing::BarcodeFormats linear, dataBar, matrix;
};

TDecodedCode ToDecodedCode(const ZXing::Result& result)
{
    TDecodedCode code;
    code.text = QString::fromStdString(result.text());
    code.format = ProgramFormat(result.format());
    const ZXing::ByteArray& bytes = result.bytes();
    code.bytes = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    const ZXing::Position& position = result.position();
    for (std::size_t i = 0; i < code.position.size(); ++i)
        code.position[i] = QPoint(position[i].x, position[i].y);
    return code;
}

// One pass of the readers over a grey plane: the first code in the readers' order.
//
// zxing-cpp reads several formats in one pass; the linear pass collects every
// linear code so that the reader order above decides between them, and the
// matrix pass (QR Code before Data Matrix) only runs when no linear code was found.
//
// Asked for UPC-A alone, zxing-cpp still answers EAN-13 codes; only the
// formats asked for count. The bars of a UPC-A code are those of an EAN-13
// code whose first digit is 0, and zxing-cpp answers such a code as UPC-A
// (12 digits) when UPC-A is asked for and as EAN-13 (13 digits) when only
// EAN-13 is: either reader finds it, each in its own form, while an EAN-13
// code with another first digit is no UPC-A code.
std::optional<TDecodedCode> ReadOneCode(const ZXing::ImageView& view, const TReaderSet& readers,
                                        const TDecodeOptions& options)
{
    const ZXing::BarcodeFormats& linear = readers.linear;
    const ZXing::BarcodeFormats& dataBar = readers.dataBar;
    const ZXing::BarcodeFormats& matrix = readers.matrix;
    if (!linear.empty()) {
        ZXing::Results results = ZXing::ReadBarcodes(view, MakeHints(linear, 255, options));
        std::erase_if(results, [&linear](const ZXing::Result& r) { return !linear.testFlag(r.format()); });
        const auto best = std::min_element(results.begin(), results.end(), [](const auto& a, const auto& b) {
            return Rank(a.format()) < Rank(b.format());
        });
        if (best != results.end())
            return ToDecodedCode(*best);
    }
    if (!dataBar.empty()) {
        const ZXing::Result result = ZXing::ReadBarcode(view, MakeHints(dataBar, 1, options));
        if (result.isValid() && dataBar.testFlag(result.format()))
            return ToDecodedCode(result);
    }
    if (!matrix.empty()) {
        const ZXing::Result result = ZXing::ReadBarcode(view, MakeHints(matrix, 1, options));
        if (result.isValid() && matrix.testFlag(result.format()))
            return ToDecodedCode(result);
    }
    return std::nullopt;
}

// One pass of the readers over a grey plane, the linear readers, the DataBar
// readers (one code) and the matrix readers, each with their own hints: every
// code they find.
std::vector<TDecodedCode> ReadAllCodes(const ZXing::ImageView& view, const TReaderSet& readers,
                                       const TDecodeOptions& options)
{
    std::vector<TDecodedCode> codes;
    const struct {
        ZXing::BarcodeFormats formats;
        int maxSymbols;
    } passes[] = {{readers.linear, 255}, {readers.dataBar, 1}, {readers.matrix, 255}};
    for (const auto& [formats, maxSymbols] : passes) {
        if (formats.empty())
            continue;
        for (const ZXing::Result& result : ZXing::ReadBarcodes(view, MakeHints(formats, maxSymbols, options)))
            if (result.isValid() && formats.testFlag(result.format()))
                codes.push_back(ToDecodedCode(result));
    }
    return codes;
}

} // namespace

void MakeGreyPlane(const QImage& bitmap24, std::uint8_t* grey)
{
    const int width = bitmap24.width();
    for (int y = 0; y < bitmap24.height(); ++y)
        GreyRow(bitmap24.constScanLine(y), grey + static_cast<std::size_t>(y) * width, width);
}

bool HasReader(TBarcodeFormat format, bool everyFormat)
{
    const auto reads = [format](const TReader& r) { return r.format == format; };
    return format == TBarcodeFormat::Auto || std::any_of(std::begin(kDefaultOrder), std::end(kDefaultOrder), reads)
           || (everyFormat && std::any_of(std::begin(kEveryFormatOrder), std::end(kEveryFormatOrder), reads));
}

std::optional<QString> DecodeBitmap(QImage& bitmap, const TDecodeOptions& options)
{
    std::optional<TDecodedCode> code = DecodeCode(bitmap, options);
    if (!code)
        return std::nullopt;
    return std::move(code->text);
}

std::optional<QString> DecodeBitmap(QImage& bitmap, TBarcodeFormat format)
{
    return DecodeBitmap(bitmap, TDecodeOptions{.format = format});
}

std::optional<TDecodedCode> DecodeCode(QImage& bitmap, const TDecodeOptions& options)
{
    std::optional<TGreyPicture> grey = TGreyPicture::Of(bitmap);
    if (!grey)
        return std::nullopt;
    const TReaderSet readers(options);
    if (std::optional<TDecodedCode> code = ReadOneCode(grey->View(), readers, options); code || !options.inverted)
        return code;
    grey->Invert();
    return ReadOneCode(grey->View(), readers, options);
}

std::vector<TDecodedCode> DecodeAllCodes(QImage& bitmap, const TDecodeOptions& options)
{
    std::optional<TGreyPicture> grey = TGreyPicture::Of(bitmap);
    if (!grey)
        return {};
    const TReaderSet readers(options);
    std::vector<TDecodedCode> codes = ReadAllCodes(grey->View(), readers, options);
    if (codes.empty() && options.inverted) {
        grey->Invert();
        codes = ReadAllCodes(grey->View(), readers, options);
    }
    SortInReadingOrder(codes);
    return codes;
}

void SortInReadingOrder(std::vector<TDecodedCode>& codes)
{
    struct TPlaced {
        TDecodedCode* code;
        int top, bottom, left, rank;
    };
    std::vector<TPlaced> placed;
    placed.reserve(codes.size());
    for (TDecodedCode& code : codes) {
        TPlaced p{&code, INT_MAX, INT_MIN, INT_MAX, RankOf(code.format)};
        for (const QPoint& corner : code.position) {
            p.top = std::min(p.top, corner.y());
            p.bottom = std::max(p.bottom, corner.y());
            p.left = std::min(p.left, corner.x());
        }
        placed.push_back(p);
    }
    const auto tieBreak = [](const TPlaced& a, const TPlaced& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.code->text < b.code->text;
    };
    std::sort(placed.begin(), placed.end(), [&](const TPlaced& a, const TPlaced& b) {
        if (a.top != b.top)
            return a.top < b.top;
        if (a.left != b.left)
            return a.left < b.left;
        return tieBreak(a, b);
    });
    for (auto row = placed.begin(); row != placed.end();) {
        // Half a code's height decides whether the next one lies beside it.
        const int middle = row->top + (row->bottom - row->top) / 2;
        const auto end = std::find_if(row + 1, placed.end(), [middle](const TPlaced& p) { return p.top > middle; });
        std::sort(row, end, [&](const TPlaced& a, const TPlaced& b) {
            if (a.left != b.left)
                return a.left < b.left;
            if (a.top != b.top)
                return a.top < b.top;
            return tieBreak(a, b);
        });
        row = end;
    }
    std::vector<TDecodedCode> sorted;
    sorted.reserve(codes.size());
    for (const TPlaced& p : placed)
        sorted.push_back(std::move(*p.code));
    codes = std::move(sorted);
}

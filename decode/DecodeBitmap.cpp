#include "decode/DecodeBitmap.h"

#include "decode/ZXingCompat.h"

#include <QRect>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
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
#if LANTRIX_ZXING_READS_DATABAR_LIMITED
    {TBarcodeFormat::RSS_LIMITED, BarcodeFormat::DataBarLimited},
#endif
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

// The options of one pass of the readers of `formats`. The linear readers
// look along the picture's middle rows, or, trying harder, along its rows and
// columns everywhere; trying harder, the readers also look at a smaller copy
// of a large picture (the linear ones only where the library allows it, see
// kLinearReadersDownscale). Asked to read inverted codes, the matrix readers
// try the inverted picture themselves where the library can. The Data Matrix reader looks from the middle
// towards each of the four sides, so that it finds a code at any quarter turn:
// a Data Matrix code has no upright (the other matrix readers find their codes
// at any turn anyway). Every format read, the EAN and UPC readers read the
// add-on digits of a code that has them.
ZXingCompat::TReaderOptions MakeHints(ZXing::BarcodeFormats formats, int maxSymbols, const TDecodeOptions& options)
{
    const bool linear = formats.testFlags(BarcodeFormat::LinearCodes);
    ZXingCompat::TReaderOptions hints;
    hints.setFormats(formats)
        .setTryHarder(options.tryHarder)
        .setTryRotate(options.tryHarder || !linear)
        .setTryDownscale(options.tryHarder && (!linear || ZXingCompat::kLinearReadersDownscale))
        .setEanAddOnSymbol(options.everyFormat ? ZXing::EanAddOnSymbol::Read : ZXing::EanAddOnSymbol::Ignore)
        .setIsPure(false)
        .setBinarizer(ZXing::Binarizer::LocalAverage)
        .setTryCode39ExtendedMode(false)
        .setReturnErrors(false)
        .setMaxNumberOfSymbols(static_cast<std::uint8_t>(maxSymbols));
    ZXingCompat::SetReleaseOptions(hints, options.inverted && !linear && ZXingCompat::kMatrixReadersTryInverted);
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

    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    std::uint8_t* Row(int y) { return fPixels.get() + static_cast<std::size_t>(y) * fWidth; }

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
// they look for one code at a time (see TLinearSearch), in passes of their own.
struct TReaderSet {
    explicit TReaderSet(const TDecodeOptions& options)
    {
        const TBarcodeFormat format = options.format;
        const bool restricted = format != TBarcodeFormat::Auto && HasReader(format, options.everyFormat);
        const auto add = [&](const TReader& r) {
            if (restricted && r.format != format)
                return;
            if (r.format == TBarcodeFormat::RSS_14 || r.format == TBarcodeFormat::RSS_EXPANDED
                || r.format == TBarcodeFormat::RSS_LIMITED)
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

    // The readers that read the inverted grey plane when a decode finds
    // nothing: those that do not try the inverted picture themselves.
    TReaderSet ForInvertedPlane() const
    {
        TReaderSet inverted = *this;
        if (ZXingCompat::kMatrixReadersTryInverted)
            inverted.matrix = {};
        return inverted;
    }

    ZXing::BarcodeFormats linear, dataBar, matrix;
};

TDecodedCode ToDecodedCode(const ZXing::Result& result)
{
    TDecodedCode code;
    code.text = QString::fromStdString(ZXingCompat::TextOf(result));
    code.format = ProgramFormat(result.format());
    const std::string bytes = ZXingCompat::BytesOf(result);
    code.bytes = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const ZXing::Position& position = result.position();
    for (std::size_t i = 0; i < code.position.size(); ++i)
        code.position[i] = QPoint(position[i].x, position[i].y);
    return code;
}

// The formats of `formats` that come before `format` in the readers' order.
ZXing::BarcodeFormats RankedBefore(ZXing::BarcodeFormats formats, BarcodeFormat format)
{
    ZXing::BarcodeFormats before;
    for (int rank = 0; rank < Rank(format) && rank < static_cast<int>(kAllReaders.size()); ++rank)
        if (formats.testFlag(kAllReaders[rank].zxing))
            before |= kAllReaders[rank].zxing;
    return before;
}

// True when two lines of a picture, `along` pixels long and `step` bytes
// from one pixel to the next, show the same thing: nearly every pixel of one
// is close to its neighbour on the other, as the lines across a code's bars are.
bool SameLine(const std::uint8_t* a, const std::uint8_t* b, int along, std::ptrdiff_t step)
{
    int close = 0;
    for (int i = 0; i < along; ++i)
        close += std::abs(int(a[i * step]) - int(b[i * step])) <= 40;
    return close * 100 >= along * 85;
}

// A sheet of labels repeats a code, and one request finds its copies badly:
// the readers of linear codes in zxing-cpp 1.4 end the program (an assertion
// in Result::operator==) when one request finds the same code twice, and
// zxing-cpp 2 answers the copies of a code as one code. So each request asks
// for one linear code, and the search for the next one goes on with the codes
// found so far painted white on the grey plane; the search puts back what it
// painted when it ends. (A copy of the plane to paint on would cost more than the readers:
// 30 ms for a 12-megapixel photo.)
class TLinearSearch {
public:
    // Requests of one search at most: each paints a code white, so a picture
    // would need as many codes to use them all.
    static constexpr int kMaxRequests = 256;

    TLinearSearch(TGreyPicture& grey, const TDecodeOptions& options)
        : fGrey(grey)
        , fOptions(options)
    {
    }

    ~TLinearSearch()
    {
        // Last painted first: areas may overlap.
        for (auto patch = fUnder.rbegin(); patch != fUnder.rend(); ++patch) {
            const std::uint8_t* from = patch->pixels.data();
            for (int y = patch->area.top(); y <= patch->area.bottom(); ++y, from += patch->area.width())
                std::memcpy(fGrey.Row(y) + patch->area.left(), from, static_cast<std::size_t>(patch->area.width()));
        }
    }

    TLinearSearch(const TLinearSearch&) = delete;
    TLinearSearch& operator=(const TLinearSearch&) = delete;

    // A code the readers of `formats` find where nothing is painted yet; it
    // may be of a format not asked for (asked for UPC-A, zxing-cpp answers
    // EAN-13 codes too). Nothing when there is none, or no request is left.
    std::optional<ZXing::Result> Find(ZXing::BarcodeFormats formats)
    {
        if (fRequests == kMaxRequests)
            return std::nullopt;
        ++fRequests;
        ZXing::Result result = ZXing::ReadBarcode(fGrey.View(), MakeHints(formats, 1, fOptions));
        if (!result.isValid())
            return std::nullopt;
        if (ZXingCompat::kAddOnNeedsItsOwnRequest && fOptions.everyFormat)
            return WithAddOn(std::move(result));
        return result;
    }

    // Paints the code white: the band of lines that read it, a little longer,
    // and widened across its bars for as long as each line repeats the one
    // before it. Answers the area painted.
    QRect Paint(const ZXing::Result& code)
    {
        TGreyPicture& plane = fGrey;
        const ZXing::Position& corners = code.position();
        int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
        for (const ZXing::PointI& corner : corners) {
            left = std::min(left, corner.x);
            right = std::max(right, corner.x);
            top = std::min(top, corner.y);
            bottom = std::max(bottom, corner.y);
        }
        const ZXing::PointI direction = corners.topRight() - corners.topLeft();
        const bool across = std::abs(direction.x) >= std::abs(direction.y); // lines run across the picture
        // A little longer than the lines that read it, not wider: its
        // lines lie on the bars, and their ends show where the bars end.
        const int margin = std::max(2, ((across ? right - left : bottom - top) + 1) / 50);
        QRect box = QRect(QPoint(left, top), QPoint(right, bottom));
        box = across ? box.adjusted(-margin, 0, margin, 0) : box.adjusted(0, -margin, 0, margin);
        box &= QRect(0, 0, plane.Width(), plane.Height());
        if (box.isEmpty()) {
            // Not painted, the code would be found again: the search ends.
            fRequests = kMaxRequests;
            return box;
        }
        const std::uint8_t* origin = plane.Row(0);
        if (across) {
            const auto line = [&](int y) {
                return origin + static_cast<std::ptrdiff_t>(y) * plane.Width() + box.left();
            };
            while (box.top() > 0 && SameLine(line(box.top() - 1), line(box.top()), box.width(), 1))
                box.setTop(box.top() - 1);
            while (box.bottom() < plane.Height() - 1
                   && SameLine(line(box.bottom() + 1), line(box.bottom()), box.width(), 1))
                box.setBottom(box.bottom() + 1);
        } else {
            const std::ptrdiff_t step = plane.Width();
            const auto line = [&](int x) { return origin + static_cast<std::ptrdiff_t>(box.top()) * step + x; };
            while (box.left() > 0 && SameLine(line(box.left() - 1), line(box.left()), box.height(), step))
                box.setLeft(box.left() - 1);
            while (box.right() < plane.Width() - 1
                   && SameLine(line(box.right() + 1), line(box.right()), box.height(), step))
                box.setRight(box.right() + 1);
        }
        TPatch& under = fUnder.emplace_back(TPatch{box, {}});
        under.pixels.resize(static_cast<std::size_t>(box.width()) * box.height());
        std::uint8_t* to = under.pixels.data();
        for (int y = box.top(); y <= box.bottom(); ++y, to += box.width()) {
            std::memcpy(to, plane.Row(y) + box.left(), static_cast<std::size_t>(box.width()));
            std::memset(plane.Row(y) + box.left(), 255, static_cast<std::size_t>(box.width()));
        }
        return box;
    }

private:
    // An EAN or UPC code read without add-on digits, read again with them
    // when it has them: the same digits, then a space and the add-on's.
    ZXing::Result WithAddOn(ZXing::Result code)
    {
        constexpr ZXing::BarcodeFormats kWithAddOns =
            BarcodeFormat::EAN13 | BarcodeFormat::EAN8 | BarcodeFormat::UPCA | BarcodeFormat::UPCE;
        const std::string text = ZXingCompat::TextOf(code);
        if (!kWithAddOns.testFlag(code.format()) || text.find(' ') != std::string::npos)
            return code;
        ZXingCompat::TReaderOptions hints = MakeHints(code.format(), 1, fOptions);
        hints.setEanAddOnSymbol(ZXing::EanAddOnSymbol::Require);
        ZXing::Result withAddOn = ZXing::ReadBarcode(fGrey.View(), hints);
        if (withAddOn.isValid() && withAddOn.format() == code.format()
            && ZXingCompat::TextOf(withAddOn).starts_with(text + ' '))
            return withAddOn;
        return code;
    }

    // The pixels an area held before it was painted.
    struct TPatch {
        QRect area;
        std::vector<std::uint8_t> pixels;
    };

    TGreyPicture& fGrey;
    const TDecodeOptions& fOptions;
    std::vector<TPatch> fUnder;
    int fRequests = 0;
};

// The first code in the readers' order on a grey plane.
//
// The linear readers come first: a linear code found, the search goes on for
// one of a format before it in the readers' order, until none is left. The
// matrix readers (QR Code before Data Matrix) only run when no linear code
// was found.
//
// Asked for UPC-A alone, zxing-cpp still answers EAN-13 codes; only the
// formats asked for count. The bars of a UPC-A code are those of an EAN-13
// code whose first digit is 0, and zxing-cpp answers such a code as UPC-A
// (12 digits) when UPC-A is asked for and as EAN-13 (13 digits) when only
// EAN-13 is: either reader finds it, each in its own form, while an EAN-13
// code with another first digit is no UPC-A code.
// The linear code of `formats` first in the readers' order.
std::optional<ZXing::Result> FirstLinearCode(TGreyPicture& grey, ZXing::BarcodeFormats formats,
                                             const TDecodeOptions& options)
{
    TLinearSearch search(grey, options);
    ZXing::BarcodeFormats wanted = formats;
    std::optional<ZXing::Result> best;
    while (!wanted.empty()) {
        std::optional<ZXing::Result> found = search.Find(wanted);
        if (!found)
            break;
        if (wanted.testFlag(found->format())) {
            wanted = RankedBefore(wanted, found->format());
            best = found;
        }
        if (!wanted.empty())
            search.Paint(*found);
    }
    return best;
}

std::optional<TDecodedCode> ReadOneCode(TGreyPicture& grey, const TReaderSet& readers, const TDecodeOptions& options)
{
    const ZXing::BarcodeFormats& dataBar = readers.dataBar;
    const ZXing::BarcodeFormats& matrix = readers.matrix;
    if (!readers.linear.empty()) {
        if (const std::optional<ZXing::Result> best = FirstLinearCode(grey, readers.linear, options))
            return ToDecodedCode(*best);
    }
    const ZXing::ImageView view = grey.View();
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

// Every linear code of `formats` on a grey plane, each once: painting a code
// white stops where a line differs from the one before it, as a scratch
// across the bars makes it, and the rest of the code read again beyond such a
// line is the same code, while another copy of it lies further away (a label
// has its digits or a margin between its bars and the next label's).
std::vector<TDecodedCode> ReadLinearCodes(TGreyPicture& grey, ZXing::BarcodeFormats formats,
                                          const TDecodeOptions& options)
{
    struct TFound {
        ZXing::Result result;
        QRect painted;
    };
    std::vector<TFound> found;
    TLinearSearch search(grey, options);
    while (std::optional<ZXing::Result> result = search.Find(formats)) {
        const QRect painted = search.Paint(*result);
        if (!formats.testFlag(result->format()))
            continue;
        const int gap = std::max(3, std::max(painted.width(), painted.height()) / 50);
        const QRect near = painted.adjusted(-gap, -gap, gap, gap);
        const auto same = std::find_if(found.begin(), found.end(), [&](const TFound& f) {
            return f.result.format() == result->format() && f.result.bytes() == result->bytes()
                   && f.painted.intersects(near);
        });
        if (same != found.end())
            same->painted |= painted;
        else
            found.push_back({*std::move(result), painted});
    }
    std::vector<TDecodedCode> codes;
    codes.reserve(found.size());
    for (const TFound& f : found)
        codes.push_back(ToDecodedCode(f.result));
    return codes;
}

// Every code on a grey plane that the linear readers, the DataBar readers and
// the matrix readers find, each with their own hints.
std::vector<TDecodedCode> ReadAllCodes(TGreyPicture& grey, const TReaderSet& readers, const TDecodeOptions& options)
{
    std::vector<TDecodedCode> codes;
    for (const ZXing::BarcodeFormats& formats : {readers.linear, readers.dataBar})
        if (!formats.empty())
            for (TDecodedCode& code : ReadLinearCodes(grey, formats, options))
                codes.push_back(std::move(code));
    if (!readers.matrix.empty())
        for (const ZXing::Result& result : ZXing::ReadBarcodes(grey.View(), MakeHints(readers.matrix, 255, options)))
            if (result.isValid() && readers.matrix.testFlag(result.format()))
                codes.push_back(ToDecodedCode(result));
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
    if (std::optional<TDecodedCode> code = ReadOneCode(*grey, readers, options); code || !options.inverted)
        return code;
    grey->Invert();
    return ReadOneCode(*grey, readers.ForInvertedPlane(), options);
}

std::vector<TDecodedCode> DecodeAllCodes(QImage& bitmap, const TDecodeOptions& options)
{
    std::optional<TGreyPicture> grey = TGreyPicture::Of(bitmap);
    if (!grey)
        return {};
    const TReaderSet readers(options);
    std::vector<TDecodedCode> codes = ReadAllCodes(*grey, readers, options);
    if (codes.empty() && options.inverted) {
        grey->Invert();
        codes = ReadAllCodes(*grey, readers.ForInvertedPlane(), options);
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

#include "capture/FrameConversion.h"

#include "capture/GrayBitmap.h"
#include "capture/PixbufLoader.h"
#include "capture/SampleFormats.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace {

// The family of a format; nothing for one that is not converted.
std::optional<TSampleFamily> FamilyOf(uint32_t fourCC)
{
    const TSampleFormatInfo* format = SampleFormatOf(fourCC);
    return format ? std::optional(format->family) : std::nullopt;
}

// numerator / 1000 rounded to the nearest integer, ties to the even one.
// The table factors have three decimals, so scaled by 1000 every entry is
// an exact integer quotient and the ties come out exactly.
int32_t RoundThousandths(int64_t numerator)
{
    int64_t quotient = numerator / 1000;
    int64_t remainder = numerator % 1000;
    if (remainder < 0) {
        remainder += 1000;
        --quotient;
    }
    if (remainder > 500 || (remainder == 500 && (quotient & 1) != 0))
        ++quotient;
    return int32_t(quotient);
}

// The YUV tables as the inner loops use them.
//
// clip(s) = ValueClip[1023 + (s div 256)]. For s < 0 the truncating division
// and s >> 8 both land on entries that are 0, and 1023 + (s >> 8) equals
// (s + 1023 * 256) >> 8. So the chroma terms carry the bias 1023 * 256,
// which makes every sum non-negative (the smallest is -70870) and lets the
// sum index ValueClip directly.
struct TYuv {
    static constexpr int32_t kClipBias = 1023 * 256;

    const int32_t* y298;
    const int32_t* u100;
    const int32_t* u516;
    const int32_t* v409;
    const int32_t* v208;
    const uint8_t* clip;

    struct TChroma {
        uint32_t blue, green, red;
    };

    TChroma Chroma(uint8_t u, uint8_t v) const
    {
        return {uint32_t(u516[u] + kClipBias), uint32_t(u100[u] + v208[v] + kClipBias), uint32_t(v409[v] + kClipBias)};
    }

    // One pixel as the bytes blue, green, red.
    void Put(uint8_t* out, uint8_t y, const TChroma& c) const
    {
        const uint32_t luma = uint32_t(y298[y]);
        out[0] = clip[(luma + c.blue) >> 8];
        out[1] = clip[(luma + c.green) >> 8];
        out[2] = clip[(luma + c.red) >> 8];
    }

    // Two pixels sharing their chroma.
    void PutPair(uint8_t* out, uint8_t y0, uint8_t y1, const TChroma& c) const
    {
        Put(out, y0, c);
        Put(out + 3, y1, c);
    }
};

} // namespace

TFrameConverter::TFrameConverter()
{
    for (uint32_t i = 0; i < 256; ++i) {
        GrayConvR[i] = 100 * i;
        GrayConvG[i] = 128 * i;
        GrayConvB[i] = 28 * i + 127;
    }
    PrepareConversionTables();
    // Motion-JPEG frames are bounded as picture files are.
    JPG.MaxPixels = kMaxFramePixels;
}

void TFrameConverter::PrepareConversionTables()
{
    if (fYUY2TablesPrepared)
        return;
    for (int64_t i = 0; i < 256; ++i) {
        ValueY_298[i] = RoundThousandths(i * 298082);
        ValueU_100[i] = RoundThousandths(i * -100291);
        ValueU_516[i] = RoundThousandths(i * 516412 - 70870016);
        ValueV_409[i] = RoundThousandths(i * 408583 - 57067776);
        ValueV_208[i] = RoundThousandths(i * -208120 + 34707456);
    }
    for (int k = -1023; k <= 1023; ++k)
        ValueClip[1023 + k] = uint8_t(std::clamp(k, 0, 255));
    ValueClip[2047] = 0;
    fYUY2TablesPrepared = true;
}

TFrameConverter::TTables TFrameConverter::Tables() const
{
    return {ValueY_298, ValueU_100, ValueU_516, ValueV_409, ValueV_208,
            ValueClip,  GrayConvR,  GrayConvG,  GrayConvB,  fYUY2TablesPrepared};
}

void TFrameConverter::SetStreamFormat(int32_t width, int32_t height, uint32_t fourCC)
{
    fWidth = width;
    fHeight = height;
    fFourCC = fourCC;
    fBitmap = QImage();
    fBitmapGray = QImage();
    ColourTarget();
    GrayTarget();
}

namespace {

bool FrameSizeUsable(int32_t width, int32_t height)
{
    return width > 0 && height > 0 && int64_t(width) * height <= TFrameConverter::kMaxFramePixels;
}

} // namespace

QImage* TFrameConverter::ColourTarget()
{
    if (!FrameSizeUsable(fWidth, fHeight))
        return nullptr;
    if (fBitmap.format() != QImage::Format_BGR888 || fBitmap.width() != fWidth || fBitmap.height() != fHeight) {
        fBitmap = QImage(fWidth, fHeight, QImage::Format_BGR888);
        if (fBitmap.isNull())
            return nullptr;
        fBitmap.fill(Qt::black);
    }
    return &fBitmap;
}

QImage* TFrameConverter::GrayTarget()
{
    if (!FrameSizeUsable(fWidth, fHeight))
        return nullptr;
    MakeGrayBitmap(fBitmapGray, fWidth, fHeight);
    return fBitmapGray.isNull() ? nullptr : &fBitmapGray;
}

void TFrameConverter::PrepareGrayBitmap(QImage& bitmap, int width, int height)
{
    MakeGrayBitmap(bitmap, width, height);
}

bool TFrameConverter::SampleSizeFits(uint32_t fourCC, int32_t width, int32_t height, qsizetype n)
{
    const std::optional<TSampleFamily> family = FamilyOf(fourCC);
    if (family == TSampleFamily::MotionJpeg)
        return true;
    if (!family || width <= 0 || height <= 0 || n < 0)
        return false;
    const int64_t pixels = int64_t(width) * height; // at most 2^62
    if (pixels > std::numeric_limits<int64_t>::max() / 3)
        return false;
    const int64_t count = n;
    switch (*family) {
    case TSampleFamily::RGB24: return count == pixels * 3;
    case TSampleFamily::Planar420: return count == pixels * 3 / 2;
    case TSampleFamily::Packed422: {
        // A larger sample is taken when its number of whole rows is a
        // multiple of 4; the rows after the first H are not read.
        const int64_t rowBytes = int64_t(width) * 2;
        const int64_t needed = pixels * 2;
        return count == needed || (count > needed && (count / rowBytes) % 4 == 0);
    }
    default: return false;
    }
}

TFrameConverter::TUnpackResult TFrameConverter::UnpackFrame(qsizetype n, const uint8_t* address)
{
    if (!address)
        return TUnpackResult::NoSample;
    TUnpackResult result = TUnpackResult::Failed;
    try {
        const std::optional<TSampleFamily> family = FamilyOf(fFourCC); // known when the size fits
        if (!SampleSizeFits(fFourCC, fWidth, fHeight, n)) {
            DrawMessage(n);
            result = TUnpackResult::Message;
        } else if (family == TSampleFamily::MotionJpeg) {
            result = MJPGToBitmap(n, address);
        } else if (fGray8Bit ? GrayTarget() : ColourTarget()) {
            ConvertSample(*family, address);
            result = TUnpackResult::Converted;
        }
    } catch (...) {
        // Out of memory and the like: the next request tries again.
        result = TUnpackResult::Failed;
    }
    return result;
}

void TFrameConverter::ConvertSample(TSampleFamily family, const uint8_t* sample)
{
    switch (family) {
    case TSampleFamily::RGB24: fGray8Bit ? RGB24ToGray(sample) : RGB24ToRGB(sample); break;
    case TSampleFamily::Packed422: fGray8Bit ? YUY2ToGray(sample) : YUY2ToRGB(sample); break;
    case TSampleFamily::Planar420: {
        const qsizetype pixels = qsizetype(fWidth) * fHeight;
        const uint8_t* firstChroma = sample + pixels;
        const uint8_t* secondChroma = firstChroma + pixels / 4;
        if (fGray8Bit)
            I420ToGray(sample);
        else if (fFourCC == FourCC::YV12)
            I420ToRGB(sample, secondChroma, firstChroma);
        else
            I420ToRGB(sample, firstChroma, secondChroma);
        break;
    }
    default: break;
    }
}

void TFrameConverter::RGB24ToRGB(const uint8_t* sample)
{
    const qsizetype rowBytes = qsizetype(fWidth) * 3;
    uint8_t* bits = fBitmap.bits();
    const qsizetype bytesPerLine = fBitmap.bytesPerLine();
    for (int k = 0; k < fHeight; ++k)
        std::memcpy(bits + (fHeight - 1 - k) * bytesPerLine, sample + k * rowBytes, rowBytes);
}

void TFrameConverter::RGB24ToGray(const uint8_t* sample)
{
    const qsizetype rowBytes = qsizetype(fWidth) * 3;
    uint8_t* bits = fBitmapGray.bits();
    const qsizetype bytesPerLine = fBitmapGray.bytesPerLine();
    const uint32_t* grayR = GrayConvR;
    const uint32_t* grayG = GrayConvG;
    const uint32_t* grayB = GrayConvB;
    auto gray = [=](const uint8_t* p) { return uint8_t((grayB[p[0]] + grayG[p[1]] + grayR[p[2]]) >> 8); };
    for (int k = 0; k < fHeight; ++k) {
        const uint8_t* in = sample + k * rowBytes;
        uint8_t* out = bits + (fHeight - 1 - k) * bytesPerLine;
        const int pairs = fWidth / 2;
        for (int p = 0; p < pairs; ++p, in += 6, out += 2) {
            out[0] = gray(in);
            out[1] = gray(in + 3);
        }
        if (fWidth & 1)
            out[0] = gray(in);
    }
}

void TFrameConverter::YUY2ToRGB(const uint8_t* sample)
{
    PrepareConversionTables();
    const TYuv yuv{ValueY_298, ValueU_100, ValueU_516, ValueV_409, ValueV_208, ValueClip};
    uint8_t* bits = fBitmap.bits();
    const qsizetype bytesPerLine = fBitmap.bytesPerLine();
    const int pairs = fWidth / 2;
    const uint8_t* in = sample;
    for (int row = 0; row < fHeight; ++row) {
        uint8_t* out = bits + row * bytesPerLine;
        for (int p = 0; p < pairs; ++p, in += 4, out += 6) {
            yuv.PutPair(out, in[0], in[2], yuv.Chroma(in[1], in[3]));
        }
        // Odd width: the pairs leave the last column, which repeats its neighbour.
        if ((fWidth & 1) && pairs > 0)
            std::memcpy(out, out - 3, 3);
    }
}

void TFrameConverter::YUY2ToGray(const uint8_t* sample)
{
    uint8_t* bits = fBitmapGray.bits();
    const qsizetype bytesPerLine = fBitmapGray.bytesPerLine();
    const int pairs = fWidth / 2;
    const uint8_t* in = sample;
    for (int row = 0; row < fHeight; ++row) {
        uint8_t* out = bits + row * bytesPerLine;
        for (int p = 0; p < pairs; ++p, in += 4, out += 2) {
            out[0] = in[0];
            out[1] = in[2];
        }
        if ((fWidth & 1) && pairs > 0)
            out[0] = out[-1];
    }
}

void TFrameConverter::I420ToRGB(const uint8_t* luma, const uint8_t* planeU, const uint8_t* planeV)
{
    PrepareConversionTables();
    const TYuv yuv{ValueY_298, ValueU_100, ValueU_516, ValueV_409, ValueV_208, ValueClip};
    const int chromaWidth = fWidth / 2;
    const int chromaHeight = fHeight / 2;
    qsizetype chromaStride = chromaWidth;
    // A frame one pixel wide or high has no chroma samples: it is shown in gray.
    std::vector<uint8_t> neutral;
    if (chromaWidth == 0 || chromaHeight == 0) {
        neutral.assign(size_t(std::max(chromaWidth, 1)), 128);
        planeU = planeV = neutral.data();
        chromaStride = 0;
    }
    const int lastChromaRow = std::max(chromaHeight - 1, 0);
    const int lastChromaColumn = std::max(chromaWidth - 1, 0);

    uint8_t* bits = fBitmap.bits();
    const qsizetype bytesPerLine = fBitmap.bytesPerLine();
    for (int row = 0; row < fHeight; ++row) {
        // Odd sizes: the last row and column take the last chroma row and column.
        const qsizetype chromaRow = std::min(row / 2, lastChromaRow) * chromaStride;
        const uint8_t* u = planeU + chromaRow;
        const uint8_t* v = planeV + chromaRow;
        const uint8_t* y = luma + qsizetype(row) * fWidth;
        uint8_t* out = bits + row * bytesPerLine;
        for (int c = 0; c < chromaWidth; ++c, y += 2, out += 6) {
            yuv.PutPair(out, y[0], y[1], yuv.Chroma(u[c], v[c]));
        }
        if (fWidth & 1)
            yuv.Put(out, y[0], yuv.Chroma(u[lastChromaColumn], v[lastChromaColumn]));
    }
}

void TFrameConverter::I420ToGray(const uint8_t* sample)
{
    uint8_t* bits = fBitmapGray.bits();
    const qsizetype bytesPerLine = fBitmapGray.bytesPerLine();
    for (int row = 0; row < fHeight; ++row)
        std::memcpy(bits + row * bytesPerLine, sample + qsizetype(row) * fWidth, size_t(fWidth));
}

TFrameConverter::TUnpackResult TFrameConverter::MJPGToBitmap(qsizetype n, const uint8_t* sample)
{
    try {
        // The sample is copied first: its ring slot may be refilled by the
        // capture thread while the picture is decoded.
        MemStream.resize(n);
        std::memcpy(MemStream.data(), sample, size_t(n));
        QImage& target = fGray8Bit ? fBitmapGray : fBitmap;
        if (PixbufAvailable()) {
            // A picture the loader cannot decode leaves the target as it was.
            // Only the JPEG loader reads a motion-JPEG sample: the bytes come
            // from a device or a file, and the library's other loaders (SVG,
            // icons, TGA, TIFF, ...) have no business with them.
            LoadBitmapFromMemory(reinterpret_cast<const uint8_t*>(MemStream.constData()), n, &target, fGray8Bit,
                                 kMaxFramePixels, "jpeg");
            return TUnpackResult::Converted;
        }
        JPG.Grayscale = fGray8Bit;
        if (JPG.DrawTo(reinterpret_cast<const uint8_t*>(MemStream.constData()), size_t(n), target))
            return TUnpackResult::Converted;
    } catch (...) {
    }
    DrawMessage(n);
    return TUnpackResult::Message;
}

void TFrameConverter::DrawMessage(qsizetype n)
{
    fLastMessage = {QStringLiteral("Unknown compression"),
                    QStringLiteral("DataSize: %1  FourCC: %2").arg(n).arg(FourCC::ToString(fFourCC))};
    // Text needs the fonts of a GUI application; without one (a console
    // program) the message is only recorded.
    QImage* target = ColourTarget();
    if (!target || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    QPainter painter(target);
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height(); // the text height of "X": the font's line height
    int top = 0;
    for (const QString& line : fLastMessage) {
        const QRect box(0, top, metrics.horizontalAdvance(line), lineHeight);
        painter.fillRect(box, Qt::white);
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
        top += lineHeight;
    }
}

void TFrameConverter::Convert24ToGray(const QImage& bm24, QImage& bmGray)
{
    if (bm24.depth() == 8) {
        bmGray = bm24;
        return;
    }
    // Taken before bmGray changes: bm24 and bmGray may be the same bitmap.
    const QImage source = bm24.format() == QImage::Format_BGR888 ? bm24 : bm24.convertToFormat(QImage::Format_BGR888);
    MakeGrayBitmap(bmGray, source.width(), source.height());
    if (bmGray.isNull())
        return;
    uint8_t* bits = bmGray.bits();
    const qsizetype bytesPerLine = bmGray.bytesPerLine();
    for (int row = 0; row < source.height(); ++row) {
        const uint8_t* in = source.constScanLine(row);
        uint8_t* out = bits + row * bytesPerLine;
        for (int x = 0; x < source.width(); ++x, in += 3)
            out[x] = NearestGray(in[2], in[1], in[0]);
    }
}

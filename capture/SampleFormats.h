// Sample formats of camera streams: their four-character codes, and the one
// table of the formats the frame conversion reads, which the conversion, the
// capture pipeline's caps and lantrix-scan all take them from.
//
// A FourCC is the four characters of its name stored as a little-endian
// 32-bit number ("YUY2" is 'Y' | 'U' << 8 | 'Y' << 16 | '2' << 24).
// Uncompressed 24-bit RGB has the code 0.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace FourCC {

constexpr uint32_t Make(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t RGB = 0;
constexpr uint32_t I420 = Make('I', '4', '2', '0'); // 0x30323449
constexpr uint32_t IYUV = Make('I', 'Y', 'U', 'V'); // 0x56555949
constexpr uint32_t YV12 = Make('Y', 'V', '1', '2'); // 0x32315659
constexpr uint32_t YUY2 = Make('Y', 'U', 'Y', '2'); // 0x32595559
constexpr uint32_t YUNV = Make('Y', 'U', 'N', 'V'); // 0x564E5559
constexpr uint32_t YUYV = Make('Y', 'U', 'Y', 'V'); // 0x56595559
constexpr uint32_t MJPG = Make('M', 'J', 'P', 'G'); // 0x47504A4D

// "RGB" for 0, otherwise the four characters in memory order. Bytes that
// are no printable ASCII character are shown as '?'.
QString ToString(uint32_t fourCC);

// Parses "RGB" (any case) as 0, or exactly four printable ASCII characters
// ("YUY2", "MJPG", ...; case kept) as their code. Anything else gives nothing.
std::optional<uint32_t> Parse(const QString& text);

} // namespace FourCC

// How the samples of a format are laid out, which picks their conversion.
enum class TSampleFamily : uint8_t {
    RGB24,      // 24 bits per pixel, blue first, rows bottom-up
    Packed422,  // packed YUV 4:2:2: Y0 U Y1 V
    Planar420,  // planar YUV 4:2:0: the Y plane, then two chroma planes of a quarter its size
    MotionJpeg, // one JPEG picture per sample
};

// One sample format the frame conversion reads.
struct TSampleFormatInfo {
    uint32_t FourCC;
    const char* name; // FourCC::ToString of the code
    TSampleFamily family;
    const char* gstFormat; // GStreamer's name of the same raw layout; nullptr: none (motion JPEG, or a code GStreamer
                           // calls otherwise)
    int capturePreference; // the order in which a camera is asked for it (1 first); 0: not asked for by this code
    const char* remark;    // said after the name in lantrix-scan's usage; nullptr: nothing
};

// In the order lantrix-scan lists them. The chroma planes of I420 and IYUV
// are U then V, those of YV12 V then U.
inline constexpr TSampleFormatInfo kSampleFormats[] = {
    {FourCC::RGB, "RGB", TSampleFamily::RGB24, "BGR", 4, "24-bit, rows bottom-up"},
    {FourCC::I420, "I420", TSampleFamily::Planar420, "I420", 2, nullptr},
    {FourCC::IYUV, "IYUV", TSampleFamily::Planar420, nullptr, 0, nullptr},
    {FourCC::YV12, "YV12", TSampleFamily::Planar420, "YV12", 3, nullptr},
    {FourCC::YUY2, "YUY2", TSampleFamily::Packed422, "YUY2", 1, nullptr},
    {FourCC::YUNV, "YUNV", TSampleFamily::Packed422, nullptr, 0, nullptr},
    {FourCC::YUYV, "YUYV", TSampleFamily::Packed422, nullptr, 0, nullptr},
    {FourCC::MJPG, "MJPG", TSampleFamily::MotionJpeg, nullptr, 5, nullptr},
};

// The row of a code; nullptr for a format the conversion does not read.
const TSampleFormatInfo* SampleFormatOf(uint32_t fourCC);

// The row of a name, its letters in any case ("yuy2", "RGB"); nullptr when
// no row has that name.
const TSampleFormatInfo* SampleFormatNamed(QStringView name);

// The code of a GStreamer raw format named gstFormat ("YUY2", "BGR", ...):
// the table's code for a layout the table names (BGR: RGB, 0), else the code
// GStreamer gives the format; nothing when it gives none.
std::optional<uint32_t> FourCCOfGstFormat(const char* gstFormat);

// The caps of one format ("video/x-raw,format=BGR", "image/jpeg"); empty for
// a format that is not asked for by its own code.
QByteArray SampleFormatCaps(const TSampleFormatInfo& format);

// The caps a camera is asked for: every format asked for, in the order of
// preference ("video/x-raw,format=YUY2; ...; image/jpeg").
QByteArray CameraSampleCaps();

// The raw formats among them as one structure, for a conversion on the way
// to choose from ("video/x-raw,format={ YUY2, I420, YV12, BGR }").
QByteArray ConvertedSampleCaps();

// Sample formats of camera streams, as four-character codes.
//
// A FourCC is the four characters of its name stored as a little-endian
// 32-bit number ("YUY2" is 'Y' | 'U' << 8 | 'Y' << 16 | '2' << 24).
// Uncompressed 24-bit RGB has the code 0.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace FourCC {

constexpr uint32_t Make(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16
        | uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t RGB = 0;                            // uncompressed 24-bit RGB
constexpr uint32_t I420 = Make('I', '4', '2', '0');    // 0x30323449, planar 4:2:0, U before V
constexpr uint32_t IYUV = Make('I', 'Y', 'U', 'V');    // 0x56555949, as I420
constexpr uint32_t YV12 = Make('Y', 'V', '1', '2');    // 0x32315659, planar 4:2:0, V before U
constexpr uint32_t YUY2 = Make('Y', 'U', 'Y', '2');    // 0x32595559, packed 4:2:2, Y0 U Y1 V
constexpr uint32_t YUNV = Make('Y', 'U', 'N', 'V');    // 0x564E5559, as YUY2
constexpr uint32_t YUYV = Make('Y', 'U', 'Y', 'V');    // 0x56595559, as YUY2
constexpr uint32_t MJPG = Make('M', 'J', 'P', 'G');    // 0x47504A4D, one JPEG picture per sample

// "RGB" for 0, otherwise the four characters in memory order. Bytes that
// are no printable ASCII character are shown as '?'.
QString ToString(uint32_t fourCC);

// Parses "RGB" (any case) as 0, or exactly four printable ASCII characters
// ("YUY2", "MJPG", ...; case kept) as their code. Anything else gives nothing.
std::optional<uint32_t> Parse(const QString& text);

} // namespace FourCC

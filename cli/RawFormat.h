// The argument of lantrix-scan's --raw option.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// A camera sample's size and format as --raw names them.
struct TRawFormat {
    int width = 0;
    int height = 0;
    std::uint32_t fourCC = 0;
};

// "640x480:YUY2" and the like: width and height of 1 to 6 digits without a
// leading zero, and the name of one of kSampleFormats (letter case ignored).
// Nothing for any other text.
std::optional<TRawFormat> ParseRawFormat(const QString& text);

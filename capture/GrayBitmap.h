// The gray bitmap form of the program: QImage::Format_Indexed8 with a
// 256-entry colour table whose entry i is qRgb(i, i, i).
#pragma once

#include <QImage>

#include <cstdint>

// Gives bitmap the gray form of width x height pixels. A bitmap that already
// has that size and pixel format keeps its pixels and only gets the gray
// palette; otherwise it is created anew, filled with 0 (black). A width or
// height of 0 or less, or a size too large to allocate, leaves a null bitmap.
void MakeGrayBitmap(QImage& bitmap, int width, int height);

// True when bitmap is 8-bit indexed with exactly the gray palette.
bool HasGrayForm(const QImage& bitmap);

// Index of the gray palette entry nearest to a colour (least squared
// distance in RGB): the rounded mean of the three components.
inline uint8_t NearestGray(uint32_t red, uint32_t green, uint32_t blue)
{
    return uint8_t((red + green + blue + 1) / 3);
}

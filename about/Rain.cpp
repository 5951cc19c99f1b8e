#include "about/Rain.h"

namespace {

TRainColour ColourOf(int b)
{
    return {b * 150 / 255, b, b * 100 / 255};
}

} // namespace

TRainColour RainHeadColour(int brightness)
{
    return ColourOf(brightness * 255 / 100);
}

TRainColour RainTrailColour(int brightness)
{
    return ColourOf(brightness * 255 / 100 / 3);
}

int RainTailRow(int y, int matrixHeight)
{
    int row = y - TRain::kTailDistance;
    while (row < 0)
        row += matrixHeight + 1;
    return row;
}

TRain::TRain(TRainRandom random)
    : random_(std::move(random))
{
}

void TRain::Start(TRainCanvas& canvas, int width, int height)
{
    steps_ = 0;
    bitmapWidth = width;
    bitmapHeight = height;
    Reset(canvas, width, height);
}

void TRain::Reset(TRainCanvas& canvas, int width, int height)
{
    canvas.Clear(width, height);
    charWidth = 8;
    charHeight = 12;
    matrixWidth = bitmapWidth / charWidth;
    matrixHeight = bitmapHeight / charHeight;
    drops_.clear();
    for (int i = 0; i < 2 * matrixWidth; ++i)
        AddDrop();
}

void TRain::AddDrop()
{
    if (static_cast<int>(drops_.size()) >= kMaxDrops || matrixWidth <= 0 || matrixHeight <= 0)
        return;
    TRainDrop drop;
    drop.x = static_cast<int>(drops_.size()) % matrixWidth;
    drop.y = random_(matrixHeight);
    drop.speed = 1 + random_(3);
    drop.brightness = random_(100);
    drops_.push_back(drop);
}

void TRain::Step(TRainCanvas& canvas)
{
    for (TRainDrop& drop : drops_) {
        const char c =
            charSet.empty() ? ' ' : charSet[static_cast<std::size_t>(random_(static_cast<int>(charSet.size())))];
        DrawDrop(canvas, drop, c);
        if (steps_ % static_cast<std::uint64_t>(drop.speed) == 0) {
            ++drop.y;
            if (drop.y > matrixHeight + 1) {
                drop.y = 0;
                drop.speed = 1 + random_(3);
                drop.brightness = random_(100);
            }
        }
    }
    ++steps_;
}

void TRain::DrawDrop(TRainCanvas& canvas, TRainDrop& drop, char c) const
{
    const int tail = RainTailRow(drop.y, matrixHeight);
    canvas.FillBlack(drop.x * charWidth, tail * charHeight, drop.x * charWidth + charWidth,
                     tail * charHeight + charHeight);
    drop.lastChar = c;
    if (drop.y > 0)
        canvas.WriteChar(drop.x * charWidth, (drop.y - 1) * charHeight, drop.lastChar,
                         RainTrailColour(drop.brightness));
    canvas.WriteChar(drop.x * charWidth, drop.y * charHeight, c, RainHeadColour(drop.brightness));
}

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
    : fRandom(std::move(random))
{
}

void TRain::Start(TRainCanvas& canvas, int width, int height)
{
    fSteps = 0;
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
    fDrops.clear();
    for (int i = 0; i < 2 * matrixWidth; ++i)
        AddDrop();
}

void TRain::AddDrop()
{
    if (static_cast<int>(fDrops.size()) >= kMaxDrops || matrixWidth <= 0 || matrixHeight <= 0)
        return;
    TRainDrop drop;
    drop.x = static_cast<int>(fDrops.size()) % matrixWidth;
    drop.y = fRandom(matrixHeight);
    drop.speed = 1 + fRandom(3);
    drop.brightness = fRandom(100);
    fDrops.push_back(drop);
}

void TRain::Step(TRainCanvas& canvas)
{
    for (TRainDrop& drop : fDrops) {
        const char c =
            charSet.empty() ? ' ' : charSet[static_cast<std::size_t>(fRandom(static_cast<int>(charSet.size())))];
        DrawDrop(canvas, drop, c);
        if (fSteps % static_cast<std::uint64_t>(drop.speed) == 0) {
            ++drop.y;
            if (drop.y > matrixHeight + 1) {
                drop.y = 0;
                drop.speed = 1 + fRandom(3);
                drop.brightness = fRandom(100);
            }
        }
    }
    ++fSteps;
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

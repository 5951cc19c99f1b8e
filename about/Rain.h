#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The About window's rain: trails of characters falling down a grid of
// 8 x 12-pixel cells, two per column, each head moving one row every 1 to 3
// steps and erasing the cell 40 rows behind it.

struct TRainColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const TRainColour&) const = default;
};

// A drop's head colour for a brightness of 0 to 99: with b = brightness * 255
// div 100, red b * 150 div 255, green b, blue b * 100 div 255.
TRainColour RainHeadColour(int brightness);

// The colour of the character above the head: the head's formula on b div 3.
TRainColour RainTrailColour(int brightness);

// The row erased by a drop whose head is at row `y`: y - 40, wrapped into the
// grid by adding matrixHeight + 1 while it is negative.
int RainTailRow(int y, int matrixHeight);

// One falling trail.
struct TRainDrop {
    int x = 0;          // column
    int y = 0;          // row of the head
    int speed = 1;      // the head moves one row every `speed` steps (1 to 3)
    int brightness = 0; // 0 to 99
    char lastChar = ' ';
};

// Where the rain draws, in pixels.
class TRainCanvas {
public:
    virtual ~TRainCanvas() = default;
    // Fills the whole surface (0, 0, width, height) with black.
    virtual void Clear(int width, int height) = 0;
    // Fills the rectangle from (left, top) to (right, bottom), exclusive, with black.
    virtual void FillBlack(int left, int top, int right, int bottom) = 0;
    // Writes `c` with its top-left corner at (x, y) in `colour` on black.
    virtual void WriteChar(int x, int y, char c, const TRainColour& colour) = 0;
};

// A uniform random number in 0 to n - 1.
using TRainRandom = std::function<int(int n)>;

class TRain {
public:
    static constexpr int kMaxDrops = 5000;
    static constexpr int kTailDistance = 40;

    explicit TRain(TRainRandom random);

    // The characters that fall; "dst" by default.
    std::string charSet = "dst";

    int charWidth = 8;
    int charHeight = 12;
    int matrixWidth = 0; // grid in cells
    int matrixHeight = 0;
    int bitmapWidth = 0; // the window's size when the rain started, in pixels
    int bitmapHeight = 0;

    // Starts the rain for a window of the given size: step counter 0, then Reset.
    void Start(TRainCanvas& canvas, int width, int height);

    // Also run on every resize: clears the canvas (`width` x `height`), takes
    // the grid from bitmapWidth and bitmapHeight and makes new drops, two per
    // column.
    void Reset(TRainCanvas& canvas, int width, int height);

    // Adds one drop in the next column (count mod matrixWidth) at a random
    // row, with a random speed and brightness; nothing once there are 5000.
    void AddDrop();

    // One timer step: every drop, in order, draws a random character and
    // moves down when the step counter is a multiple of its speed, starting
    // again at the top (new speed and brightness) once it is below the grid.
    void Step(TRainCanvas& canvas);

    // Draws one drop with character `c`: erases its tail cell, writes its
    // previous character above the head (when the head is below the top row)
    // in the trail colour and `c` at the head in the head colour.
    void DrawDrop(TRainCanvas& canvas, TRainDrop& drop, char c) const;

    const std::vector<TRainDrop>& Drops() const { return fDrops; }
    std::vector<TRainDrop>& Drops() { return fDrops; }
    std::uint64_t StepCount() const { return fSteps; }

private:
    TRainRandom fRandom;
    std::vector<TRainDrop> fDrops;
    std::uint64_t fSteps = 0;
};

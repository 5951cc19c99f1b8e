// Helpers for the tests of frame conversion and picture loading.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>

// A QGuiApplication for the whole test program (text drawing needs one).
// Register it from a test file with
//   static auto* const guiEnvironment =
//       ::testing::AddGlobalTestEnvironment(new TGuiApplicationEnvironment);
class TGuiApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<QGuiApplication> fApplication;
};

// size bytes of memory that end right before an inaccessible page, so that
// reading even one byte beyond the end ends the test program.
class TGuardedBuffer {
public:
    explicit TGuardedBuffer(size_t size);
    ~TGuardedBuffer();
    TGuardedBuffer(const TGuardedBuffer&) = delete;
    TGuardedBuffer& operator=(const TGuardedBuffer&) = delete;

    uint8_t* data() { return fData; }
    size_t size() const { return fSize; }

private:
    uint8_t* fMapping = nullptr;
    size_t fMappingSize = 0;
    uint8_t* fData = nullptr;
    size_t fSize = 0;
};

// The colours of the four quadrants of QuadrantPicture, in the order
// top left, top right, bottom left, bottom right.
extern const QColor kQuadrantColours[4];

// A width x height picture whose four quadrants have kQuadrantColours.
QImage QuadrantPicture(int width, int height);

// The picture as JPEG (or another format Qt writes) bytes.
QByteArray EncodePicture(const QImage& picture, const char* format = "JPG", int quality = 95);

// The picture as a progressive JPEG.
QByteArray EncodeProgressiveJpeg(const QImage& picture);

// A JPEG picture whose frame header declares width x height pixels instead
// of its own size; the coded data stays that of the original picture.
QByteArray WithDeclaredSize(QByteArray jpeg, uint16_t width, uint16_t height);

// The colour of a pixel of a Format_BGR888 or gray (Indexed8) bitmap.
QColor PixelColour(const QImage& bitmap, int x, int y);

// True when every component of actual lies within tolerance of expected.
::testing::AssertionResult ColourNear(const QColor& actual, const QColor& expected, int tolerance);

#pragma once

#include <QImage>
#include <QString>

#include <initializer_list>

// Path of a shipped sample picture, e.g. SamplePath("qr_code.png").
QString SamplePath(const QString& name);

// A shipped sample picture; fails the running test when it cannot be loaded.
QImage LoadSample(const QString& name);

// The QR sample with its light pixels transparent black and its dark ones
// opaque black (Format_ARGB32): shown over a light ground, it is the code.
QImage TransparentQrSample();

// The pictures drawn one below the other on a white canvas, with a margin.
QImage StackPictures(std::initializer_list<QImage> pictures, int margin = 40);

// A picture of the given size with the picture `code` (may be null) drawn at
// (x, y) over a background with some structure but no code in it.
QImage SceneWithCode(int width, int height, const QImage& code, int x, int y);

// Writes a valid PNG file of width x height pixels that are all zero (black,
// transparent where there is alpha) without holding the picture in memory:
// `bitDepth` and `colourType` as in the PNG header (colour type 6 is RGBA).
// Large pictures take a few kilobytes. False when the file cannot be written.
bool WriteZeroPng(const QString& path, int width, int height, int bitDepth, int colourType);

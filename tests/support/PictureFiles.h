// Picture files as they come from elsewhere: photos stored sideways, as
// cameras store them (the sensor's pixels, and an EXIF orientation that says
// how to turn them for showing), drawings packed with gzip, and codes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

// The pixels a camera stores for a picture seen as `upright` when it writes
// the EXIF orientation `orientation` (1 to 8): a viewer that applies the
// orientation to them shows `upright` again.
QImage StoredForOrientation(const QImage& upright, int orientation);

// A JPEG file's bytes: the stored pixels for `orientation` and an EXIF
// segment holding the orientation, in Motorola (big-endian) or Intel byte order.
QByteArray SidewaysJpeg(const QImage& upright, int orientation, bool bigEndian = true);

// A picture of width x height pixels, each quarter a colour of its own (red
// top left, green top right, blue bottom left, white bottom right), so that
// every turn and mirror of it differs from it.
QImage FourColours(int width, int height);

// The quarters' colours of a picture, in the order FourColours draws them,
// each as near the quarter's centre as JPEG's blocks allow.
QList<QRgb> QuarterColours(const QImage& picture);

// The picture's dark pixels as an SVG drawing, one rectangle per run of a
// row, on a white ground; a caption, when given, is written as text under
// them, as code generators label their drawings.
QByteArray SvgDrawing(const QImage& picture, const QString& caption = QString());

// The bytes packed in the gzip format (as gzip writes .svg.gz files).
QByteArray Gzip(const QByteArray& bytes);

// A QR code of the text (UTF-8, announced as such in the code), 6 pixels a module.
QImage QrCodePicture(const QString& text);

// A QR code holding `bytes` as they are (each a character of the writer's
// input, no character set announced), 6 pixels a module.
QImage QrCodeOfBytes(const QByteArray& bytes);

#pragma once

#include "decode/BarcodeFormat.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// A code read from a picture: its text, the format it was read as (one of the
// formats with a reader), its content as encoded and where it lies. An EAN or
// UPC code read with its add-on digits has them after its own, with a space
// between ("4006381333931 12").
struct TDecodedCode {
    QString text;
    TBarcodeFormat format = TBarcodeFormat::Auto;
    // The content as the code holds it, before any character-set conversion:
    // binary payloads and texts in a wrongly guessed character set come back
    // from these bytes.
    QByteArray bytes;
    // The code's corners in the picture's pixels, in the code's own order:
    // top left, top right, bottom right, bottom left. A linear code's are
    // those of the band of scan lines that read it.
    std::array<QPoint, 4> position{};
};

// Every option of a decode: which codes the readers look for and what they
// try beyond the one pass over the picture as handed in. The default is the
// program's own request: Auto over the ten readers, one pass.
struct TDecodeOptions {
    // The code format chosen: Auto, or one format looked for alone.
    TBarcodeFormat format = TBarcodeFormat::Auto;
    // A picture in which the pass finds nothing is decoded once more with its
    // grey plane inverted, with the same readers: light codes on a dark ground.
    bool inverted = false;
    // zxing-cpp's readers for the formats outside the ten join them, and a
    // format among them chosen in `format` is looked for alone.
    bool everyFormat = false;
    // zxing-cpp's try-harder and rotation: linear codes anywhere in the
    // picture, turned or skewed.
    bool tryHarder = false;
};

// Decodes one code in a picture, as DecodeBitmap does, and tells its format too.
std::optional<TDecodedCode> DecodeCode(QImage& bitmap, const TDecodeOptions& options);

// Decodes one code in a picture. `bitmap` is converted in place to 24 bits per
// pixel (QImage::Format_BGR888) when it has another layout. Auto, and a format
// the decoder has no reader for, try all ten readers (every reader when
// everyFormat is on); a format with a reader tries only that one and finds
// only codes of that format. Answers the code's text, or nothing.
std::optional<QString> DecodeBitmap(QImage& bitmap, const TDecodeOptions& options);

// The default options with `format`.
std::optional<QString> DecodeBitmap(QImage& bitmap, TBarcodeFormat format);

// Every code in a picture that the readers of `options.format` find (as
// DecodeCode chooses them), in reading order: top to bottom, and left to right
// among codes that lie side by side. `bitmap` is converted as DecodeBitmap
// converts it. Empty when there is none.
std::vector<TDecodedCode> DecodeAllCodes(QImage& bitmap, const TDecodeOptions& options);

// Puts codes in reading order: by their top edge, where a code whose top lies
// above the middle of the first code of the current row joins that row; the
// rows from the top, each row from the left. Codes at the same place keep the
// order of their format in the readers' list, then of their text.
void SortInReadingOrder(std::vector<TDecodedCode>& codes);

// True when a decode with `everyFormat` as given has a reader for `format`
// (Auto always has): one of the ten readers, or Auto, which uses them all. A
// format without one decodes as Auto. MSI and Plessey never have one.
bool HasReader(TBarcodeFormat format, bool everyFormat = false);

// The 8-bit grey plane of a 24-bit picture, `grey` holding width * height bytes:
// grey = (3482 R + 11721 G + 1181 B) >> 14 for every pixel, rows from the top.
void MakeGreyPlane(const QImage& bitmap24, std::uint8_t* grey);

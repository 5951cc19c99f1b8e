#pragma once

#include "decode/BarcodeFormat.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

// A code read from a picture: its text and the format it was read as (one
// of the ten formats with a reader).
struct TDecodedCode {
    QString Text;
    TBarcodeFormat Format = TBarcodeFormat::Auto;
};

// Decodes one code in a picture, as DecodeBitmap does, and tells its format too.
std::optional<TDecodedCode> DecodeCode(QImage& bitmap, TBarcodeFormat format);

// Decodes one code in a picture. `bitmap` is converted in place to 24 bits per
// pixel (QImage::Format_BGR888) when it has another layout. Auto, and a format
// the decoder has no reader for, try all ten readers; a format with a reader
// tries only that one and finds only codes of that format. Answers the code's
// text, or nothing.
std::optional<QString> DecodeBitmap(QImage& bitmap, TBarcodeFormat format);

// True when DecodeBitmap has a reader of its own for `format`: one of the ten
// readers, or Auto, which uses them all. A format without one decodes as Auto.
bool HasReader(TBarcodeFormat format);

// The 8-bit grey plane of a 24-bit picture, `grey` holding width * height bytes:
// grey = (3482 R + 11721 G + 1181 B) >> 14 for every pixel, rows from the top.
void MakeGreyPlane(const QImage& bitmap24, std::uint8_t* grey);

// --raw: one captured camera sample in a file, converted as the webcam tab
// converts frames.
#pragma once

#include "cli/ScanOptions.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Samples larger than this are no camera frame; refused instead of read whole.
inline constexpr qint64 kMaxSampleBytes = 512LL * 1024 * 1024;

// The sample in `file` ("-": standard input), of at most kMaxSampleBytes
// whatever the file is: a device such as /dev/zero never ends, so no more
// than one byte beyond the limit is read. A pipe is read as a stream to its
// end, as long as a program writes to it; a pipe without a writer is refused
// instead of waited for. Raises EPictureError.
QByteArray ReadSample(const QByteArray& file);

// Raises EPictureError, saying both sizes, when a sample of `bytes` bytes is
// not one frame of the format (the size of a frame of an uncompressed format,
// or as many whole rows more as the webcam tab takes; any for motion JPEG).
void CheckSampleSize(const TRawFormat& format, qint64 bytes);

// Converts the sample in `file` of the given layout as the webcam tab converts
// a frame, in colour, and writes it to `saveBitmap` (a BMP file) unless that
// is empty. Needs a GUI application and the run-time picture loader. Raises
// EPictureError when the file cannot be read, its size is not a frame's
// (CheckSampleSize) or the bitmap not saved.
QImage ConvertRawSample(const QByteArray& file, const TRawFormat& format, const QString& saveBitmap);

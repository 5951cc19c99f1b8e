#pragma once

#include <QImage>
#include <QString>

#include <stdexcept>

// Raised when a picture file cannot be loaded; the text is for the user.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Pictures larger than this many pixels, or than this many bytes once read
// (a 16-bit picture takes 8 bytes a pixel), are refused before anything is
// decoded, so a decompression bomb cannot take the machine's memory.
inline constexpr qint64 kMaxPicturePixels = 64LL * 1024 * 1024;
inline constexpr qint64 kMaxPictureBytes = kMaxPicturePixels * 4;

// Loads a picture file with Qt's image readers (PNG, JPEG, BMP, GIF, ICO, SVG,
// TIFF, WebP, ... as the installed plugins offer). The file's extension must
// name a format a reader knows: otherwise "Unknown picture file extension (.ext)".
// Folders, pipes and devices are refused, whatever their name.
// A damaged file gives the reader's own error text. Raises PictureError.
QImage LoadPicture(const QString& fileName);

// Loads a picture held in memory (a picture on the clipboard or dropped as
// data), with the same size limits as LoadPicture. `format` names the reader
// ("png", "jpeg", ...); empty: the reader tells it from the bytes. Raises
// PictureError with the reader's own error text.
QImage LoadPictureData(const QByteArray& bytes, const QByteArray& format = QByteArray());

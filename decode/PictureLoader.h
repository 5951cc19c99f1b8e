#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <stdexcept>

// Raised when a picture file cannot be loaded; the text is for the user.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class QIODevice;

// Pictures larger than this many pixels, or than this many bytes once read
// (a 16-bit picture takes 8 bytes a pixel), are refused before anything is
// decoded, so a decompression bomb cannot take the machine's memory.
inline constexpr qint64 kMaxPicturePixels = 64LL * 1024 * 1024;
inline constexpr qint64 kMaxPictureBytes = kMaxPicturePixels * 4;

// The limits in force: the ones above unless a program has set others, as
// lantrix-scan --max-megapixels does for scans of large sheets. The bytes
// once read may be four times the pixels. Set before any picture is read
// (the readers on other threads read the limit, but Qt's own allocation
// limit is one value for the whole process).
qint64 MaxPicturePixels();
qint64 MaxPictureBytes();
void SetMaxPicturePixels(qint64 pixels);

// Loads a picture file with Qt's image readers (PNG, JPEG, BMP, GIF, ICO, SVG,
// TIFF, WebP, ... as the installed plugins offer). The file's extension must
// name a format a reader knows: otherwise "Unknown picture file extension (.ext)".
// Folders, pipes and devices are refused, whatever their name.
// A damaged file gives the reader's own error text. Raises PictureError.
QImage LoadPicture(const QString& fileName);

// The same for a file the caller has opened (one whose name cannot be
// written as text, say): the extension rule goes by `fileName`, and `file`,
// which the caller has made sure is a regular file, is read from its current
// position, its type taken from its content. Raises PictureError.
QImage LoadPicture(QIODevice& file, const QString& fileName);

// A picture held in memory (read from standard input, on the clipboard or
// dropped as data), its type taken from its content alone, with the same
// size limits. Raises PictureError.
QImage LoadPictureData(const QByteArray& bytes);

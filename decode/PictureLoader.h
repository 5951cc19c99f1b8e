#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <stdexcept>

// Raised when a picture file cannot be loaded; the text is for the user.
class EPictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised when the file itself cannot be opened or read (missing, a folder,
// no permission, a link loop, no regular file): the text names the file,
// "Cannot open file "NAME". REASON"; Reason() is what happened alone, for a
// message that names the file itself.
class EPictureFileError : public EPictureError {
public:
    EPictureFileError(const char* what, const QString& name, const QString& reason);
    // With the system's text for `error` (an errno value) as the reason.
    EPictureFileError(const char* what, const QString& name, int error);
    const QString& Reason() const { return fReason; }

private:
    QString fReason;
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
// TIFF, WebP, ... as the installed plugins offer). The type is taken from the
// content; the extension is only a hint, tried first when it names a format
// whose reader takes the content. Content that no reader takes is refused
// with "Unknown picture file extension (.ext)" when the extension names no
// format either, else with the readers' "Unsupported image format". A damaged
// file gives the reader's own error text. The picture comes upright: an
// orientation stored with it (a photo's EXIF orientation) is applied.
// Folders, pipes and devices are refused, whatever their name, and a file
// that cannot be opened raises EPictureFileError. Raises EPictureError.
QImage LoadPicture(const QString& fileName);

// Opens a picture file named by its bytes for reading, with the checks
// LoadPictureFile makes before it reads (no folder, pipe or device); gives
// the descriptor, which the caller closes. Raises EPictureFileError, naming
// the file as `name`.
int OpenPictureFile(const QByteArray& path, const QString& name);

// The same for a file named by its bytes (a name need not be text); `name`
// stands for it in messages.
QImage LoadPictureFile(const QByteArray& path, const QString& name);

// The same for a file the caller has opened: `fileName` gives the extension,
// and `file`, which the caller has made sure is a regular file, is read from
// its current position. Raises EPictureError.
QImage LoadPicture(QIODevice& file, const QString& fileName);

// A picture held in memory (read from standard input, on the clipboard or
// dropped as data), its type taken from its content alone, with the same
// size limits and orientation. Raises EPictureError.
QImage LoadPictureData(const QByteArray& bytes);

// What goes between a program and its decoder process over their socket:
// first the process's greeting (an empty message) once it is ready, then a
// request (a picture file's bytes or pixels in shared memory, and how to
// decode them) one way, the reply (the codes or the error, and the picture's
// pixels in shared memory when asked for) the other. Each message is its
// length and its body; descriptors travel beside the first byte.
#pragma once

#include "capture/FileDescriptor.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// A message is refused past this length: a reply never comes near it (64 KiB
// of text a code at most), and a length read from a broken peer cannot make
// the other side allocate gigabytes.
inline constexpr std::uint32_t kMaxDecoderMessage = 64u << 20;

// At most this many descriptors come with one message.
inline constexpr int kMaxDecoderDescriptors = 2;

// How pixels lie in shared memory: rows from the top, each bytesPerLine long,
// in a QImage format.
struct TPixelLayout {
    qint32 width = 0;
    qint32 height = 0;
    qint64 bytesPerLine = 0;
    qint32 format = QImage::Format_Invalid;
};

// The layout of `picture`'s pixels.
TPixelLayout LayoutOf(const QImage& picture);

// The bytes that pixels of `layout` take, or -1 when no QImage can hold them
// that way: an unknown format, no pixel, rows shorter than their pixels or
// not a whole number of 32-bit words... A layout from the other side is
// checked with this before it is used.
qint64 PixelBytes(const TPixelLayout& layout);

struct TDecoderRequest {
    enum class TKind : quint8 {
        // A picture file's content, read from the descriptor sent along (the
        // file itself, or shared memory holding its bytes) from its start.
        Picture,
        // Pixels of `layout` in the descriptor sent along, or in the frame
        // buffer `frameBuffer`.
        Pixels,
    };
    TKind kind = TKind::Picture;
    TDecodeOptions options;
    bool allCodes = false;      // every code of the picture, else the first one
    bool returnPicture = false; // Picture: its pixels come back in shared memory
    // Picture: whether the readers of Qt's plugins are there. A process
    // without them answers `needsReaders` for content only they read.
    bool readersNeeded = true;
    QString name; // Picture: the file's name (its extension is a hint), "" for bytes alone
    qint64 maxPixels = kMaxPicturePixels;
    TPixelLayout layout; // Pixels
    // Pixels: 0 for pixels in the descriptor sent along; else a buffer that
    // stays shared between the two (a camera's frames): its descriptor comes
    // along the first time, and later requests name it alone.
    quint64 frameBuffer = 0;
};

struct TDecoderReply {
    enum class TStatus : quint8 {
        Read,        // decoded: `codes` holds what was found (none for an unreadable picture)
        Error,       // the picture could not be read: `error` says why
        OutOfMemory, // `error` says so; the process ends after this reply
        Stopped,     // the process died or ran out of time (never sent: the caller's own)
    };
    TStatus status = TStatus::Read;
    QString error;
    // The picture's content is no format of the readers the process has:
    // one with every reader is to read it.
    bool needsReaders = false;
    std::vector<TDecodedCode> codes;
    // The picture's pixels, when asked for: their layout and colours; the
    // shared memory holding them comes along.
    bool hasPicture = false;
    TPixelLayout picture;
    QList<QRgb> colorTable;
};

// A reply of `status` with `error` alone.
TDecoderReply FailedReply(TDecoderReply::TStatus status, const QString& error);

QByteArray EncodeRequest(const TDecoderRequest& request);
std::optional<TDecoderRequest> DecodeRequest(const QByteArray& body);
QByteArray EncodeReply(const TDecoderReply& reply);
std::optional<TDecoderReply> DecodeReply(const QByteArray& body);

// Sends one message with `descriptors` beside it. False when the peer has gone
// or the socket failed (errno tells). Never raises SIGPIPE.
bool SendMessage(int socket, const QByteArray& body, std::span<const int> descriptors = {});

enum class TReceived { Message, Closed, TimedOut, Failed };

// Receives one message into `body` and the descriptors that came with it
// into `descriptors`, waiting until `deadline` (for ever when there is none).
// Closed: the peer closed the socket before a message began; Failed: the
// socket failed, or what came is no message (a length past the limit, the
// peer gone in the middle, too many descriptors).
TReceived ReceiveMessage(int socket, QByteArray& body, std::vector<TFileDescriptor>& descriptors,
                         std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

// Pictures read and decoded in a decoder process of their own, for the window
// and the scanner: whatever a picture does to the libraries that read it, it
// costs that picture, never the program.
#pragma once

#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "decoder/DecoderProcess.h"
#include "decoder/SharedPixels.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <chrono>
#include <optional>
#include <vector>

// The decoder process died or ran out of time on a picture (the text is
// kDecoderStoppedText), or none could be started. The next picture goes to a
// fresh process.
class EDecoderStopped : public EPictureError {
public:
    explicit EDecoderStopped(const QString& text = QString::fromLatin1(kDecoderStoppedText));
};

// A process with Qt's own readers only was sent content that only a plugin's
// reader reads.
class ENeedsReaders : public EPictureError {
public:
    ENeedsReaders();
};

// A picture as the decoder process read it, and the codes it found there.
struct TDecodedPicture {
    QImage picture; // null unless asked for
    std::vector<TDecodedCode> codes;
};

// How much of a picture is wanted back.
struct TReadRequest {
    TDecodeOptions options;
    bool allCodes = false;    // every code, else the first one
    bool wantPicture = false; // the picture's pixels, to show them
};

// Throws what `reply` says went wrong; otherwise gives its codes and picture.
TDecodedPicture TakeReply(const TDecoderReply& reply, TFileDescriptor& picture);

// The request for a picture file's content in a descriptor.
TDecoderRequest PictureRequest(const TReadRequest& read, const QString& name, bool readersNeeded = true);

class TPictureDecoder {
public:
    explicit TPictureDecoder(TDecoderLaunch launch);

    // Starts the process now, so that the first picture does not wait for it.
    void Start() { fProcess.Start(); }

    // The picture file at `path`, opened here (EPictureFileError names it as
    // `name`), read and decoded there. Raises EPictureError with the reader's
    // text, EDecoderStopped, ENeedsReaders.
    TDecodedPicture ReadFile(const QByteArray& path, const QString& name, const TReadRequest& read);

    // A picture file's bytes (pasted, dropped, from standard input).
    TDecodedPicture ReadData(const QByteArray& bytes, const TReadRequest& read);

    // Pixels already read (a grab of the screen), decoded there.
    std::vector<TDecodedCode> DecodePixels(const QImage& picture, const TReadRequest& read);

    // A camera's frame, through the frame buffer both keep mapped, within
    // kFrameTimeLimit. After the process stopped, frames are passed over
    // (nothing is found) for kRestPause before a fresh one starts. Raises
    // EDecoderStopped when it stops on this frame.
    std::optional<TDecodedCode> DecodeFrame(const QImage& frame, const TDecodeOptions& options);

    static constexpr std::chrono::milliseconds kRestPause{1000};

    TDecoderProcess& Process() { return fProcess; }

private:
    TDecoderProcess fProcess;
    TFrameBuffer fFrames;
    std::chrono::steady_clock::time_point fRestUntil{};
};

// Shared memory holding `bytes`, read from its start: a picture file's
// content for a process that reads descriptors. Raises std::bad_alloc.
TFileDescriptor ShareBytes(const QByteArray& bytes);

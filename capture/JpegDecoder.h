// JPEG decoding from memory with libjpeg-turbo, for motion-JPEG camera frames
// when GdkPixbuf is not available.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

class TJpegDecoder {
public:
    TJpegDecoder();
    ~TJpegDecoder();
    TJpegDecoder(const TJpegDecoder&) = delete;
    TJpegDecoder& operator=(const TJpegDecoder&) = delete;

    // Decode gray values (the picture's luma) instead of colours.
    bool Grayscale = false;

    // Pictures whose header declares more pixels than this are refused before
    // anything is decoded (0: no bound). A small JPEG can declare 65535 x
    // 65535 pixels, and a progressive one makes the library hold all of them.
    int64_t MaxPixels = 0;

    // Decodes the JPEG picture in data[0..size) and draws it unscaled at (0, 0)
    // onto target, which keeps its size: what does not fit is cut off, what
    // the picture does not cover keeps its pixels. An 8-bit indexed target
    // (the gray form) receives gray values, any other target becomes
    // Format_BGR888 and receives colours (gray ones with Grayscale).
    // Returns false when the data is no decodable JPEG picture, or one larger
    // than MaxPixels (then nothing is drawn); LastError()
    // then tells why, and rows drawn before the failure stay drawn.
    bool DrawTo(const uint8_t* data, size_t size, QImage& target);

    // The library's message for the last failure of DrawTo.
    QString LastError() const;

private:
    struct TState;
    std::unique_ptr<TState> fState;
};

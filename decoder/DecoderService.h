// The decoder process's side: it reads the pictures it is sent, decodes them
// and answers; everything a picture could break happens here, away from the
// window and the scanner.
#pragma once

#include "capture/FileDescriptor.h"
#include "decoder/DecoderProtocol.h"
#include "decoder/SharedPixels.h"

#include <vector>

// What a process loads before it locks itself down, since it can open no
// file afterwards.
enum class TDecoderReaders {
    // Qt's own readers (PNG, BMP, PBM/PGM/PPM, XBM, XPM) without its plugins:
    // a quick start for one picture of such a file.
    BuiltIn,
    // Every reader of Qt's plugins, loaded now, and the default font (a
    // drawing's text); needs a QGuiApplication.
    All,
};
void PrepareDecoder(TDecoderReaders readers);

// Answers requests, one at a time; the frame buffer shared last is kept
// mapped between them.
class TDecoderService {
public:
    explicit TDecoderService(TDecoderReaders readers = TDecoderReaders::All)
        : fReaders(readers)
    {
    }

    // Reads and decodes what `request` names, with `descriptors` the ones that
    // came with it; a picture asked for back goes to `pictureOut`. Every
    // failure of the picture is the reply's: only a fault of a library ends
    // the process.
    TDecoderReply Handle(const TDecoderRequest& request, std::vector<TFileDescriptor>& descriptors,
                         TFileDescriptor& pictureOut);

private:
    QImage Pixels(const TDecoderRequest& request, std::vector<TFileDescriptor>& descriptors);

    TDecoderReaders fReaders;
    quint64 fFrameBuffer = 0;
    TSharedMapping fFrameMapping;
};

// The process's loop over `socket`: a request in, a reply out, until the
// other side closes the socket. Gives the exit status.
int RunDecoderService(int socket, TDecoderReaders readers);

// The whole life of a decoder process from here: readers prepared, the
// process locked down for pictures of at most `maxPictureBytes`, a greeting
// (an empty message) that says it is ready, the loop.
// Gives the exit status. A process that cannot lock itself down reads no
// picture: it answers every request with an error that says why, and gives 3.
int ServeDecoder(int socket, TDecoderReaders readers, std::int64_t maxPictureBytes);

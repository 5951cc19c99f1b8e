// Decoding picture files, one or many: each is read and decoded in a decoder
// process, as the image tab has it done, and its result handed on in the
// order of the files.
#pragma once

#include "cli/ScanResult.h"
#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"
#include "decoder/DecoderProcess.h"
#include "decoder/PictureDecoder.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <vector>

// Receives the results, one at a time, in the order of the files.
using TResultSink = std::function<void(const TScanResult& result)>;

// How each picture is decoded: the code format, what the decode tries beyond
// one pass, and whether the result holds every code of the picture or one.
struct TScanRequest {
    // One code of `format`, in one pass (what a format alone asks for).
    TScanRequest(TBarcodeFormat format = TBarcodeFormat::Auto)
        : options{.format = format}
    {
    }

    TDecodeOptions options;
    TCodesPerPicture codes = TCodesPerPicture::One;

    TReadRequest Read() const { return {.options = options, .allCodes = codes == TCodesPerPicture::All}; }
};

// The result of `file` from `decode`, which gives the codes found or raises:
// every error becomes the result's, a file that cannot be opened as what
// happened alone (the result names the file). ENeedsReaders is let through.
TScanResult ResultOf(const QByteArray& file, const std::function<std::vector<TDecodedCode>()>& decode);

// One picture argument, read and decoded by `decoder`: "-" is standard input,
// any other name a file (also when it is not UTF-8).
TScanResult ScanPicture(const QByteArray& file, TPictureDecoder& decoder, const TScanRequest& request);

// Scans the files with the decoder processes of `pool`, each holding one
// picture at a time, and gives each result to `sink` in the order of the
// files as soon as it and all before it are known. A file is sent only while
// fewer than kResultsAheadPerWorker results per process wait for an earlier
// one, so that memory stays bounded whatever the number of files. A process
// that dies or runs out of time costs its picture (an error result); the
// next picture goes to a fresh one. Runs on the calling thread alone.
void ScanFiles(const QList<QByteArray>& files, const std::vector<std::unique_ptr<TDecoderProcess>>& pool,
               const TScanRequest& request, const TResultSink& sink);

inline constexpr int kResultsAheadPerWorker = 4;

// The number of decoder processes for `files` files: one per processor, no
// more than files.
int WorkersFor(qsizetype files);

// Decoding picture files, one or many: each is loaded and decoded as the
// image tab does, and its result handed on in the order of the files.
#pragma once

#include "cli/ScanResult.h"
#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"

#include <QByteArray>
#include <QImage>
#include <QList>

#include <functional>

// Loads the picture of one file; raises EPictureError.
using TPictureLoad = std::function<QImage(const QByteArray& file)>;

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
};

// Loads and decodes one picture; every error becomes the result's, a file
// that cannot be opened as what happened alone (the result names the file).
TScanResult ScanPicture(const QByteArray& file, const TPictureLoad& load, const TScanRequest& request);

// Scans the files on `workers` threads (1 or less: on the calling thread
// alone) and gives each result to `sink` on the calling thread, in the order
// of the files, as soon as it and all before it are known. Each worker holds
// one picture at a time, and takes a file only when fewer than
// kResultsAheadPerWorker results per worker wait for an earlier one, so that
// memory stays bounded whatever the number of files. `load` must allow being
// called on several threads at once.
void ScanFiles(const QList<QByteArray>& files, int workers, const TPictureLoad& load, const TScanRequest& request,
               const TResultSink& sink);

inline constexpr int kResultsAheadPerWorker = 4;

// The number of workers for `files` files: one per processor, no more than files.
int WorkersFor(qsizetype files);

// lantrix-scan's command line: the options, their parsing and the usage text.
//
// Each option is one row of a table (ScanOptions.cpp): its name, the name of
// its value if it takes one, and what it does to TScanOptions; the checks of
// the whole command line come after the table. A new option is a new row and,
// when it goes with only some modes, a check.
#pragma once

#include "cli/RawFormat.h"

#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <optional>

// The name that stands for standard input among the files.
inline constexpr char kStandardInputName[] = "-";

struct TScanOptions {
    // The code format and what each decode tries beyond one pass.
    TDecodeOptions decode;
    bool json = false;     // JSON Lines instead of text
    bool all = false;      // every code of each picture, not the first
    bool rawBytes = false; // the one code's content as encoded, nothing else

    // Picture files, as given (file names are bytes); "-" is standard input.
    QList<QByteArray> files;
    std::optional<TRawFormat> raw; // the one file is a camera sample of this layout
    QString saveBitmap;            // with raw: where the converted picture goes

    // Live scanning: a camera as the webcam tab lists it, or a source description.
    std::optional<QString> camera;
    std::optional<QString> pipeline;
    int count = 0;               // stop after this many codes; 0: no limit
    double timeoutSeconds = 0.0; // stop after this long; 0: no limit

    bool listCameras = false;

    // The scan history (history.sqlite in the data folder): record each code
    // written, or write the whole history to this file (.csv, .jsonl, .ndjson).
    bool history = false;
    std::optional<QString> historyExport;

    // The largest picture loaded, in megapixels of 1,048,576 pixels; 0: the loader's own limit.
    int maxMegapixels = 0;

    bool Live() const { return camera.has_value() || pipeline.has_value(); }
};

// The largest value --max-megapixels takes.
inline constexpr int kMaxMegapixelsLimit = 1024;

// The options, or nothing after a usage error, whose message (one line,
// "lantrix-scan: ...") has been written to `errors`. --help and --version
// are not parsed here (see WantsHelp and WantsVersion).
std::optional<TScanOptions> ParseScanArguments(int argc, char** argv, std::FILE* errors);

// True when --help or -h comes before any "--".
bool WantsHelp(int argc, char** argv);

// True when --version comes before any "--".
bool WantsVersion(int argc, char** argv);

// When the code format asked for has no reader under the options (MSI and
// Plessey never have one; AZTEC, MICRO_QR and the other formats outside the
// ten only with --every-format), the warning line that says it is decoded as
// with Auto, without its newline, as the window's status bar says it; empty
// when it has one. The run goes on: Auto reads what it can.
QByteArray FormatNotice(const TScanOptions& options);

void PrintUsage(std::FILE* to);

// What follows a usage error's message: "Try 'lantrix-scan --help'."
void PrintUsageHint(std::FILE* to);

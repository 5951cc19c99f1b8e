// lantrix-scan's live modes (--camera, --pipeline, --list-cameras) run on
// GStreamer, which a scan of pictures or of a raw sample does not need. They
// are a part of their own, lantrix-scan-live.so, which lantrix-scan loads only
// when a live mode runs, so that the other modes start without GStreamer's
// libraries.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

class TResultWriter;
struct TScanOptions;

// What a live mode gets from lantrix-scan.
struct TLiveRun {
    const TScanOptions* options = nullptr;
    TResultWriter* writer = nullptr; // null for --list-cameras
    QString camerasFile;             // cameras.ini of the data folder
    std::FILE* messages = stderr;    // the program's own messages
    QString decoderProgram;          // lantrix-decoder, which decodes the frames
};

// The part's entry: runs the live mode that `run` asks for and gives
// lantrix-scan's exit status.
using TLiveEntry = int (*)(const TLiveRun& run);
inline constexpr char kLiveEntryName[] = "LantrixScanLive";
inline constexpr char kLivePartName[] = "lantrix-scan-live.so";

// Where the part is looked for, in turn, for lantrix-scan in
// `executableFolder`: beside it (the build tree, a copy that runs from a
// folder of its own), then in the installed layout's library folder
// `libraryFolder`, relative to the prefix (an absolute one as it is).
QStringList LivePartCandidates(const QString& executableFolder, const QString& libraryFolder);

// Loads the first of `candidates` that exists and finds its entry; null when
// that fails, and `error` says why. The part stays loaded.
TLiveEntry LoadLivePart(const QStringList& candidates, QString& error);

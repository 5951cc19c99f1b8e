// lantrix-scan's side of the scan history: --history records each code
// written in history.sqlite of the data folder (the window's), and
// --history-export writes the whole history out.
#pragma once

#include "cli/ScanResult.h"

#include "history/HistoryStore.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <memory>
#include <optional>

// The limit of entries that settings.ini in `dataFolder` keeps
// (HistoryLimit), read as the window reads it, or the default.
int HistoryLimitOf(const QString& dataFolder);

// What the history calls a picture a result names: its absolute path,
// "Standard input" for "-"; a live source's name (the camera as named on the
// command line, the pipeline's description) without blanks around it.
QString HistorySource(const QByteArray& file, bool live);

// Writes every result with `writer` as before, then records the codes it
// wrote (while its output has not failed) in the history: the first of a picture, or each with --all. The
// store is opened at the first code, on the thread that writes (the one
// that runs the scan). A file that had to be moved aside, or a history that
// cannot be opened or written, is said once on `messages`; after a failure
// nothing more is recorded and Failed() is true. What is printed does not
// change.
class THistoryRecordingWriter : public TResultWriter {
public:
    THistoryRecordingWriter(std::unique_ptr<TResultWriter> writer, QString historyFile, int limit, bool live,
                            TCodesPerPicture codes, std::FILE* messages);
    void Write(const TScanResult& result) override;
    int OutputError() const override;
    bool Failed() const { return fFailed; }
    int Recorded() const { return fRecorded; }

private:
    std::unique_ptr<TResultWriter> fWriter;
    THistoryStore fStore;
    int fLimit;
    bool fLive;
    TCodesPerPicture fCodes;
    std::FILE* fMessages;
    bool fFailed = false;
    int fRecorded = 0;
};

// --history-export FILE: the whole history, newest first, in the format of
// FILE's suffix, written whole or not at all (a new file replaces the old
// one once complete). The exit status: 0 written, 2 when the history cannot
// be opened or read or the file cannot be written (said on `messages`).
int ExportHistory(const QString& historyFile, const QString& exportFile, std::FILE* messages);

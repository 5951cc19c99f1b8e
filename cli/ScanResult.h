// What lantrix-scan found in one picture (or one code of a live scan), and
// the writers that print it: as text, or as one JSON object a line.
#pragma once

#include "decode/DecodeBitmap.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <optional>

enum class TScanStatus { Decoded, Unreadable, Error };

struct TScanResult {
    QByteArray File;                  // the file as given (a name is bytes), or the live source
    TScanStatus Status = TScanStatus::Error;
    std::optional<TDecodedCode> Code; // Decoded: the code
    QString Error;                    // Error: why the picture could not be loaded or the source failed
};

// "decoded", "unreadable", "error".
const char* StatusName(TScanStatus status);

// Prints results one at a time, in the order they are given.
class TResultWriter {
public:
    virtual ~TResultWriter() = default;
    virtual void Write(const TScanResult& result) = 0;
};

// Text: the decoded text on `out`; "Unreadable!" or the error on `messages`;
// one line each. With `prefixFile`, each line starts with the file and ": ",
// as grep prefixes lines with several files.
class TTextWriter : public TResultWriter {
public:
    TTextWriter(std::FILE* out, std::FILE* messages, bool prefixFile);
    void Write(const TScanResult& result) override;

private:
    std::FILE* fOut;
    std::FILE* fMessages;
    bool fPrefixFile;
};

// JSON Lines on `out`: {"file", "status", "format", "text", "error"} for
// every result, null where a value does not apply. A file name's bytes that
// are not UTF-8 become U+FFFD.
class TJsonWriter : public TResultWriter {
public:
    explicit TJsonWriter(std::FILE* out);
    void Write(const TScanResult& result) override;

private:
    std::FILE* fOut;
};

// The one line (without its newline) TJsonWriter writes for a result.
QByteArray JsonLine(const TScanResult& result);

// The exit status of a run: 0 when every result was decoded (and there was
// one), 2 when any was an error, otherwise 1.
class TExitStatus {
public:
    void Add(TScanStatus status);
    int Code() const;

    static constexpr int kDecoded = 0;
    static constexpr int kUnreadable = 1;
    static constexpr int kError = 2;
    static constexpr int kUsage = 64;

private:
    bool fAny = false;
    bool fUnreadable = false;
    bool fError = false;
};

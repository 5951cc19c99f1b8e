// What lantrix-scan found in one picture (or one code of a live scan), and
// the writers that print it: as text, or as one JSON object a line.
#pragma once

#include "decode/DecodeBitmap.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <optional>
#include <vector>

enum class TScanStatus { Decoded, Unreadable, Error };

struct TScanResult {
    QByteArray File;                  // the file as given (a name is bytes), or the live source
    TScanStatus Status = TScanStatus::Error;
    std::optional<TDecodedCode> Code; // Decoded: the code
    QString Error;                    // Error: why the picture could not be loaded or the source failed
    std::vector<TDecodedCode> Codes;  // every code of the picture, in reading order (--all)
};

// What a result holds, and so how it is written: the one code of a picture
// (Code), or every code of it (Codes).
enum class TCodesPerPicture { One, All };

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
// as grep prefixes lines with several files. With every code of a picture,
// each code is a line of its own.
class TTextWriter : public TResultWriter {
public:
    TTextWriter(std::FILE* out, std::FILE* messages, bool prefixFile,
                TCodesPerPicture codes = TCodesPerPicture::One);
    void Write(const TScanResult& result) override;

private:
    std::FILE* fOut;
    std::FILE* fMessages;
    bool fPrefixFile;
    TCodesPerPicture fCodes;
};

// JSON Lines on `out`: {"file", "status", "format", "text", "bytes", "content", "error"}
// for every result, null where a value does not apply; "bytes" is the code's
// content as encoded, in hexadecimal (lower case). With every code of a
// picture: {"file", "status", "codes", "error"}, "codes" a list of {"format",
// "text", "bytes", "position", "content"} in reading order (empty when there is none,
// null after an error), "position" the four corners as [x, y] pairs. A file
// name's bytes that are not UTF-8 become U+FFFD.
class TJsonWriter : public TResultWriter {
public:
    explicit TJsonWriter(std::FILE* out, TCodesPerPicture codes = TCodesPerPicture::One);
    void Write(const TScanResult& result) override;

private:
    std::FILE* fOut;
    TCodesPerPicture fCodes;
};

// The one line (without its newline) TJsonWriter writes for a result.
QByteArray JsonLine(const TScanResult& result, TCodesPerPicture codes = TCodesPerPicture::One);

// The content of the code as encoded on `out`, byte for byte and nothing
// else (no newline); "Unreadable!" or the error on `messages`, a line each.
class TRawBytesWriter : public TResultWriter {
public:
    TRawBytesWriter(std::FILE* out, std::FILE* messages);
    void Write(const TScanResult& result) override;

private:
    std::FILE* fOut;
    std::FILE* fMessages;
};

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

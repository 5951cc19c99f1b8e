// What lantrix-scan found in one picture (or one code of a live scan), and
// the writers that print it: as text, or as one JSON object a line.
#pragma once

#include "decode/DecodeBitmap.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <vector>

enum class TScanStatus { Decoded, Unreadable, Error };

struct TScanResult {
    QByteArray file; // the file as given (a name is bytes), or the live source
    TScanStatus status = TScanStatus::Error;
    std::vector<TDecodedCode> codes; // Decoded: the codes found, in reading order (one at most unless --all)
    QString error;                   // Error: why the picture could not be loaded or the source failed
};

// How many codes of a picture are looked for, and so how a result is
// written: the first one (a JSON object with the code's own keys), or every
// one (a JSON object with a list of codes).
enum class TCodesPerPicture { One, All };

// How text reaches standard output: as decoded, or, for a terminal, with
// its control characters escaped so that a code cannot drive the terminal.
enum class TTextOutput { AsDecoded, ForTerminal };

// Bytes as a terminal is to show them, the way `ls -b` shows names in a
// UTF-8 locale: a backslash, the C0 controls, DEL and the C1 controls become
// escapes (\\, \a \b \t \n \v \f \r, else \ and three octal digits a byte,
// "\033" for ESC, "\302\233" for U+009B), and so does every byte that is no
// part of well-formed UTF-8 ("\233" for a lone 0x9B, which a terminal of
// 8-bit controls takes for CSI; "\377"); other UTF-8 text stays as it is.
QByteArray EscapeForTerminal(const QByteArray& text);

// A file as a message or a line names it: as given, an empty name as ''
// (as grep and ls name it), so that "lantrix-scan: '': ..." shows there was one.
QByteArray ShownFileName(const QByteArray& file);

// "decoded", "unreadable", "error".
const char* StatusName(TScanStatus status);

// Prints results one at a time, in the order they are given.
class TResultWriter {
public:
    virtual ~TResultWriter() = default;
    virtual void Write(const TScanResult& result) = 0;

    // The errno value of the first write of results that failed (a full
    // disk, a closed output), 0 while every one went out. Once one has
    // failed, the results after it are not written.
    // A writer that passes results on to another gives that one's.
    virtual int OutputError() const { return fOutputError; }

protected:
    // Writes the bytes to the results' stream and flushes it, unless a write
    // failed before; a failure is kept as OutputError.
    void WriteOutput(std::FILE* to, const QByteArray& bytes);

private:
    int fOutputError = 0;
};

// Text: the decoded text on `out`; "Unreadable!" or the error on `messages`;
// one line each. With `prefixFile`, each line starts with the file and ": ",
// as grep prefixes lines with several files. With every code of a picture,
// each code is a line of its own. With `program`, an error's line names the
// program and the file, "PROGRAM: FILE: ", with one file or several, as grep
// and coreutils name them ("lantrix-scan: a.png: No such file or
// directory"). For a terminal, the lines on `out` are written escaped
// (EscapeForTerminal), and so are those on `messages` for a terminal there.
class TTextWriter : public TResultWriter {
public:
    TTextWriter(std::FILE* out, std::FILE* messages, bool prefixFile, TCodesPerPicture codes = TCodesPerPicture::One,
                QByteArray program = {}, TTextOutput output = TTextOutput::AsDecoded,
                TTextOutput messagesOutput = TTextOutput::AsDecoded);
    void Write(const TScanResult& result) override;

private:
    std::FILE* fOut;
    std::FILE* fMessages;
    bool fPrefixFile;
    TCodesPerPicture fCodes;
    QByteArray fProgram;
    TTextOutput fOutput;
    TTextOutput fMessagesOutput;
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
// else (no newline); "Unreadable!" or the error on `messages`, a line each,
// an error's naming the program and the file as TTextWriter's do. For a
// terminal, the content is written escaped (EscapeForTerminal), a lone C1
// byte as "\233"; the messages too for a terminal on `messages`.
class TRawBytesWriter : public TResultWriter {
public:
    TRawBytesWriter(std::FILE* out, std::FILE* messages, QByteArray program = {},
                    TTextOutput output = TTextOutput::AsDecoded, TTextOutput messagesOutput = TTextOutput::AsDecoded);
    void Write(const TScanResult& result) override;

private:
    std::FILE* fOut;
    std::FILE* fMessages;
    QByteArray fProgram;
    TTextOutput fOutput;
    TTextOutput fMessagesOutput;
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

#include "cli/ScanResult.h"

#include "content/ContentJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

void WriteBytes(std::FILE* to, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
}

QByteArray ForOutput(const QByteArray& text, TTextOutput output)
{
    return output == TTextOutput::ForTerminal ? EscapeForTerminal(text) : text;
}

QJsonValue TextOrNull(const QString& text, bool present)
{
    return present ? QJsonValue(text) : QJsonValue(QJsonValue::Null);
}

QString Hexadecimal(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// [[x, y], ...] for the four corners.
QJsonArray PositionArray(const TDecodedCode& code)
{
    QJsonArray corners;
    for (const QPoint& corner : code.position)
        corners.append(QJsonArray{corner.x(), corner.y()});
    return corners;
}

QJsonObject CodeObject(const TDecodedCode& code)
{
    QJsonObject object;
    object.insert(QStringLiteral("format"), CodeFormatName(code.format));
    object.insert(QStringLiteral("text"), code.text);
    object.insert(QStringLiteral("bytes"), Hexadecimal(code.bytes));
    object.insert(QStringLiteral("position"), PositionArray(code));
    object.insert(QStringLiteral("content"), ContentJson(ParseContent(code.text)));
    return object;
}

// What a message line starts with: the program and the file for an error,
// with one file or several, as grep has it; the file for another message of
// several files.
QByteArray MessagePrefix(const TScanResult& result, bool prefixFile, const QByteArray& program)
{
    if (!program.isEmpty() && result.status == TScanStatus::Error)
        return program + ": " + ShownFileName(result.file) + ": ";
    if (prefixFile)
        return ShownFileName(result.file) + ": ";
    return QByteArray();
}

void WriteMessage(std::FILE* to, const TScanResult& result, const QByteArray& prefix, TTextOutput output)
{
    QByteArray line = prefix;
    line += result.status == TScanStatus::Unreadable ? QByteArray("Unreadable!") : result.error.toUtf8();
    line = ForOutput(line, output) + '\n';
    WriteBytes(to, line);
    std::fflush(to);
}

// The length of the well-formed UTF-8 sequence at `at` of a character from
// U+0080 on (RFC 3629: no overlong form, no surrogate, nothing past
// U+10FFFF), or 0 when the byte there starts none.
qsizetype Utf8SequenceAt(const QByteArray& text, qsizetype at)
{
    const auto byte = [&text](qsizetype i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xbf; // the second byte's range
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xbf)
            return 0;
    return length;
}

} // namespace

QByteArray EscapeForTerminal(const QByteArray& text)
{
    QByteArray escaped;
    escaped.reserve(text.size());
    const auto octal = [&escaped](unsigned char byte) {
        escaped += '\\';
        escaped += char('0' + (byte >> 6));
        escaped += char('0' + ((byte >> 3) & 7));
        escaped += char('0' + (byte & 7));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
        case '\\': escaped += "\\\\"; continue;
        case '\a': escaped += "\\a"; continue;
        case '\b': escaped += "\\b"; continue;
        case '\t': escaped += "\\t"; continue;
        case '\n': escaped += "\\n"; continue;
        case '\v': escaped += "\\v"; continue;
        case '\f': escaped += "\\f"; continue;
        case '\r': escaped += "\\r"; continue;
        default: break;
        }
        if (byte < 0x20 || byte == 0x7f) {
            octal(byte);
            continue;
        }
        if (byte < 0x80) {
            escaped += char(byte);
            continue;
        }
        const qsizetype length = Utf8SequenceAt(text, i);
        if (length == 0) {
            octal(byte); // no UTF-8: a lone C1 byte among them
        } else if (byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            // U+0080 to U+009F: the C1 controls, CSI among them.
            octal(byte);
            octal(static_cast<unsigned char>(text[++i]));
        } else {
            escaped += text.mid(i, length);
            i += length - 1;
        }
    }
    return escaped;
}

QByteArray ShownFileName(const QByteArray& file)
{
    return file.isEmpty() ? QByteArrayLiteral("''") : file;
}

void TResultWriter::WriteOutput(std::FILE* to, const QByteArray& bytes)
{
    if (fOutputError != 0)
        return;
    errno = 0;
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, to) != size || std::fflush(to) != 0 || std::ferror(to))
        fOutputError = errno != 0 ? errno : EIO;
}

const char* StatusName(TScanStatus status)
{
    switch (status) {
    case TScanStatus::Decoded: return "decoded";
    case TScanStatus::Unreadable: return "unreadable";
    case TScanStatus::Error: return "error";
    }
    return "error";
}

TTextWriter::TTextWriter(std::FILE* out, std::FILE* messages, bool prefixFile, TCodesPerPicture codes,
                         QByteArray program, TTextOutput output, TTextOutput messagesOutput)
    : fOut(out)
    , fMessages(messages)
    , fPrefixFile(prefixFile)
    , fCodes(codes)
    , fProgram(std::move(program))
    , fOutput(output)
    , fMessagesOutput(messagesOutput)
{
}

void TTextWriter::Write(const TScanResult& result)
{
    const QByteArray prefix = fPrefixFile ? ShownFileName(result.file) + ": " : QByteArray();
    if (result.status != TScanStatus::Decoded) {
        WriteMessage(fMessages, result, MessagePrefix(result, fPrefixFile, fProgram), fMessagesOutput);
        return;
    }
    // A line a code; with one code a picture, the first only.
    const std::size_t count =
        fCodes == TCodesPerPicture::One ? std::min<std::size_t>(result.codes.size(), 1) : result.codes.size();
    QByteArray lines;
    for (std::size_t i = 0; i < count; ++i)
        lines += ForOutput(prefix + result.codes[i].text.toUtf8(), fOutput) + '\n';
    WriteOutput(fOut, lines); // each result as soon as it is known, also through a pipe
}

TJsonWriter::TJsonWriter(std::FILE* out, TCodesPerPicture codes)
    : fOut(out)
    , fCodes(codes)
{
}

void TJsonWriter::Write(const TScanResult& result)
{
    WriteOutput(fOut, JsonLine(result, fCodes) + '\n');
}

QByteArray JsonLine(const TScanResult& result, TCodesPerPicture codes)
{
    QJsonObject object;
    object.insert(QStringLiteral("file"), QString::fromUtf8(result.file));
    object.insert(QStringLiteral("status"), QLatin1String(StatusName(result.status)));
    if (codes == TCodesPerPicture::All) {
        QJsonArray list;
        for (const TDecodedCode& code : result.codes)
            list.append(CodeObject(code));
        object.insert(QStringLiteral("codes"),
                      result.status == TScanStatus::Error ? QJsonValue(QJsonValue::Null) : QJsonValue(list));
    } else {
        const TDecodedCode* code =
            result.status == TScanStatus::Decoded && !result.codes.empty() ? &result.codes.front() : nullptr;
        object.insert(QStringLiteral("format"), TextOrNull(code ? CodeFormatName(code->format) : QString(), code));
        object.insert(QStringLiteral("text"), TextOrNull(code ? code->text : QString(), code));
        object.insert(QStringLiteral("bytes"), TextOrNull(code ? Hexadecimal(code->bytes) : QString(), code));
        object.insert(QStringLiteral("content"),
                      code ? QJsonValue(ContentJson(ParseContent(code->text))) : QJsonValue(QJsonValue::Null));
    }
    object.insert(QStringLiteral("error"), TextOrNull(result.error, result.status == TScanStatus::Error));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

TRawBytesWriter::TRawBytesWriter(std::FILE* out, std::FILE* messages, QByteArray program, TTextOutput output,
                                 TTextOutput messagesOutput)
    : fOut(out)
    , fMessages(messages)
    , fProgram(std::move(program))
    , fOutput(output)
    , fMessagesOutput(messagesOutput)
{
}

void TRawBytesWriter::Write(const TScanResult& result)
{
    if (result.status != TScanStatus::Decoded || result.codes.empty()) {
        WriteMessage(fMessages, result, MessagePrefix(result, false, fProgram), fMessagesOutput);
        return;
    }
    WriteOutput(fOut, ForOutput(result.codes.front().bytes, fOutput));
}

void TExitStatus::Add(TScanStatus status)
{
    fAny = true;
    fUnreadable = fUnreadable || status == TScanStatus::Unreadable;
    fError = fError || status == TScanStatus::Error;
}

int TExitStatus::Code() const
{
    if (fError)
        return kError;
    if (fUnreadable || !fAny)
        return kUnreadable;
    return kDecoded;
}

#include "cli/ScanResult.h"

#include "content/ContentJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

void WriteBytes(std::FILE* to, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
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
    for (const QPoint& corner : code.Position)
        corners.append(QJsonArray{corner.x(), corner.y()});
    return corners;
}

QJsonObject CodeObject(const TDecodedCode& code)
{
    QJsonObject object;
    object.insert(QStringLiteral("format"), CodeFormatName(code.Format));
    object.insert(QStringLiteral("text"), code.Text);
    object.insert(QStringLiteral("bytes"), Hexadecimal(code.Bytes));
    object.insert(QStringLiteral("position"), PositionArray(code));
    object.insert(QStringLiteral("content"), ContentJson(ParseContent(code.Text)));
    return object;
}

void WriteMessage(std::FILE* to, const TScanResult& result, const QByteArray& prefix)
{
    QByteArray line = prefix;
    line += result.Status == TScanStatus::Unreadable ? QByteArray("Unreadable!") : result.Error.toUtf8();
    line += '\n';
    WriteBytes(to, line);
    std::fflush(to);
}

} // namespace

const char* StatusName(TScanStatus status)
{
    switch (status) {
    case TScanStatus::Decoded: return "decoded";
    case TScanStatus::Unreadable: return "unreadable";
    case TScanStatus::Error: return "error";
    }
    return "error";
}

TTextWriter::TTextWriter(std::FILE* out, std::FILE* messages, bool prefixFile, TCodesPerPicture codes)
    : fOut(out)
    , fMessages(messages)
    , fPrefixFile(prefixFile)
    , fCodes(codes)
{
}

void TTextWriter::Write(const TScanResult& result)
{
    const QByteArray prefix = fPrefixFile ? result.File + ": " : QByteArray();
    if (result.Status != TScanStatus::Decoded) {
        WriteMessage(fMessages, result, prefix);
        return;
    }
    QByteArray lines;
    if (fCodes == TCodesPerPicture::All) {
        for (const TDecodedCode& code : result.Codes)
            lines += prefix + code.Text.toUtf8() + '\n';
    } else {
        lines = prefix + (result.Code ? result.Code->Text.toUtf8() : QByteArray()) + '\n';
    }
    WriteBytes(fOut, lines);
    std::fflush(fOut); // each result as soon as it is known, also through a pipe
}

TJsonWriter::TJsonWriter(std::FILE* out, TCodesPerPicture codes)
    : fOut(out)
    , fCodes(codes)
{
}

void TJsonWriter::Write(const TScanResult& result)
{
    WriteBytes(fOut, JsonLine(result, fCodes) + '\n');
    std::fflush(fOut);
}

QByteArray JsonLine(const TScanResult& result, TCodesPerPicture codes)
{
    QJsonObject object;
    object.insert(QStringLiteral("file"), QString::fromUtf8(result.File));
    object.insert(QStringLiteral("status"), QLatin1String(StatusName(result.Status)));
    if (codes == TCodesPerPicture::All) {
        QJsonArray list;
        for (const TDecodedCode& code : result.Codes)
            list.append(CodeObject(code));
        object.insert(QStringLiteral("codes"),
                      result.Status == TScanStatus::Error ? QJsonValue(QJsonValue::Null) : QJsonValue(list));
    } else {
        const bool decoded = result.Status == TScanStatus::Decoded && result.Code;
        object.insert(QStringLiteral("format"),
                      TextOrNull(decoded ? CodeFormatName(result.Code->Format) : QString(), decoded));
        object.insert(QStringLiteral("text"), TextOrNull(decoded ? result.Code->Text : QString(), decoded));
        object.insert(QStringLiteral("bytes"), TextOrNull(decoded ? Hexadecimal(result.Code->Bytes) : QString(), decoded));
        object.insert(QStringLiteral("content"), decoded ? QJsonValue(ContentJson(ParseContent(result.Code->Text)))
                                                         : QJsonValue(QJsonValue::Null));
    }
    object.insert(QStringLiteral("error"), TextOrNull(result.Error, result.Status == TScanStatus::Error));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

TRawBytesWriter::TRawBytesWriter(std::FILE* out, std::FILE* messages)
    : fOut(out)
    , fMessages(messages)
{
}

void TRawBytesWriter::Write(const TScanResult& result)
{
    if (result.Status != TScanStatus::Decoded || !result.Code) {
        WriteMessage(fMessages, result, QByteArray());
        return;
    }
    WriteBytes(fOut, result.Code->Bytes);
    std::fflush(fOut);
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

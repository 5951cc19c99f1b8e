#include "cli/ScanResult.h"

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

TTextWriter::TTextWriter(std::FILE* out, std::FILE* messages, bool prefixFile)
    : fOut(out)
    , fMessages(messages)
    , fPrefixFile(prefixFile)
{
}

void TTextWriter::Write(const TScanResult& result)
{
    std::FILE* to = result.Status == TScanStatus::Decoded ? fOut : fMessages;
    QByteArray line;
    if (fPrefixFile)
        line = result.File + ": ";
    switch (result.Status) {
    case TScanStatus::Decoded: line += result.Code ? result.Code->Text.toUtf8() : QByteArray(); break;
    case TScanStatus::Unreadable: line += "Unreadable!"; break;
    case TScanStatus::Error: line += result.Error.toUtf8(); break;
    }
    line += '\n';
    WriteBytes(to, line);
    std::fflush(to); // each result as soon as it is known, also through a pipe
}

TJsonWriter::TJsonWriter(std::FILE* out)
    : fOut(out)
{
}

void TJsonWriter::Write(const TScanResult& result)
{
    WriteBytes(fOut, JsonLine(result) + '\n');
    std::fflush(fOut);
}

QByteArray JsonLine(const TScanResult& result)
{
    const bool decoded = result.Status == TScanStatus::Decoded && result.Code;
    QJsonObject object;
    object.insert(QStringLiteral("file"), QString::fromUtf8(result.File));
    object.insert(QStringLiteral("status"), QLatin1String(StatusName(result.Status)));
    object.insert(QStringLiteral("format"), TextOrNull(decoded ? CodeFormatName(result.Code->Format) : QString(), decoded));
    object.insert(QStringLiteral("text"), TextOrNull(decoded ? result.Code->Text : QString(), decoded));
    object.insert(QStringLiteral("error"), TextOrNull(result.Error, result.Status == TScanStatus::Error));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
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

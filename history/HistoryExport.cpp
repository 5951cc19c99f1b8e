#include "history/HistoryExport.h"

#include "content/Content.h"
#include "content/ContentJson.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

// What a spreadsheet takes for the start of a formula, and the apostrophe
// that marks a text, so that a leading one added is told from the text's own.
bool NeedsApostrophe(const QString& value)
{
    if (value.isEmpty())
        return false;
    switch (value.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
    case u'\'': return true;
    default: return false;
    }
}

} // namespace

std::optional<THistoryExportFormat> ExportFormatForFile(const QString& file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return THistoryExportFormat::Csv;
    if (suffix == QLatin1String("jsonl") || suffix == QLatin1String("ndjson"))
        return THistoryExportFormat::JsonLines;
    return std::nullopt;
}

QString HistoryTimeText(const QDateTime& time)
{
    if (!time.isValid())
        return QString();
    const QDateTime local = time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QByteArray HistoryCsvField(const QString& value)
{
    QByteArray field = (NeedsApostrophe(value) ? QStringLiteral("'") + value : value).toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r')) {
        field.replace('"', "\"\"");
        field = '"' + field + '"';
    }
    return field;
}

QByteArray HistoryCsv(const QList<THistoryEntry>& entries)
{
    QByteArray csv = "time,source,format,text,content_type\r\n";
    for (const THistoryEntry& entry : entries) {
        csv += HistoryCsvField(HistoryTimeText(entry.time));
        for (const QString* value : {&entry.source, &entry.format, &entry.text, &entry.contentType}) {
            csv += ',';
            csv += HistoryCsvField(*value);
        }
        csv += "\r\n";
    }
    return csv;
}

QByteArray HistoryJsonLines(const QList<THistoryEntry>& entries)
{
    QByteArray lines;
    for (const THistoryEntry& entry : entries) {
        QJsonObject object;
        object.insert(QStringLiteral("time"),
                      entry.time.isValid() ? QJsonValue(HistoryTimeText(entry.time)) : QJsonValue(QJsonValue::Null));
        object.insert(QStringLiteral("source"), entry.source);
        object.insert(QStringLiteral("format"), entry.format);
        object.insert(QStringLiteral("text"), entry.text);
        object.insert(QStringLiteral("bytes"), QString::fromLatin1(entry.bytes.toHex()));
        object.insert(QStringLiteral("content"), ContentJson(ParseContent(entry.text)));
        lines += QJsonDocument(object).toJson(QJsonDocument::Compact);
        lines += '\n';
    }
    return lines;
}

QByteArray HistoryExport(const QList<THistoryEntry>& entries, THistoryExportFormat format)
{
    return format == THistoryExportFormat::Csv ? HistoryCsv(entries) : HistoryJsonLines(entries);
}

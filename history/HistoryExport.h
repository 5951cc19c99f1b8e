// The scan history written out as CSV or JSON Lines.
#pragma once

#include "history/HistoryEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

enum class THistoryExportFormat { Csv, JsonLines };

// By the file's suffix, in any case: ".csv" is CSV, ".jsonl" and ".ndjson"
// JSON Lines; anything else none.
std::optional<THistoryExportFormat> ExportFormatForFile(const QString& file);

// CSV: RFC 4180, UTF-8 without a byte order mark, CR LF line ends, a header
// row "time,source,format,text,content_type"; the time in ISO 8601 with the
// local offset. A field is quoted when it holds a comma, a quote or a line
// break. A field that begins with = + - @, a tab or a carriage return (what a
// spreadsheet takes for a formula), or with an apostrophe, gets one
// apostrophe more in front: a spreadsheet shows it as text, and a program
// reading the file gets the text back by removing one leading apostrophe.
QByteArray HistoryCsv(const QList<THistoryEntry>& entries);
// One field of that CSV as it is written (quoted when it has to be).
QByteArray HistoryCsvField(const QString& value);

// JSON Lines: one object a line, the shape of lantrix-scan --json's code
// objects with the time and the source: {"time", "source", "format", "text",
// "bytes" (hexadecimal), "content" (the content's JSON)}.
QByteArray HistoryJsonLines(const QList<THistoryEntry>& entries);

// The export in the given format.
QByteArray HistoryExport(const QList<THistoryEntry>& entries, THistoryExportFormat format);

// The time as the exports write it: ISO 8601 with the local offset, to the second.
QString HistoryTimeText(const QDateTime& time);

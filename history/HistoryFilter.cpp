#include "history/HistoryFilter.h"

QList<qsizetype> FilterHistory(const QList<THistoryEntry>& entries, const QString& query, const QString& format)
{
    QList<qsizetype> shown;
    shown.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const THistoryEntry& entry = entries[i];
        if (!format.isEmpty() && entry.format != format)
            continue;
        if (!query.isEmpty() && !entry.text.contains(query, Qt::CaseInsensitive)
            && !entry.source.contains(query, Qt::CaseInsensitive) && !entry.format.contains(query, Qt::CaseInsensitive))
            continue;
        shown.append(i);
    }
    return shown;
}

// The scan history's search.
#pragma once

#include "history/HistoryEntry.h"

#include <QList>
#include <QString>

// The entries the History tab shows after its search: `query` found in the
// text, the source or the format (case-insensitive; an empty query takes
// every entry), and `format` ("" for any) equal to the entry's format.
// Indexes into `entries`, in order.
QList<qsizetype> FilterHistory(const QList<THistoryEntry>& entries, const QString& query, const QString& format);

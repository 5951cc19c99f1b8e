#pragma once
// The History tab's list: the entries of the history, newest first, and the
// rows its search leaves (FilterHistory), as a table of time, format and the
// content's one-line summary. No widgets: a view shows it. A keystroke in
// the search costs one pass of FilterHistory and a reset of the rows; the
// texts of a row are made only when the view asks for them, for the rows it
// shows.

#include "app/CodeActions.h"
#include "history/HistoryEntry.h"
#include "history/HistoryFilter.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

class THistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { TimeColumn, FormatColumn, SummaryColumn, ColumnCount };
    // The summary column's parts besides its text: the label that always
    // shows ("Link to:"), the value that gives way when the column is
    // narrow, and which end of it stays (a TSummaryElision as an int).
    static constexpr int kLabelRole = Qt::UserRole + 1;
    static constexpr int kValueRole = Qt::UserRole + 2;
    static constexpr int kElisionRole = Qt::UserRole + 3;

    explicit THistoryModel(QObject* parent = nullptr);

    // Every entry, newest first; the search stays as it was.
    void SetEntries(QList<THistoryEntry> entries);
    // An entry recorded now, in front; the oldest beyond `limit` go
    // (0: no limit). Rows shown before stay where they are in the view.
    void Prepend(const THistoryEntry& entry, int limit);
    // The entries of these ids gone.
    void RemoveIds(const QList<qint64>& ids);

    // The search: `query` found in the text, source or format, and the
    // format `format` ("" for any).
    void SetFilter(const QString& query, const QString& format);
    const QString& Query() const { return fQuery; }
    const QString& Format() const { return fFormat; }

    // The entry shown in `row`, and those shown, in the order shown.
    const THistoryEntry& EntryAt(int row) const;
    QList<THistoryEntry> ShownEntries() const;
    qsizetype EntryCount() const { return fEntries.size(); }
    bool ContainsId(qint64 id) const;
    // The formats among all entries, sorted.
    QStringList Formats() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool Matches(const THistoryEntry& entry) const;

    QList<THistoryEntry> fEntries; // newest first
    QList<qsizetype> fShown;       // indexes into fEntries, in order
    QString fQuery;
    QString fFormat;
};

// A text on one line for a list or a label: control characters and line
// and paragraph separators as blanks, at most `maxLength` characters (a
// list shows no more).
QString OneLine(const QString& text, qsizetype maxLength = 500);

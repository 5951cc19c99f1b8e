#include "app/HistoryModel.h"

#include "content/TextCheck.h"

#include <QLocale>
#include <QSet>

#include <algorithm>

QString OneLine(const QString& text, qsizetype maxLength)
{
    QString line = text.left(maxLength);
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    // Shown as it is: a right-to-left override or a zero-width character
    // would make the line read as something else.
    return WithoutHiddenCharacters(line);
}

THistoryModel::THistoryModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void THistoryModel::SetEntries(QList<THistoryEntry> entries)
{
    beginResetModel();
    fEntries = std::move(entries);
    fShown = FilterHistory(fEntries, fQuery, fFormat);
    endResetModel();
}

bool THistoryModel::Matches(const THistoryEntry& entry) const
{
    return !FilterHistory({entry}, fQuery, fFormat).isEmpty();
}

void THistoryModel::Prepend(const THistoryEntry& entry, int limit)
{
    fEntries.prepend(entry);
    for (qsizetype& index : fShown)
        ++index; // the same entries, one further down the list
    if (Matches(entry)) {
        beginInsertRows(QModelIndex(), 0, 0);
        fShown.prepend(0);
        endInsertRows();
    }
    while (limit > 0 && fEntries.size() > limit) {
        const qsizetype oldest = fEntries.size() - 1;
        if (!fShown.isEmpty() && fShown.constLast() == oldest) {
            const int row = int(fShown.size() - 1);
            beginRemoveRows(QModelIndex(), row, row);
            fShown.removeLast();
            fEntries.removeLast();
            endRemoveRows();
        } else {
            fEntries.removeLast();
        }
    }
}

void THistoryModel::RemoveIds(const QList<qint64>& ids)
{
    const QSet<qint64> gone(ids.begin(), ids.end());
    QList<THistoryEntry> kept;
    kept.reserve(fEntries.size());
    for (const THistoryEntry& entry : std::as_const(fEntries))
        if (!gone.contains(entry.id))
            kept.append(entry);
    SetEntries(std::move(kept));
}

void THistoryModel::SetFilter(const QString& query, const QString& format)
{
    beginResetModel();
    fQuery = query;
    fFormat = format;
    fShown = FilterHistory(fEntries, fQuery, fFormat);
    endResetModel();
}

const THistoryEntry& THistoryModel::EntryAt(int row) const
{
    return fEntries.at(fShown.at(row));
}

QList<THistoryEntry> THistoryModel::ShownEntries() const
{
    QList<THistoryEntry> shown;
    shown.reserve(fShown.size());
    for (const qsizetype index : fShown)
        shown.append(fEntries.at(index));
    return shown;
}

bool THistoryModel::ContainsId(qint64 id) const
{
    return std::any_of(fEntries.begin(), fEntries.end(), [id](const THistoryEntry& entry) { return entry.id == id; });
}

QStringList THistoryModel::Formats() const
{
    QSet<QString> formats;
    for (const THistoryEntry& entry : fEntries)
        formats.insert(entry.format);
    QStringList sorted(formats.begin(), formats.end());
    sorted.removeAll(QString());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

int THistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(fShown.size());
}

int THistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant THistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= fShown.size())
        return {};
    const THistoryEntry& entry = EntryAt(index.row());
    switch (index.column()) {
    case TimeColumn:
        if (role == Qt::DisplayRole)
            return QLocale().toString(entry.time.toLocalTime(), QLocale::ShortFormat);
        break;
    case FormatColumn:
        if (role == Qt::DisplayRole)
            return entry.format;
        break;
    case SummaryColumn: {
        if (role != Qt::DisplayRole && role != kLabelRole && role != kValueRole && role != kElisionRole
            && role != Qt::ToolTipRole)
            break;
        // Plain text is its own summary.
        const TCodeSummary summary = CodeSummary(entry.text);
        const QString value = OneLine(summary.label.isEmpty() ? entry.text : summary.value);
        switch (role) {
        case kLabelRole: return summary.label;
        case kValueRole: return value;
        case kElisionRole: return int(summary.elision);
        case Qt::ToolTipRole: {
            // A tooltip is rich text when it looks like it: escaped, it never is.
            const QString whole = summary.label.isEmpty() ? value : summary.label + u' ' + value;
            return QString(QStringLiteral("<p>") + whole.toHtmlEscaped() + QStringLiteral("</p>"));
        }
        default: return summary.label.isEmpty() ? value : summary.label + u' ' + value;
        }
    }
    default: break;
    }
    return {};
}

QVariant THistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // English, as every control of the main window.
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn: return QStringLiteral("Time");
    case FormatColumn: return QStringLiteral("Format");
    case SummaryColumn: return QStringLiteral("Content");
    default: return {};
    }
}

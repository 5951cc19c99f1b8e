#include "app/HistoryBrowser.h"

#include "content/Content.h"
#include "decode/BarcodeFormat.h"
#include "localization/FormatPattern.h"
#include "localization/LanguageFiles.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QSaveFile>

#include <stdexcept>

namespace {

const QString kSection = QLatin1String(kHistorySettingsSection);
const QString kKeepKey = QLatin1String(kKeepHistoryKey);
const QString kLimitKey = QLatin1String(kHistoryLimitKey);

[[noreturn]] void Raise(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace

bool LoadKeepHistory(const SettingsStore* store)
{
    return !store || KeepHistoryFromSetting(store->ReadString(kSection, kKeepKey, QString()));
}

void SaveKeepHistory(bool on, SettingsStore* store)
{
    if (!store)
        return;
    store->WriteString(kSection, kKeepKey, on ? QStringLiteral("1") : QStringLiteral("0"));
    store->UpdateFile();
}

int LoadHistoryLimit(const SettingsStore* store)
{
    return store ? HistoryLimitFromSetting(store->ReadString(kSection, kLimitKey, QString())) : kDefaultHistoryLimit;
}

THistoryEntry HistoryEntryOf(const TDecodedCode& code, const QString& source, const QDateTime& time)
{
    THistoryEntry entry;
    entry.time = time;
    entry.source = source;
    entry.format = CodeFormatName(code.format);
    entry.text = code.text;
    entry.bytes = code.bytes;
    entry.contentType = ContentTypeName(ParseContent(code.text));
    return entry;
}

QString ExportFileName(const QString& chosen, THistoryExportFormat kind)
{
    if (ExportFormatForFile(chosen))
        return chosen;
    return chosen + (kind == THistoryExportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".jsonl"));
}

THistoryBrowser::THistoryBrowser(const QString& file, SettingsStore* settings, QObject* parent)
    : QObject(parent)
    , fSettings(settings)
    , fKeep(LoadKeepHistory(settings))
    , fLimit(LoadHistoryLimit(settings))
{
    if (file.isEmpty()) {
        fFailed = true;
        fTrouble = Translate(QStringLiteral("The history is not kept in this run: there is no data folder."));
        return;
    }
    // The tab's connection opens the file first, here: a damaged file is moved
    // aside and a fresh one made before the writer opens its own, and what
    // happened is known at once, to be said once the window listens.
    fReader = std::make_unique<THistoryStore>(file);
    const THistoryStore::TOpenOutcome outcome = fReader->Open();
    const auto say = [this] { emit StatusMessage(fTrouble); };
    switch (outcome.status) {
    case THistoryStore::TOpenStatus::Opened: break;
    case THistoryStore::TOpenStatus::Replaced:
        // Said once, in the status bar, and kept as the tab's notice for the run.
        fTrouble = FormatTranslated(
            QStringLiteral("The history file was damaged and has been moved aside as %s; a new history was started."),
            QDir::toNativeSeparators(outcome.movedTo));
        QMetaObject::invokeMethod(this, say, Qt::QueuedConnection);
        break;
    case THistoryStore::TOpenStatus::Failed:
        fReader.reset();
        fFailed = true;
        fTrouble = FormatTranslated(QStringLiteral("The history is not kept in this run: %s"), outcome.message);
        QMetaObject::invokeMethod(this, say, Qt::QueuedConnection);
        return;
    }
    fWriter = std::make_unique<THistoryWriter>(file);
    connect(fWriter.get(), &THistoryWriter::Opened, this, &THistoryBrowser::WriterOpened);
    connect(fWriter.get(), &THistoryWriter::Failed, this, &THistoryBrowser::Stop);
    connect(fWriter.get(), &THistoryWriter::Recorded, this, &THistoryBrowser::Recorded);
}

THistoryBrowser::~THistoryBrowser()
{
    // The records still queued are written before the reader's connection goes.
    fWriter.reset();
}

void THistoryBrowser::WriterOpened(const THistoryStore::TOpenOutcome& outcome)
{
    // The file opened here already; the writer's own connection failing to
    // open it stops recording as a failed write does.
    if (outcome.status == THistoryStore::TOpenStatus::Failed)
        Stop(outcome.message);
}

void THistoryBrowser::Stop(const QString& why)
{
    if (fFailed)
        return; // said once
    fFailed = true;
    fTrouble = FormatTranslated(QStringLiteral("The history is not kept in this run: %s"), why);
    emit StatusMessage(fTrouble);
    emit NoticeChanged();
}

void THistoryBrowser::Recorded(const THistoryEntry& entry)
{
    // The list is read from the file when the tab is shown; a record read
    // there already is not added twice.
    if (fLoaded && !fModel.ContainsId(entry.id))
        fModel.Prepend(entry, fLimit);
}

QString THistoryBrowser::Notice() const
{
    QString notice;
    if (!fKeep)
        notice = Translate(QStringLiteral("History is off: codes read are not recorded."));
    if (!fTrouble.isEmpty())
        notice += (notice.isEmpty() ? QString() : QStringLiteral("\n")) + fTrouble;
    return notice;
}

void THistoryBrowser::SetKeepHistory(bool on)
{
    fKeep = on;
    emit NoticeChanged();
    SaveKeepHistory(on, fSettings);
}

void THistoryBrowser::Record(const TDecodedCode& code, const QString& source)
{
    if (!Recording() || !fWriter)
        return;
    fWriter->Record(HistoryEntryOf(code, source, QDateTime::currentDateTime()), fLimit);
}

void THistoryBrowser::Reload()
{
    fLoaded = true;
    if (!fReader) {
        fModel.SetEntries({});
        return;
    }
    QString error;
    QList<THistoryEntry> entries = fReader->All(&error);
    if (!error.isEmpty())
        emit StatusMessage(FormatTranslated(QStringLiteral("The history could not be read: %s"), error));
    fModel.SetEntries(std::move(entries));
}

void THistoryBrowser::Remove(const QList<int>& rows)
{
    QList<qint64> ids;
    for (const int row : rows)
        if (row >= 0 && row < fModel.rowCount())
            ids.append(fModel.EntryAt(row).id);
    if (ids.isEmpty())
        return;
    QString error;
    if (!fReader || !fReader->Remove(ids, &error))
        Raise(FormatTranslated(QStringLiteral("The entries could not be deleted: %s"), fReader ? error : fTrouble));
    fModel.RemoveIds(ids);
}

void THistoryBrowser::Clear()
{
    QString error;
    if (!fReader || !fReader->Clear(&error))
        Raise(FormatTranslated(QStringLiteral("The history could not be cleared: %s"), fReader ? error : fTrouble));
    fModel.SetEntries({});
}

void THistoryBrowser::Export(const QString& file) const
{
    const QString shown = QDir::toNativeSeparators(file);
    const std::optional<THistoryExportFormat> kind = ExportFormatForFile(file);
    if (!kind)
        Raise(FormatTranslated(QStringLiteral("%s: the history is exported as a .csv or a .jsonl file."), shown));
    const QByteArray bytes = HistoryExport(fModel.ShownEntries(), *kind);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        Raise(FormatTranslated(QStringLiteral("The history could not be exported to %s."), shown) + u' '
              + out.errorString());
}

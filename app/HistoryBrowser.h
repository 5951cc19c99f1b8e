#pragma once
// The history as the window keeps and shows it, without widgets: every code
// read goes to one THistoryWriter (the writer's thread writes it, so the
// decode path only queues it), the History tab's list (THistoryModel) with
// its search, the deletion, clearing and export of entries, and the user's
// Settings > "Keep History". A history that cannot be opened or written
// turns recording off for the run and says so once; decoding never waits
// for it and never fails because of it.

#include "app/HistoryModel.h"
#include "decode/DecodeBitmap.h"
#include "history/HistoryEntry.h"
#include "history/HistoryExport.h"
#include "history/HistorySettings.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class SettingsStore;

// Settings > "Keep History" as `store` holds it (KeepHistoryFromSetting):
// missing (as after Reset to Defaults), or no store, is on.
bool LoadKeepHistory(const SettingsStore* store);
// Writes the choice and the file; raises ESettingsError when it cannot.
void SaveKeepHistory(bool on, SettingsStore* store);

// How many entries the history keeps, the oldest going first, as `store`
// holds it (HistoryLimitFromSetting); kDefaultHistoryLimit without a store.
int LoadHistoryLimit(const SettingsStore* store);

// The entry the history keeps of a code read at `time` from `source`.
THistoryEntry HistoryEntryOf(const TDecodedCode& code, const QString& source, const QDateTime& time);

// The file an export writes: `chosen` when its suffix names a kind of
// export, else `chosen` with the suffix of `kind` (what the save dialog's
// chosen filter says).
QString ExportFileName(const QString& chosen, THistoryExportFormat kind);

class THistoryBrowser : public QObject {
    Q_OBJECT
public:
    // `file`: history.sqlite in the data folder, opened at once (a damaged
    // one moved aside), then by the writer on its thread; empty (no data
    // folder): no history this run. What happened to the file is said
    // (StatusMessage) once the event loop runs, after the caller connected.
    // `settings` (may be null) holds Keep History and the limit.
    THistoryBrowser(const QString& file, SettingsStore* settings, QObject* parent = nullptr);
    ~THistoryBrowser() override;

    THistoryModel& Model() { return fModel; }

    bool KeepHistory() const { return fKeep; }
    // Settings > "Keep History" toggled: applies at once; then written to
    // settings.ini, raising ESettingsError when that fails (the choice
    // holds for this run all the same). Turning it off deletes nothing.
    void SetKeepHistory(bool on);
    int Limit() const { return fLimit; }
    // Whether a code read now is recorded: Keep History is on and the
    // history works.
    bool Recording() const { return fKeep && !fFailed; }
    // What the tab says above its list; empty while all is well and kept.
    QString Notice() const;

    // A code read: queued to the writer when Recording(); returns at once.
    void Record(const TDecodedCode& code, const QString& source);

    // The entries read again from the file (the tab is shown; lantrix-scan
    // --history may have added some). Nothing while the history is not open.
    void Reload();
    // The shown rows' entries deleted from the file and the list. Raises a
    // translated error when the file refuses; the list is then as it was.
    void Remove(const QList<int>& rows);
    // Every entry deleted; errors as Remove's.
    void Clear();
    // The shown entries (after the search) written to `file`, CSV or JSON
    // Lines by its suffix, through QSaveFile: a failed export leaves any
    // earlier file whole. Raises a translated error naming the file.
    void Export(const QString& file) const;

signals:
    // A note for the status bar: the history's own trouble, said once.
    void StatusMessage(const QString& text);
    // Notice() changed.
    void NoticeChanged();

private:
    void WriterOpened(const THistoryStore::TOpenOutcome& outcome);
    void Recorded(const THistoryEntry& entry);
    // Recording off for the run, said once: the file cannot be opened or written.
    void Stop(const QString& why);

    SettingsStore* fSettings;
    bool fKeep = true;
    int fLimit = kDefaultHistoryLimit;
    bool fFailed = false; // the file could not be opened or written: nothing more is recorded this run
    QString fTrouble;     // why the history does not work, or what happened to it
    std::unique_ptr<THistoryWriter> fWriter;
    std::unique_ptr<THistoryStore> fReader; // the tab's own connection; null when the file cannot be opened
    THistoryModel fModel;
    bool fLoaded = false; // the list holds the file's entries
};

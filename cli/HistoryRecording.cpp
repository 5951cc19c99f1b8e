#include "cli/HistoryRecording.h"

#include "cli/ScanOptions.h"

#include "content/Content.h"
#include "history/HistoryExport.h"
#include "history/HistorySettings.h"
#include "platform/AtomicFile.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <utility>

namespace {

// Qt's SQL module opens no database without an application object (from
// Qt 6.8 on). The scanner makes its GUI application only for the modes that
// need one, before any code is read; otherwise a plain one is made here, the
// first time the history is opened. It starts no thread, so the decoders the
// scan forks later still fork from a process of one thread.
void NeedApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "lantrix-scan";
    static char* argv[] = {name, nullptr};
    static const QCoreApplication* const application = new QCoreApplication(argc, argv); // for the whole run
    Q_UNUSED(application);
}

void Say(std::FILE* messages, const QString& message)
{
    std::fprintf(messages, "lantrix-scan: %s\n", message.toLocal8Bit().constData());
    std::fflush(messages);
}

} // namespace

int HistoryLimitOf(const QString& dataFolder)
{
    // Read by the window's own store, so that both read the file alike; a
    // file the window would not read either (not UTF-8) gives the default.
    try {
        const SettingsStore settings(dataFolder + QStringLiteral("settings.ini"));
        return HistoryLimitFromSetting(settings.ReadString(QLatin1String(kHistorySettingsSection),
                                                           QLatin1String(kHistoryLimitKey),
                                                           QString::number(kDefaultHistoryLimit)));
    } catch (const ESettingsError&) {
        return kDefaultHistoryLimit;
    }
}

QString HistorySource(const QByteArray& file, bool live)
{
    if (live)
        return QString::fromUtf8(file).trimmed();
    if (file == kStandardInputName)
        return QStringLiteral("Standard input");
    return QFileInfo(QFile::decodeName(file)).absoluteFilePath();
}

THistoryRecordingWriter::THistoryRecordingWriter(std::unique_ptr<TResultWriter> writer, QString historyFile, int limit,
                                                 bool live, TCodesPerPicture codes, std::FILE* messages)
    : fWriter(std::move(writer))
    , fStore(std::move(historyFile))
    , fLimit(limit)
    , fLive(live)
    , fCodes(codes)
    , fMessages(messages)
{
}

int THistoryRecordingWriter::OutputError() const
{
    return fWriter->OutputError();
}

void THistoryRecordingWriter::Write(const TScanResult& result)
{
    fWriter->Write(result);
    // What did not reach the output was not printed, and is not recorded either.
    if (fFailed || fWriter->OutputError() != 0 || result.status != TScanStatus::Decoded || result.codes.empty())
        return;
    if (!fStore.IsOpen()) {
        NeedApplication();
        const THistoryStore::TOpenOutcome outcome = fStore.Open();
        if (outcome.status != THistoryStore::TOpenStatus::Opened)
            Say(fMessages, outcome.message);
        if (outcome.status == THistoryStore::TOpenStatus::Failed) {
            fFailed = true;
            return;
        }
    }
    const QString source = HistorySource(result.file, fLive);
    const std::size_t count = fCodes == TCodesPerPicture::One ? 1 : result.codes.size();
    for (std::size_t i = 0; i < count; ++i) {
        const TDecodedCode& code = result.codes[i];
        THistoryEntry entry;
        entry.time = QDateTime::currentDateTime();
        entry.source = source;
        entry.format = CodeFormatName(code.format);
        entry.text = code.text;
        entry.bytes = code.bytes;
        entry.contentType = ContentTypeName(ParseContent(code.text));
        QString error;
        if (!fStore.Add(entry, fLimit, &error)) {
            Say(fMessages, QStringLiteral("cannot record in the scan history %1: %2").arg(fStore.File(), error));
            fFailed = true;
            return;
        }
        ++fRecorded;
    }
}

int ExportHistory(const QString& historyFile, const QString& exportFile, std::FILE* messages)
{
    const std::optional<THistoryExportFormat> format = ExportFormatForFile(exportFile);
    if (!format) {
        Say(messages, QStringLiteral("%1: not a .csv, .jsonl or .ndjson file").arg(exportFile));
        return TExitStatus::kUsage;
    }
    // No history yet is an empty one; the file is not made for it.
    QList<THistoryEntry> entries;
    if (QFileInfo::exists(historyFile)) {
        NeedApplication();
        THistoryStore store(historyFile);
        const THistoryStore::TOpenOutcome outcome = store.Open();
        if (outcome.status != THistoryStore::TOpenStatus::Opened)
            Say(messages, outcome.message);
        if (outcome.status == THistoryStore::TOpenStatus::Failed)
            return TExitStatus::kError;
        QString error;
        entries = store.All(&error);
        if (!error.isEmpty()) {
            Say(messages, QStringLiteral("cannot read the scan history %1: %2").arg(historyFile, error));
            return TExitStatus::kError;
        }
    }
    const QString failure = WriteFileAtomically(exportFile, HistoryExport(entries, *format));
    if (!failure.isEmpty()) {
        Say(messages, QStringLiteral("%1: %2").arg(exportFile, failure));
        return TExitStatus::kError;
    }
    return TExitStatus::kDecoded;
}

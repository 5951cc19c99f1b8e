#include "cli/HistoryRecording.h"

#include "cli/ScanOptions.h"

#include "content/Content.h"
#include "history/HistoryExport.h"
#include "history/HistorySettings.h"
#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <utility>

namespace {

// What reading settings.ini drops around lines, names and values: white
// space and byte-order marks.
bool IsBlank(QChar c)
{
    return c.isSpace() || c.unicode() == 0xFEFF;
}

QString Trim(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

void Say(std::FILE* messages, const QString& message)
{
    std::fprintf(messages, "lantrix-scan: %s\n", message.toLocal8Bit().constData());
    std::fflush(messages);
}

} // namespace

std::optional<QString> SettingsValue(const QByteArray& ini, const QString& section, const QString& key)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(ini);
    if (decoder.hasError())
        return std::nullopt; // the window does not read such a file either
    bool inSection = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = Trim(line);
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            inSection = Trim(trimmed.mid(1, trimmed.size() - 2)).compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
        if (!inSection || equals <= 0 || Trim(trimmed.left(equals)).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        const QString value = Trim(trimmed.mid(equals + 1));
        const bool quoted = value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"');
        return quoted ? value.mid(1, value.size() - 2) : value;
    }
    return std::nullopt;
}

int HistoryLimitOf(const QString& dataFolder)
{
    QFile file(dataFolder + QStringLiteral("settings.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return kDefaultHistoryLimit;
    const std::optional<QString> value =
        SettingsValue(file.readAll(), QLatin1String(kHistorySettingsSection), QLatin1String(kHistoryLimitKey));
    return value ? HistoryLimitFromSetting(*value) : kDefaultHistoryLimit;
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

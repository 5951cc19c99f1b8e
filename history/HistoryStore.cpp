#include "history/HistoryStore.h"

#include "content/Content.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <utility>

namespace {

const QString kDriver = QStringLiteral("QSQLITE");

// SQLite's result codes that say the file is not a database of its kind or is
// damaged (SQLITE_CORRUPT, SQLITE_NOTADB), as QSqlError gives them.
bool IsDamageError(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("11") || code == QLatin1String("26");
}

QString ErrorText(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

// One statement; on failure its error.
struct TRun {
    bool ok = false;
    QSqlError error;
};

TRun Exec(QSqlQuery& query)
{
    if (query.exec())
        return {true, {}};
    return {false, query.lastError()};
}

TRun Exec(const QSqlDatabase& db, const QString& statement)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return {true, {}};
    return {false, query.lastError()};
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// The columns of a table, in order; empty when there is none.
QStringList TableColumns(const QSqlDatabase& db, const QString& table, TRun* run)
{
    QSqlQuery query(db);
    QStringList columns;
    if (!query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table))) {
        *run = {false, query.lastError()};
        return columns;
    }
    while (query.next())
        columns.append(query.value(1).toString());
    *run = {true, {}};
    return columns;
}

const QStringList kVersion1Columns = QStringLiteral("id,time,source,format,text,bytes").split(u',');
const QStringList kVersion2Columns = QStringLiteral("id,time_ms,source,format,text,bytes,content_type").split(u',');

const QString kCreateVersion2 = QStringLiteral("CREATE TABLE entries (id INTEGER PRIMARY KEY, time_ms INTEGER, "
                                               "source TEXT, format TEXT, text TEXT, bytes BLOB, content_type TEXT)");
const QString kCreateTimeIndex = QStringLiteral("CREATE INDEX entries_time ON entries (time_ms)");

// What the file holds, read inside the set-up's transaction.
enum class TFileKind { Empty, Version1, Current, Newer, Foreign };

struct TFileCheck {
    TFileKind kind = TFileKind::Foreign;
    int version = 0;
    TRun run;
};

TFileCheck CheckFile(const QSqlDatabase& db)
{
    TFileCheck check;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        check.run = {false, query.lastError()};
        return check;
    }
    check.version = query.value(0).toInt();
    QSqlQuery tables(db);
    if (!tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !tables.next()) {
        check.run = {false, tables.lastError()};
        return check;
    }
    const qint64 objects = tables.value(0).toLongLong();
    check.run = {true, {}};
    if (check.version > THistoryStore::kSchemaVersion) {
        check.kind = TFileKind::Newer;
        return check;
    }
    if (check.version == 0) {
        check.kind = objects == 0 ? TFileKind::Empty : TFileKind::Foreign;
        return check;
    }
    const QStringList columns = TableColumns(db, QStringLiteral("entries"), &check.run);
    if (!check.run.ok)
        return check;
    if (check.version == 1 && columns == kVersion1Columns)
        check.kind = TFileKind::Version1;
    else if (check.version == 2 && columns == kVersion2Columns)
        check.kind = TFileKind::Current;
    else
        check.kind = TFileKind::Foreign;
    return check;
}

TRun CreateCurrent(const QSqlDatabase& db)
{
    for (const QString& statement : {kCreateVersion2, kCreateTimeIndex,
                                     QStringLiteral("PRAGMA user_version = %1").arg(THistoryStore::kSchemaVersion)}) {
        const TRun run = Exec(db, statement);
        if (!run.ok)
            return run;
    }
    return {true, {}};
}

// Version 1 -> 2: the time from ISO 8601 text to UTC milliseconds (a time
// that does not read stays empty, and the entry is kept), the content type
// worked out from the text. The ids are kept.
TRun MigrateFromVersion1(const QSqlDatabase& db)
{
    TRun run = Exec(db, QStringLiteral("ALTER TABLE entries RENAME TO entries_version1"));
    if (!run.ok)
        return run;
    run = CreateCurrent(db);
    if (!run.ok)
        return run;
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT id, time, source, format, text, bytes FROM entries_version1 ORDER BY id")))
        return {false, rows.lastError()};
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO entries (id, time_ms, source, format, text, bytes, content_type) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    while (rows.next()) {
        const QDateTime time = QDateTime::fromString(rows.value(1).toString(), Qt::ISODateWithMs);
        const QString text = rows.value(4).toString();
        insert.addBindValue(rows.value(0));
        insert.addBindValue(time.isValid() ? QVariant(time.toMSecsSinceEpoch())
                                           : QVariant(QMetaType(QMetaType::LongLong)));
        insert.addBindValue(rows.value(2));
        insert.addBindValue(rows.value(3));
        insert.addBindValue(text);
        insert.addBindValue(rows.value(5));
        insert.addBindValue(ContentTypeName(ParseContent(text)));
        run = Exec(insert);
        if (!run.ok)
            return run;
    }
    if (rows.lastError().isValid())
        return {false, rows.lastError()};
    rows.finish();
    return Exec(db, QStringLiteral("DROP TABLE entries_version1"));
}

// A free name beside the file for the damaged one: name.damaged-<time>, with
// a count when that is taken (or one of its -wal, -shm files is).
QString MovedAsideName(const QString& file)
{
    const QString base =
        file + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int count = 2; QFileInfo::exists(name) || QFileInfo::exists(name + QStringLiteral("-wal"))
                        || QFileInfo::exists(name + QStringLiteral("-shm"));
         ++count)
        name = base + QLatin1Char('-') + QString::number(count);
    return name;
}

QString FileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

THistoryStore::THistoryStore(QString file)
    : fFile(std::move(file))
    , fConnection(QStringLiteral("lantrix-history-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

THistoryStore::~THistoryStore()
{
    Close();
}

void THistoryStore::Close()
{
    if (QSqlDatabase::contains(fConnection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(fConnection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(fConnection);
    }
    fOpen = false;
}

bool THistoryStore::IsOpen() const
{
    return fOpen;
}

const QString& THistoryStore::File() const
{
    return fFile;
}

THistoryStore::TOpenOutcome THistoryStore::Open()
{
    Close();
    const QString name = FileName(fFile);
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        return {
            TOpenStatus::Failed,
            QStringLiteral("Cannot keep the scan history: Qt's SQLite driver (libqt6sql6-sqlite) is not installed."),
            {}};
    const QFileInfo info(fFile);
    if (!QDir().mkpath(info.absolutePath()))
        return {
            TOpenStatus::Failed,
            QStringLiteral("Cannot keep the scan history: cannot create the folder \"%1\".").arg(info.absolutePath()),
            {}};
    if (info.exists() && !info.isFile())
        return {
            TOpenStatus::Failed, QStringLiteral("Cannot keep the scan history: \"%1\" is not a file.").arg(fFile), {}};

    QString movedTo;
    QString damage;
    // At most twice: a damaged file is moved aside once, then a fresh one is made.
    for (int attempt = 0; attempt < 2; ++attempt) {
        TRun failure;
        TFileCheck check;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, fConnection);
            db.setDatabaseName(fFile);
            if (!db.open()) {
                failure = {false, db.lastError()};
            } else {
                // The busy time-out first: another program may hold a lock.
                failure = Exec(db, QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyTimeoutMs));
                // What the file holds is read before anything is written to
                // it: a file that is not ours is left as it was found.
                if (failure.ok) {
                    QSqlQuery quickCheck(db);
                    if (!quickCheck.exec(QStringLiteral("PRAGMA quick_check")))
                        failure = {false, quickCheck.lastError()};
                    else if (quickCheck.next() && quickCheck.value(0).toString() != QLatin1String("ok"))
                        failure = {false, QSqlError(QString(), quickCheck.value(0).toString(),
                                                    QSqlError::StatementError, QStringLiteral("11"))};
                }
                if (failure.ok) {
                    check = CheckFile(db);
                    failure = check.run;
                }
                const bool ours = check.kind == TFileKind::Empty || check.kind == TFileKind::Version1
                                  || check.kind == TFileKind::Current;
                if (failure.ok && ours)
                    failure = Exec(db, QStringLiteral("PRAGMA journal_mode = WAL"));
                if (failure.ok && ours)
                    failure = Exec(db, QStringLiteral("PRAGMA synchronous = NORMAL"));
                // What is deleted (a Wi-Fi password) is overwritten, not left in free pages.
                if (failure.ok && ours)
                    failure = Exec(db, QStringLiteral("PRAGMA secure_delete = ON"));
                // Once more under the write lock: another program may have
                // made or migrated the file meanwhile.
                if (failure.ok && ours)
                    failure = Exec(db, QStringLiteral("BEGIN IMMEDIATE"));
                if (failure.ok && ours) {
                    check = CheckFile(db);
                    failure = check.run;
                    if (failure.ok) {
                        if (check.kind == TFileKind::Empty)
                            failure = CreateCurrent(db);
                        else if (check.kind == TFileKind::Version1)
                            failure = MigrateFromVersion1(db);
                    }
                    if (failure.ok
                        && (check.kind == TFileKind::Empty || check.kind == TFileKind::Version1
                            || check.kind == TFileKind::Current))
                        failure = Exec(db, QStringLiteral("COMMIT"));
                    else
                        Exec(db, QStringLiteral("ROLLBACK"));
                }
            }
        }
        if (failure.ok && check.kind == TFileKind::Newer) {
            Close();
            return {TOpenStatus::Failed,
                    QStringLiteral("Cannot keep the scan history: %1 was written by a newer version of the "
                                   "program (schema %2); it is left as it is.")
                        .arg(name)
                        .arg(check.version),
                    {}};
        }
        const bool foreign = failure.ok && check.kind == TFileKind::Foreign;
        if (failure.ok && !foreign) {
            fOpen = true;
            if (movedTo.isEmpty())
                return {TOpenStatus::Opened, {}, {}};
            return {TOpenStatus::Replaced,
                    QStringLiteral("The scan history %1 could not be read (%2); it was moved aside as %3 and a new "
                                   "history was started.")
                        .arg(name, damage, FileName(movedTo)),
                    movedTo};
        }
        Close();
        if (attempt > 0 || (!foreign && !IsDamageError(failure.error)))
            return {TOpenStatus::Failed,
                    QStringLiteral("Cannot keep the scan history in %1: %2.").arg(fFile, ErrorText(failure.error)),
                    {}};
        damage = foreign ? QStringLiteral("it holds no scan history") : ErrorText(failure.error);
        movedTo = MovedAsideName(fFile);
        if (!QFile::rename(fFile, movedTo))
            return {TOpenStatus::Failed,
                    QStringLiteral("Cannot keep the scan history: %1 could not be read (%2) and could not be moved "
                                   "aside.")
                        .arg(fFile, damage),
                    {}};
        for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
            if (QFileInfo::exists(fFile + suffix))
                QFile::rename(fFile + suffix, movedTo + suffix);
    }
    return {TOpenStatus::Failed, QStringLiteral("Cannot keep the scan history in %1.").arg(fFile), {}};
}

bool THistoryStore::Add(const THistoryEntry& entry, int limit, QString* error)
{
    return AddEntry(entry, limit, error) != 0;
}

qint64 THistoryStore::AddEntry(const THistoryEntry& entry, int limit, QString* error)
{
    if (!fOpen) {
        SetError(error, QStringLiteral("The scan history is not open."));
        return 0;
    }
    QSqlDatabase db = QSqlDatabase::database(fConnection, false);
    TRun run = Exec(db, QStringLiteral("BEGIN IMMEDIATE"));
    if (!run.ok) {
        SetError(error, ErrorText(run.error));
        return 0;
    }
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO entries (time_ms, source, format, text, bytes, content_type) "
                                  "VALUES (?, ?, ?, ?, ?, ?)"));
    const QDateTime time = entry.time.isValid() ? entry.time : QDateTime::currentDateTime();
    insert.addBindValue(time.toMSecsSinceEpoch());
    insert.addBindValue(entry.source);
    insert.addBindValue(entry.format);
    insert.addBindValue(entry.text);
    insert.addBindValue(entry.bytes);
    insert.addBindValue(entry.contentType);
    run = Exec(insert);
    const qint64 id = run.ok ? insert.lastInsertId().toLongLong() : 0;
    insert.finish();
    if (run.ok && limit > 0) {
        QSqlQuery drop(db);
        drop.prepare(QStringLiteral("DELETE FROM entries WHERE id IN (SELECT id FROM entries "
                                    "ORDER BY time_ms DESC, id DESC LIMIT -1 OFFSET ?)"));
        drop.addBindValue(limit);
        run = Exec(drop);
    }
    if (run.ok)
        run = Exec(db, QStringLiteral("COMMIT"));
    if (!run.ok) {
        Exec(db, QStringLiteral("ROLLBACK"));
        SetError(error, ErrorText(run.error));
        return 0;
    }
    return id;
}

QList<THistoryEntry> THistoryStore::All(QString* error) const
{
    QList<THistoryEntry> entries;
    if (!fOpen) {
        SetError(error, QStringLiteral("The scan history is not open."));
        return entries;
    }
    QSqlQuery query(QSqlDatabase::database(fConnection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, time_ms, source, format, text, bytes, content_type FROM entries "
                                   "ORDER BY time_ms DESC, id DESC"))) {
        SetError(error, ErrorText(query.lastError()));
        return entries;
    }
    while (query.next()) {
        THistoryEntry entry;
        entry.id = query.value(0).toLongLong();
        const QVariant time = query.value(1);
        if (!time.isNull())
            entry.time = QDateTime::fromMSecsSinceEpoch(time.toLongLong());
        entry.source = query.value(2).toString();
        entry.format = query.value(3).toString();
        entry.text = query.value(4).toString();
        entry.bytes = query.value(5).toByteArray();
        entry.contentType = query.value(6).toString();
        entries.append(std::move(entry));
    }
    if (query.lastError().isValid())
        SetError(error, ErrorText(query.lastError()));
    return entries;
}

bool THistoryStore::Remove(const QList<qint64>& ids, QString* error)
{
    if (!fOpen) {
        SetError(error, QStringLiteral("The scan history is not open."));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(fConnection, false);
    TRun run = Exec(db, QStringLiteral("BEGIN IMMEDIATE"));
    if (run.ok) {
        QSqlQuery remove(db);
        remove.prepare(QStringLiteral("DELETE FROM entries WHERE id = ?"));
        for (const qint64 id : ids) {
            remove.addBindValue(id);
            run = Exec(remove);
            if (!run.ok)
                break;
        }
        remove.finish();
        if (run.ok)
            run = Exec(db, QStringLiteral("COMMIT"));
        else
            Exec(db, QStringLiteral("ROLLBACK"));
    }
    if (!run.ok)
        SetError(error, ErrorText(run.error));
    return run.ok;
}

bool THistoryStore::Clear(QString* error)
{
    if (!fOpen) {
        SetError(error, QStringLiteral("The scan history is not open."));
        return false;
    }
    const QSqlDatabase db = QSqlDatabase::database(fConnection, false);
    const TRun run = Exec(db, QStringLiteral("DELETE FROM entries"));
    if (!run.ok) {
        SetError(error, ErrorText(run.error));
        return false;
    }
    // The write-ahead log still holds the pages written before: copy it back
    // and empty it (when no other program reads meanwhile; else at its next turn).
    Exec(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    return true;
}

qint64 THistoryStore::Count() const
{
    if (!fOpen)
        return -1;
    QSqlQuery query(QSqlDatabase::database(fConnection, false));
    if (!query.exec(QStringLiteral("SELECT count(*) FROM entries")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

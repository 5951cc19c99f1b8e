// history.sqlite: entries kept and given back as they were, newest first;
// the limit; the schema and its migration from the first version; damaged,
// foreign and newer files; folders that cannot hold it; a full disk; two
// stores writing the same file at once.
#include "history/HistoryStore.h"
#include "support/CoreApplication.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>
#include <QVariant>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <ostream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

QDateTime At(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone(0));
}

THistoryEntry Entry(const QString& text, qint64 msecs = 1'700'000'000'000, const QString& source = "Screen")
{
    THistoryEntry entry;
    entry.time = At(msecs);
    entry.source = source;
    entry.format = QStringLiteral("QR_CODE");
    entry.text = text;
    entry.bytes = text.toUtf8();
    entry.contentType = QStringLiteral("text");
    return entry;
}

QStringList Texts(const QList<THistoryEntry>& entries)
{
    QStringList texts;
    for (const THistoryEntry& entry : entries)
        texts.append(entry.text);
    return texts;
}

// A connection of the test's own to a file: runs statements, reads one value.
class TSqlFile {
public:
    explicit TSqlFile(const QString& file)
        : fName(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), fName);
        db.setDatabaseName(file);
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
    }
    ~TSqlFile()
    {
        QSqlDatabase::database(fName, false).close();
        QSqlDatabase::removeDatabase(fName);
    }
    void Run(const QString& statement, const QVariantList& values = {})
    {
        QSqlQuery query(QSqlDatabase::database(fName, false));
        query.prepare(statement);
        for (const QVariant& value : values)
            query.addBindValue(value);
        EXPECT_TRUE(query.exec()) << statement.toStdString() << ": " << query.lastError().text().toStdString();
    }
    QVariant Value(const QString& statement)
    {
        QSqlQuery query(QSqlDatabase::database(fName, false));
        if (!query.exec(statement) || !query.next())
            return QVariant();
        return query.value(0);
    }

private:
    QString fName;
};

QByteArray ReadAll(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& file, const QByteArray& bytes)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

class HistoryStore : public ::testing::Test {
protected:
    QTemporaryDir fFolder;
    QString File() const { return fFolder.filePath(QStringLiteral("history.sqlite")); }
};

TEST_F(HistoryStore, KeepsEntriesAsTheyWereNewestFirst)
{
    THistoryStore store(File());
    EXPECT_FALSE(store.IsOpen());
    const THistoryStore::TOpenOutcome outcome = store.Open();
    ASSERT_EQ(outcome.status, THistoryStore::TOpenStatus::Opened) << outcome.message.toStdString();
    EXPECT_TRUE(store.IsOpen());
    EXPECT_EQ(store.File(), File());
    EXPECT_EQ(store.Count(), 0);

    THistoryEntry wifi = Entry(QStringLiteral("WIFI:S:Café ☕;T:WPA;P:pa\"ss,word;;"), 1'700'000'000'123,
                               QStringLiteral("/home/me/Bilder/Über.png"));
    wifi.contentType = QStringLiteral("wifi");
    wifi.bytes = QByteArray("\x00\xff\x01raw", 6);
    THistoryEntry empty = Entry(QString(), 1'700'000'001'000, QStringLiteral("Clipboard"));
    empty.bytes = QByteArray();
    empty.format = QStringLiteral("DATA_MATRIX");
    THistoryEntry lines = Entry(QStringLiteral("line 1\nline 2\r\n\tend"), 1'700'000'002'000);

    QString error;
    for (const THistoryEntry& entry : {wifi, empty, lines})
        ASSERT_TRUE(store.Add(entry, 0, &error)) << error.toStdString();
    EXPECT_EQ(store.Count(), 3);

    const QList<THistoryEntry> all = store.All(&error);
    ASSERT_EQ(all.size(), 3) << error.toStdString();
    const QList<THistoryEntry> expected = {lines, empty, wifi};
    for (qsizetype i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GT(all[i].id, 0);
        EXPECT_EQ(all[i].time, expected[i].time);
        EXPECT_EQ(all[i].time.toMSecsSinceEpoch(), expected[i].time.toMSecsSinceEpoch());
        EXPECT_EQ(all[i].source, expected[i].source);
        EXPECT_EQ(all[i].format, expected[i].format);
        EXPECT_EQ(all[i].text, expected[i].text);
        EXPECT_EQ(all[i].bytes, expected[i].bytes);
        EXPECT_EQ(all[i].contentType, expected[i].contentType);
    }

    // Another store on the file reads the same.
    THistoryStore again(File());
    ASSERT_EQ(again.Open().status, THistoryStore::TOpenStatus::Opened);
    EXPECT_EQ(Texts(again.All()), Texts(all));
}

TEST_F(HistoryStore, OrdersByTimeThenByOrderOfAdding)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    // Read later with a clock set back: older than what was read before.
    for (const auto& [text, msecs] :
         std::initializer_list<std::pair<QString, qint64>>{{"b", 2000}, {"c", 3000}, {"a", 1000}, {"c2", 3000}})
        ASSERT_TRUE(store.Add(Entry(text, msecs), 0));
    EXPECT_EQ(Texts(store.All()), (QStringList{"c2", "c", "b", "a"}));
}

TEST_F(HistoryStore, AnEntryWithoutATimeIsKeptAsReadNow)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    THistoryEntry entry = Entry(QStringLiteral("x"));
    entry.time = QDateTime();
    const QDateTime before = QDateTime::currentDateTime();
    ASSERT_TRUE(store.Add(entry, 0));
    const QList<THistoryEntry> all = store.All();
    ASSERT_EQ(all.size(), 1);
    EXPECT_GE(all[0].time, before.addMSecs(-1));
    EXPECT_LE(all[0].time, QDateTime::currentDateTime());
}

TEST_F(HistoryStore, AddEntryGivesTheRowId)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    const qint64 first = store.AddEntry(Entry("one", 1000), 0);
    const qint64 second = store.AddEntry(Entry("two", 2000), 0);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    const QList<THistoryEntry> all = store.All();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].id, second);
    EXPECT_EQ(all[1].id, first);
}

TEST_F(HistoryStore, RemovesTheEntriesNamedAndClears)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(store.Add(Entry(QString::number(i), i * 1000), 0));
    QList<THistoryEntry> all = store.All();
    ASSERT_EQ(Texts(all), (QStringList{"5", "4", "3", "2", "1"}));

    QString error;
    // Two of them, and one that is not there (deleted by another program meanwhile).
    EXPECT_TRUE(store.Remove({all[0].id, all[3].id, 999'999}, &error)) << error.toStdString();
    EXPECT_EQ(Texts(store.All()), (QStringList{"4", "3", "1"}));
    EXPECT_TRUE(store.Remove({}, &error));
    EXPECT_EQ(store.Count(), 3);

    EXPECT_TRUE(store.Clear(&error)) << error.toStdString();
    EXPECT_EQ(store.Count(), 0);
    EXPECT_TRUE(store.All().isEmpty());
    ASSERT_TRUE(store.Add(Entry("after"), 0));
    EXPECT_EQ(Texts(store.All()), QStringList{"after"});
}

TEST_F(HistoryStore, ClearLeavesNoDeletedTextInTheFiles)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    const QString secret = QStringLiteral("WIFI:S:home;T:WPA;P:secret-passphrase-1234;;");
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(store.Add(Entry(secret + QString::number(i), i), 0));
    ASSERT_TRUE(store.Clear());
    for (const QString& name : QDir(fFolder.path()).entryList(QDir::Files))
        EXPECT_FALSE(ReadAll(fFolder.filePath(name)).contains("secret-passphrase")) << name.toStdString();
}

struct LimitCase {
    const char* name;
    int limit;
    int added;
    QStringList kept; // newest first
};

void PrintTo(const LimitCase& c, std::ostream* out)
{
    *out << c.name;
}

class HistoryLimit : public HistoryStore, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(HistoryLimit, DropsTheOldestBeyondIt)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    for (int i = 1; i <= GetParam().added; ++i) {
        ASSERT_TRUE(store.Add(Entry(QString::number(i), i * 1000), GetParam().limit));
        EXPECT_LE(store.Count(), GetParam().limit > 0 ? GetParam().limit : i);
    }
    EXPECT_EQ(Texts(store.All()), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Cases, HistoryLimit,
                         ::testing::Values(LimitCase{"none", 0, 4, {"4", "3", "2", "1"}},
                                           LimitCase{"negative_is_none", -1, 3, {"3", "2", "1"}},
                                           LimitCase{"not_reached", 5, 3, {"3", "2", "1"}},
                                           LimitCase{"reached", 3, 3, {"3", "2", "1"}},
                                           LimitCase{"passed", 3, 6, {"6", "5", "4"}}, LimitCase{"one", 1, 4, {"4"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryStore, ALowerLimitDropsTheOldestAtTheNextAdd)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(store.Add(Entry(QString::number(i), i * 1000), 0));
    // An entry read with the clock set back is the oldest and goes first.
    ASSERT_TRUE(store.Add(Entry("early", 500), 3));
    EXPECT_EQ(Texts(store.All()), (QStringList{"6", "5", "4"}));
}

TEST_F(HistoryStore, WritesTheCurrentSchemaWithAWriteAheadLog)
{
    {
        THistoryStore store(File());
        ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
        ASSERT_TRUE(store.Add(Entry("x"), 0));
    }
    TSqlFile sql(File());
    EXPECT_EQ(sql.Value("PRAGMA user_version").toInt(), THistoryStore::kSchemaVersion);
    EXPECT_EQ(sql.Value("PRAGMA journal_mode").toString(), "wal");
    EXPECT_EQ(sql.Value("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'entries'").toInt(), 1);
    EXPECT_EQ(sql.Value("SELECT group_concat(name, ',') FROM pragma_table_info('entries')").toString(),
              "id,time_ms,source,format,text,bytes,content_type");
    EXPECT_EQ(sql.Value("SELECT time_ms FROM entries").toLongLong(), 1'700'000'000'000);
}

// The first schema, as the first version of the history wrote it.
void WriteVersion1(const QString& file, const QList<QVariantList>& rows)
{
    TSqlFile sql(file);
    sql.Run(
        "CREATE TABLE entries (id INTEGER PRIMARY KEY, time TEXT, source TEXT, format TEXT, text TEXT, bytes BLOB)");
    for (const QVariantList& row : rows)
        sql.Run("INSERT INTO entries (id, time, source, format, text, bytes) VALUES (?, ?, ?, ?, ?, ?)", row);
    sql.Run("PRAGMA user_version = 1");
}

struct MigrationCase {
    const char* name;
    QString time; // as version 1 kept it
    QString text;
    QDateTime expectedTime; // invalid: none
    QString expectedType;
};

void PrintTo(const MigrationCase& c, std::ostream* out)
{
    *out << c.name;
}

class HistoryMigration : public HistoryStore, public ::testing::WithParamInterface<MigrationCase> {};

TEST_P(HistoryMigration, FromVersion1KeepsEveryEntry)
{
    const MigrationCase& c = GetParam();
    WriteVersion1(File(),
                  {{7, "2026-01-02T03:04:05Z", "Screen", "EAN_13", "4006381333931", QByteArray("4006381333931")},
                   {42, c.time, "/tmp/pic.png", "QR_CODE", c.text, QByteArray("\x00\x01", 2)}});
    {
        THistoryStore store(File());
        const THistoryStore::TOpenOutcome outcome = store.Open();
        ASSERT_EQ(outcome.status, THistoryStore::TOpenStatus::Opened) << outcome.message.toStdString();
        const QList<THistoryEntry> all = store.All();
        ASSERT_EQ(all.size(), 2);
        // The entry without a readable time sorts last, after the oldest.
        const THistoryEntry& migrated = all[0].id == 42 ? all[0] : all[1];
        const THistoryEntry& other = all[0].id == 42 ? all[1] : all[0];
        EXPECT_EQ(migrated.id, 42);
        EXPECT_EQ(migrated.time.isValid(), c.expectedTime.isValid());
        if (c.expectedTime.isValid()) {
            EXPECT_EQ(migrated.time.toMSecsSinceEpoch(), c.expectedTime.toMSecsSinceEpoch());
        } else {
            EXPECT_EQ(all[1].id, 42);
        }
        EXPECT_EQ(migrated.text, c.text);
        EXPECT_EQ(migrated.source, "/tmp/pic.png");
        EXPECT_EQ(migrated.format, "QR_CODE");
        EXPECT_EQ(migrated.bytes, QByteArray("\x00\x01", 2));
        EXPECT_EQ(migrated.contentType, c.expectedType);
        EXPECT_EQ(other.id, 7);
        EXPECT_EQ(other.time.toMSecsSinceEpoch(),
                  QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(0)).toMSecsSinceEpoch());
        EXPECT_EQ(other.contentType, "text");
        // New entries go on after the migrated ones.
        EXPECT_GT(store.AddEntry(Entry("new"), 0), 42);
    }
    TSqlFile sql(File());
    EXPECT_EQ(sql.Value("PRAGMA user_version").toInt(), 2);
    EXPECT_EQ(sql.Value("SELECT count(*) FROM sqlite_master WHERE name LIKE '%version1%'").toInt(), 0);
    EXPECT_EQ(sql.Value("SELECT count(*) FROM entries").toInt(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryMigration,
    ::testing::Values(MigrationCase{"utc", "2026-03-04T05:06:07Z", "https://example.org/a?b=c",
                                    QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone(0)), "url"},
                      MigrationCase{"milliseconds", "2026-03-04T05:06:07.250Z", "WIFI:S:net;T:WPA;P:pw;;",
                                    QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 250), QTimeZone(0)), "wifi"},
                      MigrationCase{"offset", "2026-03-04T07:06:07+02:00", "plain words",
                                    QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone(0)), "text"},
                      MigrationCase{"unreadable_time", "yesterday", "tel:+491234", QDateTime(), "phone"},
                      MigrationCase{"empty_time", "", "", QDateTime(), "text"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryStore, MigratesAnEmptyVersion1File)
{
    WriteVersion1(File(), {});
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    EXPECT_EQ(store.Count(), 0);
    ASSERT_TRUE(store.Add(Entry("x"), 0));
    EXPECT_EQ(store.Count(), 1);
}

// Files that are not a history of ours: moved aside, a fresh one started.
struct DamagedCase {
    const char* name;
    std::function<void(const QString& file)> make;
};

void PrintTo(const DamagedCase& c, std::ostream* out)
{
    *out << c.name;
}

class DamagedHistory : public HistoryStore, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedHistory, IsMovedAsideAndAFreshOneStarted)
{
    GetParam().make(File());
    const QByteArray damaged = ReadAll(File());
    const bool hadWal = QFileInfo::exists(File() + "-wal");
    const QByteArray wal = ReadAll(File() + "-wal");

    THistoryStore store(File());
    const THistoryStore::TOpenOutcome outcome = store.Open();
    ASSERT_EQ(outcome.status, THistoryStore::TOpenStatus::Replaced) << outcome.message.toStdString();
    EXPECT_TRUE(store.IsOpen());
    EXPECT_EQ(store.Count(), 0);
    ASSERT_TRUE(store.Add(Entry("fresh"), 0));

    // The damaged file, whole, beside the fresh one, with the name the message gives.
    const QString movedName = QFileInfo(outcome.movedTo).fileName();
    EXPECT_TRUE(QRegularExpression("^history\\.sqlite\\.damaged-\\d{8}-\\d{6}$").match(movedName).hasMatch())
        << movedName.toStdString();
    EXPECT_EQ(QFileInfo(outcome.movedTo).absolutePath(), QFileInfo(File()).absolutePath());
    EXPECT_EQ(ReadAll(outcome.movedTo), damaged);
    EXPECT_TRUE(outcome.message.contains(movedName)) << outcome.message.toStdString();
    // A log SQLite could read goes with the file; one it cannot, SQLite drops itself.
    if (hadWal && ReadAll(outcome.movedTo + "-wal").size() > 0) {
        EXPECT_EQ(ReadAll(outcome.movedTo + "-wal"), wal);
    }
    EXPECT_NE(ReadAll(File() + "-wal"), wal);

    // Opened again: it is ours now.
    THistoryStore again(File());
    EXPECT_EQ(again.Open().status, THistoryStore::TOpenStatus::Opened);
    EXPECT_EQ(Texts(again.All()), QStringList{"fresh"});
}

// A history of some entries, cut to `size` bytes.
void WriteCutHistory(const QString& file, qsizetype keep)
{
    {
        THistoryStore store(file);
        ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
        for (int i = 0; i < 400; ++i)
            ASSERT_TRUE(store.Add(Entry(QString(200, QChar(u'a' + i % 26)), i), 0));
    }
    QFile f(file);
    ASSERT_TRUE(f.resize(keep));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedHistory,
    ::testing::Values(DamagedCase{"text_file", [](const QString& file) { WriteAll(file, "These are my notes.\n"); }},
                      DamagedCase{"random_bytes",
                                  [](const QString& file) {
                                      QByteArray bytes;
                                      for (int i = 0; i < 8192; ++i)
                                          bytes += char((i * 7919 + 13) % 251);
                                      WriteAll(file, bytes);
                                  }},
                      DamagedCase{"header_only",
                                  [](const QString& file) { WriteAll(file, QByteArray("SQLite format 3\0", 16)); }},
                      DamagedCase{"other_programs_database",
                                  [](const QString& file) {
                                      TSqlFile sql(file);
                                      sql.Run("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)");
                                      sql.Run("INSERT INTO notes (body) VALUES ('keep me')");
                                  }},
                      DamagedCase{"version_2_without_its_table",
                                  [](const QString& file) {
                                      TSqlFile sql(file);
                                      sql.Run("CREATE TABLE other (x)");
                                      sql.Run("PRAGMA user_version = 2");
                                  }},
                      DamagedCase{"version_1_of_other_columns",
                                  [](const QString& file) {
                                      TSqlFile sql(file);
                                      sql.Run("CREATE TABLE entries (id INTEGER PRIMARY KEY, what TEXT)");
                                      sql.Run("PRAGMA user_version = 1");
                                  }},
                      DamagedCase{"negative_version",
                                  [](const QString& file) {
                                      TSqlFile sql(file);
                                      sql.Run("CREATE TABLE entries (x)");
                                      sql.Run("PRAGMA user_version = -3");
                                  }},
                      DamagedCase{"cut_in_half", [](const QString& file) { WriteCutHistory(file, 48 * 1024); }},
                      DamagedCase{"with_a_log_of_garbage",
                                  [](const QString& file) {
                                      WriteAll(file, "not a database at all");
                                      WriteAll(file + "-wal", "garbage log");
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryStore, EachDamagedFileGetsANameOfItsOwn)
{
    // Two in one second, or in two seconds: the first keeps its name and its content.
    QStringList moved;
    for (const QByteArray& content : {QByteArray("first"), QByteArray("second"), QByteArray("third")}) {
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(File() + suffix);
        WriteAll(File(), content);
        THistoryStore store(File());
        const THistoryStore::TOpenOutcome outcome = store.Open();
        ASSERT_EQ(outcome.status, THistoryStore::TOpenStatus::Replaced);
        EXPECT_FALSE(moved.contains(outcome.movedTo)) << outcome.movedTo.toStdString();
        moved.append(outcome.movedTo);
    }
    EXPECT_EQ(ReadAll(moved[0]), "first");
    EXPECT_EQ(ReadAll(moved[1]), "second");
    EXPECT_EQ(ReadAll(moved[2]), "third");
}

TEST_F(HistoryStore, ANewerProgramsFileIsLeftAlone)
{
    {
        TSqlFile sql(File());
        sql.Run("CREATE TABLE entries (id INTEGER PRIMARY KEY, time_ms INTEGER, source TEXT, format TEXT, text TEXT, "
                "bytes BLOB, content_type TEXT, starred INTEGER)");
        sql.Run("INSERT INTO entries (text) VALUES ('from the future')");
        sql.Run("PRAGMA user_version = 3");
    }
    const QByteArray before = ReadAll(File());
    THistoryStore store(File());
    const THistoryStore::TOpenOutcome outcome = store.Open();
    EXPECT_EQ(outcome.status, THistoryStore::TOpenStatus::Failed);
    EXPECT_TRUE(outcome.message.contains("newer")) << outcome.message.toStdString();
    EXPECT_TRUE(outcome.movedTo.isEmpty());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(ReadAll(File()), before);
    EXPECT_EQ(QDir(fFolder.path()).entryList({"*damaged*"}, QDir::Files), QStringList());
    QString error;
    EXPECT_FALSE(store.Add(Entry("x"), 0, &error));
    EXPECT_FALSE(error.isEmpty());
    TSqlFile sql(File());
    EXPECT_EQ(sql.Value("SELECT text FROM entries").toString(), "from the future");
}

TEST_F(HistoryStore, AnEmptyFileIsAFreshHistory)
{
    WriteAll(File(), "");
    THistoryStore store(File());
    EXPECT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    EXPECT_TRUE(store.Add(Entry("x"), 0));
}

TEST_F(HistoryStore, MakesAMissingFolder)
{
    const QString file = fFolder.filePath("DASTREL/Lantrix/history.sqlite");
    THistoryStore store(file);
    EXPECT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    EXPECT_TRUE(store.Add(Entry("x"), 0));
    EXPECT_TRUE(QFileInfo(file).isFile());
}

// Where no history can be kept: Failed with a message, nothing moved or made,
// and every call says it is not open.
struct UnwritableCase {
    const char* name;
    std::function<QString(const QString& folder)> make; // gives the file's path; empty: skip the case
};

void PrintTo(const UnwritableCase& c, std::ostream* out)
{
    *out << c.name;
}

class UnwritableHistory : public HistoryStore, public ::testing::WithParamInterface<UnwritableCase> {};

TEST_P(UnwritableHistory, FailsWithAMessage)
{
    const QString file = GetParam().make(fFolder.path());
    if (file.isEmpty())
        GTEST_SKIP() << "this process may write anywhere (run as root)";
    const QStringList before = QDir(fFolder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    THistoryStore store(file);
    const THistoryStore::TOpenOutcome outcome = store.Open();
    EXPECT_EQ(outcome.status, THistoryStore::TOpenStatus::Failed);
    EXPECT_FALSE(outcome.message.isEmpty());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(QDir(fFolder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QString error;
    EXPECT_FALSE(store.Add(Entry("x"), 0, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(store.All(&error).isEmpty());
    EXPECT_FALSE(store.Remove({1}, &error));
    EXPECT_FALSE(store.Clear(&error));
    EXPECT_EQ(store.Count(), -1);
    // Permissions back, so that the temporary folder goes.
    QFile::setPermissions(fFolder.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A folder this process cannot write into, or nothing when it can write anyway.
QString LockedFolder(const QString& folder, const QByteArray& history)
{
    const QString locked = folder + "/locked";
    QDir().mkpath(locked);
    if (!history.isNull()) {
        QFile f(locked + "/history.sqlite");
        if (f.open(QIODevice::WriteOnly))
            f.write(history);
    }
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    if (access(QFile::encodeName(locked).constData(), W_OK) == 0)
        return QString();
    return locked + "/history.sqlite";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnwritableHistory,
    ::testing::Values(UnwritableCase{"folder_is_a_file",
                                     [](const QString& folder) {
                                         WriteAll(folder + "/plain", "x");
                                         return folder + "/plain/history.sqlite";
                                     }},
                      UnwritableCase{"file_is_a_folder",
                                     [](const QString& folder) {
                                         QDir().mkpath(folder + "/history.sqlite");
                                         return folder + "/history.sqlite";
                                     }},
                      UnwritableCase{"read_only_folder",
                                     [](const QString& folder) { return LockedFolder(folder, QByteArray()); }},
                      UnwritableCase{"history_in_a_read_only_folder",
                                     [](const QString& folder) {
                                         // A history written before, without its log: WAL needs the folder.
                                         QTemporaryDir made;
                                         {
                                             THistoryStore store(made.filePath("history.sqlite"));
                                             store.Open();
                                             store.Add(Entry("old"), 0);
                                         }
                                         TSqlFile(made.filePath("history.sqlite")).Run("PRAGMA journal_mode = DELETE");
                                         return LockedFolder(folder, ReadAll(made.filePath("history.sqlite")));
                                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// The disk is full: writes beyond a size fail, as RLIMIT_FSIZE makes them.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &fSaved);
        fHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = fSaved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &fSaved);
        std::signal(SIGXFSZ, fHandler);
    }

private:
    rlimit fSaved = {};
    void (*fHandler)(int) = nullptr;
};

TEST_F(HistoryStore, AFullDiskFailsTheAddAndKeepsWhatWasThere)
{
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    ASSERT_TRUE(store.Add(Entry("kept", 1000), 0));
    THistoryEntry large = Entry(QString(4 * 1024 * 1024, QChar(u'x')), 2000);
    QString error;
    {
        const FileSizeLimit full(QFileInfo(File() + "-wal").size() + 64 * 1024);
        EXPECT_FALSE(store.Add(large, 0, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(Texts(store.All()), QStringList{"kept"});
    }
    EXPECT_EQ(store.Count(), 1);
    // With room again, the next entry is kept.
    EXPECT_TRUE(store.Add(Entry("later", 3000), 0, &error)) << error.toStdString();
    EXPECT_EQ(Texts(store.All()), (QStringList{"later", "kept"}));
    TSqlFile sql(File());
    EXPECT_EQ(sql.Value("PRAGMA integrity_check").toString(), "ok");
}

TEST_F(HistoryStore, TwoStoresOnOneFileSeeEachOthersEntries)
{
    THistoryStore window(File());
    THistoryStore scanner(File());
    ASSERT_EQ(window.Open().status, THistoryStore::TOpenStatus::Opened);
    ASSERT_EQ(scanner.Open().status, THistoryStore::TOpenStatus::Opened);
    ASSERT_TRUE(window.Add(Entry("w1", 1000), 0));
    ASSERT_TRUE(scanner.Add(Entry("s1", 2000), 0));
    ASSERT_TRUE(window.Add(Entry("w2", 3000), 0));
    EXPECT_EQ(Texts(window.All()), (QStringList{"w2", "s1", "w1"}));
    EXPECT_EQ(Texts(scanner.All()), Texts(window.All()));
    // The limit applies to the other's entries as well.
    ASSERT_TRUE(scanner.Add(Entry("s2", 4000), 2));
    EXPECT_EQ(Texts(window.All()), (QStringList{"s2", "w2"}));
    EXPECT_TRUE(window.Clear());
    EXPECT_EQ(scanner.Count(), 0);
}

TEST_F(HistoryStore, StoresOnThreadsWritingAtOnceLoseNothing)
{
    constexpr int kThreads = 4;
    constexpr int kEach = 150;
    std::vector<std::thread> writers;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([this, t, &failures] {
            THistoryStore store(File());
            if (store.Open().status != THistoryStore::TOpenStatus::Opened) {
                failures[t] = kEach;
                return;
            }
            for (int i = 0; i < kEach; ++i)
                if (!store.Add(Entry(QStringLiteral("%1-%2").arg(t).arg(i), i), 0))
                    ++failures[t];
        });
    for (std::thread& writer : writers)
        writer.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << t;
    THistoryStore store(File());
    ASSERT_EQ(store.Open().status, THistoryStore::TOpenStatus::Opened);
    EXPECT_EQ(store.Count(), kThreads * kEach);
    TSqlFile sql(File());
    EXPECT_EQ(sql.Value("PRAGMA integrity_check").toString(), "ok");
}

} // namespace

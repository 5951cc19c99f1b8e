// lantrix-scan and the scan history, run as a separate process from a copy of
// the program in a folder of its own (its data folder): --history records
// what is printed, within the window's limit, and nothing without it;
// --history-export writes the history out; a damaged, unwritable or newer
// history; and lantrix-scan recording while another program writes the same
// file.
#include "history/HistoryStore.h"
#include "support/CommandRun.h"
#include "support/CoreApplication.h"
#include "support/Samples.h"
#include "support/TestCameras.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <thread>
#include <vector>

namespace {

const QByteArray kQrText = "https://lantrix.invalid/hello?from=qr";

// What an entry of the history is expected to hold.
struct Expected {
    QString source; // "%D" stands for the program's folder, "%S" for the samples folder
    QString format;
    QString text;
    QString contentType;
};

class ScanHistory : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = QFile::encodeName(dir.filePath(QStringLiteral("lantrix-scan")));
        ASSERT_TRUE(QFile::copy(QFile::decodeName(BuiltProgram("lantrix-scan")), QFile::decodeName(program)));
        QFile::setPermissions(QFile::decodeName(program), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(QFile::copy(QFile::decodeName(BuiltProgram("lantrix-scan-live.so")),
                                dir.filePath(QStringLiteral("lantrix-scan-live.so"))));
    }

    TCommandOutcome Run(const QList<QByteArray>& arguments, const QByteArray& input = {},
                        const QByteArray& workingFolder = {})
    {
        TCommand command;
        command.program = program;
        command.arguments = arguments;
        command.input = input;
        command.workingFolder = workingFolder;
        TCommandOutcome outcome = RunCommand(command);
        EXPECT_TRUE(outcome.finished) << "lantrix-scan did not end in time";
        EXPECT_EQ(outcome.signal, 0) << "lantrix-scan was ended by a signal";
        return outcome;
    }

    QString History() const { return dir.filePath(QStringLiteral("history.sqlite")); }

    QList<THistoryEntry> Entries()
    {
        THistoryStore store(History());
        const THistoryStore::TOpenOutcome outcome = store.Open();
        EXPECT_EQ(outcome.status, THistoryStore::TOpenStatus::Opened) << outcome.message.toStdString();
        return store.All();
    }

    void WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QString Resolved(QString text) const
    {
        return text.replace(QStringLiteral("%D"), QDir(dir.path()).canonicalPath())
            .replace(QStringLiteral("%S"), QFileInfo(SamplePath(QStringLiteral("qr_code.png"))).absolutePath());
    }

    QTemporaryDir dir;
    QByteArray program;
};

QByteArray Sample(const char* name)
{
    return QFile::encodeName(SamplePath(QString::fromLatin1(name)));
}

// ---- What --history records ------------------------------------------------

struct RecordCase {
    const char* name;
    QList<QByteArray> arguments; // "%S/" stands for the samples folder
    QByteArray input;            // standard input
    int exitCode;
    QList<Expected> entries; // newest first
};

void PrintTo(const RecordCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanHistoryRecords : public ScanHistory, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(ScanHistoryRecords, WhatIsPrinted)
{
    QList<QByteArray> arguments = GetParam().arguments;
    for (QByteArray& argument : arguments)
        argument.replace("%S/", QFile::encodeName(QFileInfo(SamplePath("qr_code.png")).absolutePath()) + "/");
    // Relative names are given from the samples folder.
    const TCommandOutcome run =
        Run(arguments, GetParam().input, QFile::encodeName(QFileInfo(SamplePath("qr_code.png")).absolutePath()));
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("history")) << run.err.toStdString();
    if (GetParam().entries.isEmpty()) {
        EXPECT_FALSE(QFileInfo::exists(History()));
        return;
    }
    const QList<THistoryEntry> entries = Entries();
    ASSERT_EQ(entries.size(), GetParam().entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const Expected& expected = GetParam().entries[i];
        EXPECT_EQ(entries[i].source, Resolved(expected.source));
        EXPECT_EQ(entries[i].format, expected.format);
        EXPECT_EQ(entries[i].text, expected.text);
        EXPECT_EQ(entries[i].bytes, expected.text.toUtf8());
        EXPECT_EQ(entries[i].contentType, expected.contentType);
        EXPECT_LE(qAbs(entries[i].time.secsTo(QDateTime::currentDateTime())), 120);
    }
}

const Expected kQr{"%S/qr_code.png", "QR_CODE", kQrText, "url"};
const Expected kEan{"%S/ean_13.png", "EAN_13", "4006381333931", "text"};
const Expected kMatrix{"%S/data_matrix.png", "DATA_MATRIX", "Lantrix Data Matrix 0042", "text"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanHistoryRecords,
    ::testing::Values(
        RecordCase{"nothing_without_the_option", {"%S/qr_code.png"}, {}, 0, {}},
        RecordCase{"nothing_without_it_for_several", {"%S/qr_code.png", "%S/ean_13.png"}, {}, 0, {}},
        RecordCase{"one_picture", {"--history", "%S/qr_code.png"}, {}, 0, {kQr}},
        RecordCase{"a_relative_name_as_a_full_path", {"--history", "qr_code.png"}, {}, 0, {kQr}},
        RecordCase{"several_in_their_order",
                   {"--history", "%S/qr_code.png", "%S/ean_13.png", "%S/data_matrix.png"},
                   {},
                   0,
                   {kMatrix, kEan, kQr}},
        RecordCase{"unreadable_and_missing_are_not_recorded",
                   {"--history", "%S/aztec.png", "%S/qr_code.png", "%S/no-such-picture.png"},
                   {},
                   2,
                   {kQr}},
        RecordCase{"nothing_read_nothing_made", {"--history", "%S/aztec.png"}, {}, 1, {}},
        RecordCase{"with_json", {"--json", "--history", "%S/ean_13.png"}, {}, 0, {kEan}},
        RecordCase{"with_raw_bytes", {"--raw-bytes", "--history", "%S/data_matrix.png"}, {}, 0, {kMatrix}},
        RecordCase{"with_all", {"--all", "--history", "%S/qr_code.png", "%S/ean_13.png"}, {}, 0, {kEan, kQr}},
        RecordCase{"standard_input",
                   {"--history", "-"},
                   [] {
                       QFile file(SamplePath("qr_code.png"));
                       return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
                   }(),
                   0,
                   {{"Standard input", "QR_CODE", kQrText, "url"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanHistory, PrintsTheSameWithAndWithoutIt)
{
    for (const QList<QByteArray>& arguments :
         {QList<QByteArray>{Sample("qr_code.png"), Sample("ean_13.png"), Sample("aztec.png")},
          QList<QByteArray>{"--json", Sample("qr_code.png")}}) {
        const TCommandOutcome without = Run(arguments);
        const TCommandOutcome with = Run(QList<QByteArray>{"--history"} + arguments);
        EXPECT_EQ(with.out, without.out);
        EXPECT_EQ(with.err, without.err);
        EXPECT_EQ(with.exitCode, without.exitCode);
    }
}

TEST_F(ScanHistory, AppendsToWhatIsThere)
{
    ASSERT_EQ(Run({"--history", Sample("qr_code.png")}).exitCode, 0);
    ASSERT_EQ(Run({"--history", Sample("ean_13.png")}).exitCode, 0);
    ASSERT_EQ(Run({"--history", Sample("qr_code.png")}).exitCode, 0); // a picture read again is a new entry
    const QList<THistoryEntry> entries = Entries();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].text, kQrText);
    EXPECT_EQ(entries[1].text, "4006381333931");
    EXPECT_EQ(entries[2].text, kQrText);
}

// ---- The window's limit and "Keep History" --------------------------------

struct SettingsCase {
    const char* name;
    QByteArray ini;
    int kept; // of four pictures read one after another
};

void PrintTo(const SettingsCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanHistorySettings : public ScanHistory, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(ScanHistorySettings, KeepTheWindowsLimit)
{
    WriteFile(QStringLiteral("settings.ini"), GetParam().ini);
    const QList<QByteArray> pictures = {Sample("qr_code.png"), Sample("ean_13.png"), Sample("data_matrix.png"),
                                        Sample("code_128.png")};
    for (const QByteArray& picture : pictures)
        ASSERT_EQ(Run({"--history", picture}).exitCode, 0);
    const QList<THistoryEntry> entries = Entries();
    ASSERT_EQ(entries.size(), GetParam().kept);
    // The newest are kept.
    for (int i = 0; i < GetParam().kept; ++i)
        EXPECT_EQ(entries[i].source, QFile::decodeName(pictures[pictures.size() - 1 - i]));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanHistorySettings,
    ::testing::Values(SettingsCase{"two", "[Settings]\r\nHistoryLimit=2\r\n", 2},
                      SettingsCase{"one_among_others",
                                   "\xef\xbb\xbf[Window]\r\nHistoryLimit=3\r\n[settings]\r\nTryHarder=1\r\n"
                                   "  historylimit = \"1\"  \r\nHistoryLimit=2\r\n",
                                   1},
                      SettingsCase{"zero_is_no_limit", "[Settings]\nHistoryLimit=0\n", 4},
                      SettingsCase{"not_a_number_is_the_default", "[Settings]\nHistoryLimit=few\n", 4},
                      SettingsCase{"negative_is_the_default", "[Settings]\nHistoryLimit=-2\n", 4},
                      SettingsCase{"in_another_section", "[Other]\nHistoryLimit=1\n", 4},
                      SettingsCase{"keep_history_off_the_option_wins", "[Settings]\nKeepHistory=0\nHistoryLimit=3\n",
                                   3},
                      SettingsCase{"not_utf8_is_not_read", "[Settings]\nHistoryLimit=1\nName=\xff\xfe\n", 4}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Live sources -----------------------------------------------------------

TEST_F(ScanHistory, RecordsALiveSourceByItsName)
{
    const QByteArray pipeline =
        StillPictureDescription(SamplePath(QStringLiteral("qr_code.png")), TTestCameraFormat::YUY2, 640, 480).toUtf8();
    WriteFile(QStringLiteral("cameras.ini"), "[Cameras]\nDoor QR = " + pipeline + "\n");
    const TCommandOutcome camera = Run({"--history", "--camera", "Door QR", "--count", "1"});
    EXPECT_EQ(camera.exitCode, 0) << camera.err.toStdString();
    EXPECT_EQ(camera.out, kQrText + "\n");
    const TCommandOutcome source = Run({"--history", "--pipeline", pipeline, "--count", "1"});
    EXPECT_EQ(source.exitCode, 0) << source.err.toStdString();
    const QList<THistoryEntry> entries = Entries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].source, QString::fromUtf8(pipeline));
    EXPECT_EQ(entries[1].source, "Door QR");
    for (const THistoryEntry& entry : entries) {
        EXPECT_EQ(entry.text, kQrText);
        EXPECT_EQ(entry.format, "QR_CODE");
        EXPECT_EQ(entry.contentType, "url");
    }
}

// ---- A history that cannot be kept -------------------------------------------

TEST_F(ScanHistory, ADamagedHistoryIsMovedAsideAndTheCodeRecorded)
{
    WriteFile(QStringLiteral("history.sqlite"), "my shopping list");
    const TCommandOutcome run = Run({"--history", Sample("qr_code.png")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kQrText + "\n");
    EXPECT_TRUE(run.err.startsWith("lantrix-scan: The scan history history.sqlite could not be read"))
        << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1);
    const QStringList moved = QDir(dir.path()).entryList({QStringLiteral("history.sqlite.damaged-*")});
    ASSERT_EQ(moved.size(), 1);
    EXPECT_TRUE(run.err.contains(moved[0].toUtf8()));
    QFile damaged(dir.filePath(moved[0]));
    ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
    EXPECT_EQ(damaged.readAll(), "my shopping list");
    EXPECT_EQ(Entries().size(), 1);
}

struct UnkeptCase {
    const char* name;
    std::function<void(const QString& history)> make;
    const char* message; // a part of standard error
};

void PrintTo(const UnkeptCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanHistoryUnkept : public ScanHistory, public ::testing::WithParamInterface<UnkeptCase> {};

TEST_P(ScanHistoryUnkept, PrintsTheCodesAndFails)
{
    GetParam().make(History());
    const TCommandOutcome run = Run({"--history", Sample("qr_code.png"), Sample("ean_13.png")});
    EXPECT_EQ(run.exitCode, 2);
    // Every code printed all the same; the failure said once.
    EXPECT_TRUE(run.out.contains(kQrText)) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("4006381333931")) << run.out.toStdString();
    EXPECT_TRUE(run.err.startsWith("lantrix-scan: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*damaged*")}).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanHistoryUnkept,
    ::testing::Values(UnkeptCase{"a_folder_in_its_place", [](const QString& history) { QDir().mkpath(history); },
                                 "is not a file"},
                      UnkeptCase{"a_newer_programs_history",
                                 [](const QString& history) {
                                     const QString name = QUuid::createUuid().toString();
                                     {
                                         QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
                                         db.setDatabaseName(history);
                                         ASSERT_TRUE(db.open());
                                         QSqlQuery query(db);
                                         ASSERT_TRUE(query.exec("CREATE TABLE entries (id INTEGER PRIMARY KEY)"));
                                         ASSERT_TRUE(query.exec("PRAGMA user_version = 9"));
                                         db.close();
                                     }
                                     QSqlDatabase::removeDatabase(name);
                                 },
                                 "newer version"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- --history-export ---------------------------------------------------------

TEST_F(ScanHistory, ExportsTheWholeHistoryNewestFirst)
{
    ASSERT_EQ(Run({"--history", Sample("ean_13.png")}).exitCode, 0);
    ASSERT_EQ(Run({"--history", Sample("qr_code.png")}).exitCode, 0);

    const QString csv = dir.filePath(QStringLiteral("out/history.csv"));
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    const TCommandOutcome toCsv = Run({"--history-export", QFile::encodeName(csv)});
    EXPECT_EQ(toCsv.exitCode, 0) << toCsv.err.toStdString();
    EXPECT_EQ(toCsv.out, "");
    EXPECT_EQ(toCsv.err, "");
    QFile csvFile(csv);
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csvFile.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two entries, and after the last CR LF nothing
    EXPECT_EQ(lines[0], "time,source,format,text,content_type\r");
    EXPECT_TRUE(lines[1].endsWith("," + Sample("qr_code.png") + ",QR_CODE," + kQrText + ",url\r"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith("," + Sample("ean_13.png") + ",EAN_13,4006381333931,text\r"))
        << lines[2].toStdString();
    EXPECT_EQ(lines[3], "");

    const QString jsonl = dir.filePath(QStringLiteral("out/history.JSONL"));
    EXPECT_EQ(Run({"--history-export", QFile::encodeName(jsonl)}).exitCode, 0);
    QFile jsonFile(jsonl);
    ASSERT_TRUE(jsonFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> objects = jsonFile.readAll().trimmed().split('\n');
    ASSERT_EQ(objects.size(), 2);
    const QJsonObject newest = QJsonDocument::fromJson(objects[0]).object();
    EXPECT_EQ(newest["text"].toString(), QString::fromUtf8(kQrText));
    EXPECT_EQ(newest["source"].toString(), SamplePath("qr_code.png"));
    EXPECT_EQ(newest["content"].toObject()["type"].toString(), "url");
    EXPECT_EQ(newest["bytes"].toString(), QString::fromLatin1(kQrText.toHex()));
    EXPECT_TRUE(QDateTime::fromString(newest["time"].toString(), Qt::ISODate).isValid());
}

struct ExportCase {
    const char* name;
    QList<QByteArray> arguments; // "%D/" stands for the program's folder
    int exitCode;
    const char* message; // a part of standard error
};

void PrintTo(const ExportCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanHistoryExport : public ScanHistory, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ScanHistoryExport, ExitStatus)
{
    ASSERT_EQ(Run({"--history", Sample("qr_code.png")}).exitCode, 0);
    QList<QByteArray> arguments = GetParam().arguments;
    for (QByteArray& argument : arguments)
        argument.replace("%D/", QFile::encodeName(dir.path()) + "/");
    const TCommandOutcome run = Run(arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err.toStdString();
    if (GetParam().exitCode != 0) {
        EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("out.*")}).isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanHistoryExport,
    ::testing::Values(
        ExportCase{"csv", {"--history-export", "%D/out.csv"}, 0, ""},
        ExportCase{"ndjson_with_equals", {"--history-export=%D/out.ndjson"}, 0, ""},
        ExportCase{"unknown_suffix",
                   {"--history-export", "%D/out.txt"},
                   64,
                   "lantrix-scan: --history-export writes a .csv, .jsonl or .ndjson file, not '"},
        ExportCase{"json_is_not_json_lines", {"--history-export", "%D/out.json"}, 64, "not '"},
        ExportCase{"no_file", {"--history-export"}, 64, "--history-export needs a file name"},
        ExportCase{"with_a_picture",
                   {"--history-export", "%D/out.csv", "picture.png"},
                   64,
                   "--history-export takes nothing else"},
        ExportCase{"with_history", {"--history", "--history-export", "%D/out.csv"}, 64, "takes nothing else"},
        ExportCase{"with_a_decode_option", {"--inverted", "--history-export", "%D/out.csv"}, 64, "takes nothing else"},
        ExportCase{"folder_missing", {"--history-export", "%D/no/such/folder/out.csv"}, 2, "out.csv"},
        ExportCase{"a_folder_in_the_way", {"--history-export", "%D/"}, 64, "not '"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanHistory, ExportsNoHistoryAsAnEmptyOne)
{
    const QString csv = dir.filePath(QStringLiteral("empty.csv"));
    const TCommandOutcome run = Run({"--history-export", QFile::encodeName(csv)});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "time,source,format,text,content_type\r\n");
    EXPECT_FALSE(QFileInfo::exists(History())); // reading made none
}

TEST_F(ScanHistory, AnExportThatFailsLeavesTheOldFile)
{
    ASSERT_EQ(Run({"--history", Sample("qr_code.png")}).exitCode, 0);
    WriteFile(QStringLiteral("history.sqlite.damaged-x"), "");
    // A history that cannot be opened: the export says so and leaves the file it would replace.
    WriteFile(QStringLiteral("old.csv"), "old");
    QDir().rename(History(), dir.filePath(QStringLiteral("kept.sqlite")));
    QDir().mkpath(History());
    const TCommandOutcome run = Run({"--history-export", QFile::encodeName(dir.filePath("old.csv"))});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("history.sqlite")) << run.err.toStdString();
    QFile old(dir.filePath(QStringLiteral("old.csv")));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
}

// ---- Beside another program writing the same history --------------------------

// lantrix-scan processes record while this process writes the same file
// through a store of its own, as the window does: nothing lost, nothing broken.
// The scanners start one after another: each chooses its data folder by
// creating a check file in its own folder, and one started at the very same
// moment as another may find the other's check file there.
TEST_F(ScanHistory, RecordsBesideAnotherWriter)
{
    constexpr int kScanners = 3;
    constexpr int kOwn = 100;
    QList<QByteArray> pictures = {"--history"};
    for (const char* name : {"qr_code.png", "ean_13.png", "data_matrix.png", "code_128.png", "ean_8.png"})
        pictures.append(Sample(name));
    THistoryStore window(History());
    ASSERT_EQ(window.Open().status, THistoryStore::TOpenStatus::Opened);

    std::vector<TCommandOutcome> outcomes(kScanners);
    std::atomic<bool> scannersDone{false};
    std::thread scanners([&] {
        for (TCommandOutcome& outcome : outcomes) {
            TCommand command;
            command.program = program;
            command.arguments = pictures;
            outcome = RunCommand(command);
        }
        scannersDone = true;
    });
    // Written all the while the scanners run, and at least kOwn entries: one
    // every 2 ms, far more often than a window records (a code appears once,
    // then stays in view), but with the pauses any writer has between two
    // codes. A writer that takes the lock again the moment it lets it go, in
    // a loop, would starve the others past any busy time-out: SQLite grants
    // the lock to whoever asks when it is free, not in turn.
    int written = 0;
    int failures = 0;
    while (!scannersDone || written < kOwn) {
        THistoryEntry entry;
        entry.time = QDateTime::currentDateTime();
        entry.source = QStringLiteral("HD Webcam");
        entry.format = QStringLiteral("QR_CODE");
        entry.text = QStringLiteral("window %1").arg(written);
        entry.contentType = QStringLiteral("text");
        QString error;
        if (window.Add(entry, 0, &error)) {
            ++written;
        } else if (++failures < 5) {
            ADD_FAILURE() << error.toStdString();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    scanners.join();
    EXPECT_EQ(failures, 0);
    for (const TCommandOutcome& outcome : outcomes) {
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.err, "");
    }
    EXPECT_EQ(window.Count(), written + kScanners * (pictures.size() - 1));
    int scanned = 0;
    for (const THistoryEntry& entry : window.All())
        scanned += entry.source.endsWith(QLatin1String(".png")) ? 1 : 0;
    EXPECT_EQ(scanned, kScanners * (pictures.size() - 1));
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(History());
        ASSERT_TRUE(db.open());
        QSqlQuery check(db);
        ASSERT_TRUE(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
        EXPECT_EQ(check.value(0).toString(), "ok");
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

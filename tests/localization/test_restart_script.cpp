#include "localization/RestartScript.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct QuoteCase {
    const char* name;
    QByteArray word;
    QByteArray quoted;
};

class ShellQuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(ShellQuoteTest, QuotesForThePosixShell)
{
    EXPECT_EQ(ShellQuote(GetParam().word), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(Words, ShellQuoteTest,
                         ::testing::Values(QuoteCase{"plain", "/opt/lantrix/bin/lantrix", "'/opt/lantrix/bin/lantrix'"},
                                           QuoteCase{"blank", "/home/ana/my apps/lantrix",
                                                     "'/home/ana/my apps/lantrix'"},
                                           QuoteCase{"single_quote", "/tmp/it's", "'/tmp/it'\\''s'"},
                                           QuoteCase{"two_single_quotes", "''", "''\\'''\\'''"},
                                           QuoteCase{"dollar_and_backquote", "/a/$(rm x)`id`", "'/a/$(rm x)`id`'"},
                                           QuoteCase{"double_quote_and_newline", "/a/\"b\"\nc", "'/a/\"b\"\nc'"},
                                           QuoteCase{"empty", "", "''"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RestartScript, ExactContent)
{
    EXPECT_EQ(RestartScriptText("/opt/lantrix/bin/lantrix"),
              QByteArray("#!/bin/sh\n"
                         "echo This file was created automatically to restart the program.\n"
                         "echo It is safe to delete this file.\n"
                         "sleep 1\n"
                         "'/opt/lantrix/bin/lantrix'\n"));
    EXPECT_TRUE(RestartScriptText("/home/ana/Programme/it's $HOME/lantrix")
                    .endsWith("sleep 1\n'/home/ana/Programme/it'\\''s $HOME/lantrix'\n"));
    // The path goes in as the file system's bytes for it.
    EXPECT_TRUE(RestartScriptText(QString::fromUtf8("/opt/Lantrix Ümlaut/lantrix"))
                    .endsWith("'/opt/Lantrix \xC3\x9Cmlaut/lantrix'\n"));
}

TEST(RestartScript, PathInTheDataFolder)
{
    EXPECT_EQ(RestartScriptPath("/home/ana/.config/DASTREL/Lantrix/"), "/home/ana/.config/DASTREL/Lantrix/start.sh");
    EXPECT_EQ(RestartScriptPath("/opt/lantrix"), "/opt/lantrix/start.sh");
}

TEST(RestartScript, WriteFailureIsRaisedWithThePath)
{
    QTemporaryDir root;
    const QString missing = root.filePath("no/such/folder");
    try {
        WriteRestartScript(missing, "/opt/lantrix/bin/lantrix");
        FAIL() << "no error raised";
    } catch (const ERestartScriptError& error) {
        EXPECT_NE(QString::fromUtf8(error.what()).indexOf(missing + "/start.sh"), -1) << error.what();
    }
}

// The script, started as the program starts it, runs the program at a path
// full of characters that the shell would otherwise act on, and nothing else.
class RestartScriptRun : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString dataFolder = root.filePath("data");
    QString programFolder =
        root.filePath("it's a \"dir\" $HOME `touch backquoted` $(touch dollar)\nline two; touch semicolon");
    QString program = programFolder + "/lantrix";
    QString marker = root.filePath("started");

    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(dataFolder));
        ASSERT_TRUE(QDir().mkpath(programFolder));
        // A stand-in for the program: it only notes that it ran, and how.
        QFile standIn(program);
        ASSERT_TRUE(standIn.open(QIODevice::WriteOnly));
        standIn.write("#!/bin/sh\nprintf 'started %s %s\\n' \"$#\" \"$PWD\" >> \"$LANTRIX_TEST_MARKER\"\n");
        standIn.close();
        ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0755), 0);
        qputenv("LANTRIX_TEST_MARKER", QFile::encodeName(marker));
    }
    void TearDown() override { qunsetenv("LANTRIX_TEST_MARKER"); }

    QByteArray Marker() const
    {
        QFile file(marker);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Files that an escaped part of the path would have made.
    QStringList Strays() const
    {
        QStringList found;
        for (const QString name : {"backquoted", "dollar", "semicolon"}) {
            QDirIterator it(root.path(), {name}, QDir::Files, QDirIterator::Subdirectories);
            if (it.hasNext())
                found << name;
            if (QFile::exists(QDir::current().filePath(name)) || QFile::exists(dataFolder + "/" + name))
                found << name;
        }
        return found;
    }
};

TEST_F(RestartScriptRun, RunsTheProgramAndNothingElse)
{
    WriteRestartScript(dataFolder, program);
    QProcess shell;
    shell.setWorkingDirectory(dataFolder);
    shell.start("/bin/sh", {RestartScriptPath(dataFolder)});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_EQ(shell.readAllStandardOutput(), QByteArray("This file was created automatically to restart the program.\n"
                                                        "It is safe to delete this file.\n"));
    EXPECT_EQ(Marker(), "started 0 " + QFile::encodeName(dataFolder) + "\n");
    EXPECT_TRUE(Strays().isEmpty()) << Strays().join(",").toStdString();
}

// The real start: detached, with the data folder as working folder.
TEST_F(RestartScriptRun, StartedDetachedInTheDataFolder)
{
    WriteRestartScript(dataFolder, program);
    StartRestartScript(dataFolder);
    QElapsedTimer waited;
    waited.start();
    while (Marker().isEmpty() && waited.elapsed() < 60000)
        QThread::msleep(50);
    EXPECT_EQ(Marker(), "started 0 " + QFile::encodeName(dataFolder) + "\n");
    EXPECT_TRUE(Strays().isEmpty()) << Strays().join(",").toStdString();
}

TEST_F(RestartScriptRun, RewrittenForEveryRestart)
{
    WriteRestartScript(dataFolder, "/old/lantrix");
    WriteRestartScript(dataFolder, program);
    QFile script(RestartScriptPath(dataFolder));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    EXPECT_EQ(script.readAll(), RestartScriptText(program));
}

TEST_F(RestartScriptRun, NewInstanceStartsWithoutArguments)
{
    StartNewInstance(program);
    QElapsedTimer waited;
    waited.start();
    while (Marker().isEmpty() && waited.elapsed() < 60000)
        QThread::msleep(50);
    EXPECT_TRUE(Marker().startsWith("started 0 "));
}

} // namespace

// Which libraries lantrix-scan loads, as the dynamic loader reports them
// (LD_DEBUG=files): GStreamer's only when a live mode runs; pictures, their
// raw bytes and raw camera samples start without it.
#include "support/CommandRun.h"
#include "support/Samples.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>

namespace {

struct LoadCase {
    const char* name;
    QList<QByteArray> arguments; // "@raw" stands for a raw RGB sample, "@qr" for the QR sample
    int exitCode;
    bool loadsGStreamer;
};

void PrintTo(const LoadCase& row, std::ostream* out)
{
    *out << row.name;
}

class ScannerLoading : public ::testing::TestWithParam<LoadCase> {
protected:
    // The loader's report of one run of lantrix-scan, with the run's outcome.
    struct Run {
        TCommandOutcome outcome;
        QByteArray report;
    };

    Run Scan(const QList<QByteArray>& arguments)
    {
        const QString prefix = reports.filePath(QStringLiteral("ld"));
        ::setenv("LD_DEBUG", "files", 1);
        ::setenv("LD_DEBUG_OUTPUT", QFile::encodeName(prefix).constData(), 1);
        TCommand command;
        command.program = BuiltProgram("lantrix-scan");
        command.arguments = arguments;
        Run run{RunCommand(command), {}};
        ::unsetenv("LD_DEBUG");
        ::unsetenv("LD_DEBUG_OUTPUT");
        for (const QString& name : QDir(reports.path()).entryList(QDir::Files)) {
            QFile file(reports.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                run.report += file.readAll();
        }
        return run;
    }

    QByteArray RawSample()
    {
        const QString path = reports.filePath(QStringLiteral("grey.raw"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4 * 4 * 3, '\x80')); // 4 x 4 pixels of RGB, grey
        return QFile::encodeName(path);
    }

    QTemporaryDir reports;
};

TEST_P(ScannerLoading, GStreamerOnlyForLiveModes)
{
    const LoadCase& row = GetParam();
    ASSERT_TRUE(reports.isValid());
    QList<QByteArray> arguments;
    for (const QByteArray& argument : row.arguments)
        arguments << (argument == "@qr"    ? QFile::encodeName(SamplePath(QStringLiteral("qr_code.png")))
                      : argument == "@raw" ? RawSample()
                                           : argument);
    const Run run = Scan(arguments);
    ASSERT_TRUE(run.outcome.finished);
    EXPECT_EQ(run.outcome.exitCode, row.exitCode) << run.outcome.err.toStdString();
    ASSERT_TRUE(run.report.contains("file=libQt6Core.so")) << "no report of the loader";
    EXPECT_EQ(run.report.contains("file=libgstreamer-1.0.so"), row.loadsGStreamer);
    EXPECT_EQ(run.report.contains("file=libgstvideo-1.0.so"), row.loadsGStreamer);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScannerLoading,
                         ::testing::Values(LoadCase{"one picture", {"@qr"}, 0, false},
                                           LoadCase{"several pictures", {"@qr", "@qr"}, 0, false},
                                           LoadCase{"raw bytes", {"--raw-bytes", "@qr"}, 0, false},
                                           LoadCase{"a raw sample", {"--raw", "4x4:RGB", "@raw"}, 1, false},
                                           LoadCase{"a live source",
                                                    {"--pipeline", "videotestsrc num-buffers=3 ! videoconvert",
                                                     "--timeout", "60"},
                                                    1,
                                                    true}),
                         [](const ::testing::TestParamInfo<LoadCase>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace

// lantrix-scan and lantrix as command-line tools beside coreutils, run as
// separate processes: output that cannot be written, codes shown on a
// terminal, --help and --version, usage errors, --list-cameras without a
// camera and the picture-size limit.
#include "support/CommandRun.h"
#include "support/PictureFiles.h"
#include "support/Samples.h"
#include "support/TestCameras.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");

struct Outcome {
    bool finished = false;
    int exitCode = -1;
    QByteArray out, err;
};

// Runs a built program; standard output goes to `outputFile` when one is
// given. The time is generous, for a busy machine, and only there so that
// a hang fails.
Outcome Launch(const QString& program, const QStringList& arguments, const QString& outputFile = {},
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(program, arguments);
    Outcome outcome;
    outcome.finished = process.waitForFinished(120000);
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished();
    }
    EXPECT_TRUE(outcome.finished) << program.toStdString() << " did not end in time";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << program.toStdString() << " crashed";
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

QString ScanProgram()
{
    return QStringLiteral(LANTRIX_BIN_DIR "/lantrix-scan");
}

QString WindowProgram()
{
    return QStringLiteral(LANTRIX_BIN_DIR "/lantrix");
}

// ---- Output that cannot be written ------------------------------------------

// A camera sample of the QR sample, 640 x 480 RGB rows bottom-up.
QString WriteRgbSample(const QString& dir)
{
    const QImage scene =
        SceneWithCode(640, 480, LoadSample("qr_code.png"), 150, 90).convertToFormat(QImage::Format_RGB32);
    QByteArray sample;
    for (int y = scene.height() - 1; y >= 0; --y)
        for (int x = 0; x < scene.width(); ++x) {
            const QRgb c = scene.pixel(x, y);
            sample.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        }
    const QString path = dir + QStringLiteral("/frame.raw");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(sample) == sample.size());
    return path;
}

struct FullCase {
    const char* name;
    QStringList arguments; // "%S" the samples folder, "%D" a folder of the test's, "%R" a raw sample in it
    int exitCode;
    const char* err; // a part of standard error
};

void PrintTo(const FullCase& c, std::ostream* out)
{
    *out << c.name;
}

class FullDevice : public ::testing::TestWithParam<FullCase> {};

// Standard output on /dev/full: every write fails with "No space left on device".
TEST_P(FullDevice, WriteErrorIsSaidAndFails)
{
    QTemporaryDir dir;
    QStringList arguments = GetParam().arguments;
    const QString sample = arguments.join(' ').contains("%R") ? WriteRgbSample(dir.path()) : QString();
    for (QString& a : arguments) {
        a.replace("%S", QStringLiteral(LANTRIX_SOURCE_DIR "/samples"));
        a.replace("%D", dir.path());
        a.replace("%R", sample);
    }
    const Outcome run = Launch(ScanProgram(), arguments, QStringLiteral("/dev/full"));
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(GetParam().err)) << run.err.toStdString();
    // One line a message: no write error after one was said.
    EXPECT_LE(run.err.count("write error"), 1) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FullDevice,
    ::testing::Values(
        FullCase{"text", {"%S/qr_code.png"}, 2, "lantrix-scan: write error: No space left on device\n"},
        FullCase{"json", {"--json", "%S/qr_code.png"}, 2, "lantrix-scan: write error: No space left on device\n"},
        FullCase{
            "all", {"--all", "--json", "%S/qr_code.png"}, 2, "lantrix-scan: write error: No space left on device\n"},
        FullCase{
            "raw_bytes", {"--raw-bytes", "%S/qr_code.png"}, 2, "lantrix-scan: write error: No space left on device\n"},
        FullCase{"several_files",
                 {"%S/qr_code.png", "%S/ean_8.png", "%S/aztec.png"},
                 2,
                 "lantrix-scan: write error: No space left on device\n"},
        FullCase{"raw_sample_saved",
                 {"--raw", "640x480:RGB", "--save-bitmap", "%D/frame.bmp", "%R"},
                 2,
                 "lantrix-scan: write error: No space left on device\n"},
        FullCase{"help", {"--help"}, 2, "lantrix-scan: write error: No space left on device\n"},
        FullCase{"version", {"--version"}, 2, "lantrix-scan: write error: No space left on device\n"},
        // Nothing to write is no failure: the code's absence is the outcome.
        FullCase{"nothing_written", {"--format", "EAN_13", "%S/qr_code.png"}, 1, "Unreadable!\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The converted frame written to a full device is no saved bitmap.
TEST(FullDevice, BitmapThatCannotBeSavedFails)
{
    QTemporaryDir dir;
    const QString sample = WriteRgbSample(dir.path());
    const Outcome run = Launch(ScanProgram(), {"--raw", "640x480:RGB", "--save-bitmap", "/dev/full", sample});
    EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains("Cannot write the bitmap \"/dev/full\".")) << run.err.toStdString();
}

TEST(FullDevice, LiveScanStopsAtTheFirstCodeThatCannotBeWritten)
{
    const QString source =
        StillPictureDescription(SamplePath(QStringLiteral("qr_code.png")), TTestCameraFormat::YUY2, 640, 480);
    const Outcome run = Launch(ScanProgram(), {"--pipeline", source, "--timeout", "60"}, QStringLiteral("/dev/full"));
    EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
    EXPECT_EQ(run.err, "lantrix-scan: write error: No space left on device\n");
}

// ---- Codes shown on a terminal ----------------------------------------------

// Which of lantrix-scan's streams is the terminal; the other goes nowhere.
enum class TTerminalSide { Output, Messages };

// Runs lantrix-scan with standard output (or standard error) on a
// pseudo-terminal (raw, so that the bytes come as written) and the other
// stream to nowhere; gives what the terminal received. Arguments are bytes,
// as file names are.
QByteArray RunBytesOnTerminal(const QList<QByteArray>& arguments, TTerminalSide side = TTerminalSide::Output,
                              int exitCode = 0, const QString& program = ScanProgram())
{
    std::vector<QByteArray> owned{QFile::encodeName(program)};
    for (const QByteArray& a : arguments)
        owned.push_back(a);
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    termios raw{};
    cfmakeraw(&raw);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, &raw, nullptr);
    if (pid == 0) {
        const int nowhere = ::open("/dev/null", O_WRONLY);
        ::dup2(nowhere, side == TTerminalSide::Output ? STDERR_FILENO : STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    EXPECT_GT(pid, 0) << "no pseudo-terminal";
    if (pid <= 0)
        return {};
    QByteArray shown;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    for (;;) {
        pollfd fd{terminal, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "lantrix-scan did not end in time";
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(&fd, 1, 200) <= 0)
            continue;
        char buffer[4096];
        const ssize_t count = ::read(terminal, buffer, sizeof buffer);
        if (count > 0)
            shown.append(buffer, count);
        else if (count == 0 || errno != EINTR)
            break; // EIO once the program has closed its side
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == exitCode) << "status " << status;
    return shown;
}

QByteArray RunOnTerminal(const QStringList& arguments)
{
    QList<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes.append(QFile::encodeName(a));
    return RunBytesOnTerminal(bytes);
}

struct TerminalCase {
    const char* name;
    QString text;          // the code's text
    QByteArray onTerminal; // what a terminal shows of it
};

void PrintTo(const TerminalCase& c, std::ostream* out)
{
    *out << c.name;
}

class TerminalOutput : public ::testing::TestWithParam<TerminalCase> {
protected:
    void SetUp() override
    {
        picture = dir.filePath(QStringLiteral("code.png"));
        ASSERT_TRUE(QrCodePicture(GetParam().text).save(picture));
    }

    QTemporaryDir dir;
    QString picture;
};

// On a terminal, control characters come escaped, as ls shows them; through
// a pipe the text and the bytes come as decoded; JSON is the same on both.
TEST_P(TerminalOutput, EscapedOnATerminalAndAsDecodedThroughAPipe)
{
    const QByteArray text = GetParam().text.toUtf8();
    EXPECT_EQ(RunOnTerminal({picture}).toStdString(), (GetParam().onTerminal + '\n').toStdString());
    EXPECT_EQ(RunOnTerminal({"--raw-bytes", picture}).toStdString(), GetParam().onTerminal.toStdString());

    const Outcome piped = Launch(ScanProgram(), {picture});
    EXPECT_EQ(piped.out.toStdString(), (text + '\n').toStdString());
    const Outcome pipedBytes = Launch(ScanProgram(), {"--raw-bytes", picture});
    EXPECT_EQ(pipedBytes.out.toHex(), text.toHex());
    const Outcome pipedJson = Launch(ScanProgram(), {"--json", picture});
    EXPECT_EQ(RunOnTerminal({"--json", picture}).toStdString(), pipedJson.out.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalOutput,
    ::testing::Values(TerminalCase{"title_and_colour_sequences", QStringLiteral("\x1b]0;owned\x07\x1b[31mred\x1b[0m"),
                                   "\\033]0;owned\\a\\033[31mred\\033[0m"},
                      TerminalCase{"line_breaks_and_tab", QStringLiteral("one\r\ntwo\tthree"), "one\\r\\ntwo\\tthree"},
                      TerminalCase{"other_c0_and_del",
                                   QStringLiteral("a\x01"
                                                  "b\x08"
                                                  "c\x0b"
                                                  "d\x0c"
                                                  "e\x7f"
                                                  "f"),
                                   "a\\001b\\bc\\vd\\fe\\177f"},
                      TerminalCase{"backslashes_stay_apart_from_escapes", QStringLiteral("C:\\033\\n"),
                                   "C:\\\\033\\\\n"},
                      TerminalCase{"c1_control_sequence_introducer",
                                   QStringLiteral("x\u009b"
                                                  "2Jy"),
                                   "x\\302\\2332Jy"},
                      TerminalCase{"printable_text_as_it_is", QStringLiteral("Gr\u00fc\u00dfe \u20ac \u00a0nbsp"),
                                   "Gr\xc3\xbc\xc3\x9f"
                                   "e \xe2\x82\xac \xc2\xa0nbsp"}),
    [](const auto& info) { return std::string(info.param.name); });

// The file names that prefix the lines of several files come escaped too.
TEST(TerminalOutput, FileNamesBeforeTheCodesAreEscaped)
{
    QTemporaryDir dir;
    const QString tricky = dir.filePath(QStringLiteral("a\x1b[2J\nb.png"));
    const QString plain = dir.filePath(QStringLiteral("plain.png"));
    ASSERT_TRUE(QFile::copy(SamplePath(QStringLiteral("qr_code.png")), tricky));
    ASSERT_TRUE(QFile::copy(SamplePath(QStringLiteral("qr_code.png")), plain));
    const QByteArray shown = RunOnTerminal({tricky, plain});
    const QByteArray folder = QFile::encodeName(dir.path());
    EXPECT_EQ(shown.toStdString(), (folder + "/a\\033[2J\\nb.png: " + kQrText.toUtf8() + "\n" + folder
                                    + "/plain.png: " + kQrText.toUtf8() + "\n")
                                       .toStdString());
}

// A file name on standard error reaches a terminal escaped as on standard
// output, with one file or several, for a file that cannot be loaded and for
// one without a code; through a pipe it comes as given.
struct HostileNameCase {
    const char* name;
    QByteArray file;  // a file name's bytes
    QByteArray shown; // as a terminal gets them
};

void PrintTo(const HostileNameCase& c, std::ostream* out)
{
    *out << c.name;
}

class MessagesOnATerminal : public ::testing::TestWithParam<HostileNameCase> {
protected:
    void SetUp() override
    {
        folder = QFile::encodeName(dir.path()) + '/';
        // A picture without a code under the hostile name.
        const QByteArray png = [] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImage blank(64, 64, QImage::Format_RGB32);
            blank.fill(Qt::white);
            blank.save(&buffer, "PNG");
            return bytes;
        }();
        std::FILE* file = std::fopen((folder + GetParam().file).constData(), "wb"); // the name as bytes
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(png.constData(), 1, std::size_t(png.size()), file), std::size_t(png.size()));
        std::fclose(file);
    }

    QTemporaryDir dir;
    QByteArray folder;
};

TEST_P(MessagesOnATerminal, NameTheFileEscaped)
{
    const QByteArray blank = folder + GetParam().file;
    const QByteArray missing = folder + "missing-" + GetParam().file;
    const QByteArray shownBlank = folder + GetParam().shown;
    const QByteArray shownMissing = folder + "missing-" + GetParam().shown;
    const QByteArray noSuchFile = std::strerror(ENOENT);

    EXPECT_EQ(RunBytesOnTerminal({missing}, TTerminalSide::Messages, 2).toStdString(),
              ("lantrix-scan: " + shownMissing + ": " + noSuchFile + "\n").toStdString());
    EXPECT_EQ(RunBytesOnTerminal({"--raw-bytes", missing}, TTerminalSide::Messages, 2).toStdString(),
              ("lantrix-scan: " + shownMissing + ": " + noSuchFile + "\n").toStdString());
    EXPECT_EQ(RunBytesOnTerminal({blank, missing}, TTerminalSide::Messages, 2).toStdString(),
              (shownBlank + ": Unreadable!\nlantrix-scan: " + shownMissing + ": " + noSuchFile + "\n").toStdString());

    TCommand piped;
    piped.program = BuiltProgram("lantrix-scan");
    piped.arguments = {blank, missing};
    const TCommandOutcome run = RunCommand(piped);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.toStdString(),
              (blank + ": Unreadable!\nlantrix-scan: " + missing + ": " + noSuchFile + "\n").toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessagesOnATerminal,
    ::testing::Values(HostileNameCase{"clear_screen", "miss\x1b[2Jing.png", "miss\\033[2Jing.png"},
                      HostileNameCase{"title", "\x1b]0;owned\x07.png", "\\033]0;owned\\a.png"},
                      HostileNameCase{"carriage_return", "a\rb.png", "a\\rb.png"},
                      HostileNameCase{"line_break", "a\nlantrix-scan: b.png", "a\\nlantrix-scan: b.png"},
                      HostileNameCase{"bell", "ring\x07.png", "ring\\a.png"},
                      HostileNameCase{"c1_csi_byte",
                                      "x\x9b"
                                      "2J.png",
                                      "x\\2332J.png"},
                      HostileNameCase{"no_utf8", "b\xe9\xff.png", "b\\351\\377.png"},
                      HostileNameCase{"printable_utf8", "\xc3\xa9t\xc3\xa9.png", "\xc3\xa9t\xc3\xa9.png"}),
    [](const auto& info) { return std::string(info.param.name); });

// A user's argument in a usage error reaches a terminal escaped as well.
TEST(MessagesOnATerminal, UsageErrorsShowArgumentsEscaped)
{
    EXPECT_EQ(RunBytesOnTerminal({"--format", "qr\x1b[2J", "a.png"}, TTerminalSide::Messages, 64).toStdString(),
              "lantrix-scan: unknown code format 'qr\\033[2J'\nTry 'lantrix-scan --help'.\n");
    EXPECT_EQ(RunBytesOnTerminal({"--bad\x9b"}, TTerminalSide::Messages, 64).toStdString(),
              "lantrix-scan: unknown option --bad\\233\nTry 'lantrix-scan --help'.\n");
}

// --raw-bytes on a terminal shows the bytes that are no UTF-8 in octal, as
// ls -b shows them, a lone C1 byte (0x9B, CSI to a terminal of 8-bit
// controls) among them; through a pipe every byte comes as encoded.
struct RawBytesCase {
    const char* name;
    QByteArray content;
    QByteArray shown;
};

void PrintTo(const RawBytesCase& c, std::ostream* out)
{
    *out << c.name;
}

class RawBytesOnATerminal : public ::testing::TestWithParam<RawBytesCase> {};

TEST_P(RawBytesOnATerminal, EscapedAsLsShowsThem)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("bytes.png"));
    ASSERT_TRUE(QrCodeOfBytes(GetParam().content).save(picture));
    EXPECT_EQ(RunOnTerminal(QStringList{"--raw-bytes", picture}).toStdString(), GetParam().shown.toStdString());
    const Outcome piped = Launch(ScanProgram(), {"--raw-bytes", picture});
    EXPECT_EQ(piped.out.toHex(), GetParam().content.toHex());
}

INSTANTIATE_TEST_SUITE_P(Cases, RawBytesOnATerminal,
                         ::testing::Values(RawBytesCase{"lone_csi_byte",
                                                        "a\x9b"
                                                        "2Jb",
                                                        "a\\2332Jb"},
                                           RawBytesCase{"c1_first_and_last", "\x80x\x9f", "\\200x\\237"},
                                           RawBytesCase{"c1_in_utf8",
                                                        "\xc2\x9b"
                                                        "2J",
                                                        "\\302\\2332J"},
                                           RawBytesCase{"c0_and_del", QByteArray("\x1b[0m\x00\r\x7f", 7),
                                                        "\\033[0m\\000\\r\\177"},
                                           RawBytesCase{"latin1_and_beyond",
                                                        "Gr\xfc\xdf"
                                                        "e\xff",
                                                        "Gr\\374\\337e\\377"},
                                           RawBytesCase{"utf8_as_it_is",
                                                        "Gr\xc3\xbc\xc3\x9f"
                                                        "e",
                                                        "Gr\xc3\xbc\xc3\x9f"
                                                        "e"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- --help, -h and --version -------------------------------------------

struct InformationCase {
    const char* name;
    QString program;
    QStringList arguments;
    QByteArray out; // all of standard output, or its start when `outStart`
    bool outStart;
};

void PrintTo(const InformationCase& c, std::ostream* out)
{
    *out << c.name;
}

class InformationOption : public ::testing::TestWithParam<InformationCase> {};

// Printed on standard output with exit status 0, without a display: the
// window's program, asked for these, must not need one.
TEST_P(InformationOption, PrintsAndSucceedsWithoutADisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const Outcome run = Launch(GetParam().program, GetParam().arguments, {}, environment);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    if (GetParam().outStart)
        EXPECT_TRUE(run.out.startsWith(GetParam().out)) << run.out.toStdString();
    else
        EXPECT_EQ(run.out.toStdString(), GetParam().out.toStdString());
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InformationOption,
    ::testing::Values(
        InformationCase{
            "scan_version", ScanProgram(), {"--version"}, "lantrix-scan " LANTRIX_RELEASE_VERSION "\n", false},
        InformationCase{"scan_help", ScanProgram(), {"--help"}, "Usage: lantrix-scan ", true},
        InformationCase{"scan_h", ScanProgram(), {"-h"}, "Usage: lantrix-scan ", true},
        InformationCase{
            "scan_help_among_others", ScanProgram(), {"--json", "-h", "x.png"}, "Usage: lantrix-scan ", true},
        // "--" as an option's value does not end the options.
        InformationCase{"scan_help_after_a_value_of_two_dashes",
                        ScanProgram(),
                        {"--pipeline", "--", "--help"},
                        "Usage: lantrix-scan ",
                        true},
        InformationCase{
            "window_version", WindowProgram(), {"--version"}, "lantrix " LANTRIX_RELEASE_VERSION "\n", false},
        InformationCase{"window_help", WindowProgram(), {"--help"}, "Usage: lantrix [PICTURE]\n", true},
        InformationCase{"window_h", WindowProgram(), {"-h"}, "Usage: lantrix [PICTURE]\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Usage errors -------------------------------------------------------

struct UsageCase {
    const char* name;
    QStringList arguments;
    QByteArray firstLine;
};

void PrintTo(const UsageCase& c, std::ostream* out)
{
    *out << c.name;
}

class UsageError : public ::testing::TestWithParam<UsageCase> {};

// What is wrong, and where help is: two lines, not the whole usage text.
TEST_P(UsageError, TwoLinesAndExit64)
{
    const Outcome run = Launch(ScanProgram(), GetParam().arguments);
    EXPECT_EQ(run.exitCode, 64);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.toStdString(), (GetParam().firstLine + "\nTry 'lantrix-scan --help'.\n").toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageError,
    ::testing::Values(
        UsageCase{"unknown_long_option", {"--x", "a.png"}, "lantrix-scan: unknown option --x"},
        UsageCase{"unknown_short_option", {"-x", "a.png"}, "lantrix-scan: unknown option -x"},
        UsageCase{"unknown_format", {"--format", "QRCODE", "a.png"}, "lantrix-scan: unknown code format 'QRCODE'"},
        // An option's value is no option, whatever it looks like.
        UsageCase{"help_as_a_format", {"--format", "--help", "a.png"}, "lantrix-scan: unknown code format '--help'"},
        UsageCase{"no_file", {}, "lantrix-scan: no file given"},
        UsageCase{"megapixels_zero",
                  {"--max-megapixels", "0", "a.png"},
                  "lantrix-scan: --max-megapixels needs a whole number from 1 to 1024, not '0'"}),
    [](const auto& info) { return std::string(info.param.name); });

// The window's program refuses an option it does not know the same way,
// before any window shows; Qt's own options are still taken.
TEST(WindowUsageError, TwoLinesAndExit64)
{
    for (const auto& [arguments, firstLine] :
         {std::pair{QStringList{"--bogus"}, QByteArray("lantrix: unknown option --bogus")},
          std::pair{QStringList{"-platform", "offscreen", "-x", "a.png"}, QByteArray("lantrix: unknown option -x")},
          std::pair{QStringList{"--a\x1b[2Jb"}, QByteArray("lantrix: unknown option --a\\033[2Jb")}}) {
        // Without a display too: the option is refused before Qt needs one.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        const Outcome run = Launch(WindowProgram(), arguments, {}, environment);
        EXPECT_EQ(run.exitCode, 64) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
        // Qt may have spoken first (no XDG_RUNTIME_DIR, say); ours are the last two lines.
        EXPECT_TRUE(run.err.endsWith(firstLine + "\nTry 'lantrix --help'.\n")) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains('\x1b'));
    }
}

// ---- --list-cameras -----------------------------------------------------

struct CameraListCase {
    const char* name;
    QByteArray camerasIni; // null: none
    int exitCode;
    QByteArray out, err;
};

void PrintTo(const CameraListCase& c, std::ostream* out)
{
    *out << c.name;
}

class CameraList : public ::testing::TestWithParam<CameraListCase> {};

// A copy of the program in a folder of its own (its data folder) with
// GStreamer's plugins out of sight, so that only cameras.ini names cameras,
// whatever this machine has.
TEST_P(CameraList, NoCameraIsSaid)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("lantrix-scan"));
    ASSERT_TRUE(QFile::copy(ScanProgram(), program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The live modes' part, which the copy finds beside itself.
    const QString livePart = QStringLiteral("lantrix-scan-live.so");
    ASSERT_TRUE(QFile::copy(QFileInfo(ScanProgram()).dir().filePath(livePart), dir.filePath(livePart)));
    if (!GetParam().camerasIni.isNull()) {
        QFile file(dir.filePath(QStringLiteral("cameras.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(GetParam().camerasIni);
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("plugins")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GST_PLUGIN_SYSTEM_PATH_1_0"), dir.filePath(QStringLiteral("plugins")));
    environment.insert(QStringLiteral("GST_PLUGIN_PATH_1_0"), dir.filePath(QStringLiteral("plugins")));
    environment.insert(QStringLiteral("GST_REGISTRY_1_0"), dir.filePath(QStringLiteral("registry.bin")));
    const Outcome run = Launch(program, {"--list-cameras"}, {}, environment);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.out.toStdString(), GetParam().out.toStdString());
    EXPECT_EQ(run.err.toStdString(), GetParam().err.toStdString());
}

// A camera's name from cameras.ini drives no terminal: its control
// characters come escaped, as a code's text does.
TEST(CameraList, NamesEscapedOnATerminal)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("lantrix-scan"));
    ASSERT_TRUE(QFile::copy(ScanProgram(), program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString livePart = QStringLiteral("lantrix-scan-live.so");
    ASSERT_TRUE(QFile::copy(QFileInfo(ScanProgram()).dir().filePath(livePart), dir.filePath(livePart)));
    QFile file(dir.filePath(QStringLiteral("cameras.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Door\x1b]0;owned\x07 = videotestsrc ! videoconvert\n");
    file.close();
    const QByteArray shown = RunBytesOnTerminal({"--list-cameras"}, TTerminalSide::Output, 0, program);
    EXPECT_TRUE(shown.contains("Door\\033]0;owned\\a")) << shown.toStdString();
    EXPECT_FALSE(shown.contains('\x1b'));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CameraList,
    ::testing::Values(CameraListCase{"none", QByteArray(), 1, "", "lantrix-scan: no camera found\n"},
                      CameraListCase{"only_comments", "; no camera yet\n", 1, "", "lantrix-scan: no camera found\n"},
                      CameraListCase{"one_source", "Door = videotestsrc ! videoconvert\n", 0, "Door\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The picture-size limit ---------------------------------------------

struct SizeLimitCase {
    const char* name;
    QStringList options; // "%Q": the QR sample, as a file before the picture
    int width, height;   // of a black PNG picture, 1 bit a pixel; 0: the QR sample
    int exitCode;
    QByteArray err;
};

void PrintTo(const SizeLimitCase& c, std::ostream* out)
{
    *out << c.name;
}

class SizeLimit : public ::testing::TestWithParam<SizeLimitCase> {};

// 64 megapixels (of 2^20 pixels) unless --max-megapixels says otherwise; a
// black picture that is loaded has no code (exit 1).
TEST_P(SizeLimit, LoadedUpToTheLimit)
{
    QTemporaryDir dir;
    QString picture = SamplePath(QStringLiteral("qr_code.png"));
    if (GetParam().width > 0) {
        picture = dir.filePath(QStringLiteral("black.png"));
        ASSERT_TRUE(WriteZeroPng(picture, GetParam().width, GetParam().height, 1, 0));
    }
    QStringList arguments = GetParam().options + QStringList{picture};
    arguments.replaceInStrings(QStringLiteral("%Q"), SamplePath(QStringLiteral("qr_code.png")));
    const Outcome run = Launch(ScanProgram(), arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_EQ(run.err.toStdString(),
              QByteArray(GetParam().err).replace("%F", QFile::encodeName(picture)).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SizeLimit,
    ::testing::Values(
        // 8200 x 8200 is 67,240,000 pixels, just over 64 x 2^20 = 67,108,864.
        SizeLimitCase{"default_refuses_over_64",
                      {},
                      8200,
                      8200,
                      2,
                      "lantrix-scan: %F: The picture is too large to open (8200 x 8200 pixels).\n"},
        SizeLimitCase{"raised_reads_it", {"--max-megapixels", "65"}, 8200, 8200, 1, "Unreadable!\n"},
        SizeLimitCase{"lowered_for_several_files",
                      {"--max-megapixels=1", "%Q"},
                      1025,
                      1024,
                      2,
                      "lantrix-scan: %F: The picture is too large to open (1025 x 1024 pixels).\n"},
        SizeLimitCase{"lowered_refuses_over_1",
                      {"--max-megapixels", "1"},
                      1025,
                      1024,
                      2,
                      "lantrix-scan: %F: The picture is too large to open (1025 x 1024 pixels).\n"},
        SizeLimitCase{"lowered_reads_up_to_1", {"--max-megapixels", "1"}, 1024, 1024, 1, "Unreadable!\n"},
        SizeLimitCase{"lowered_reads_a_small_code", {"--max-megapixels", "1"}, 0, 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

// lantrix-scan scanning live sources, run as a separate process: test
// sources given with --pipeline, and camera sources of a cameras.ini beside
// a copy of the program (its data folder).
#include "capture/GstSupport.h"
#include "support/CommandRun.h"
#include "support/Samples.h"
#include "support/TestCameras.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace {

const QByteArray kQrText = "https://lantrix.invalid/hello?from=qr";
const QByteArray kDataMatrixText = "Lantrix Data Matrix 0042";

QByteArray QrCodeSource()
{
    return StillPictureDescription(SamplePath(QStringLiteral("qr_code.png")), TTestCameraFormat::YUY2, 640, 480)
        .toUtf8();
}

// The QR sample with light and dark swapped, still, in a frame.
QByteArray LightQrCodeSource()
{
    static QTemporaryDir folder;
    const QString png = folder.filePath(QStringLiteral("light-qr.png"));
    if (!QFile::exists(png)) {
        QImage negative = LoadSample("qr_code.png").convertToFormat(QImage::Format_RGB32);
        negative.invertPixels();
        EXPECT_TRUE(negative.save(png));
    }
    return StillPictureDescription(png, TTestCameraFormat::YUY2, 640, 480).toUtf8();
}

QByteArray PatternSource()
{
    return TestPatternDescription(TTestCameraFormat::YUY2, 320, 240).toUtf8();
}

TCommandOutcome Scan(const QList<QByteArray>& arguments, const QByteArray& program = BuiltProgram("lantrix-scan"),
                     std::function<bool(const QByteArray&)> interruptWhen = {})
{
    TCommand command;
    command.program = program;
    command.arguments = arguments;
    command.interruptWhen = std::move(interruptWhen);
    TCommandOutcome outcome = RunCommand(command);
    EXPECT_TRUE(outcome.finished) << "lantrix-scan did not end in time";
    EXPECT_EQ(outcome.signal, 0) << "lantrix-scan was ended by a signal";
    return outcome;
}

// A folder of PNG frames f00.png, f01.png, ... that a source plays in a loop
// at 15 frames per second: each picture for four frames, so that the scan
// sees each one however busy the machine is.
class FrameSequence {
public:
    explicit FrameSequence(const QList<QImage>& pictures)
    {
        int index = 0;
        for (const QImage& picture : pictures) {
            QImage frame(320, 320, QImage::Format_RGB888);
            frame.fill(Qt::white);
            if (!picture.isNull()) {
                QPainter painter(&frame);
                painter.drawImage(QRect(10, 10, 300, 300), picture);
            }
            for (int repeat = 0; repeat < 4; ++repeat)
                EXPECT_TRUE(frame.save(fDir.filePath(QStringLiteral("f%1.png").arg(index++, 2, 10, QLatin1Char('0')))));
        }
    }

    QByteArray Description() const
    {
        return "multifilesrc location=\"" + QFile::encodeName(fDir.path())
               + "/f%02d.png\" loop=true caps=image/png,framerate=15/1 ! pngdec ! videoconvert ! identity sync=true ! "
                 "videoconvert";
    }

private:
    QTemporaryDir fDir;
};

// A short video file (motion JPEG in AVI, 15 frames per second) that shows
// the QR sample for two seconds.
class VideoFile {
public:
    VideoFile()
    {
        EnsureGStreamer();
        fPath = QFile::encodeName(fDir.filePath(QStringLiteral("qr.avi")));
        const QByteArray description =
            "filesrc location=\"" + QFile::encodeName(SamplePath(QStringLiteral("qr_code.png")))
            + "\" ! pngdec ! videoconvert ! imagefreeze num-buffers=30 ! video/x-raw,framerate=15/1 ! "
              "videoconvert ! jpegenc ! avimux ! filesink location=\""
            + fPath + "\"";
        GError* error = nullptr;
        TGstObjectPtr<GstElement> pipeline(gst_parse_launch(description.constData(), &error));
        EXPECT_TRUE(pipeline && !error) << TakeGErrorMessage(error).toStdString();
        if (!pipeline)
            return;
        gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
        TGstObjectPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
        GstMessage* message =
            gst_bus_timed_pop_filtered(bus.get(), 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        EXPECT_TRUE(message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) << "the video file was not written";
        if (message)
            gst_message_unref(message);
        gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    }

    QByteArray Uri() const { return "file://" + fPath; }
    QByteArray Path() const { return fPath; }

private:
    QTemporaryDir fDir;
    QByteArray fPath;
};

// ---- Sources and their outcomes -------------------------------------------

struct LiveCase {
    const char* name;
    // "%QR" and "%PATTERN": the test sources; "%SEQUENCE": A, none, A, B, A;
    // "%QRPNG": the QR sample's file; "%VIDEO", "%VIDEOURI": a video file showing it;
    // "%LIGHTQR": the QR code light on a dark ground
    QList<QByteArray> arguments;
    int exitCode;
    QByteArray out;  // all of it
    const char* err; // a part of it; "" for none at all
};

void PrintTo(const LiveCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanLive : public ::testing::TestWithParam<LiveCase> {};

TEST_P(ScanLive, CodesAndExitStatus)
{
    const FrameSequence sequence({LoadSample("qr_code.png"), QImage(), LoadSample("qr_code.png"),
                                  LoadSample("data_matrix.png"), LoadSample("qr_code.png")});
    std::optional<VideoFile> video;
    QList<QByteArray> arguments = GetParam().arguments;
    for (QByteArray& a : arguments) {
        if (a.contains("%VIDEO") && !video)
            video.emplace();
        a.replace("%VIDEOURI", video ? video->Uri() : QByteArray());
        a.replace("%VIDEO", video ? video->Path() : QByteArray());
        a.replace("%QRPNG", QFile::encodeName(SamplePath(QStringLiteral("qr_code.png"))));
        a.replace("%LIGHTQR", LightQrCodeSource());
        a.replace("%PADDEDQR",
                  StillPictureDescription(SamplePath(QStringLiteral("qr_code.png")), TTestCameraFormat::I420, 371, 370)
                      .toUtf8());
        a.replace("%QR", QrCodeSource());
        a.replace("%PATTERN", PatternSource());
        a.replace("%SEQUENCE", sequence.Description());
    }
    const TCommandOutcome run = Scan(arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), GetParam().out.toStdString());
    if (*GetParam().err)
        EXPECT_TRUE(run.err.contains(GetParam().err)) << run.err.toStdString();
    else
        EXPECT_EQ(run.err.toStdString(), "");
    EXPECT_EQ(run.err.count('\n'), *GetParam().err ? 1 : 0) << "one line per message";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanLive,
    ::testing::Values(
        LiveCase{"qr_code_count_1", {"--count", "1", "--pipeline", "%QR"}, 0, kQrText + "\n", ""},
        LiveCase{"qr_code_shown_on_is_printed_once", {"--timeout", "1.5", "--pipeline", "%QR"}, 0, kQrText + "\n", ""},
        LiveCase{"code_again_only_after_another",
                 {"--count", "3", "--timeout", "60", "--pipeline", "%SEQUENCE"},
                 0,
                 kQrText + "\n" + kDataMatrixText + "\n" + kQrText + "\n",
                 ""},
        LiveCase{"format_restricts",
                 {"--format", "DATA_MATRIX", "--count", "1", "--timeout", "60", "--pipeline", "%SEQUENCE"},
                 0,
                 kDataMatrixText + "\n",
                 ""},
        LiveCase{"pads_that_come_later",
                 {"--count", "1", "--timeout", "60", "--pipeline",
                  "filesrc location=\"%QRPNG\" ! decodebin ! videoconvert ! imagefreeze is-live=true ! videoconvert"},
                 0,
                 kQrText + "\n",
                 ""},
        LiveCase{"video_file_to_its_end",
                 {"--timeout", "60", "--pipeline", "uridecodebin uri=\"%VIDEOURI\" ! videoconvert"},
                 0,
                 kQrText + "\n",
                 ""},
        LiveCase{"video_file_demuxed",
                 {"--timeout", "60", "--pipeline", "filesrc location=\"%VIDEO\" ! avidemux ! jpegdec ! videoconvert"},
                 0,
                 kQrText + "\n",
                 ""},
        LiveCase{"timeout_without_code", {"--timeout", "1", "--pipeline", "%PATTERN"}, 1, "", ""},
        LiveCase{"light_code_inverted",
                 {"--inverted", "--count", "1", "--timeout", "60", "--pipeline", "%LIGHTQR"},
                 0,
                 kQrText + "\n",
                 ""},
        LiveCase{"light_code_not_inverted", {"--timeout", "1", "--pipeline", "%LIGHTQR"}, 1, "", ""},
        LiveCase{"other_format_times_out", {"--format", "EAN_13", "--timeout", "1", "--pipeline", "%QR"}, 1, "", ""},
        LiveCase{"end_of_stream_without_code",
                 {"--pipeline", "videotestsrc num-buffers=20 ! video/x-raw,width=160,height=120 ! videoconvert"},
                 1,
                 "",
                 ""},
        LiveCase{"source_does_not_parse",
                 {"--pipeline", "nosuchgstelement_lantrix ! videoconvert"},
                 2,
                 "",
                 "The source description of \"nosuchgstelement_lantrix ! videoconvert\" is not valid. no element "
                 "\"nosuchgstelement_lantrix\""},
        LiveCase{
            "source_ends_in_caps",
            {"--count", "1", "--timeout", "60", "--pipeline", "%QR ! videoscale ! video/x-raw,width=320,height=240"},
            0,
            kQrText + "\n",
            ""},
        LiveCase{"source_ends_in_caps_after_an_unknown_element",
                 {"--pipeline", "videotestsrc ! nosuchgstelement_lantrix ! video/x-raw"},
                 2,
                 "",
                 "is not valid. no element \"nosuchgstelement_lantrix\""},
        LiveCase{"padded_rows_of_a_still_code",
                 {"--count", "1", "--timeout", "60", "--pipeline", "%PADDEDQR"},
                 0,
                 kQrText + "\n",
                 ""},
        LiveCase{"source_without_output", {"--pipeline", "videotestsrc ! fakesink"}, 2, "", "has no output"},
        LiveCase{"source_ends_in_a_pad_that_comes_later",
                 {"--pipeline", "filesrc location=\"%QRPNG\" ! decodebin"},
                 2,
                 "",
                 "has no output"},
        LiveCase{"source_fails_before_a_frame",
                 {"--pipeline", "filesrc location=/no/such/video.mkv ! decodebin ! videoconvert"},
                 2,
                 "",
                 "could not be started."},
        LiveCase{"source_fails_after_frames",
                 {"--timeout", "60", "--pipeline", "%PATTERN ! identity error-after=20"},
                 2,
                 "",
                 "stopped."},
        // 10 s of frames before it fails: the code is read first even on a
        // loaded machine, where the first frames wait for the decoder.
        LiveCase{"source_fails_after_a_code",
                 {"--timeout", "60", "--pipeline", "%QR ! identity error-after=300"},
                 2,
                 kQrText + "\n",
                 "stopped."},
        LiveCase{
            "no_such_camera",
            {"--camera", "No Such Camera Of Lantrix"},
            2,
            "",
            "The camera \"No Such Camera Of Lantrix\" could not be started. No camera of this name is connected."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScanLiveJson, OneObjectPerCode)
{
    const TCommandOutcome run = Scan({"--json", "--count", "1", "--pipeline", QrCodeSource()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.count('\n'), 1);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(run.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    EXPECT_EQ(object.value("status").toString(), QStringLiteral("decoded"));
    EXPECT_EQ(object.value("format").toString(), QStringLiteral("QR_CODE"));
    EXPECT_EQ(object.value("text").toString(), QString::fromUtf8(kQrText));
    EXPECT_EQ(object.value("file").toString(), QString::fromUtf8(QrCodeSource()));
}

TEST(ScanLiveJson, AFailingSourceIsAnErrorObject)
{
    const TCommandOutcome run = Scan({"--json", "--pipeline", "nosuchgstelement_lantrix"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "");
    const QJsonObject object = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(object.value("status").toString(), QStringLiteral("error"));
    EXPECT_TRUE(object.value("error").toString().contains(QStringLiteral("is not valid")));
}

// Ctrl+C ends the scan cleanly: the capture is stopped, what was found is
// printed, and the exit status tells whether a code was found.
TEST(ScanLiveInterrupt, CtrlCStopsCleanly)
{
    const TCommandOutcome run = Scan({"--pipeline", QrCodeSource()}, BuiltProgram("lantrix-scan"),
                                     [](const QByteArray& out) { return out.endsWith('\n'); });
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kQrText + "\n");
    EXPECT_EQ(run.err, "");
}

// ---- cameras.ini in the data folder ---------------------------------------

// A copy of the program in a folder of its own, which is then its data folder.
class ProgramCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = QFile::encodeName(dir.filePath(QStringLiteral("lantrix-scan")));
        ASSERT_TRUE(QFile::copy(QFile::decodeName(BuiltProgram("lantrix-scan")), QFile::decodeName(program)));
        QFile::setPermissions(QFile::decodeName(program), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The part that holds the live modes goes with it.
        ASSERT_TRUE(QFile::copy(QFile::decodeName(BuiltProgram("lantrix-scan-live.so")),
                                dir.filePath(QStringLiteral("lantrix-scan-live.so"))));
    }

    void WriteCamerasIni(const QByteArray& text)
    {
        QFile file(dir.filePath(QStringLiteral("cameras.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir dir;
    QByteArray program;
};

TEST_F(ProgramCopy, CameraSourcesAreListedAfterTheSystemsCamerasAndStarted)
{
    const TCommandOutcome before = Scan({"--list-cameras"}, program);
    EXPECT_EQ(before.exitCode, before.out.isEmpty() ? 1 : 0); // 1: no camera
    const QByteArray systemCameras = before.out;              // whatever this machine has

    WriteCamerasIni("; extra cameras\r\n[Cameras]\r\nDoor QR = " + QrCodeSource()
                    + "\r\n\r\nBroken = nosuchgstelement_lantrix\r\nno equals sign here\r\n# Hidden = videotestsrc\r\n"
                      "Caf\xc3\xa9 Pattern="
                    + PatternSource() + "\n");
    const TCommandOutcome listed = Scan({"--list-cameras"}, program);
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.toStdString(), (systemCameras + "Door QR\nBroken\nCaf\xc3\xa9 Pattern\n").toStdString());
    EXPECT_EQ(listed.err, "");

    // Named as listed, in any case of a to z and with blanks around.
    const TCommandOutcome door = Scan({"--camera", "  door qr ", "--count", "1"}, program);
    EXPECT_EQ(door.exitCode, 0);
    EXPECT_EQ(door.out, kQrText + "\n");

    const TCommandOutcome pattern = Scan({"--camera", "Caf\xc3\xa9 Pattern", "--timeout", "1"}, program);
    EXPECT_EQ(pattern.exitCode, 1);
    EXPECT_EQ(pattern.err, "");

    // A description that does not parse: a source that does not start, said
    // to be an invalid description, with the parser's message.
    const TCommandOutcome broken = Scan({"--camera", "Broken"}, program);
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(broken.err,
              "The source description of \"Broken\" is not valid. no element \"nosuchgstelement_lantrix\"\n");
}

// A --pipeline source is not listed, and does not need a cameras.ini.
TEST_F(ProgramCopy, PipelineSourcesAreNotListed)
{
    WriteCamerasIni("Door QR = " + QrCodeSource() + "\n");
    const TCommandOutcome run = Scan({"--pipeline", PatternSource(), "--timeout", "0.5"}, program);
    EXPECT_EQ(run.exitCode, 1);
    const TCommandOutcome listed = Scan({"--list-cameras"}, program);
    EXPECT_FALSE(listed.out.contains("videotestsrc"));
    EXPECT_TRUE(listed.out.endsWith("Door QR\n"));
}

} // namespace

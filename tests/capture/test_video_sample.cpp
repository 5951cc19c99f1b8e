// The capture pipeline over test cameras: device selection, sample delivery in
// every camera format, stream information, play states, teardown while frames
// flow, stream errors, the capability list and the image-control arithmetic.
#include "capture/CameraSources.h"
#include "capture/CaptureDevices.h"
#include "capture/GstSupport.h"
#include "capture/ImageControls.h"
#include "capture/VideoSample.h"
#include "support/FakeImageControls.h"
#include "support/TestCameras.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Generous: the machine may be busy; waits end as soon as the condition holds.
constexpr auto kTimeout = 20s;

const QString kQrCodePng = QStringLiteral(LANTRIX_SOURCE_DIR "/samples/qr_code.png");

QString Caps(const QString& caps)
{
    return QStringLiteral("capsfilter caps=\"%1\"").arg(caps);
}

QString SmallPattern(const QString& format, int width, int height, const QString& pattern = QStringLiteral("ball"))
{
    return QStringLiteral("videotestsrc is-live=true pattern=%1 ! ").arg(pattern)
           + Caps(QStringLiteral("video/x-raw,format=%1,width=%2,height=%3,framerate=30/1")
                      .arg(format)
                      .arg(width)
                      .arg(height));
}

// Collects what the sample callback receives.
class FrameSink {
public:
    void OnSample(const std::uint8_t* pb, int& size)
    {
        std::lock_guard lock(fLock);
        ++fCount;
        fLastSize = size;
        fLast.assign(pb, pb + size);
        fChanged.notify_all();
    }

    TVideoSampleCallBack CallBack() { return TVideoSampleCallBack::Bind<&FrameSink::OnSample>(this); }

    bool WaitForCount(int count)
    {
        std::unique_lock lock(fLock);
        return fChanged.wait_for(lock, kTimeout, [&] { return fCount >= count; });
    }

    int Count() const
    {
        std::lock_guard lock(fLock);
        return fCount;
    }

    std::vector<std::uint8_t> Last() const
    {
        std::lock_guard lock(fLock);
        return fLast;
    }

private:
    mutable std::mutex fLock;
    std::condition_variable fChanged;
    int fCount = 0;
    int fLastSize = 0;
    std::vector<std::uint8_t> fLast;
};

template <class Predicate>
bool WaitUntil(Predicate condition)
{
    const auto end = std::chrono::steady_clock::now() + kTimeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::unique_ptr<TVideoSample> NewCapture()
{
    HRESULT hr = E_FAIL;
    auto capture = std::make_unique<TVideoSample>(nullptr, false, 0, hr);
    EXPECT_EQ(hr, S_OK);
    return capture;
}

// Each test sees the real cameras and only the test cameras it registers;
// the list is as before once it ends.
class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fSaved = TCameraSources::Added();
        TCameraSources::Clear();
    }

    void TearDown() override
    {
        TCameraSources::Clear();
        for (const TCameraSource& camera : fSaved)
            TCameraSources::Add(camera.name, camera.description);
    }

    void AddCamera(const QString& name, const QString& description) { TCameraSources::Add(name, description); }

    QList<TCameraSource> fSaved;
};

} // namespace

// ---------------------------------------------------------------------------
// Device selection

struct SelectionCase {
    const char* label;
    QString requested;
    int index; // -1: no match
    QString selected;
};

class DeviceSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(DeviceSelection, FollowsTheNameAndPositionRules)
{
    const QStringList names = {QStringLiteral("  Front Camera \t"),
                               QStringLiteral("front camera"),
                               QStringLiteral("\x01USB Cam\x7f"),
                               QStringLiteral("Ärger Cam"),
                               QStringLiteral("#10"),
                               QStringLiteral("Front Camera"),
                               QStringLiteral("Seventh"),
                               QStringLiteral("Eighth"),
                               QStringLiteral("Ninth"),
                               QStringLiteral("Tenth")};
    const SelectionCase& c = GetParam();
    QString selected = QStringLiteral("stale");
    EXPECT_EQ(FindCaptureDevice(names, c.requested, selected), c.index);
    EXPECT_EQ(selected, c.selected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DeviceSelection,
    ::testing::Values(
        SelectionCase{"EmptyIsFirst", QString(), 0, QStringLiteral("Front Camera")},
        SelectionCase{"BlankIsFirst", QStringLiteral(" \t\r\n "), 0, QStringLiteral("Front Camera")},
        SelectionCase{"Position1", QStringLiteral("#1"), 0, QStringLiteral("Front Camera")},
        SelectionCase{"Position2", QStringLiteral("#2"), 1, QStringLiteral("front camera")},
        SelectionCase{"Position9", QStringLiteral(" #9 "), 8, QStringLiteral("Ninth")},
        SelectionCase{"Position0ByNameOnly", QStringLiteral("#0"), -1, QString()},
        SelectionCase{"Position10ByName", QStringLiteral("#10"), 4, QStringLiteral("#10")},
        SelectionCase{"Position11ByNameOnly", QStringLiteral("#11"), -1, QString()},
        SelectionCase{"CaseFoldedFirstWins", QStringLiteral("FRONT CAMERA"), 0, QStringLiteral("Front Camera")},
        SelectionCase{"TrimmedRequest", QStringLiteral("\t front CAMERA  "), 0, QStringLiteral("Front Camera")},
        SelectionCase{"ControlCharactersTrimmed", QStringLiteral("usb cam"), 2, QStringLiteral("USB Cam")},
        SelectionCase{"InnerBlanksCount", QStringLiteral("Front  Camera"), -1, QString()},
        SelectionCase{"OnlyAsciiLettersFolded", QStringLiteral("ärger cam"), -1, QString()},
        SelectionCase{"OtherLettersUnchanged", QStringLiteral("Ärger CAM"), 3, QStringLiteral("Ärger Cam")},
        SelectionCase{"NoSuchDevice", QStringLiteral("Back Camera"), -1, QString()},
        // "Name #N": the N-th device of that name, as the device list writes it.
        SelectionCase{"SecondOfOneName", QStringLiteral("Front Camera #2"), 1, QStringLiteral("front camera")},
        SelectionCase{"ThirdOfOneName", QStringLiteral(" front CAMERA #3 "), 5, QStringLiteral("Front Camera")},
        SelectionCase{"FirstOfOneName", QStringLiteral("Front Camera #1"), 0, QStringLiteral("Front Camera")},
        SelectionCase{"NoFourthOfOneName", QStringLiteral("Front Camera #4"), -1, QString()},
        SelectionCase{"NumberNeedsABlank", QStringLiteral("Front Camera#2"), -1, QString()},
        SelectionCase{"OnlyOneOfThatName", QStringLiteral("USB Cam #2"), -1, QString()}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DeviceSelectionEmpty, NoDeviceSelectsNothing)
{
    QString selected = QStringLiteral("stale");
    EXPECT_EQ(FindCaptureDevice({}, QString(), selected), -1);
    EXPECT_TRUE(selected.isEmpty());
}

struct NodePathCase {
    const char* label;
    const char* properties; // a GstStructure as text
    const char* path;
};

class NodePath : public ::testing::TestWithParam<NodePathCase> {};

TEST_P(NodePath, FromTheDevicePropertiesOfEitherProvider)
{
    EnsureGStreamer();
    const NodePathCase& c = GetParam();
    GstStructure* properties = gst_structure_from_string(c.properties, nullptr);
    ASSERT_TRUE(properties);
    EXPECT_EQ(V4L2NodePath(properties), QString::fromUtf8(c.path));
    gst_structure_free(properties);
}

INSTANTIATE_TEST_SUITE_P(
    Providers, NodePath,
    ::testing::Values(NodePathCase{"Video4Linux", "props, device.api=v4l2, device.path=/dev/video0", "/dev/video0"},
                      NodePathCase{"PipeWireWithV4L2Path",
                                   "props, object.path=\"v4l2:/dev/video2\", api.v4l2.path=/dev/video2", "/dev/video2"},
                      // A PipeWire node may carry only its object path.
                      NodePathCase{"PipeWireObjectPathOnly",
                                   "props, object.path=\"v4l2:/dev/video4\", media.class=Video/Source", "/dev/video4"},
                      // Cameras PipeWire reaches otherwise have no V4L2 node: no image controls, capture as usual.
                      NodePathCase{"PipeWireLibcamera",
                                   "props, object.path=\"libcamera:/base/soc/i2c0mux/i2c@1/imx219@10\"", ""},
                      NodePathCase{"Nothing", "props, media.class=Video/Source", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CaptureTest, DeviceListEndsWithTheTestCamerasAsRegistered)
{
    QStringList before;
    ASSERT_EQ(EnumCaptureDevices(before), S_OK);
    AddCamera(QStringLiteral("  Lantrix Cam  "), SmallPattern("YUY2", 160, 120));
    AddCamera(QStringLiteral("  Lantrix Cam  "), SmallPattern("I420", 160, 120));
    QStringList after = {QStringLiteral("left over")};
    ASSERT_EQ(EnumCaptureDevices(after), S_OK);
    ASSERT_EQ(after.size(), before.size() + 2);
    EXPECT_EQ(after.mid(0, before.size()), before);
    // The second camera of one name is listed with its number, so that
    // picking it selects that camera and not the first.
    EXPECT_EQ(after.mid(before.size()),
              QStringList({QStringLiteral("  Lantrix Cam  "), QStringLiteral("Lantrix Cam #2")}));
    QString selected;
    EXPECT_EQ(FindCaptureDevice(after, after.last(), selected), after.size() - 1);
}

TEST(DeviceListNames, LaterDevicesOfOneNameAreNumbered)
{
    const QStringList names = {QStringLiteral("Cam"), QStringLiteral("Other"), QStringLiteral(" cam "),
                               QStringLiteral("CAM"), QStringLiteral("Other"), QStringLiteral("Third")};
    const QStringList listed = NumberedDeviceNames(names);
    EXPECT_EQ(listed, QStringList({QStringLiteral("Cam"), QStringLiteral("Other"), QStringLiteral("cam #2"),
                                   QStringLiteral("CAM #3"), QStringLiteral("Other #2"), QStringLiteral("Third")}));
    // Every entry selects its own device.
    for (int i = 0; i < names.size(); ++i) {
        QString selected;
        EXPECT_EQ(FindCaptureDevice(names, listed[i], selected), i) << qPrintable(listed[i]);
    }
}

TEST_F(CaptureTest, StartSelectsByNameAndByPosition)
{
    AddCamera(QStringLiteral(" Lantrix YUY2 "), SmallPattern("YUY2", 160, 120));
    AddCamera(QStringLiteral("lantrix yuy2"), SmallPattern("I420", 160, 120));
    QStringList names;
    EnumCaptureDevices(names);
    const int second = names.size(); // position of "lantrix yuy2"

    {
        auto capture = NewCapture();
        QString selected;
        ASSERT_EQ(capture->StartVideo(QStringLiteral("LANTRIX yuy2\n"), false, selected), S_OK);
        ASSERT_EQ(capture->WaitForFirstSample(kTimeout), S_OK);
        EXPECT_EQ(selected, QStringLiteral("Lantrix YUY2"));
        int width, height;
        std::uint32_t fourCC;
        ASSERT_EQ(capture->GetStreamInfo(width, height, fourCC), S_OK);
        EXPECT_EQ(fourCC, 0x32595559u); // the first of the two same names
    }
    if (second > 9)
        GTEST_SKIP() << "the machine has too many cameras for a position form";
    auto capture = NewCapture();
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("#%1").arg(second), false, selected), S_OK);
    ASSERT_EQ(capture->WaitForFirstSample(kTimeout), S_OK);
    EXPECT_EQ(selected, QStringLiteral("lantrix yuy2"));
    int width, height;
    std::uint32_t fourCC;
    ASSERT_EQ(capture->GetStreamInfo(width, height, fourCC), S_OK);
    EXPECT_EQ(fourCC, 0x30323449u);
}

TEST_F(CaptureTest, UnknownDeviceFailsAndBuildsNothing)
{
    AddCamera(QStringLiteral("Lantrix Only"), SmallPattern("YUY2", 160, 120));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    for (const QString& name : {QStringLiteral("Lantrix Other"), QStringLiteral("#0"), QStringLiteral("#10")}) {
        QString selected = QStringLiteral("stale");
        EXPECT_LT(capture->StartVideo(name, false, selected), 0) << qPrintable(name);
        EXPECT_TRUE(selected.isEmpty());
        int width = -1, height = -1;
        capture->GetVideoSize(width, height);
        EXPECT_EQ(width, 0);
        EXPECT_EQ(height, 0);
    }
    EXPECT_EQ(sink.Count(), 0);
}

// ---------------------------------------------------------------------------
// Samples in every camera format

struct FormatCase {
    const char* label;
    bool qrCode;
    TTestCameraFormat format;
    std::uint32_t fourCC;
    int bytesPerTwoPixels; // 0: compressed
};

class CameraFormats : public ::testing::TestWithParam<FormatCase> {
protected:
    static void SetUpTestSuite() { RegisterStandardTestCameras(kQrCodePng); }
};

TEST_P(CameraFormats, DeliverWholeSamplesOfTheStreamFormat)
{
    const FormatCase& c = GetParam();
    const int width = 640, height = 480;
    const QString name =
        c.qrCode ? QrCodeCameraName(c.format, width, height) : TestPatternCameraName(c.format, width, height);
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(name, false, selected), S_OK) << qPrintable(capture->StreamError());
    EXPECT_EQ(capture->GetPlayState(), PS_Running);
    ASSERT_EQ(capture->WaitForFirstSample(kTimeout), S_OK) << qPrintable(capture->StreamError());

    int w = 0, h = 0;
    std::uint32_t fourCC = 1;
    ASSERT_EQ(capture->GetStreamInfo(w, h, fourCC), S_OK);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_EQ(fourCC, c.fourCC);

    ASSERT_TRUE(sink.WaitForCount(3));
    const std::vector<std::uint8_t> sample = sink.Last();
    if (c.bytesPerTwoPixels) {
        EXPECT_EQ(sample.size(), std::size_t(width) * height * c.bytesPerTwoPixels / 2);
    } else {
        ASSERT_GT(sample.size(), 4u);
        EXPECT_EQ(sample[0], 0xFF); // a JPEG picture: start of image marker
        EXPECT_EQ(sample[1], 0xD8);
    }
    EXPECT_EQ(capture->StopVideo(), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);
}

INSTANTIATE_TEST_SUITE_P(Standard, CameraFormats,
                         ::testing::Values(FormatCase{"PatternYUY2", false, TTestCameraFormat::YUY2, 0x32595559u, 4},
                                           FormatCase{"PatternI420", false, TTestCameraFormat::I420, 0x30323449u, 3},
                                           FormatCase{"PatternYV12", false, TTestCameraFormat::YV12, 0x32315659u, 3},
                                           FormatCase{"PatternBGR", false, TTestCameraFormat::BGR, 0u, 6},
                                           FormatCase{"PatternMJPG", false, TTestCameraFormat::JPEG, 0x47504A4Du, 0},
                                           FormatCase{"QrCodeYUY2", true, TTestCameraFormat::YUY2, 0x32595559u, 4},
                                           FormatCase{"QrCodeI420", true, TTestCameraFormat::I420, 0x30323449u, 3},
                                           FormatCase{"QrCodeYV12", true, TTestCameraFormat::YV12, 0x32315659u, 3},
                                           FormatCase{"QrCodeBGR", true, TTestCameraFormat::BGR, 0u, 6},
                                           FormatCase{"QrCodeMJPG", true, TTestCameraFormat::JPEG, 0x47504A4Du, 0},
                                           // Formats the conversion does not read arrive converted to one it reads.
                                           FormatCase{"PatternRGB", false, TTestCameraFormat::RGB, 0u, 6},
                                           FormatCase{"PatternGRAY8", false, TTestCameraFormat::GRAY8, 0u, 6},
                                           FormatCase{"PatternNV12", false, TTestCameraFormat::NV12, 0x30323449u, 3},
                                           FormatCase{"QrCodeRGB", true, TTestCameraFormat::RGB, 0u, 6},
                                           FormatCase{"QrCodeGRAY8", true, TTestCameraFormat::GRAY8, 0u, 6},
                                           FormatCase{"QrCodeNV12", true, TTestCameraFormat::NV12, 0x30323449u, 3}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(CaptureTest, QrCodePictureIsSquareAndFramedInWhite)
{
    AddCamera(QStringLiteral("Lantrix QR gray"),
              StillPictureDescription(kQrCodePng, TTestCameraFormat::I420, 320, 240));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix QR gray"), false, selected), S_OK)
        << qPrintable(capture->StreamError());
    ASSERT_TRUE(sink.WaitForCount(1));
    const std::vector<std::uint8_t> luma = sink.Last(); // the luma plane comes first
    ASSERT_GE(luma.size(), 320u * 240u);
    auto dark = [&](int x, int y) { return luma[y * 320 + x] < 128; };
    int left = 320, right = -1, top = 240, bottom = -1;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (dark(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0) << "no dark module at all";
    EXPECT_GT(left, 0);
    EXPECT_GT(top, 0);
    EXPECT_LT(right, 319);
    EXPECT_LT(bottom, 239);
    EXPECT_NEAR(right - left, bottom - top, 2); // square
    EXPECT_GT(bottom - top, 120);               // a good part of the frame
}

TEST_F(CaptureTest, RgbSamplesAreBottomUp)
{
    // The SMPTE pattern: light bars at the top, the dark-blue square of the
    // bottom strip at its left.
    AddCamera(QStringLiteral("Lantrix BGR"), SmallPattern("BGR", 320, 240, QStringLiteral("smpte")));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix BGR"), false, selected), S_OK);
    ASSERT_TRUE(sink.WaitForCount(1));
    const std::vector<std::uint8_t> sample = sink.Last();
    ASSERT_EQ(sample.size(), 320u * 240u * 3u);
    const std::uint8_t* bottomRow = sample.data();
    const std::uint8_t* topRow = sample.data() + 239 * 320 * 3;
    EXPECT_GT(topRow[0], 180);
    EXPECT_GT(topRow[1], 180);
    EXPECT_GT(topRow[2], 180);
    EXPECT_GT(bottomRow[0], bottomRow[2] + 60); // blue well above red
    EXPECT_LT(bottomRow[1], 100);
}

TEST_F(CaptureTest, RgbRowsOfOddWidthComeWithoutTheirFiller)
{
    // 162 x 3 = 486 bytes, which GStreamer pads to 488: the sample is handed
    // on with rows of 486 bytes, W x H x 3 in all, as the conversion reads it.
    AddCamera(QStringLiteral("Lantrix BGR odd"), SmallPattern("BGR", 162, 120, QStringLiteral("smpte")));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix BGR odd"), false, selected), S_OK);
    ASSERT_TRUE(sink.WaitForCount(1));
    const std::vector<std::uint8_t> sample = sink.Last();
    ASSERT_EQ(sample.size(), 486u * 120u);
    EXPECT_GT(sample[119 * 486], 180);       // top row last
    EXPECT_GT(sample[119 * 486 + 483], 150); // its last pixel is of the blue bar
    EXPECT_LT(sample[119 * 486 + 485], 100);
}

struct ConvertedCase {
    const char* label;
    const char* cameraFormat;
    std::uint32_t fourCC; // of the stream handed on
};

class ConvertedFormats : public CaptureTest, public ::testing::WithParamInterface<ConvertedCase> {};

TEST_P(ConvertedFormats, ArriveInAFormatTheConversionReads)
{
    const ConvertedCase& c = GetParam();
    AddCamera(QStringLiteral("Lantrix Converted"), SmallPattern(c.cameraFormat, 160, 120));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Converted"), false, selected), S_OK)
        << qPrintable(capture->StreamError());
    ASSERT_TRUE(sink.WaitForCount(1));
    int width, height;
    std::uint32_t fourCC;
    ASSERT_EQ(capture->GetStreamInfo(width, height, fourCC), S_OK);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 120);
    EXPECT_EQ(fourCC, c.fourCC);
}

INSTANTIATE_TEST_SUITE_P(Cameras, ConvertedFormats,
                         ::testing::Values(ConvertedCase{"NV12", "NV12", 0x30323449u},
                                           ConvertedCase{"NV21", "NV21", 0x30323449u},
                                           ConvertedCase{"UYVY", "UYVY", 0x32595559u}, ConvertedCase{"RGB", "RGB", 0u},
                                           ConvertedCase{"RGBx", "RGBx", 0u}, ConvertedCase{"GRAY8", "GRAY8", 0u}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(StreamInfo, WithoutStreamIsAFailureWithZeros)
{
    auto capture = NewCapture();
    int width = 5, height = 5;
    std::uint32_t fourCC = 5;
    EXPECT_LT(capture->GetStreamInfo(width, height, fourCC), 0);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(fourCC, 0u);
}

// ---------------------------------------------------------------------------
// Play states

TEST_F(CaptureTest, PlayStatesFollowPauseResumeStopAndRestart)
{
    AddCamera(QStringLiteral("Lantrix States"), SmallPattern("YUY2", 160, 120));
    auto capture = NewCapture();
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);
    EXPECT_EQ(capture->PauseVideo(), S_FALSE);
    EXPECT_EQ(capture->ResumeVideo(), S_FALSE);
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);

    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix States"), false, selected), S_OK);
    EXPECT_EQ(capture->ResumeVideo(), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Running);
    EXPECT_EQ(capture->PauseVideo(), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Paused);
    EXPECT_EQ(capture->PauseVideo(), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Paused);
    EXPECT_EQ(capture->ResumeVideo(), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Running);
    int count = sink.Count();
    ASSERT_TRUE(sink.WaitForCount(count + 2)); // frames flow again after the pause

    EXPECT_EQ(capture->SetPreviewState(true), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Running);
    EXPECT_EQ(capture->StopVideo(), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);
    QStringList sizes = {QStringLiteral("x")};
    capture->GetListOfVideoSizes(sizes);
    EXPECT_TRUE(sizes.isEmpty());
    EXPECT_EQ(capture->ResumeVideo(), S_FALSE);
    count = sink.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(), count); // stopped means stopped

    EXPECT_EQ(capture->RestartVideo(), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Running);
    ASSERT_TRUE(sink.WaitForCount(count + 2));

    EXPECT_EQ(capture->SetPreviewState(false), S_OK);
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);
    EXPECT_EQ(capture->SetPreviewState(true), S_OK);
    count = sink.Count();
    ASSERT_TRUE(sink.WaitForCount(count + 2));

    capture->DeleteCaptureGraph();
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);
    count = sink.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(), count);
    EXPECT_EQ(capture->RestartVideo(), S_OK); // rebuilt from the same device
    ASSERT_TRUE(sink.WaitForCount(count + 2));
}

TEST_F(CaptureTest, PreviewWindowIsNotOffered)
{
    AddCamera(QStringLiteral("Lantrix Preview"), SmallPattern("YUY2", 160, 120));
    auto capture = NewCapture();
    QString selected;
    EXPECT_EQ(capture->StartVideo(QStringLiteral("Lantrix Preview"), true, selected), E_NOTIMPL);
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);
}

// ---------------------------------------------------------------------------
// Callback and teardown

TEST_F(CaptureTest, SwappedCallbackIsNotCalledAfterTheSwapReturns)
{
    AddCamera(QStringLiteral("Lantrix Swap"), SmallPattern("YUY2", 160, 120));
    auto capture = NewCapture();
    FrameSink first, second;
    TEventConnection frames = capture->SetCallBack(first.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Swap"), false, selected), S_OK);
    for (int round = 0; round < 5; ++round) {
        FrameSink& from = round % 2 ? second : first;
        FrameSink& to = round % 2 ? first : second;
        ASSERT_TRUE(from.WaitForCount(from.Count() + 2));
        TEventConnection previous = std::move(frames);
        frames = capture->SetCallBack(to.CallBack());
        const int fromAfterSwap = from.Count();
        previous.Disconnect(); // the replaced callback's connection: the new one stays
        ASSERT_TRUE(to.WaitForCount(to.Count() + 2));
        EXPECT_EQ(from.Count(), fromAfterSwap);
    }
    frames.Disconnect();
    const int a = first.Count(), b = second.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(first.Count(), a);
    EXPECT_EQ(second.Count(), b);
}

namespace {
// A callback that notices being called after its owner said teardown was over.
struct TeardownProbe {
    std::atomic<bool> tornDown{false};
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};
    void OnSample(const std::uint8_t*, int&)
    {
        calls.fetch_add(1);
        std::this_thread::sleep_for(2ms); // widen the window for a late call
        if (tornDown.load())
            lateCalls.fetch_add(1);
    }
};
} // namespace

TEST_F(CaptureTest, NoCallbackRunsAfterDestroyReturns)
{
    AddCamera(QStringLiteral("Lantrix Teardown"), SmallPattern("YUY2", 320, 240));
    for (int round = 0; round < 8; ++round) {
        TeardownProbe probe;
        auto capture = NewCapture();
        const TEventConnection frames =
            capture->SetCallBack(TVideoSampleCallBack::Bind<&TeardownProbe::OnSample>(&probe));
        QString selected;
        ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Teardown"), false, selected), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return probe.calls.load() >= 1 + round % 3; }));
        capture->Destroy();
        probe.tornDown = true;
        const int calls = probe.calls.load();
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(probe.lateCalls.load(), 0);
        EXPECT_EQ(probe.calls.load(), calls);
        capture.reset(); // a second teardown through the destructor is harmless
    }
}

// The callback is called while its connection lives: once the connection
// is dropped, with the pipeline still running, no sample reaches it, so what
// it works on may go.
TEST_F(CaptureTest, NoCallbackRunsAfterItsConnectionEnds)
{
    AddCamera(QStringLiteral("Lantrix Disconnect"), SmallPattern("YUY2", 320, 240));
    auto capture = NewCapture();
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Disconnect"), false, selected), S_OK);
    for (int round = 0; round < 5; ++round) {
        TeardownProbe probe;
        {
            const TEventConnection frames =
                capture->SetCallBack(TVideoSampleCallBack::Bind<&TeardownProbe::OnSample>(&probe));
            ASSERT_TRUE(WaitUntil([&] { return probe.calls.load() >= 1 + round % 2; }));
        }
        probe.tornDown = true;
        const int calls = probe.calls.load();
        std::this_thread::sleep_for(60ms);
        EXPECT_EQ(probe.lateCalls.load(), 0);
        EXPECT_EQ(probe.calls.load(), calls);
    }
    EXPECT_EQ(capture->GetPlayState(), PS_Running);
}

TEST_F(CaptureTest, DestroyWhileStreamingManyTimes)
{
    RegisterStandardTestCameras(kQrCodePng);
    const QString names[] = {TestPatternCameraName(TTestCameraFormat::YUY2, 1280, 720),
                             QrCodeCameraName(TTestCameraFormat::JPEG, 640, 480),
                             TestPatternCameraName(TTestCameraFormat::BGR, 640, 480)};
    for (int round = 0; round < 15; ++round) {
        FrameSink sink;
        auto capture = NewCapture();
        const TEventConnection frames = capture->SetCallBack(sink.CallBack());
        QString selected;
        ASSERT_EQ(capture->StartVideo(names[round % 3], false, selected), S_OK);
        if (round % 2) {
            ASSERT_TRUE(sink.WaitForCount(2));
        }
        capture.reset(); // destroyed with frames in flight
        const int count = sink.Count();
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(sink.Count(), count);
    }
}

// ---------------------------------------------------------------------------
// Stream errors and end of stream

TEST_F(CaptureTest, EndOfStreamStopsTheSamples)
{
    AddCamera(QStringLiteral("Lantrix Five"),
              QStringLiteral("videotestsrc is-live=true num-buffers=5 ! ")
                  + Caps(QStringLiteral("video/x-raw,format=YUY2,width=160,height=120,framerate=30/1")));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Five"), false, selected), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return capture->StreamEnded(); }));
    ASSERT_TRUE(sink.WaitForCount(5));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(), 5);
    EXPECT_TRUE(capture->StreamError().isEmpty());
}

TEST_F(CaptureTest, ErrorMidCaptureStopsTheSamplesWithoutHang)
{
    AddCamera(QStringLiteral("Lantrix Failing"),
              SmallPattern("YUY2", 160, 120) + QStringLiteral(" ! identity error-after=6"));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Failing"), false, selected), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return capture->StreamEnded(); }));
    EXPECT_FALSE(capture->StreamError().isEmpty());
    const int count = sink.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(), count);
    EXPECT_LE(count, 6);
    // The object stays usable: stop, restart (the error comes again), destroy.
    EXPECT_EQ(capture->StopVideo(), S_OK);
    EXPECT_EQ(capture->RestartVideo(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return capture->StreamEnded(); }));
    capture->Destroy();
}

struct FailingStartCase {
    const char* label;
    QString description;
};

class FailingStart : public CaptureTest, public ::testing::WithParamInterface<FailingStartCase> {};

TEST_P(FailingStart, FailsBeforeTheFirstSample)
{
    AddCamera(QStringLiteral("Lantrix Broken"), GetParam().description);
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    // The start fails at once, or the stream ends before its first sample.
    HRESULT hr = capture->StartVideo(QStringLiteral("Lantrix Broken"), false, selected);
    if (Succeeded(hr))
        hr = capture->WaitForFirstSample(kTimeout);
    EXPECT_LT(hr, 0);
    EXPECT_FALSE(capture->StreamError().isEmpty());
    EXPECT_EQ(selected, QStringLiteral("Lantrix Broken"));
    EXPECT_EQ(capture->GetPlayState(), PS_Stopped);
    EXPECT_EQ(sink.Count(), 0);
    int width, height;
    std::uint32_t fourCC;
    EXPECT_LT(capture->GetStreamInfo(width, height, fourCC), 0);
    capture->Destroy();
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, FailingStart,
    ::testing::Values(
        FailingStartCase{"NoSuchElement", QStringLiteral("lantrixnosuchsource")},
        FailingStartCase{"SyntaxError", QStringLiteral("videotestsrc ! ! !")},
        FailingStartCase{"AudioOnly", QStringLiteral("audiotestsrc is-live=true")},
        FailingStartCase{"CompressedVideoOnly", QStringLiteral("videotestsrc is-live=true ! ")
                                                    + Caps(QStringLiteral("video/x-raw,width=160,height=120"))
                                                    + QStringLiteral(" ! capsfilter caps=\"video/x-bayer\"")},
        FailingStartCase{"ErrorBeforeFirstSample",
                         SmallPattern("YUY2", 160, 120) + QStringLiteral(" ! identity error-after=1")},
        FailingStartCase{"MissingPicture", StillPictureDescription(QStringLiteral("/nonexistent/lantrix.png"),
                                                                   TTestCameraFormat::YUY2, 160, 120)}),
    [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// Capability list

TEST(FormatList, UsableEntriesSortedWithTheirText)
{
    TGstCapsPtr caps(gst_caps_from_string("video/x-raw,format=YUY2,width=1280,height=720,framerate=30/1; "
                                          "video/x-raw,format=BGR,width=640,height=480; "
                                          "image/jpeg,width=640,height=360,framerate={30/1,15/1}; "
                                          "video/x-raw,format={I420,YV12},width=640,height=480; "
                                          "video/x-raw,format=YUY2,width=[1,4096],height=[1,4096]; "
                                          "video/x-raw(memory:DMABuf),format=NV12,width=320,height=240; "
                                          "video/x-h264,width=320,height=240; "
                                          "video/x-raw,format=NV12,width=320,height=180; "
                                          "video/x-raw,format=GRAY16_LE,width=320,height=240"));
    ASSERT_TRUE(caps);
    const std::vector<TFormatInfo> list = FormatListFromCaps(caps.get());
    QStringList texts;
    std::vector<int> origins;
    for (const TFormatInfo& entry : list) {
        texts.append(entry.Text());
        origins.push_back(entry.OIndex);
    }
    EXPECT_EQ(texts, QStringList({"320*180  (NV12)", "320*240  (GRAY)", "640*360  (MJPG)", "640*480  (RGB )",
                                  "640*480  (I420)", "640*480  (YV12)", "1280*720  (YUY2)"}));
    EXPECT_EQ(origins, (std::vector<int>{7, 8, 2, 1, 3, 3, 0}));
    EXPECT_EQ(list[3].SSize, 640u * 480u * 3u);
    EXPECT_EQ(list[4].SSize, 640u * 480u * 3u / 2u);
    // Each entry's caps select exactly that capability.
    TGstCapsPtr yv12(gst_caps_from_string(list[5].Caps.constData()));
    ASSERT_TRUE(yv12);
    ASSERT_EQ(gst_caps_get_size(yv12.get()), 1u);
    EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(yv12.get(), 0), "format"), "YV12");
}

TEST(FormatList, NothingUsable)
{
    for (const char* text : {"ANY", "EMPTY", "video/x-raw,format=YUY2", "audio/x-raw,width=2,height=2"}) {
        TGstCapsPtr caps(gst_caps_from_string(text));
        EXPECT_TRUE(FormatListFromCaps(caps.get()).empty()) << text;
    }
    EXPECT_TRUE(FormatListFromCaps(nullptr).empty());
}

struct SwitchStep {
    int index;
    int width, height;
    std::uint32_t fourCC; // of the stream handed on
};

struct SizeSwitchCase {
    const char* label;
    QString caps; // the camera's capabilities
    QStringList sizes;
    std::vector<SwitchStep> steps;
};

class SizeSwitch : public CaptureTest, public ::testing::WithParamInterface<SizeSwitchCase> {};

TEST_P(SizeSwitch, ChangesTheRunningStream)
{
    const SizeSwitchCase& c = GetParam();
    AddCamera(QStringLiteral("Lantrix Sizes"), QStringLiteral("videotestsrc is-live=true ! ") + Caps(c.caps));
    auto capture = NewCapture();
    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Sizes"), false, selected), S_OK);
    QStringList sizes;
    capture->GetListOfVideoSizes(sizes);
    EXPECT_EQ(sizes, c.sizes);

    for (const SwitchStep& step : c.steps) {
        ASSERT_EQ(capture->SetVideoSizeByListIndex(step.index), S_OK) << qPrintable(capture->StreamError());
        EXPECT_EQ(capture->GetPlayState(), PS_Running);
        ASSERT_EQ(capture->WaitForFirstSample(kTimeout), S_OK);
        int width, height;
        std::uint32_t fourCC;
        ASSERT_EQ(capture->GetStreamInfo(width, height, fourCC), S_OK);
        EXPECT_EQ(width, step.width);
        EXPECT_EQ(height, step.height);
        EXPECT_EQ(fourCC, step.fourCC);
        const int count = sink.Count();
        ASSERT_TRUE(sink.WaitForCount(count + 2));
        const std::size_t pixels = std::size_t(width) * height;
        EXPECT_EQ(sink.Last().size(), step.fourCC == 0x30323449u ? pixels * 3 / 2 : pixels * 2);
    }
    for (int index : {-1, static_cast<int>(c.sizes.size())}) {
        EXPECT_EQ(capture->SetVideoSizeByListIndex(index), S_FALSE);
        EXPECT_EQ(capture->GetPlayState(), PS_Running);
        const int count = sink.Count();
        ASSERT_TRUE(sink.WaitForCount(count + 2)); // still running
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, SizeSwitch,
    ::testing::Values(
        SizeSwitchCase{"OneFormat",
                       QStringLiteral("video/x-raw,format=YUY2,width=320,height=240,framerate=30/1; "
                                      "video/x-raw,format=YUY2,width=160,height=120,framerate=30/1; "
                                      "video/x-raw,format=YUY2,width=160,height=90,framerate=30/1"),
                       {"160*90  (YUY2)", "160*120  (YUY2)", "320*240  (YUY2)"},
                       {{0, 160, 90, 0x32595559u}, {2, 320, 240, 0x32595559u}, {1, 160, 120, 0x32595559u}}},
        // A capability in a format the conversion does not read is converted.
        SizeSwitchCase{"ToAndFromAConvertedFormat",
                       QStringLiteral("video/x-raw,format=YUY2,width=160,height=120,framerate=30/1; "
                                      "video/x-raw,format=NV12,width=320,height=240,framerate=30/1"),
                       {"160*120  (YUY2)", "320*240  (NV12)"},
                       {{1, 320, 240, 0x30323449u}, {0, 160, 120, 0x32595559u}}}),
    [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// Copy of the current sample

TEST_F(CaptureTest, ImageBufferFailsWhileTheGrabberKeepsNoSamples)
{
    AddCamera(QStringLiteral("Lantrix Buffer"), SmallPattern("YUY2", 160, 120));
    auto capture = NewCapture();
    auto block = std::make_unique<std::uint8_t[]>(7);
    const std::uint8_t* address = block.get();
    int size = 7;
    EXPECT_LT(capture->GetImageBuffer(block, size), 0); // no stream at all

    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Buffer"), false, selected), S_OK);
    ASSERT_TRUE(sink.WaitForCount(2));
    // By default the grabber buffers nothing: the failure of an unbuffered
    // grabber, and the block is left as it was.
    EXPECT_EQ(capture->GetImageBuffer(block, size), E_INVALIDARG);
    EXPECT_EQ(block.get(), address);
    EXPECT_EQ(size, 7);
}

TEST_F(CaptureTest, ImageBufferCopiesTheCurrentSampleAsTheCallbackGetsIt)
{
    AddCamera(QStringLiteral("Lantrix Buffer BGR"), SmallPattern("BGR", 320, 240, QStringLiteral("smpte")));
    auto capture = NewCapture();
    capture->SetBufferSamples(true);
    std::unique_ptr<std::uint8_t[]> block;
    int size = 0;
    EXPECT_LT(capture->GetImageBuffer(block, size), 0); // nothing buffered yet
    EXPECT_FALSE(block);

    FrameSink sink;
    const TEventConnection frames = capture->SetCallBack(sink.CallBack());
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Buffer BGR"), false, selected), S_OK);
    ASSERT_TRUE(sink.WaitForCount(2));

    // A block of another size is replaced by one of the sample's size.
    block = std::make_unique<std::uint8_t[]>(10);
    size = 10;
    ASSERT_EQ(capture->GetImageBuffer(block, size), S_OK);
    ASSERT_EQ(size, 320 * 240 * 3);
    ASSERT_TRUE(block);
    // Rows bottom-up, as the sample callback gets them: the light bars last.
    const std::uint8_t* bottomRow = block.get();
    const std::uint8_t* topRow = block.get() + 239 * 320 * 3;
    EXPECT_GT(topRow[0], 180);
    EXPECT_GT(topRow[2], 180);
    EXPECT_GT(bottomRow[0], bottomRow[2] + 60);

    // A block of the right size is filled in place.
    const std::uint8_t* address = block.get();
    ASSERT_EQ(capture->GetImageBuffer(block, size), S_OK);
    EXPECT_EQ(block.get(), address);
    EXPECT_EQ(size, 320 * 240 * 3);
}

// ---------------------------------------------------------------------------
// Image controls

TEST(VideoPropertyTable, EveryPropertyHasItsNumberNameAndControlsOfItsOwn)
{
    const std::span<const TVideoPropertyInfo> properties = VideoProperties();
    QStringList names;
    std::vector<std::uint32_t> controlIds;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        const TVideoPropertyInfo& row = properties[i];
        EXPECT_EQ(row.property, i);
        EXPECT_EQ(VideoPropertyInfo(static_cast<int>(i)), &row);
        EXPECT_EQ(VideoPropertyName(static_cast<int>(i)), QString::fromLatin1(row.name));
        EXPECT_FALSE(names.contains(QString::fromLatin1(row.name))) << row.name;
        names.append(QString::fromLatin1(row.name));
        for (std::uint32_t id : {row.controlId, row.autoControlId}) {
            if (id == 0)
                continue;
            EXPECT_EQ(std::count(controlIds.begin(), controlIds.end(), id), 0) << row.name << " " << id;
            controlIds.push_back(id);
        }
        EXPECT_TRUE(row.controlId != 0 || row.autoControlId == 0) << row.name; // no automatic mode without a value
    }
    EXPECT_EQ(names, QStringList({"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "Gamma", "Color Enable",
                                  "White Balance", "Backlight Compensation", "Gain"}));
    EXPECT_EQ(VideoPropertyInfo(static_cast<int>(properties.size())), nullptr);
    EXPECT_EQ(VideoPropertyInfo(-1), nullptr);
    EXPECT_TRUE(VideoPropertyName(-1).isEmpty());
}

TEST(VideoPropertyTable, EachPropertyReadsAndWritesItsOwnControls)
{
    for (const TVideoPropertyInfo& row : VideoProperties()) {
        if (row.controlId == 0)
            continue;
        TFakeImageControls camera;
        camera.controls[row.controlId] = {{0, 100, 1, 50}, 30};
        if (row.autoControlId)
            camera.controls[row.autoControlId] = {{0, 1, 1, 1}, 1};
        std::int32_t min, max, step, def, flags, value;
        ASSERT_EQ(GetVideoPropAmpEx(&camera, row.property, min, max, step, def, flags, value), S_OK) << row.name;
        EXPECT_EQ(value, 30) << row.name;
        EXPECT_EQ(flags, row.autoControlId ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual) << row.name;
        EXPECT_EQ(VideoPropertyHasAuto(&camera, row.property), row.autoControlId != 0) << row.name;

        ASSERT_EQ(SetVideoPropAmpEx(&camera, row.property, VideoProcAmp_Flags_Manual, 70), S_OK) << row.name;
        using TWrite = TFakeImageControls::TWrite;
        std::vector<TWrite> expected;
        if (row.autoControlId)
            expected.emplace_back(row.autoControlId, 0);
        expected.emplace_back(row.controlId, 70);
        EXPECT_EQ(camera.writes, expected) << row.name;
    }
}

struct PercentCase {
    int percent;
    TControlRange range;
    std::int32_t raw;
};

class PercentToRaw : public ::testing::TestWithParam<PercentCase> {};

TEST_P(PercentToRaw, RoundsTiesToEvenAndQuantises)
{
    const PercentCase& c = GetParam();
    EXPECT_EQ(RawFromPercent(c.percent, c.range), c.raw);
}

INSTANTIATE_TEST_SUITE_P(Table, PercentToRaw,
                         ::testing::Values(PercentCase{50, {0, 255, 1, 10}, 128}, // 127.5 -> 128
                                           PercentCase{0, {0, 255, 1, 10}, 0}, PercentCase{100, {0, 255, 1, 10}, 255},
                                           PercentCase{101, {0, 255, 1, 10}, 10}, // out of range: default
                                           PercentCase{-1, {0, 255, 1, 10}, 10},
                                           PercentCase{50, {0, 5, 1, 3}, 2},     // 2.5 -> 2
                                           PercentCase{50, {0, 3, 1, 3}, 2},     // 1.5 -> 2
                                           PercentCase{10, {0, 5, 1, 3}, 0},     // 0.5 -> 0
                                           PercentCase{30, {0, 5, 1, 3}, 2},     // 1.5 -> 2
                                           PercentCase{33, {0, 255, 10, 0}, 80}, // 84.15 -> 84 -> 80
                                           PercentCase{50, {-64, 64, 1, 0}, 0}, PercentCase{25, {-64, 64, 4, 0}, -32},
                                           PercentCase{50, {2800, 6500, 10, 4600}, 4650},
                                           PercentCase{50, {0, 255, 0, 7}, 128}, // step 0: no quantisation
                                           PercentCase{50, {5, 5, 1, 5}, 5},     // max == min
                                           PercentCase{50, {9, 3, 1, 4}, 9},     // max below min
                                           PercentCase{100, {INT32_MIN, INT32_MAX, 1, 0}, INT32_MAX},
                                           PercentCase{0, {INT32_MIN, INT32_MAX, 1, 0}, INT32_MIN}));

struct RawCase {
    std::int32_t value, min, max;
    int percent;
};

class RawToPercent : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawToPercent, RoundsTiesToEven)
{
    const RawCase& c = GetParam();
    EXPECT_EQ(PercentFromRaw(c.value, c.min, c.max), c.percent);
}

INSTANTIATE_TEST_SUITE_P(Table, RawToPercent,
                         ::testing::Values(RawCase{128, 0, 255, 50}, RawCase{0, 0, 255, 0}, RawCase{255, 0, 255, 100},
                                           RawCase{1, 0, 8, 12}, // 12.5 -> 12
                                           RawCase{3, 0, 8, 38}, // 37.5 -> 38
                                           RawCase{0, -64, 64, 50}, RawCase{7, 7, 7, 0}, RawCase{7, 9, 3, 0},
                                           RawCase{INT32_MAX, INT32_MIN, INT32_MAX, 100},
                                           RawCase{0, INT32_MIN, INT32_MAX, 50}));

class ImageControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto fake = std::make_unique<TFakeImageControls>();
        fake->controls[V4L2_CID_BRIGHTNESS] = {{0, 255, 1, 128}, 100};
        fake->controls[V4L2_CID_GAIN] = {{0, 100, 2, 20}, 40};
        fake->controls[V4L2_CID_AUTOGAIN] = {{0, 1, 1, 1}, 1};
        controls = fake.get();
        capture = NewCapture();
        capture->SetImageControls(std::move(fake));
    }

    TFakeImageControls* controls = nullptr;
    std::unique_ptr<TVideoSample> capture;
};

TEST_F(ImageControls, SettingsReadRangeValueAndMode)
{
    int min, max, step, def, actual;
    bool automatic = true;
    ASSERT_EQ(GetVideoPropertySettings(capture.get(), VP_Brightness, min, max, step, def, actual, automatic), S_OK);
    EXPECT_EQ(std::vector<int>({min, max, step, def, actual}), std::vector<int>({0, 255, 1, 128, 100}));
    EXPECT_FALSE(automatic);
    ASSERT_EQ(GetVideoPropertySettings(capture.get(), VP_Gain, min, max, step, def, actual, automatic), S_OK);
    EXPECT_EQ(std::vector<int>({min, max, step, def, actual}), std::vector<int>({0, 100, 2, 20, 40}));
    EXPECT_TRUE(automatic);
}

TEST_F(ImageControls, MissingControlsGiveDefaultsAndTheCode)
{
    int min = 7, max = 7, step = 7, def = 7, actual = 7;
    bool automatic = false;
    const HRESULT contrast =
        GetVideoPropertySettings(capture.get(), VP_Contrast, min, max, step, def, actual, automatic);
    EXPECT_LT(contrast, 0);
    EXPECT_EQ(std::vector<int>({min, max, step, def, actual}), std::vector<int>({-1, -1, 0, 0, 0}));
    EXPECT_TRUE(automatic);
    EXPECT_EQ(GetVideoPropertySettings(capture.get(), VP_ColorEnable, min, max, step, def, actual, automatic),
              E_PROP_ID_UNSUPPORTED);
    for (int vp : {-1, 10}) {
        automatic = false;
        EXPECT_EQ(GetVideoPropertySettings(capture.get(), vp, min, max, step, def, actual, automatic), S_FALSE);
        EXPECT_EQ(std::vector<int>({min, max, step, def, actual}), std::vector<int>({-1, -1, 0, 0, 0}));
        EXPECT_TRUE(automatic);
        EXPECT_EQ(SetVideoPropertySettings(capture.get(), vp, 1, false), S_FALSE);
    }
    EXPECT_EQ(GetVideoPropertySettings(nullptr, VP_Brightness, min, max, step, def, actual, automatic), S_FALSE);
    EXPECT_EQ(min, -1);
    EXPECT_EQ(SetVideoPropertySettings(nullptr, VP_Brightness, 1, false), S_OK);
    EXPECT_TRUE(controls->writes.empty());
}

TEST_F(ImageControls, WritingManualTurnsAutomaticOffFirst)
{
    EXPECT_EQ(SetVideoPropertySettings(capture.get(), VP_Gain, 60, false), S_OK);
    using TWrite = TFakeImageControls::TWrite;
    EXPECT_EQ(controls->writes, (std::vector<TWrite>{{V4L2_CID_AUTOGAIN, 0}, {V4L2_CID_GAIN, 60}}));
    controls->writes.clear();
    EXPECT_EQ(SetVideoPropertySettings(capture.get(), VP_Gain, 10, true), S_OK);
    EXPECT_EQ(controls->writes, (std::vector<TWrite>{{V4L2_CID_AUTOGAIN, 1}}));
    EXPECT_LT(SetVideoPropertySettings(capture.get(), VP_Brightness, 10, true),
              0); // brightness has no automatic mode here
}

TEST_F(ImageControls, PercentagesGoThroughTheRange)
{
    int percent = 0;
    capture->GetVideoPropAmpPercent(VP_Brightness, percent);
    EXPECT_EQ(percent, 39); // 100 of 0..255 = 39.2 %
    capture->SetVideoPropAmpPercent(VP_Brightness, 50);
    EXPECT_EQ(controls->controls[V4L2_CID_BRIGHTNESS].value, 128);
    capture->SetVideoPropAmpPercent(VP_Brightness, 0);
    EXPECT_EQ(controls->controls[V4L2_CID_BRIGHTNESS].value, 0);
    capture->SetVideoPropAmpPercent(VP_Brightness, 101);
    EXPECT_EQ(controls->controls[V4L2_CID_BRIGHTNESS].value, 128); // the default
    capture->GetVideoPropAmpPercent(VP_Contrast, percent);
    EXPECT_EQ(percent, -1);
    std::int32_t value = 0;
    EXPECT_EQ(capture->GetExProp(V4L2_CID_GAIN, value), S_OK);
    EXPECT_EQ(value, 40);
}

TEST_F(CaptureTest, TestCamerasHaveNoImageControls)
{
    AddCamera(QStringLiteral("Lantrix Controls"), SmallPattern("YUY2", 160, 120));
    auto capture = NewCapture();
    QString selected;
    ASSERT_EQ(capture->StartVideo(QStringLiteral("Lantrix Controls"), false, selected), S_OK);
    std::int32_t min, max, step, def, flags, value;
    EXPECT_EQ(capture->GetVideoPropAmpEx(VP_Brightness, min, max, step, def, flags, value), S_FALSE);
    EXPECT_EQ(capture->SetVideoPropAmpEx(VP_Brightness, VideoProcAmp_Flags_Manual, 1), S_FALSE);
    int percent = 0;
    capture->GetVideoPropAmpPercent(VP_Brightness, percent);
    EXPECT_EQ(percent, -1);
    int imin, imax, istep, idef, actual;
    bool automatic = false;
    EXPECT_EQ(GetVideoPropertySettings(capture.get(), VP_Brightness, imin, imax, istep, idef, actual, automatic),
              S_FALSE);
    EXPECT_TRUE(automatic);
    EXPECT_EQ(capture->GetExProp(V4L2_CID_BRIGHTNESS, value), E_NOINTERFACE);
    EXPECT_EQ(capture->SetExProp(V4L2_CID_BRIGHTNESS, 1), E_NOINTERFACE);
    EXPECT_EQ(capture->ShowPropertyDialog(), E_NOINTERFACE);
    EXPECT_EQ(capture->ShowVfWCaptureDlg(), E_NOTIMPL);
}

// The video front-end: the frame ring and its counters fed by hand, the
// notification handling on the GUI thread, and capture from test cameras.
#include "support/CaptureTestSupport.h"
#include "support/GatedCamera.h"

#include "capture/CameraSources.h"
#include "capture/SampleFormats.h"
#include "capture/VideoImage.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "support/TestCameras.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

static auto* const guiEnvironment = ::testing::AddGlobalTestEnvironment(new TGuiApplicationEnvironment);

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 8;

// A YUY2 sample of one grey level (luma y, neutral chroma).
std::vector<std::uint8_t> GreySample(int width, int height, std::uint8_t y)
{
    std::vector<std::uint8_t> sample(static_cast<size_t>(width) * height * 2);
    for (size_t i = 0; i < sample.size(); i += 2) {
        sample[i] = y;
        sample[i + 1] = 128;
    }
    return sample;
}

void Store(TVideoImage& video, const std::vector<std::uint8_t>& sample)
{
    int size = static_cast<int>(sample.size());
    video.CopyFrameToRing(sample.data(), size);
}

// Pumps the GUI thread's events until the condition holds or 30 s have passed.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Waits without handling any event, so that notifications stay queued.
bool WaitQueued(const std::function<bool()>& condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void DrainEvents()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// True when every pixel of the bitmap has the colour of the first one.
bool Uniform(const QImage& bitmap)
{
    const int bytesPerPixel = bitmap.depth() / 8;
    const uchar* first = bitmap.constScanLine(0);
    for (int y = 0; y < bitmap.height(); ++y) {
        const uchar* line = bitmap.constScanLine(y);
        for (int x = 0; x < bitmap.width(); ++x)
            if (std::memcmp(line + x * bytesPerPixel, first, bytesPerPixel) != 0)
                return false;
    }
    return true;
}

// The front-end over a hand-fed 16 x 8 YUY2 stream.
class HandFedVideo : public ::testing::Test {
protected:
    HandFedVideo() { video.SetStreamFormat(kWidth, kHeight, FourCC::YUY2); }
    ~HandFedVideo() override { DrainEvents(); }

    TVideoImage video;
    const std::vector<std::uint8_t> black = GreySample(kWidth, kHeight, 16);
    const std::vector<std::uint8_t> white = GreySample(kWidth, kHeight, 235);
};

} // namespace

// ---- Counters ---------------------------------------------------------------------

struct FpsCase {
    std::uint32_t tickAt30, tickAt60;
    double expected;
};

class FramesPerSecond : public HandFedVideo, public ::testing::WithParamInterface<FpsCase> {};

TEST_P(FramesPerSecond, MeasuredOverThirtyFramesFromFrameSixtyOn)
{
    const FpsCase c = GetParam();
    std::uint32_t tick = 0;
    video.SetMillisecondClock([&] { return tick; });
    for (int frame = 1; frame <= 60; ++frame) {
        tick = frame == 30 ? c.tickAt30 : frame == 60 ? c.tickAt60 : 77 + frame;
        EXPECT_EQ(video.FramesPerSecond(), 0.0) << "before frame " << frame;
        Store(video, black);
    }
    EXPECT_EQ(video.FrameCount(), 60);
    EXPECT_DOUBLE_EQ(video.FramesPerSecond(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ticks, FramesPerSecond,
                         ::testing::Values(FpsCase{5000, 6000, 30.0},       // exactly one second
                                           FpsCase{0xFFFFFE0Cu, 500, 30.0}, // the clock wrapped
                                           FpsCase{1000, 3000, 15.0}));

TEST_F(HandFedVideo, FramesPerSecondIsRenewedEveryThirtyFramesAndClearedByStop)
{
    std::uint32_t tick = 100;
    video.SetMillisecondClock([&] { return tick; });
    for (int frame = 1; frame <= 90; ++frame) {
        tick += frame <= 60 ? 10 : 20; // 100 fps up to frame 60, then 50 fps
        Store(video, black);
        if (frame == 60) {
            EXPECT_DOUBLE_EQ(video.FramesPerSecond(), 100.0);
        }
    }
    EXPECT_DOUBLE_EQ(video.FramesPerSecond(), 50.0);
    video.VideoStop(); // idle: only the figure goes
    EXPECT_EQ(video.FramesPerSecond(), 0.0);
    EXPECT_EQ(video.FrameCount(), 90);
}

// ---- Notifications and GetBitmap ----------------------------------------------

TEST_F(HandFedVideo, OneHandlingPerNotificationEachWithTheNewestFrame)
{
    std::vector<QRgb> seen;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage* sender, int width, int height, const std::uint8_t* data) {
            EXPECT_EQ(sender, &video);
            EXPECT_EQ(width, kWidth);
            EXPECT_EQ(height, kHeight);
            EXPECT_NE(data, nullptr);
            QImage bitmap;
            sender->GetBitmap(bitmap);
            seen.push_back(bitmap.pixel(3, 3));
        });
    Store(video, black);
    Store(video, white);
    DrainEvents();
    // Two notifications, each handled with the newest sample at its time.
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], qRgb(255, 255, 255));
    EXPECT_EQ(seen[1], qRgb(255, 255, 255));
    EXPECT_EQ(video.FramesSkipped(), 0);
}

TEST_F(HandFedVideo, GetBitmapConvertsOncePerNotificationUnlessANewerSampleCame)
{
    QImage first, second, third;
    std::int64_t conversionsBefore = 0, conversionsAfterTwo = 0;
    bool handled = false;
    const TEventConnection onFrame = video.SetOnNewVideoFrame([&](TVideoImage* sender, int, int, const std::uint8_t*) {
        if (handled)
            return;
        handled = true;
        conversionsBefore = sender->ConversionCount();
        sender->GetBitmap(first);
        sender->GetBitmap(second);
        conversionsAfterTwo = sender->ConversionCount();
        Store(video, white); // a sample stored meanwhile
        sender->GetBitmap(third);
    });
    Store(video, black);
    DrainEvents();
    EXPECT_EQ(conversionsAfterTwo - conversionsBefore, 1);
    EXPECT_EQ(video.ConversionCount() - conversionsBefore, 2);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(third.pixel(0, 0), qRgb(255, 255, 255));
}

TEST_F(HandFedVideo, GetBitmapGivesThePicturesFormWhateverTheTargetWas)
{
    Store(video, white);
    for (bool gray : {false, true}) {
        SCOPED_TRACE(gray ? "gray" : "colour");
        video.SetGray8Bit(gray);
        const TEventConnection onFrame =
            video.SetOnNewVideoFrame([](TVideoImage* sender, int, int, const std::uint8_t*) {
                QImage bitmap(300, 2, QImage::Format_ARGB32);
                sender->GetBitmap(bitmap);
                EXPECT_EQ(bitmap.size(), QSize(kWidth, kHeight));
                if (sender->Gray8Bit()) {
                    ASSERT_EQ(bitmap.format(), QImage::Format_Indexed8);
                    EXPECT_EQ(bitmap.colorCount(), 256);
                    EXPECT_EQ(bitmap.pixelIndex(5, 5), 235); // the sample's luma
                } else {
                    ASSERT_EQ(bitmap.format(), QImage::Format_BGR888);
                    EXPECT_EQ(bitmap.pixel(5, 5), qRgb(255, 255, 255));
                }
            });
        Store(video, white);
        DrainEvents();
    }
}

TEST_F(HandFedVideo, FramesArrivingWhileTheHandlerPumpsAreSkippedAndTheNextHandlingTakesTheNewest)
{
    int handlings = 0;
    std::vector<std::int32_t> convertedFrames;
    const TEventConnection onFrame = video.SetOnNewVideoFrame([&](TVideoImage* sender, int, int, const std::uint8_t*) {
        ++handlings;
        QImage bitmap;
        sender->GetBitmap(bitmap);
        convertedFrames.push_back(sender->ConvertedFrameNumber());
        if (handlings == 1) {
            for (int i = 0; i < 5; ++i) // frames stored while this one is handled
                Store(video, i % 2 ? black : white);
            QCoreApplication::processEvents();
        }
    });
    Store(video, black); // frame 1
    DrainEvents();
    EXPECT_EQ(handlings, 1);
    EXPECT_EQ(video.FramesSkipped(), 5);
    Store(video, white); // frame 7
    DrainEvents();
    EXPECT_EQ(handlings, 2);
    EXPECT_EQ(convertedFrames, (std::vector<std::int32_t>{1, 7}));
    EXPECT_EQ(video.FramesSkipped(), 5);
}

TEST_F(HandFedVideo, AnErrorInTheHandlerIsReportedAndTheNextFrameIsHandled)
{
    QStringList errors;
    int handlings = 0;
    const TEventConnection onError = video.SetErrorHandler([&](const QString& message) {
        errors.append(message);
        Store(video, white); // a frame while the error is shown: skipped
        QCoreApplication::processEvents();
    });
    const TEventConnection onFrame = video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) {
        if (++handlings == 1)
            throw std::runtime_error("frame handler failed");
    });
    Store(video, black);
    DrainEvents();
    EXPECT_EQ(errors, QStringList{QStringLiteral("frame handler failed")});
    EXPECT_EQ(video.FramesSkipped(), 1);
    Store(video, black);
    DrainEvents();
    EXPECT_EQ(handlings, 2);
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(HandFedVideo, EachFrameIsPaintedOnTheCanvasUnlessSomeoneElsePaintsOnIt)
{
    QImage canvas(kWidth * 2, kHeight * 2, QImage::Format_RGB32);
    canvas.fill(Qt::red);
    video.SetDisplayCanvas(&canvas);
    Store(video, white);
    DrainEvents();
    EXPECT_EQ(canvas.pixel(kWidth - 1, kHeight - 1), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(kWidth, kHeight), qRgb(255, 0, 0)); // drawn at (0, 0) in its own size
    {
        QPainter other(&canvas);
        Store(video, black);
        DrainEvents();
    }
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 255, 255));
    Store(video, black);
    DrainEvents();
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 0, 0));
    video.SetDisplayCanvas(nullptr);
}

TEST(VideoImage, NotificationsQueuedForADestroyedFrontEndAreDropped)
{
    int handlings = 0;
    {
        TVideoImage video;
        video.SetStreamFormat(kWidth, kHeight, FourCC::YUY2);
        const TEventConnection onFrame =
            video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++handlings; });
        const auto sample = GreySample(kWidth, kHeight, 100);
        for (int i = 0; i < 3; ++i)
            Store(video, sample);
    }
    DrainEvents();
    EXPECT_EQ(handlings, 0);
}

// A handler reaches its event only while its connection lives, and the
// connection goes with what the handler uses: frames (and ends, and errors)
// still queued when that scope ends never reach objects that are gone.
TEST_F(HandFedVideo, EventsQueuedWhenTheConnectionEndsDoNotReachTheHandler)
{
    int handlings = 0;
    {
        QImage picture; // what the handler uses, gone with this scope
        const TEventConnection onFrame =
            video.SetOnNewVideoFrame([&](TVideoImage* sender, int, int, const std::uint8_t*) {
                ++handlings;
                sender->GetBitmap(picture);
            });
        Store(video, black);
        Store(video, white); // both notifications still queued
    }
    DrainEvents();
    EXPECT_EQ(handlings, 0);
    EXPECT_EQ(video.FrameCount(), 2);

    // An error raised by the frame handler after the error handler's
    // connection ended goes to the log, not to the handler.
    int reported = 0;
    {
        QStringList errors;
        const TEventConnection onError = video.SetErrorHandler([&](const QString& message) {
            ++reported;
            errors.append(message);
        });
    }
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([](TVideoImage*, int, int, const std::uint8_t*) { throw std::runtime_error("late"); });
    Store(video, black);
    DrainEvents();
    EXPECT_EQ(reported, 0);
}

// The connection of a replaced handler no longer takes the handler off; a
// connection that outlives its front-end does nothing; a handler may end its
// own connection while it runs.
TEST_F(HandFedVideo, ConnectionsEndOnlyTheirOwnHandler)
{
    int first = 0, second = 0;
    TEventConnection replaced = video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++first; });
    TEventConnection current = video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++second; });
    replaced.Disconnect();
    Store(video, black);
    DrainEvents();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);

    TEventConnection self;
    int selfHandlings = 0;
    self = video.SetOnNewVideoFrame([&](TVideoImage* sender, int, int, const std::uint8_t*) {
        ++selfHandlings;
        self.Disconnect(); // the running call goes on safely
        QImage picture;
        sender->GetBitmap(picture);
        EXPECT_FALSE(picture.isNull());
    });
    Store(video, black);
    DrainEvents();
    Store(video, white);
    DrainEvents();
    EXPECT_EQ(selfHandlings, 1);

    TEventConnection outliving;
    {
        TVideoImage shortLived;
        outliving = shortLived.SetOnNewVideoFrame([](TVideoImage*, int, int, const std::uint8_t*) {});
    }
    outliving.Disconnect(); // the front-end is gone: nothing happens
}

TEST(VideoImage, BadSamplesAreIgnored)
{
    TVideoImage video;
    int handlings = 0;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++handlings; });
    std::uint8_t byte = 0;
    int zero = 0, negative = -5;
    video.CopyFrameToRing(&byte, zero);
    video.CopyFrameToRing(&byte, negative);
    video.CopyFrameToRing(nullptr, negative);
    DrainEvents();
    EXPECT_EQ(video.FrameCount(), 0);
    EXPECT_EQ(handlings, 0);
    QImage bitmap;
    video.GetBitmap(bitmap); // nothing stored and no stream: an empty picture
    EXPECT_TRUE(bitmap.isNull());
}

// A streaming thread storing frames as fast as it can while the GUI thread
// converts slowly: no picture is ever a mix of two samples, and every
// notification is either handled or counted as skipped.
TEST(VideoImage, SlowConversionNeverReadsASlotBeingOverwritten)
{
    constexpr int width = 640, height = 480, frames = 2000;
    TVideoImage video;
    video.SetStreamFormat(width, height, FourCC::YUY2);
    int handlings = 0, torn = 0;
    const TEventConnection onFrame = video.SetOnNewVideoFrame([&](TVideoImage* sender, int, int, const std::uint8_t*) {
        ++handlings;
        QImage bitmap;
        sender->GetBitmap(bitmap);
        if (!Uniform(bitmap))
            ++torn;
        QCoreApplication::processEvents();
    });
    std::atomic<bool> done{false};
    std::thread streaming([&] {
        std::vector<std::vector<std::uint8_t>> samples;
        for (int level = 0; level < 8; ++level)
            samples.push_back(GreySample(width, height, static_cast<std::uint8_t>(20 + level * 25)));
        for (int frame = 0; frame < frames; ++frame) {
            Store(video, samples[frame % samples.size()]);
        }
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    streaming.join();
    DrainEvents();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(handlings, 0);
    EXPECT_EQ(handlings + video.FramesSkipped(), frames);
}

// ---- Capture from test cameras ------------------------------------------------

namespace {

const QString kSmall = QStringLiteral("Video Image Test 320x240 YUY2");
const QString kTiny = QStringLiteral("Video Image Test 160x120 I420");

class CameraCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TCameraSources::Clear();
        TCameraSources::Add(kSmall, TestPatternDescription(TTestCameraFormat::YUY2, 320, 240));
        TCameraSources::Add(kTiny, TestPatternDescription(TTestCameraFormat::I420, 160, 120));
    }
    void TearDown() override
    {
        video.VideoStop();
        DrainEvents();
        TCameraSources::Clear();
    }

    TVideoImage video;
};

// Camera frames are bounded as picture files are.
TEST(FrameBound, IsThatOfPictureFiles)
{
    EXPECT_EQ(TFrameConverter::kMaxFramePixels, kMaxPicturePixels);
}

} // namespace

TEST_F(CameraCapture, GetListOfDevicesClearsTheListAndListsTheCamerasInOrderNumberingRepeatedNames)
{
    TCameraSources::Add(kSmall, TestPatternDescription(TTestCameraFormat::YUY2, 320, 240)); // the same name again
    QStringList devices{QStringLiteral("left over")};
    video.GetListOfDevices(devices);
    ASSERT_GE(devices.size(), 3);
    EXPECT_FALSE(devices.contains(QStringLiteral("left over")));
    EXPECT_EQ(devices.mid(devices.size() - 3), (QStringList{kSmall, kTiny, kSmall + QStringLiteral(" #2")}));
}

TEST_F(CameraCapture, UnknownNameFailsAndLeavesIdle)
{
    EXPECT_EQ(video.VideoStart(QStringLiteral("No Such Camera 0815")), 1);
    EXPECT_FALSE(video.VideoRunning());
    EXPECT_FALSE(video.IsPaused());
    EXPECT_EQ(video.VideoWidth(), 0);
    EXPECT_TRUE(video.LastError().contains(QStringLiteral("\"No Such Camera 0815\""))) << qPrintable(video.LastError());
}

TEST_F(CameraCapture, StartReturnsBeforeTheFirstSampleWhichBringsTheFormat)
{
    TGatedCamera camera(160, 120);
    TCameraSources::Add(QStringLiteral("Video Image Gated"), camera.Description());
    std::vector<QSize> told;
    QImage last;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage* sender, int width, int height, const std::uint8_t*) {
            told.emplace_back(width, height);
            sender->GetBitmap(last);
        });
    ASSERT_EQ(video.VideoStart(QStringLiteral("Video Image Gated")), 0);
    EXPECT_TRUE(video.VideoRunning());
    EXPECT_EQ(video.FrameCount(), 0);
    EXPECT_EQ(video.VideoWidth(), 0); // not known before the first sample
    DrainEvents();
    EXPECT_TRUE(told.empty());

    ASSERT_TRUE(camera.WriteFrame(235));
    ASSERT_TRUE(WaitFor([&] { return !told.empty(); }));
    EXPECT_EQ(told.front(), QSize(160, 120));
    EXPECT_EQ(video.VideoWidth(), 160);
    EXPECT_EQ(video.VideoHeight(), 120);
    EXPECT_EQ(video.VideoFourCC(), FourCC::YUY2);
    ASSERT_EQ(last.size(), QSize(160, 120));
    EXPECT_EQ(last.pixel(80, 60), qRgb(255, 255, 255));
    video.VideoStop();
}

struct EndingCase {
    const char* label;
    QString description;
    bool afterFrames;
    bool finished; // the stream came to its end, without a failure
};

class CaptureEnding : public CameraCapture, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(CaptureEnding, StopsTheCaptureAndIsReportedOnce)
{
    const EndingCase& c = GetParam();
    TCameraSources::Add(QStringLiteral("Video Image Ending"), c.description);
    QStringList ended;
    int handlings = 0;
    bool runningWhenTold = true;
    bool finishedWhenTold = !c.finished;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++handlings; });
    const TEventConnection onEnd = video.SetOnCaptureEnded([&](TVideoImage* sender, const QString& message) {
        EXPECT_EQ(sender, &video);
        runningWhenTold = sender->VideoRunning();
        finishedWhenTold = sender->StreamFinished();
        ended.append(message);
    });
    ASSERT_EQ(video.VideoStart(QStringLiteral("Video Image Ending")), 0);
    ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }));
    EXPECT_FALSE(runningWhenTold);           // stopped before the owner is told
    EXPECT_EQ(finishedWhenTold, c.finished); // and how it ended is known by then
    EXPECT_EQ(video.StreamFinished(), c.finished);
    EXPECT_FALSE(video.VideoRunning());
    EXPECT_TRUE(ended.first().contains(QStringLiteral("\"Video Image Ending\""))) << qPrintable(ended.first());
    EXPECT_EQ(video.LastError(), ended.first());
    if (c.afterFrames) {
        EXPECT_GT(handlings, 0);
    }
    const std::int32_t frames = video.FrameCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    DrainEvents();
    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(video.FrameCount(), frames);
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, CaptureEnding,
    ::testing::Values(EndingCase{"EndOfStream",
                                 QStringLiteral("videotestsrc is-live=true num-buffers=10 ! capsfilter "
                                                "caps=\"video/x-raw,format=YUY2,width=160,height=120,framerate=30/1\""),
                                 true, true},
                      EndingCase{"ErrorAfterFrames",
                                 TestPatternDescription(TTestCameraFormat::I420, 160, 120)
                                     + QStringLiteral(" ! identity error-after=10"),
                                 true, false},
                      EndingCase{"ErrorBeforeTheFirstFrame",
                                 TestPatternDescription(TTestCameraFormat::I420, 160, 120)
                                     + QStringLiteral(" ! identity error-after=1"),
                                 false, false}),
    [](const auto& info) { return std::string(info.param.label); });

// A camera that sends nothing (never, or no more) gives no error of its own:
// a camera reached through PipeWire that goes away just stops. After the
// stall time the capture is ended as one that ended by itself.
class CaptureStall : public CameraCapture, public ::testing::WithParamInterface<int> {};

TEST_P(CaptureStall, EndsTheCaptureAfterTheStallTime)
{
    const int framesGiven = GetParam();
    TGatedCamera camera(160, 120);
    TCameraSources::Add(QStringLiteral("Video Image Stalling"), camera.Description());
    QStringList ended;
    int handlings = 0;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++handlings; });
    const TEventConnection onEnd =
        video.SetOnCaptureEnded([&](TVideoImage*, const QString& message) { ended.append(message); });
    video.SetStallTimeout(std::chrono::milliseconds(300));
    ASSERT_EQ(video.VideoStart(QStringLiteral("Video Image Stalling")), 0);
    for (int frame = 0; frame < framesGiven; ++frame)
        ASSERT_TRUE(camera.WriteFrame(100));
    ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }));
    EXPECT_EQ(handlings > 0, framesGiven > 0);
    EXPECT_FALSE(video.VideoRunning());
    EXPECT_TRUE(ended.first().contains(QStringLiteral("\"Video Image Stalling\""))) << qPrintable(ended.first());
    EXPECT_FALSE(video.StreamFinished()); // a stall is a failure
    DrainEvents();
    EXPECT_EQ(ended.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Frames, CaptureStall, ::testing::Values(0, 2), [](const auto& info) {
    return info.param ? std::string("AfterSomeFrames") : std::string("BeforeAnyFrame");
});

TEST_F(CameraCapture, APausedCaptureDoesNotStall)
{
    int ended = 0;
    int handlings = 0;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++handlings; });
    const TEventConnection onEnd = video.SetOnCaptureEnded([&](TVideoImage*, const QString&) { ++ended; });
    ASSERT_EQ(video.VideoStart(kTiny), 0);
    ASSERT_TRUE(WaitFor([&] { return handlings > 0; }));
    // Short only once frames come: a pipeline that starts slowly on a busy
    // machine is no stall.
    video.SetStallTimeout(std::chrono::milliseconds(100));
    video.VideoPause();
    QElapsedTimer paused;
    paused.start();
    ASSERT_TRUE(WaitFor([&] { return paused.elapsed() >= 600; }));
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(video.VideoRunning());
}

TEST_F(CameraCapture, AnEndWithoutItsHandlerGoesToTheErrorHandler)
{
    TCameraSources::Add(QStringLiteral("Video Image Short"),
                        QStringLiteral("videotestsrc is-live=true num-buffers=3 ! capsfilter "
                                       "caps=\"video/x-raw,format=YUY2,width=160,height=120\""));
    QStringList errors;
    const TEventConnection onError = video.SetErrorHandler([&](const QString& message) { errors.append(message); });
    ASSERT_EQ(video.VideoStart(QStringLiteral("Video Image Short")), 0);
    ASSERT_TRUE(WaitFor([&] { return !errors.isEmpty(); }));
    EXPECT_FALSE(video.VideoRunning());
    DrainEvents();
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(CameraCapture, AnEndOfAStoppedCaptureIsNotReported)
{
    TCameraSources::Add(QStringLiteral("Video Image Short"),
                        QStringLiteral("videotestsrc is-live=true num-buffers=3 ! capsfilter "
                                       "caps=\"video/x-raw,format=YUY2,width=160,height=120\""));
    int ended = 0;
    const TEventConnection onEnd = video.SetOnCaptureEnded([&](TVideoImage*, const QString&) { ++ended; });
    ASSERT_EQ(video.VideoStart(QStringLiteral("Video Image Short")), 0);
    // The end is posted while no event is handled; the capture is stopped, and
    // a new one started, before the notification is handled.
    ASSERT_TRUE(WaitQueued([&] { return video.FrameCount() >= 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    video.VideoStop();
    ASSERT_EQ(video.VideoStart(kSmall), 0);
    DrainEvents();
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(video.VideoRunning());
}

TEST_F(CameraCapture, FramesArriveOnTheGuiThreadInTheStreamsSize)
{
    QImage last;
    int handlings = 0;
    const auto gui = std::this_thread::get_id();
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage* sender, int width, int height, const std::uint8_t*) {
            EXPECT_EQ(std::this_thread::get_id(), gui);
            EXPECT_EQ(QSize(width, height), QSize(160, 120));
            sender->GetBitmap(last);
            ++handlings;
        });
    ASSERT_EQ(video.VideoStart(kTiny), 0);
    EXPECT_TRUE(video.VideoRunning());
    ASSERT_TRUE(WaitFor([&] { return handlings >= 5; }));
    EXPECT_EQ(video.VideoFourCC(), FourCC::I420); // taken from the samples
    EXPECT_EQ(last.size(), QSize(160, 120));
    EXPECT_EQ(last.format(), QImage::Format_BGR888);

    video.VideoPause();
    EXPECT_TRUE(video.IsPaused());
    EXPECT_TRUE(video.VideoRunning());
    video.VideoResume();
    EXPECT_FALSE(video.IsPaused());
}

TEST_F(CameraCapture, EmptyNameStartsTheFirstCamera)
{
    QStringList devices;
    video.GetListOfDevices(devices);
    if (devices.first() != kSmall)
        GTEST_SKIP() << "a real camera comes first on this machine";
    int handlings = 0;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++handlings; });
    ASSERT_EQ(video.VideoStart(QString()), 0);
    ASSERT_TRUE(WaitFor([&] { return handlings >= 1; }));
    EXPECT_EQ(video.VideoWidth(), 320);
    EXPECT_EQ(video.VideoHeight(), 240);
}

TEST_F(CameraCapture, NotificationsQueuedAtStopAreStillHandledWithTheLastFrame)
{
    int handlings = 0;
    std::vector<std::int32_t> converted;
    const TEventConnection onFrame = video.SetOnNewVideoFrame([&](TVideoImage* sender, int, int, const std::uint8_t*) {
        ++handlings;
        QImage bitmap;
        sender->GetBitmap(bitmap);
        EXPECT_EQ(bitmap.size(), QSize(320, 240));
        converted.push_back(sender->ConvertedFrameNumber());
    });
    ASSERT_EQ(video.VideoStart(kSmall), 0);
    ASSERT_TRUE(WaitQueued([&] { return video.FrameCount() >= 3; }));
    video.VideoStop();
    const std::int32_t stored = video.FrameCount();
    EXPECT_EQ(handlings, 0);
    DrainEvents();
    // One notification per stored sample, each showing the last one.
    EXPECT_EQ(handlings, stored);
    for (std::int32_t frame : converted)
        EXPECT_EQ(frame, stored);
    EXPECT_FALSE(video.VideoRunning());
    EXPECT_EQ(video.FramesPerSecond(), 0.0);
}

TEST_F(CameraCapture, StartWhileCapturingStopsFirstAndResetsTheCounters)
{
    int handlings = 0;
    const TEventConnection onFrame = video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) {
        ++handlings;
        std::this_thread::sleep_for(std::chrono::milliseconds(40)); // slower than the camera
        QCoreApplication::processEvents();
    });
    ASSERT_EQ(video.VideoStart(kSmall), 0);
    ASSERT_TRUE(WaitFor([&] { return video.FramesPerSecond() > 0 && video.FramesSkipped() > 0; }));
    const std::int32_t before = video.FrameCount();
    ASSERT_GE(before, 60);

    ASSERT_EQ(video.VideoStart(kTiny), 0);
    // A live camera cannot have delivered 60 frames yet.
    EXPECT_EQ(video.FramesPerSecond(), 0.0);
    EXPECT_LT(video.FrameCount(), 60);
    EXPECT_EQ(video.FramesSkipped(), 0);
    EXPECT_TRUE(video.VideoRunning());
    const int handledBefore = handlings;
    // Frames of the new stream are handled in its size.
    EXPECT_TRUE(WaitFor([&] { return handlings > handledBefore + 2 && video.VideoWidth() == 160; }));
}

TEST_F(CameraCapture, ResolutionListAndSwitch)
{
    QStringList sizes{QStringLiteral("stale")};
    video.GetListOfSupportedVideoSizes(sizes);
    EXPECT_TRUE(sizes.isEmpty());  // no capture: nothing
    video.SetResolutionByIndex(0); // no capture: nothing happens
    int handlings = 0;
    const TEventConnection onFrame =
        video.SetOnNewVideoFrame([&](TVideoImage*, int, int, const std::uint8_t*) { ++handlings; });
    ASSERT_EQ(video.VideoStart(kSmall), 0);
    video.GetListOfSupportedVideoSizes(sizes);
    ASSERT_FALSE(sizes.isEmpty());
    EXPECT_TRUE(sizes.contains(QStringLiteral("320*240  (YUY2)"))) << sizes.join(QLatin1Char('|')).toStdString();
    video.SetResolutionByIndex(sizes.size()); // out of range: the stream stays
    const int handledBefore = handlings;
    ASSERT_TRUE(WaitFor([&] { return handlings > handledBefore; }));
    EXPECT_EQ(video.VideoWidth(), 320);
    EXPECT_TRUE(video.VideoRunning());
}

// The SMPTE pattern through the front-end in every camera format: light bars
// at the top, the dark-blue square at the left of the bottom strip. A picture
// upside down, with red and blue exchanged, or a message instead of the
// picture, fails.
class PictureOrientation : public ::testing::TestWithParam<TTestCameraFormat> {
protected:
    void SetUp() override { TCameraSources::Clear(); }
    void TearDown() override
    {
        video.VideoStop();
        DrainEvents();
        TCameraSources::Clear();
    }

    TVideoImage video;
};

TEST_P(PictureOrientation, TopRowFirstAndColoursInPlace)
{
    const TTestCameraFormat format = GetParam();
    const QString name = QStringLiteral("Orientation %1").arg(TestCameraFormatName(format));
    TCameraSources::Add(name, TestPatternDescription(format, 320, 240, QStringLiteral("smpte")));
    QImage picture;
    const TEventConnection onFrame = video.SetOnNewVideoFrame(
        [&](TVideoImage* sender, int, int, const std::uint8_t*) { sender->GetBitmap(picture); });
    ASSERT_EQ(video.VideoStart(name), 0);
    ASSERT_TRUE(WaitFor([&] { return !picture.isNull(); }));
    ASSERT_EQ(picture.size(), QSize(320, 240));
    ASSERT_EQ(picture.format(), QImage::Format_BGR888);
    // The white and the yellow bar, a quarter down; the dark-blue square
    // at the bottom left.
    const QColor white = PixelColour(picture, 20, 60);
    const QColor yellow = PixelColour(picture, 68, 60);
    const QColor blue = PixelColour(picture, 20, 230);
    EXPECT_TRUE(ColourNear(white, QColor(255, 255, 255), 40));
    EXPECT_LT(blue.green(), 100);
    if (format == TTestCameraFormat::GRAY8) {
        EXPECT_GT(yellow.green(), 120);
        EXPECT_TRUE(ColourNear(blue, QColor(blue.green(), blue.green(), blue.green()), 10));
    } else {
        EXPECT_TRUE(ColourNear(yellow, QColor(255, 255, 0), 50));
        EXPECT_GT(blue.blue(), blue.red() + 40);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureOrientation,
                         ::testing::Values(TTestCameraFormat::YUY2, TTestCameraFormat::I420, TTestCameraFormat::YV12,
                                           TTestCameraFormat::BGR, TTestCameraFormat::JPEG, TTestCameraFormat::RGB,
                                           TTestCameraFormat::GRAY8, TTestCameraFormat::NV12),
                         [](const auto& info) { return TestCameraFormatName(info.param).toStdString(); });

// Frames whose rows GStreamer pads to its strides (row bytes not a multiple
// of 4, odd chroma planes): a still QR code in every raw format at such sizes,
// and a source of a common such size, is shown in its size and read.
struct PaddedFramesCase {
    TTestCameraFormat format;
    int width, height;
};

class PaddedFrames : public ::testing::TestWithParam<PaddedFramesCase> {
protected:
    void SetUp() override { TCameraSources::Clear(); }
    void TearDown() override
    {
        video.VideoStop();
        DrainEvents();
        TCameraSources::Clear();
    }

    TVideoImage video;
};

TEST_P(PaddedFrames, AreShownInTheirSizeAndRead)
{
    const PaddedFramesCase& c = GetParam();
    const QString name =
        QStringLiteral("Padded %1 %2x%3").arg(TestCameraFormatName(c.format)).arg(c.width).arg(c.height);
    TCameraSources::Add(name, StillPictureDescription(QStringLiteral(LANTRIX_SOURCE_DIR "/samples/qr_code.png"),
                                                      c.format, c.width, c.height));
    QImage picture;
    std::optional<QString> text;
    const TEventConnection onFrame = video.SetOnNewVideoFrame([&](TVideoImage* sender, int, int, const std::uint8_t*) {
        sender->GetBitmap(picture);
        QImage copy = picture;
        if (std::optional<QString> decoded = DecodeBitmap(copy, TBarcodeFormat::Auto))
            text = decoded;
    });
    ASSERT_EQ(video.VideoStart(name), 0);
    ASSERT_TRUE(WaitFor([&] { return text.has_value(); }, 20000)) << "no code read";
    EXPECT_EQ(*text, QStringLiteral("https://lantrix.invalid/hello?from=qr"));
    EXPECT_EQ(picture.size(), QSize(c.width, c.height));
}

std::vector<PaddedFramesCase> PaddedFramesCases()
{
    std::vector<PaddedFramesCase> cases;
    for (TTestCameraFormat format :
         {TTestCameraFormat::YUY2, TTestCameraFormat::I420, TTestCameraFormat::YV12, TTestCameraFormat::BGR})
        for (const auto& [width, height] :
             {std::pair{369, 369}, std::pair{370, 371}, std::pair{371, 370}, std::pair{372, 373}})
            cases.push_back({format, width, height});
    cases.push_back({TTestCameraFormat::I420, 854, 480});
    cases.push_back({TTestCameraFormat::BGR, 854, 480});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, PaddedFrames, ::testing::ValuesIn(PaddedFramesCases()), [](const auto& info) {
    return TestCameraFormatName(info.param.format).toStdString() + "_" + std::to_string(info.param.width) + "x"
           + std::to_string(info.param.height);
});

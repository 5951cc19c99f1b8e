// The whole road of a webcam frame through the real main window, offscreen:
// test camera -> streaming thread (CopyFrameToRing) -> notification -> the
// webcam tab's frame handler (GetBitmap, picture, decode) -> text in Memo2.
//
// Per camera format, one timed run of a few seconds at 1280x720, 30 fps:
//   delivered/s, handled/s, skipped/s   frames stored, handled and dropped
//   latency_median_ms, latency_p95_ms   a sample's arrival on the streaming
//                                       thread to its decoded text in Memo2
//   copy_median_us, copy_p95_us         the streaming thread's time per sample
//                                       in CopyFrameToRing
//   start_return_ms, first_frame_ms     from the click on Start to its return,
//                                       and to the first handled frame
// Run: build/bench/bench_webcam (add --run_seconds=N before the benchmark flags).
#include "app/widgets/AppForm.h"
#include "capture/PixbufLoader.h"
#include "capture/VideoImage.h"
#include "support/TestCameras.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace {

int gRunSeconds = 5;
constexpr int kWarmUpMs = 1000;
constexpr int kMaxFrames = 1 << 14;

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index =
        std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
    return values[index];
}

// Arrival and storing times of every sample of one run, by frame number.
struct TSampleTimes {
    std::vector<std::atomic<std::int64_t>> arrived = std::vector<std::atomic<std::int64_t>>(kMaxFrames);
    std::vector<std::atomic<std::int64_t>> stored = std::vector<std::atomic<std::int64_t>>(kMaxFrames);

    void Record(std::int32_t frame, bool isStored)
    {
        if (frame > 0 && frame < kMaxFrames)
            (isStored ? stored : arrived)[frame].store(NowNs(), std::memory_order_relaxed);
    }
};

void BM_WebcamRoad(benchmark::State& state, TTestCameraFormat format)
{
    const QString camera = QrCodeCameraName(format, 1280, 720);
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("program"));
    TAppEnvironment environment;
    environment.executableFile = QStringLiteral(LANTRIX_BIN_DIR "/lantrix");
    environment.executableFolder = root.filePath(QStringLiteral("program"));
    environment.configFolder = root.filePath(QStringLiteral("config"));

    for (auto _ : state) {
        TAppForm form(environment);
        form.show();
        auto times = std::make_unique<TSampleTimes>();
        TVideoImage* video = form.VideoImage();
        const TEventConnection observing =
            video->SetSampleObserver([&times](std::int32_t frame, bool isStored) { times->Record(frame, isStored); });

        bool measuring = false;
        std::vector<double> latencies;
        QObject::connect(form.Memo2, &QPlainTextEdit::textChanged, [&] {
            const std::int32_t frame = video->ConvertedFrameNumber();
            if (measuring && frame > 0 && frame < kMaxFrames)
                latencies.push_back(static_cast<double>(NowNs() - times->arrived[frame].load()) / 1e6);
        });

        form.PageControl1->setCurrentIndex(1);
        form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(camera));
        const std::int64_t clicked = NowNs();
        form.Button1->click();
        const std::int64_t returned = NowNs();
        if (!video->VideoRunning() || !QTest::qWaitFor([&] { return video->ConversionCount() > 0; }, 10000)) {
            state.SkipWithError("the test camera did not start");
            return;
        }
        const std::int64_t firstFrame = NowNs();
        QTest::qWait(kWarmUpMs);

        const std::int32_t framesBefore = video->FrameCount();
        const std::int64_t handledBefore = video->ConversionCount();
        const std::int32_t skippedBefore = video->FramesSkipped();
        measuring = true;
        const std::int64_t start = NowNs();
        QTest::qWait(gRunSeconds * 1000);
        const std::int64_t end = NowNs();
        measuring = false;
        const std::int32_t framesAfter = video->FrameCount();
        const std::int64_t handledAfter = video->ConversionCount();
        const std::int32_t skippedAfter = video->FramesSkipped();
        form.Button1->click(); // STOP
        state.SetIterationTime(static_cast<double>(end - start) / 1e9);

        const double seconds = static_cast<double>(end - start) / 1e9;
        std::vector<double> copies;
        for (std::int32_t frame = framesBefore + 1; frame <= framesAfter && frame < kMaxFrames; ++frame) {
            const std::int64_t arrived = times->arrived[frame].load(), stored = times->stored[frame].load();
            if (arrived && stored)
                copies.push_back(static_cast<double>(stored - arrived) / 1e3);
        }
        state.counters["delivered/s"] = (framesAfter - framesBefore) / seconds;
        state.counters["handled/s"] = static_cast<double>(handledAfter - handledBefore) / seconds;
        state.counters["skipped/s"] = (skippedAfter - skippedBefore) / seconds;
        state.counters["decoded"] = static_cast<double>(latencies.size());
        state.counters["latency_median_ms"] = Percentile(latencies, 0.5);
        state.counters["latency_p95_ms"] = Percentile(latencies, 0.95);
        state.counters["copy_median_us"] = Percentile(copies, 0.5);
        state.counters["copy_p95_us"] = Percentile(copies, 0.95);
        state.counters["start_return_ms"] = static_cast<double>(returned - clicked) / 1e6;
        state.counters["first_frame_ms"] = static_cast<double>(firstFrame - clicked) / 1e6;
    }
}

BENCHMARK_CAPTURE(BM_WebcamRoad, YUY2_1280x720, TTestCameraFormat::YUY2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_WebcamRoad, MJPG_1280x720, TTestCameraFormat::JPEG)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--run_seconds=", 14) == 0) {
            gRunSeconds = std::max(1, std::atoi(argv[i] + 14));
            std::memmove(argv + i, argv + i + 1, static_cast<size_t>(argc - i) * sizeof(char*));
            --argc;
            --i;
        }
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window decodes its frames in the build's decoder program.
    if (!qEnvironmentVariableIsSet("LANTRIX_DECODER"))
        qputenv("LANTRIX_DECODER", LANTRIX_BIN_DIR "/lantrix-decoder");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    PixbufStartup();
    RegisterStandardTestCameras(QStringLiteral(LANTRIX_BIN_DIR "/samples/qr_code.png"));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PixbufShutdown();
    return 0;
}

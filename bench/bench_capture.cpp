// The streaming thread's work per sample in the capture pipeline.
//
// BM_Deliver: one appsink sample through the sample delivery (buffer map,
// callback record, user callback that copies the bytes into its own buffer),
// as the appsink callback runs it; BGR adds the bottom-up row flip, and sizes
// whose rows GStreamer pads (854x480, 1366x768) the copy without the padding.
// BM_LiveCamera: a live 1280x720 YUY2 test camera through TVideoSample at 30
// frames per second; per sample the time spent in the user callback's copy and
// the interval between samples, so the figures show what a real stream costs.
// Run: build/bench/bench_capture
#include "capture/CameraSources.h"
#include "capture/GstSupport.h"
#include "capture/SampleDelivery.h"
#include "capture/VideoSample.h"
#include "support/TestCameras.h"

#include <benchmark/benchmark.h>

#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The user side: copies every sample into a buffer of its own.
struct TCopyingReceiver {
    std::vector<std::uint8_t> buffer;
    std::int64_t bytes = 0;
    void OnSample(const std::uint8_t* pb, int& size)
    {
        if (buffer.size() != static_cast<std::size_t>(size))
            buffer.resize(size);
        std::memcpy(buffer.data(), pb, size);
        bytes += size;
    }
};

GstSample* MakeSample(const char* format, int width, int height)
{
    GstVideoInfo info;
    gst_video_info_set_format(&info, gst_video_format_from_string(format), width, height);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    for (gsize i = 0; i < map.size; ++i)
        map.data[i] = static_cast<std::uint8_t>(i * 7);
    gst_buffer_unmap(buffer, &map);
    GstCaps* caps = gst_video_info_to_caps(&info);
    GstSample* sample = gst_sample_new(buffer, caps, nullptr, nullptr);
    gst_buffer_unref(buffer);
    gst_caps_unref(caps);
    return sample;
}

void BM_Deliver(benchmark::State& state, const char* format, int width, int height)
{
    EnsureGStreamer();
    GstSample* sample = MakeSample(format, width, height);
    TSampleDelivery delivery;
    TCopyingReceiver receiver;
    const TEventConnection connection =
        delivery.SetCallBack(TVideoSampleCallBack::Bind<&TCopyingReceiver::OnSample>(&receiver));
    for (auto _ : state) {
        delivery.Deliver(sample);
        benchmark::DoNotOptimize(receiver.buffer.data());
    }
    state.SetBytesProcessed(receiver.bytes);
    state.counters["sample_bytes"] = static_cast<double>(receiver.buffer.size());
    gst_sample_unref(sample);
}

BENCHMARK_CAPTURE(BM_Deliver, YUY2_1280x720, "YUY2", 1280, 720)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Deliver, I420_1280x720, "I420", 1280, 720)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Deliver, BGR_1280x720, "BGR", 1280, 720)->Unit(benchmark::kMicrosecond);
// Sizes whose rows or planes GStreamer pads: read by the strides into rows without padding.
BENCHMARK_CAPTURE(BM_Deliver, YUY2_854x480, "YUY2", 854, 480)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Deliver, I420_854x480, "I420", 854, 480)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Deliver, BGR_854x480, "BGR", 854, 480)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Deliver, I420_1366x768, "I420", 1366, 768)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Deliver, BGR_1366x768, "BGR", 1366, 768)->Unit(benchmark::kMicrosecond);

// Times the user callback's copy on the streaming thread of a live camera.
struct TTimedReceiver {
    std::mutex lock;
    std::vector<double> copyMicroseconds;
    std::vector<double> intervalMilliseconds;
    std::chrono::steady_clock::time_point last{};
    std::vector<std::uint8_t> buffer;
    void OnSample(const std::uint8_t* pb, int& size)
    {
        const auto start = std::chrono::steady_clock::now();
        if (buffer.size() != static_cast<std::size_t>(size))
            buffer.resize(size);
        std::memcpy(buffer.data(), pb, size);
        const auto end = std::chrono::steady_clock::now();
        std::lock_guard guard(lock);
        copyMicroseconds.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        if (last.time_since_epoch().count())
            intervalMilliseconds.push_back(std::chrono::duration<double, std::milli>(start - last).count());
        last = start;
    }
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

void BM_LiveCamera(benchmark::State& state)
{
    const QString name = QStringLiteral("Bench YUY2 1280x720");
    TCameraSources::Add(name, TestPatternDescription(TTestCameraFormat::YUY2, 1280, 720));
    for (auto _ : state) {
        HRESULT hr = E_FAIL;
        TVideoSample capture(nullptr, false, 0, hr);
        TTimedReceiver receiver;
        const TEventConnection connection =
            capture.SetCallBack(TVideoSampleCallBack::Bind<&TTimedReceiver::OnSample>(&receiver));
        QString selected;
        if (Failed(capture.StartVideo(name, false, selected))
            || Failed(capture.WaitForFirstSample(std::chrono::seconds(20)))) {
            state.SkipWithError("the test camera did not start");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(3));
        capture.Destroy();
        std::lock_guard guard(receiver.lock);
        state.counters["samples"] = static_cast<double>(receiver.copyMicroseconds.size());
        state.counters["copy_median_us"] = Percentile(receiver.copyMicroseconds, 0.5);
        state.counters["copy_p95_us"] = Percentile(receiver.copyMicroseconds, 0.95);
        state.counters["interval_median_ms"] = Percentile(receiver.intervalMilliseconds, 0.5);
    }
    TCameraSources::Remove(name);
}

BENCHMARK(BM_LiveCamera)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();

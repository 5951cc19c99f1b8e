// What the decoder process adds to a camera frame: the same frame decoded
// in this process (DecodeCode) and through lantrix-decoder's shared frame
// buffer (TPictureDecoder::DecodeFrame), at 720p and 1080p, with a QR code
// and without one, every reading option off. The difference of the two is
// the round trip: the copy into the buffer, the request, the reply.
//
//   build/bench/bench_decoder --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "decode/DecodeBitmap.h"
#include "decoder/PictureDecoder.h"
#include "support/Samples.h"
#include "support/TestDecoder.h"

#include <benchmark/benchmark.h>

namespace {

QImage Frame(int width, int height, bool withCode)
{
    const QImage code = withCode ? LoadSample("qr_code.png").scaledToHeight(height / 3) : QImage();
    return SceneWithCode(width, height, code, width / 5, height / 4).convertToFormat(QImage::Format_BGR888);
}

void BM_FrameInProcess(benchmark::State& state)
{
    const QImage frame = Frame(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
    bool found = false;
    for (auto _ : state) {
        QImage copy = frame;
        found = DecodeCode(copy, TDecodeOptions{}).has_value();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}

void BM_FrameThroughDecoder(benchmark::State& state)
{
    const QImage frame = Frame(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
    TPictureDecoder decoder(TestDecoderLaunch());
    decoder.DecodeFrame(frame, TDecodeOptions{}); // the process started and the buffer shared
    bool found = false;
    for (auto _ : state) {
        found = decoder.DecodeFrame(frame, TDecodeOptions{}).has_value();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
    state.counters["starts"] = decoder.Process().Starts();
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    for (const bool code : {false, true}) {
        benchmark->Args({1280, 720, code});
        benchmark->Args({1920, 1080, code});
    }
    benchmark->ArgNames({"width", "height", "code"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_FrameInProcess)->Apply(Sizes);
BENCHMARK(BM_FrameThroughDecoder)->Apply(Sizes);

} // namespace

BENCHMARK_MAIN();

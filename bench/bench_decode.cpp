// Time of one DecodeBitmap call, grey plane included, on camera-sized pictures
// holding a QR code, an EAN-13 or no code, for Auto and for the code's own format.
//
//   build/bench/bench_decode --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "decode/DecodeBitmap.h"
#include "support/Samples.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

enum class Content { QrCode, Ean13, None };

QImage MakeScene(int width, int height, Content content)
{
    QImage code;
    if (content == Content::QrCode)
        code = LoadSample("qr_code.png").scaledToHeight(height / 3);
    else if (content == Content::Ean13)
        code = LoadSample("ean_13.png").scaledToWidth(width * 3 / 5);
    return SceneWithCode(width, height, code, width / 5, height / 4).convertToFormat(QImage::Format_BGR888);
}

void BM_DecodeBitmap(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto content = static_cast<Content>(state.range(2));
    const auto format = static_cast<TBarcodeFormat>(state.range(3));
    const QImage scene = MakeScene(width, height, content);

    bool found = false;
    for (auto _ : state) {
        QImage picture = scene; // shares the pixels; 24-bit already, so nothing is copied
        found = DecodeBitmap(picture, format).has_value();
        benchmark::DoNotOptimize(found);
    }
    if (found != (content != Content::None))
        state.SkipWithError("unexpected decode result");
}

void BM_GreyPlane(benchmark::State& state)
{
    const QImage scene = MakeScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), Content::None);
    auto grey = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(scene.width()) * scene.height());
    for (auto _ : state) {
        MakeGreyPlane(scene, grey.get());
        benchmark::ClobberMemory();
    }
}

void Sizes(benchmark::internal::Benchmark* b, Content content, TBarcodeFormat own)
{
    for (auto [w, h] : {std::pair{640, 480}, {1280, 720}, {1920, 1080}}) {
        b->Args({w, h, static_cast<long>(content), static_cast<long>(TBarcodeFormat::Auto)});
        b->Args({w, h, static_cast<long>(content), static_cast<long>(own)});
    }
}

BENCHMARK(BM_DecodeBitmap)
    ->Name("DecodeBitmap/QR")
    ->ArgNames({"w", "h", "content", "format"})
    ->Apply([](auto* b) { Sizes(b, Content::QrCode, TBarcodeFormat::QR_CODE); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBitmap)
    ->Name("DecodeBitmap/EAN13")
    ->ArgNames({"w", "h", "content", "format"})
    ->Apply([](auto* b) { Sizes(b, Content::Ean13, TBarcodeFormat::EAN_13); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBitmap)
    ->Name("DecodeBitmap/NoCode")
    ->ArgNames({"w", "h", "content", "format"})
    ->Apply([](auto* b) { Sizes(b, Content::None, TBarcodeFormat::QR_CODE); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreyPlane)->Args({640, 480})->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

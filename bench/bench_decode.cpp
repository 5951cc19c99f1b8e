// Time of one DecodeBitmap call, grey plane included, on camera-sized pictures
// holding a QR code, an EAN-13 or no code, for Auto and for the code's own
// format; of a frame without a code with and without the inverted retry; and
// of reading every code of a 12-megapixel photo against reading one.
//
//   build/bench/bench_decode --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "decode/DecodeBitmap.h"
#include "support/Samples.h"

#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

enum class TSceneContent { QrCode, Ean13, None };

QImage MakeScene(int width, int height, TSceneContent content)
{
    QImage code;
    if (content == TSceneContent::QrCode)
        code = LoadSample("qr_code.png").scaledToHeight(height / 3);
    else if (content == TSceneContent::Ean13)
        code = LoadSample("ean_13.png").scaledToWidth(width * 3 / 5);
    return SceneWithCode(width, height, code, width / 5, height / 4).convertToFormat(QImage::Format_BGR888);
}

void BM_DecodeBitmap(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto content = static_cast<TSceneContent>(state.range(2));
    const auto format = static_cast<TBarcodeFormat>(state.range(3));
    const QImage scene = MakeScene(width, height, content);

    bool found = false;
    for (auto _ : state) {
        QImage picture = scene; // shares the pixels; 24-bit already, so nothing is copied
        found = DecodeBitmap(picture, format).has_value();
        benchmark::DoNotOptimize(found);
    }
    if (found != (content != TSceneContent::None))
        state.SkipWithError("unexpected decode result");
}

void BM_GreyPlane(benchmark::State& state)
{
    const QImage scene =
        MakeScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), TSceneContent::None);
    auto grey = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(scene.width()) * scene.height());
    for (auto _ : state) {
        MakeGreyPlane(scene, grey.get());
        benchmark::ClobberMemory();
    }
}

void Sizes(benchmark::internal::Benchmark* b, TSceneContent content, TBarcodeFormat own)
{
    b->ArgNames({"w", "h", "content", "format"});
    for (auto [w, h] : {std::pair{640, 480}, {1280, 720}, {1920, 1080}}) {
        b->Args({w, h, static_cast<long>(content), static_cast<long>(TBarcodeFormat::Auto)});
        b->Args({w, h, static_cast<long>(content), static_cast<long>(own)});
    }
}

void QrSizes(benchmark::internal::Benchmark* b)
{
    Sizes(b, TSceneContent::QrCode, TBarcodeFormat::QR_CODE);
}
void Ean13Sizes(benchmark::internal::Benchmark* b)
{
    Sizes(b, TSceneContent::Ean13, TBarcodeFormat::EAN_13);
}
void NoCodeSizes(benchmark::internal::Benchmark* b)
{
    Sizes(b, TSceneContent::None, TBarcodeFormat::QR_CODE);
}

BENCHMARK(BM_DecodeBitmap)->Name("DecodeBitmap/QR")->Apply(QrSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBitmap)->Name("DecodeBitmap/EAN13")->Apply(Ean13Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBitmap)->Name("DecodeBitmap/NoCode")->Apply(NoCodeSizes)->Unit(benchmark::kMillisecond);
// A frame without a code: the retry on the inverted grey plane is the one
// extra decode it costs (inverted 0: off, 1: on).
void BM_DecodeInverted(benchmark::State& state)
{
    const QImage scene =
        MakeScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), TSceneContent::None);
    const TDecodeOptions options{.inverted = state.range(2) != 0};
    bool found = false;
    for (auto _ : state) {
        QImage picture = scene;
        found = DecodeBitmap(picture, options).has_value();
        benchmark::DoNotOptimize(found);
    }
    if (found)
        state.SkipWithError("a code in a frame without one");
}

BENCHMARK(BM_DecodeInverted)
    ->Name("DecodeBitmap/NoCode/Inverted")
    ->ArgNames({"w", "h", "inverted"})
    ->Args({1280, 720, 0})
    ->Args({1280, 720, 1})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMillisecond);

// A 12-megapixel photo (4000 x 3000) with several codes, placed where the
// readers look without trying harder. Mixed: two QR codes, a Data Matrix, an
// EAN-13 and a Code 128; a decode of one code ends with the linear readers.
// Matrix: three QR codes and a Data Matrix; a decode of one code runs the
// linear readers in vain, then the matrix readers.
enum class TPhoto { Mixed, Matrix };

const QImage& PhotoWithCodes(TPhoto kind)
{
    const auto make = [](TPhoto kind) {
        QImage scene = SceneWithCode(4000, 3000, QImage(), 0, 0);
        QPainter painter(&scene);
        const auto put = [&painter](const char* sample, int x, int y) {
            const QImage code = LoadSample(sample);
            painter.fillRect(x - 40, y - 40, code.width() + 80, code.height() + 80, Qt::white);
            painter.drawImage(x, y, code);
        };
        put("qr_code.png", 300, 300);
        put("data_matrix.png", 1700, 1300);
        put("qr_code.png", 3300, 2450);
        if (kind == TPhoto::Mixed) {
            put("ean_13.png", 2700, 1150);
            put("code_128.png", 300, 1750);
        } else {
            put("qr_code.png", 2900, 500);
        }
        painter.end();
        return scene.convertToFormat(QImage::Format_BGR888);
    };
    static const QImage kMixed = make(TPhoto::Mixed);
    static const QImage kMatrix = make(TPhoto::Matrix);
    return kind == TPhoto::Mixed ? kMixed : kMatrix;
}

// all 0: DecodeCode (one code, as without --all); 1: DecodeAllCodes.
void BM_DecodePhoto(benchmark::State& state)
{
    const auto kind = static_cast<TPhoto>(state.range(0));
    const QImage& photo = PhotoWithCodes(kind);
    const bool all = state.range(1) != 0;
    std::size_t found = 0;
    for (auto _ : state) {
        QImage picture = photo;
        found = all ? DecodeAllCodes(picture, {.format = TBarcodeFormat::Auto}).size()
                    : DecodeCode(picture, {.format = TBarcodeFormat::Auto}).has_value();
        benchmark::DoNotOptimize(found);
    }
    state.counters["codes"] = static_cast<double>(found);
    if (found != (all ? (kind == TPhoto::Mixed ? 5u : 4u) : 1u))
        state.SkipWithError("unexpected number of codes");
}

BENCHMARK(BM_DecodePhoto)
    ->Name("DecodePhoto12MP")
    ->ArgNames({"matrix_only", "all"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_GreyPlane)->Args({640, 480})->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

} // namespace

// The decode options, one code at a time: off, each on, all on (bits of
// "options": 1 inverted, 2 every format, 4 try harder), on a 1280 x 720 frame
// without a code (what the webcam decodes most of the time: every reader runs
// in vain) and on the mixed 12-megapixel photo.
enum class TOptionsScene { Frame720NoCode, Photo12Mp };

void BM_DecodeOptions(benchmark::State& state)
{
    const auto scene = static_cast<TOptionsScene>(state.range(0));
    const long bits = state.range(1);
    const TDecodeOptions options{
        .inverted = (bits & 1) != 0, .everyFormat = (bits & 2) != 0, .tryHarder = (bits & 4) != 0};
    const QImage picture = scene == TOptionsScene::Frame720NoCode ? MakeScene(1280, 720, TSceneContent::None)
                                                                  : PhotoWithCodes(TPhoto::Mixed);
    bool found = false;
    for (auto _ : state) {
        QImage copy = picture;
        found = DecodeCode(copy, options).has_value();
        benchmark::DoNotOptimize(found);
    }
    if (found != (scene == TOptionsScene::Photo12Mp))
        state.SkipWithError("unexpected decode result");
}

BENCHMARK(BM_DecodeOptions)
    ->Name("DecodeCode/Options")
    ->ArgNames({"scene", "options"})
    ->ArgsProduct({{static_cast<long>(TOptionsScene::Frame720NoCode), static_cast<long>(TOptionsScene::Photo12Mp)},
                   {0, 1, 2, 4, 6, 7}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

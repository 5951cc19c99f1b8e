// Speed of converting one camera sample into the frame bitmap, per sample
// format and frame size. Motion JPEG is measured through both decoders.
//
//   bench_conversion --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "capture/FrameConversion.h"
#include "capture/PixbufLoader.h"
#include "capture/SampleFormats.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

enum class TJpegPath { None, Libjpeg, Pixbuf };

// Something like a camera picture: a gradient, code-like blocks and sensor noise.
QImage ScenePicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(200, 180, 150));
    gradient.setColorAt(1, QColor(60, 70, 90));
    painter.fillRect(picture.rect(), gradient);
    std::mt19937 random(1);
    const int cell = std::max(4, height / 60);
    const int codeSide = 25 * cell;
    const QPoint origin((width - codeSide) / 2, (height - codeSide) / 2);
    painter.fillRect(QRect(origin - QPoint(2 * cell, 2 * cell), QSize(29 * cell, 29 * cell)), Qt::white);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 25; ++x)
            if (random() & 1)
                painter.fillRect(origin.x() + x * cell, origin.y() + y * cell, cell, cell, Qt::black);
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random() % 9) - 4;
            const QRgb c = row[x];
            row[x] = qRgb(std::clamp(qRed(c) + noise, 0, 255), std::clamp(qGreen(c) + noise, 0, 255),
                          std::clamp(qBlue(c) + noise, 0, 255));
        }
    }
    return picture;
}

std::vector<uint8_t> Sample(uint32_t fourCC, int width, int height)
{
    if (fourCC == FourCC::MJPG) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ScenePicture(width, height).save(&buffer, "JPG", 85);
        return std::vector<uint8_t>(jpeg.begin(), jpeg.end());
    }
    const size_t pixels = size_t(width) * height;
    size_t size = pixels * 3;
    if (fourCC == FourCC::YUY2)
        size = pixels * 2;
    else if (fourCC == FourCC::I420 || fourCC == FourCC::YV12)
        size = pixels * 3 / 2;
    std::vector<uint8_t> sample(size);
    std::mt19937 random(2);
    for (uint8_t& byte : sample)
        byte = uint8_t(random());
    return sample;
}

void BM_UnpackFrame(benchmark::State& state, uint32_t fourCC, bool gray, TJpegPath path)
{
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    if (path == TJpegPath::Pixbuf) {
        PixbufStartup();
        if (!PixbufAvailable()) {
            state.SkipWithError("GdkPixbuf with a JPEG decoder is not installed");
            return;
        }
    } else {
        PixbufShutdown();
    }
    const std::vector<uint8_t> sample = Sample(fourCC, width, height);
    TFrameConverter converter;
    converter.SetStreamFormat(width, height, fourCC);
    converter.SetGray8Bit(gray);
    for (auto _ : state) {
        if (converter.UnpackFrame(qsizetype(sample.size()), sample.data())
            != TFrameConverter::TUnpackResult::Converted) {
            state.SkipWithError("sample not converted");
            break;
        }
        benchmark::DoNotOptimize(converter.Bitmap().constBits());
        benchmark::DoNotOptimize(converter.BitmapGray().constBits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(width) * height);
    state.counters["sample_bytes"] = double(sample.size());
    PixbufShutdown();
}

void FrameSizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Args({640, 480})->Args({1280, 720})->Args({1920, 1080});
    benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_UnpackFrame, RGB_colour, FourCC::RGB, false, TJpegPath::None)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, RGB_gray, FourCC::RGB, true, TJpegPath::None)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, YUY2_colour, FourCC::YUY2, false, TJpegPath::None)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, YUY2_gray, FourCC::YUY2, true, TJpegPath::None)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, I420_colour, FourCC::I420, false, TJpegPath::None)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, I420_gray, FourCC::I420, true, TJpegPath::None)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, YV12_colour, FourCC::YV12, false, TJpegPath::None)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, MJPG_libjpeg_colour, FourCC::MJPG, false, TJpegPath::Libjpeg)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, MJPG_libjpeg_gray, FourCC::MJPG, true, TJpegPath::Libjpeg)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, MJPG_pixbuf_colour, FourCC::MJPG, false, TJpegPath::Pixbuf)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_UnpackFrame, MJPG_pixbuf_gray, FourCC::MJPG, true, TJpegPath::Pixbuf)->Apply(FrameSizes);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Writes the mixed folder that bench/scan-many-vs-zbarimg.sh times: every
// code format the program reads (the shipped samples), each as a small
// picture in every common picture file type and with modules of two sizes
// (2 and 3 pixels), plus a few
// camera-sized JPEG photos (1080p, 12 megapixels) with a code somewhere in a
// busy scene. The pictures are the same on every run.
//
//   make_scan_folder FOLDER
//
// Prints the number of pictures written.
#include "support/Samples.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <cstdio>

namespace {

// The samples and the size of their modules (narrowest bars) in pixels.
const struct {
    const char* name;
    int module;
} kCodes[] = {{"qr_code", 8}, {"data_matrix", 6}, {"ean_13", 3},  {"ean_8", 3},   {"upc_a", 3},
              {"upc_e", 3},   {"code_128", 3},    {"code_39", 3}, {"code_93", 3}, {"itf", 3}};

// Picture file types both programs read (PGM grey), with the writer's format name.
struct TFileType {
    const char* suffix;
    const char* format;
};
const TFileType kTypes[] = {{"png", "png"}, {"jpg", "jpeg"}, {"bmp", "bmp"},
                            {"pgm", "pgm"}, {"tif", "tiff"}, {"ppm", "ppm"}};

bool Write(const QImage& picture, const QString& path, const char* format, int quality = 90)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    if (writer.write(picture))
        return true;
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
    return false;
}

// The sample with modules of `module` pixels on a scene a little larger than the code.
QImage SmallPicture(const QImage& code, int sampleModule, int module)
{
    const QImage scaled =
        code.scaled(code.size() * module / sampleModule, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int margin = 30;
    return SceneWithCode(scaled.width() + 2 * margin, scaled.height() + 2 * margin, scaled, margin, margin);
}

// A photo-sized scene with the code, scaled, somewhat off its centre.
QImage LargePicture(const QImage& code, int width, int height, int scale)
{
    const QImage scaled = code.scaled(code.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int x = std::max(0, (width - scaled.width()) * 2 / 3), y = std::max(0, (height - scaled.height()) / 3);
    return SceneWithCode(width, height, scaled, x, y);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_scan_folder FOLDER\n", stderr);
        return 64;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder))
        return 1;

    int written = 0;
    for (const auto& [name, sampleModule] : kCodes) {
        const QImage code = LoadSample(QStringLiteral("%1.png").arg(QLatin1String(name)));
        for (int module : {2, 3}) {
            const QImage picture = SmallPicture(code, sampleModule, module).convertToFormat(QImage::Format_RGB888);
            for (const TFileType& type : kTypes) {
                const QString path = QStringLiteral("%1/%2_m%3.%4")
                                         .arg(folder, QLatin1String(name))
                                         .arg(module)
                                         .arg(QLatin1String(type.suffix));
                written += Write(picture, path, type.format);
            }
        }
    }

    const struct {
        const char* code;
        int width, height, scale;
    } kPhotos[] = {{"qr_code", 1920, 1080, 2},
                   {"ean_13", 1920, 1080, 2},
                   {"data_matrix", 1920, 1080, 2},
                   {"qr_code", 4000, 3000, 4},
                   {"code_128", 4000, 3000, 2}};
    int photo = 0;
    for (const auto& p : kPhotos) {
        const QImage code = LoadSample(QStringLiteral("%1.png").arg(QLatin1String(p.code)));
        const QString path = QStringLiteral("%1/photo%2_%3x%4_%5.jpg")
                                 .arg(folder)
                                 .arg(++photo)
                                 .arg(p.width)
                                 .arg(p.height)
                                 .arg(QLatin1String(p.code));
        written += Write(LargePicture(code, p.width, p.height, p.scale), path, "jpeg", 92);
    }
    std::printf("%d\n", written);
    return written == int(std::size(kCodes) * 2 * std::size(kTypes) + std::size(kPhotos)) ? 0 : 1;
}

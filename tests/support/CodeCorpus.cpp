#include "support/CodeCorpus.h"

#include "support/Samples.h"

#include <QBuffer>
#include <QPainter>
#include <QProcess>
#include <QTransform>

#include <array>

namespace {

// Contents as zint takes them; the texts as zxing-cpp answers them (EAN and
// UPC with their check digit, Codabar without its start and stop characters,
// DataBar Expanded with its application identifiers in parentheses).
const TCorpusCode kCodes[] = {
    {"qr_code", TBarcodeFormat::QR_CODE, 58, "Lantrix corpus QR", "Lantrix corpus QR", true},
    {"data_matrix", TBarcodeFormat::DATA_MATRIX, 71, "Lantrix corpus DM", "Lantrix corpus DM", true},
    {"ean_13", TBarcodeFormat::EAN_13, 13, "400638133393", "4006381333931", false},
    {"ean_13_add_on", TBarcodeFormat::EAN_13, 13, "400638133393+12", "4006381333931", false, "12"},
    {"ean_8", TBarcodeFormat::EAN_8, 13, "9638507", "96385074", false},
    {"upc_a", TBarcodeFormat::UPC_A, 34, "03600029145", "036000291452", false},
    {"upc_e", TBarcodeFormat::UPC_E, 37, "0425261", "04252614", false},
    {"code_128", TBarcodeFormat::CODE_128, 20, "LANTRIX-128", "LANTRIX-128", false},
    {"code_39", TBarcodeFormat::CODE_39, 8, "LANTRIX 39", "LANTRIX 39", false},
    {"code_93", TBarcodeFormat::CODE_93, 25, "LANTRIX93", "LANTRIX93", false},
    {"itf", TBarcodeFormat::ITF, 3, "12345678901231", "12345678901231", false},
    {"aztec", TBarcodeFormat::AZTEC, 92, "Lantrix corpus Aztec", "Lantrix corpus Aztec", true},
    {"codabar", TBarcodeFormat::CODABAR, 18, "A40156B", "40156", false},
    {"maxicode", TBarcodeFormat::MAXICODE, 57, "Lantrix corpus MaxiCode", "Lantrix corpus MaxiCode", true},
    {"pdf_417", TBarcodeFormat::PDF_417, 55, "Lantrix corpus PDF417", "Lantrix corpus PDF417", true},
    {"rss_14", TBarcodeFormat::RSS_14, 29, "0950110153001", "09501101530010", false},
    {"rss_limited", TBarcodeFormat::RSS_LIMITED, 30, "0950110153001", "09501101530010", false},
    {"rss_expanded", TBarcodeFormat::RSS_EXPANDED, 31, "[01]98898765432106[15]991231", "(01)98898765432106(15)991231",
     false},
    {"micro_qr", TBarcodeFormat::MICRO_QR, 97, "LANTRIX12", "LANTRIX12", true},
    {"msi", TBarcodeFormat::MSI, 47, "1234567", "1234567", false},
    {"plessey", TBarcodeFormat::PLESSEY, 86, "1234567", "1234567", false},
};

constexpr TCorpusLayout kLayouts[] = {
    TCorpusLayout::Upright, TCorpusLayout::Turned90,  TCorpusLayout::Turned180,    TCorpusLayout::Turned270,
    TCorpusLayout::Skewed,  TCorpusLayout::OffCentre, TCorpusLayout::SmallModules, TCorpusLayout::Photo,
};

// Pixels a module: linear codes 3, matrix codes 6; small modules 1 and 2.
int ModuleOf(const TCorpusCode& code, bool small)
{
    return code.matrix ? (small ? 2 : 6) : (small ? 1 : 3);
}

// `picture` in the middle of a white picture with `margin` pixels around it.
QImage OnWhite(const QImage& picture, int margin)
{
    QImage canvas(picture.width() + 2 * margin, picture.height() + 2 * margin, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(margin, margin, picture);
    return canvas;
}

} // namespace

std::span<const TCorpusCode> CorpusCodes()
{
    return kCodes;
}

std::span<const TCorpusLayout> CorpusLayouts()
{
    return kLayouts;
}

const char* CorpusLayoutName(TCorpusLayout layout)
{
    switch (layout) {
    case TCorpusLayout::Upright: return "upright";
    case TCorpusLayout::Turned90: return "turned90";
    case TCorpusLayout::Turned180: return "turned180";
    case TCorpusLayout::Turned270: return "turned270";
    case TCorpusLayout::Skewed: return "skewed";
    case TCorpusLayout::OffCentre: return "off_centre";
    case TCorpusLayout::SmallModules: return "small_modules";
    case TCorpusLayout::Photo: return "photo";
    }
    return "";
}

QString CorpusPictureName(const TCorpusCode& code, TCorpusLayout layout)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(code.name), QLatin1String(CorpusLayoutName(layout)));
}

QImage ZintPicture(const TCorpusCode& code, int pixelsPerModule)
{
    // zint's scale 0.5 draws a module as one pixel.
    QStringList arguments{QStringLiteral("--direct"),
                          QStringLiteral("--filetype=PNG"),
                          QStringLiteral("--notext"),
                          QStringLiteral("--whitesp=10"),
                          QStringLiteral("--vwhitesp=10"),
                          QStringLiteral("--barcode=%1").arg(code.zintSymbology),
                          QStringLiteral("--scale=%1").arg(pixelsPerModule / 2.0),
                          QStringLiteral("--data=%1").arg(QLatin1String(code.data))};
    // A square Data Matrix code, as most are; zint would choose an oblong one.
    if (code.format == TBarcodeFormat::DATA_MATRIX)
        arguments << QStringLiteral("--square");
    // Application identifiers in brackets: a GS1 code. GS1-128 and the
    // DataBar codes are GS1 codes by their symbology; QR and Data Matrix
    // codes are told.
    const bool matrix = code.format == TBarcodeFormat::DATA_MATRIX || code.format == TBarcodeFormat::QR_CODE;
    if (matrix && code.data[0] == '[')
        arguments << QStringLiteral("--gs1");
    QProcess zint;
    zint.start(QStringLiteral("zint"), arguments);
    // zint's exit codes below 5 are warnings; the picture is written.
    if (!zint.waitForFinished(60000) || zint.exitStatus() != QProcess::NormalExit || zint.exitCode() >= 5)
        return QImage();
    return QImage::fromData(zint.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_RGB32);
}

QImage CorpusPicture(const TCorpusCode& code, TCorpusLayout layout)
{
    const QImage drawn = ZintPicture(code, ModuleOf(code, layout == TCorpusLayout::SmallModules));
    if (drawn.isNull())
        return drawn;
    const auto turned = [&drawn](qreal degrees) {
        return drawn.transformed(QTransform().rotate(degrees), Qt::SmoothTransformation);
    };
    switch (layout) {
    case TCorpusLayout::Upright:
    case TCorpusLayout::SmallModules: return OnWhite(drawn, 40);
    case TCorpusLayout::Turned90: return OnWhite(turned(90), 40);
    case TCorpusLayout::Turned180: return OnWhite(turned(180), 40);
    case TCorpusLayout::Turned270: return OnWhite(turned(270), 40);
    // Turned by 20 degrees; the corners the turn uncovers are transparent, white on the canvas.
    case TCorpusLayout::Skewed: return OnWhite(turned(20), 40);
    case TCorpusLayout::OffCentre: {
        // In the top left corner of a 1920 x 1080 picture, away from its
        // middle rows and columns.
        QImage canvas(std::max(1920, drawn.width() + 60), std::max(1080, drawn.height() + 60), QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter(&canvas).drawImage(30, 30, drawn);
        return canvas;
    }
    case TCorpusLayout::Photo: {
        // On a busy 1280 x 720 scene, stored as a JPEG photo is.
        const QImage scene =
            SceneWithCode(std::max(1280, drawn.width() + 400), std::max(720, drawn.height() + 300), drawn, 256, 180);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        scene.save(&buffer, "JPG", 85);
        return QImage::fromData(jpeg, "JPG").convertToFormat(QImage::Format_RGB32);
    }
    }
    return drawn;
}

#include "support/TestCameras.h"

#include "capture/CameraSources.h"

#include <utility>

namespace {

constexpr TTestCameraFormat kAllFormats[] = {TTestCameraFormat::YUY2,  TTestCameraFormat::I420, TTestCameraFormat::YV12,
                                             TTestCameraFormat::BGR,   TTestCameraFormat::JPEG, TTestCameraFormat::RGB,
                                             TTestCameraFormat::GRAY8, TTestCameraFormat::NV12};

QString RawCaps(const QString& format, int width, int height)
{
    return QStringLiteral("video/x-raw,format=%1,width=%2,height=%3,pixel-aspect-ratio=1/1")
        .arg(format)
        .arg(width)
        .arg(height);
}

// A caps filter as an element: a bin description may not end in bare caps.
QString CapsFilter(const QString& caps)
{
    return QStringLiteral("capsfilter caps=\"%1\"").arg(caps);
}

// The part that turns raw frames of the given size into the camera's output
// format: a caps filter, or an encoder for motion JPEG.
QString OutputStage(TTestCameraFormat format, int width, int height)
{
    const QString rate = QStringLiteral(",framerate=30/1");
    if (format == TTestCameraFormat::JPEG)
        return RawCaps(QStringLiteral("I420"), width, height) + rate + QStringLiteral(" ! jpegenc ! ")
               + CapsFilter(QStringLiteral("image/jpeg,width=%1,height=%2").arg(width).arg(height) + rate);
    return CapsFilter(RawCaps(TestCameraFormatName(format), width, height) + rate);
}

QString Quoted(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString TestCameraFormatName(TTestCameraFormat format)
{
    switch (format) {
    case TTestCameraFormat::YUY2: return QStringLiteral("YUY2");
    case TTestCameraFormat::I420: return QStringLiteral("I420");
    case TTestCameraFormat::YV12: return QStringLiteral("YV12");
    case TTestCameraFormat::BGR: return QStringLiteral("BGR");
    case TTestCameraFormat::JPEG: return QStringLiteral("MJPG");
    case TTestCameraFormat::RGB: return QStringLiteral("RGB");
    case TTestCameraFormat::GRAY8: return QStringLiteral("GRAY8");
    case TTestCameraFormat::NV12: return QStringLiteral("NV12");
    }
    return {};
}

QString TestPatternDescription(TTestCameraFormat format, int width, int height, const QString& pattern)
{
    return QStringLiteral("videotestsrc is-live=true pattern=%1 ! ").arg(pattern) + OutputStage(format, width, height);
}

QString StillPictureDescription(const QString& pngPath, TTestCameraFormat format, int width, int height)
{
    // The picture is scaled and framed once; imagefreeze then repeats the
    // finished frame (the JPEG encoder runs per frame, as a camera's would).
    const int side = qMax(2, qMin(width, height) * 9 / 10 & ~1);
    const int left = (width - side) / 2, right = width - side - left;
    const int top = (height - side) / 2, bottom = height - side - top;
    const QString rawFormat = format == TTestCameraFormat::JPEG ? QStringLiteral("I420") : TestCameraFormatName(format);
    QString description =
        QStringLiteral("filesrc location=%1 ! pngdec ! videoconvert ! videoscale method=nearest-neighbour ! "
                       "video/x-raw,width=%2,height=%2,pixel-aspect-ratio=1/1 ! "
                       "videobox fill=white left=%3 right=%4 top=%5 bottom=%6 ! videoconvert ! ")
            .arg(Quoted(pngPath))
            .arg(side)
            .arg(-left)
            .arg(-right)
            .arg(-top)
            .arg(-bottom);
    description += RawCaps(rawFormat, width, height) + QStringLiteral(" ! imagefreeze is-live=true ! ");
    if (format == TTestCameraFormat::JPEG)
        description +=
            QStringLiteral("video/x-raw,framerate=30/1 ! jpegenc ! ")
            + CapsFilter(QStringLiteral("image/jpeg,width=%1,height=%2,framerate=30/1").arg(width).arg(height));
    else
        description += CapsFilter(QStringLiteral("video/x-raw,framerate=30/1"));
    return description;
}

QString TestPatternCameraName(TTestCameraFormat format, int width, int height)
{
    return QStringLiteral("Test Pattern %1x%2 %3").arg(width).arg(height).arg(TestCameraFormatName(format));
}

QString QrCodeCameraName(TTestCameraFormat format, int width, int height)
{
    return QStringLiteral("QR Code %1x%2 %3").arg(width).arg(height).arg(TestCameraFormatName(format));
}

void RegisterStandardTestCameras(const QString& qrCodePngPath)
{
    const QList<TCameraSource> present = TCameraSources::Added();
    auto addOnce = [&](const QString& name, const QString& description) {
        for (const TCameraSource& camera : present)
            if (camera.name == name)
                return;
        TCameraSources::Add(name, description);
    };
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{1280, 720}}) {
        for (TTestCameraFormat format : kAllFormats) {
            addOnce(TestPatternCameraName(format, width, height), TestPatternDescription(format, width, height));
            addOnce(QrCodeCameraName(format, width, height),
                    StillPictureDescription(qrCodePngPath, format, width, height));
        }
    }
}

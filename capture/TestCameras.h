// Test cameras: extra capture devices, each a display name and a GStreamer
// pipeline description of a live source, listed after the real cameras. Tests
// and benchmarks register them; nothing in the user interface does.
#pragma once

#include <QList>
#include <QString>

struct TTestCamera {
    QString Name;
    QString Description; // gst-launch syntax; its one unlinked source pad is the camera's output
};

class TestCameras {
public:
    // Appends a camera; several cameras may share a name.
    static void add(const QString& name, const QString& description);
    // Removes every camera of that name.
    static void remove(const QString& name);
    static void clear();
    // Snapshot in registration order.
    static QList<TTestCamera> list();
};

// Sample formats the standard test cameras deliver. RGB (red first), GRAY8
// and NV12 are formats the frame conversion does not read itself.
enum class TTestCameraFormat { YUY2, I420, YV12, BGR, JPEG, RGB, GRAY8, NV12 };

// "YUY2", "I420", "YV12", "BGR", "MJPG", "RGB", "GRAY8", "NV12".
QString TestCameraFormatName(TTestCameraFormat format);

// A moving (or, with pattern "smpte", still) test picture of videotestsrc,
// 30 frames per second, square pixels.
QString TestPatternDescription(TTestCameraFormat format, int width, int height,
                               const QString& pattern = QStringLiteral("ball"));

// A still picture from a PNG file, scaled with square pixels to nine tenths of
// the frame height and centred on white, repeated 30 times per second.
QString StillPictureDescription(const QString& pngPath, TTestCameraFormat format, int width, int height);

// Names of the standard set: "Test Pattern 640x480 YUY2", "QR Code 1280x720 MJPG", ...
QString TestPatternCameraName(TTestCameraFormat format, int width, int height);
QString QrCodeCameraName(TTestCameraFormat format, int width, int height);

// Registers the moving pattern and the still QR code picture in every format
// at 640x480 and 1280x720 (32 cameras) unless they are registered already.
void RegisterStandardTestCameras(const QString& qrCodePngPath);

// Test cameras for the tests and benchmarks: live GStreamer sources of known
// pictures in known formats, registered as camera sources (TCameraSources::Add)
// and so listed after the real cameras.
#pragma once

#include <QString>

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

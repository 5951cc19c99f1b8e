// The video input devices: the system's cameras (GStreamer's device monitor,
// class "Video/Source") followed by the registered test cameras.
#pragma once

#include "capture/ResultCodes.h"

#include <gst/gst.h>

#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

struct TCaptureDevice {
    QString Name;                       // display name as the system gives it (untrimmed)
    std::shared_ptr<GstDevice> Device;  // a real camera; empty for a test camera
    QString Description;                // a test camera's pipeline description
    QString NodePath;                   // the V4L2 device node, when known

    // A new source element for this device; nullptr on failure (with the reason in error).
    GstElement* CreateSource(QString* error = nullptr) const;
    // The capabilities the device announces without being opened; nullptr when unknown.
    GstCaps* AnnouncedCaps() const;
};

// All devices in enumeration order: the monitor's order, then the test cameras.
std::vector<TCaptureDevice> ListCaptureDevices();

// Clears the list and fills it with the display names of all devices, as read
// (untrimmed, duplicates kept). Result S_OK.
HRESULT EnumCaptureDevices(QStringList& list);

// The name with leading and trailing blanks and control characters removed.
QString TrimDeviceName(const QString& name);

// Upper case of the letters a to z only; every other character unchanged.
QString AsciiUpper(const QString& text);

// The device selection rule: a device's trimmed name equal, up to the case of a
// to z, to the trimmed request; or a request of "#" and the device's position
// digit (1 to 9). A blank request means "#1". Gives the index of the first
// match, or -1, and the selected device's trimmed name.
int FindCaptureDevice(const QStringList& names, const QString& requested, QString& deviceSelected);

// The video input devices: the system's cameras (GStreamer's device providers,
// class "Video/Source"), then the camera sources (those of cameras.ini, then
// the added ones).
#pragma once

#include "capture/ResultCodes.h"

#include <gst/gst.h>

#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

struct TCaptureDevice {
    QString name;                      // display name as the system gives it (untrimmed)
    std::shared_ptr<GstDevice> device; // a real camera; empty for a source described in text
    QString description;               // a camera source's pipeline description
    QString nodePath;                  // the V4L2 device node, when known (V4L2NodePath)

    // A new source element for this device; nullptr on failure (with the
    // reason in error). A description may end in caps, which fix the
    // output's format. descriptionInvalid: set when the failure is the
    // description's own (it does not parse, or has no output).
    GstElement* CreateSource(QString* error = nullptr, bool* descriptionInvalid = nullptr) const;
    // The capabilities the device announces without being opened; nullptr when unknown.
    GstCaps* AnnouncedCaps() const;
};

// All devices in enumeration order: the system's cameras (ListSystemCameras,
// DeviceProviders.h, which waits for each device provider up to its time
// limit; a window lists them through TCameraListing instead), then the camera
// sources (TCameraSources::List).
// Cameras reached through PipeWire are listed by its provider (package
// gstreamer1.0-pipewire); once PipeWire shows a V4L2 camera, that provider
// hides Video4Linux's, so each camera is listed once, whether PipeWire runs
// or not.
std::vector<TCaptureDevice> ListCaptureDevices();

// The system's cameras of an earlier listing followed by the camera sources
// as they are now (cameras.ini read anew).
std::vector<TCaptureDevice> WithCameraSources(std::vector<TCaptureDevice> cameras);

// The devices' names as a list to pick from (NumberedDeviceNames).
QStringList CaptureDeviceNames(const std::vector<TCaptureDevice>& devices);

// The V4L2 device node named in a device's properties, as either provider
// gives it; empty when there is none (the camera then has no image controls).
QString V4L2NodePath(const GstStructure* properties);

// Clears the list and fills it with the names of all devices, in enumeration
// order (CaptureDeviceNames of ListCaptureDevices). Result S_OK.
HRESULT EnumCaptureDevices(QStringList& list);

// The device names as a list to pick from: each name as read (untrimmed),
// except that the second and later devices of one name (one name for the
// selection rule: trimmed, the case of a to z ignored) are written as the
// trimmed name, " #" and their number among the devices of that name
// ("Cam", "Cam #2", "Cam #3"), so that every entry selects its own device.
QStringList NumberedDeviceNames(const QStringList& names);

// The name with leading and trailing blanks and control characters removed.
QString TrimDeviceName(const QString& name);

// Upper case of the letters a to z only; every other character unchanged.
QString AsciiUpper(const QString& text);

// The device selection rule: a device's trimmed name equal, up to the case of a
// to z, to the trimmed request; or a request of "#" and the device's position
// digit (1 to 9). A blank request means "#1". When no device matches so, a
// request "Name #N" selects the N-th device of that name (as the device list
// writes the later devices of one name). Gives the index of the first match,
// or -1, and the selected device's trimmed name.
int FindCaptureDevice(const QStringList& names, const QString& requested, QString& deviceSelected);

// What a camera can be set to: its list of stream capabilities and its image
// controls (brightness, contrast, ...), read and written through the V4L2
// controls of the device node.
#pragma once

#include "capture/ResultCodes.h"

#include <gst/gst.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

class TVideoSample;
class QObject;

// ---------------------------------------------------------------------------
// Capability list

// One usable capability of the camera: a fixed size in one sample format.
struct TFormatInfo {
    int Width = 0;
    int Height = 0;
    std::uint32_t SSize = 0;          // bytes of one raw sample; 0 for motion JPEG
    int OIndex = 0;                   // index of the caps structure it came from
    QByteArray Caps;                  // caps text selecting exactly this capability
    std::array<char, 4> FourCC{};     // "YUY2", "I420", "YV12", "MJPG", "RGB " for 24-bit BGR

    // "W*H  (FOURCC)", e.g. "640*480  (YUY2)".
    QString Text() const;
};

// The usable capabilities of caps (raw video of fixed size, or motion JPEG of
// fixed size; a structure listing several raw formats gives one entry per
// format), sorted by width and then height, equal sizes in caps order.
std::vector<TFormatInfo> FormatListFromCaps(const GstCaps* caps);

// ---------------------------------------------------------------------------
// Image controls

// TVideoProperty: the image controls by number.
enum TVideoProperty : std::uint8_t {
    VP_Brightness = 0,
    VP_Contrast = 1,
    VP_Hue = 2,
    VP_Saturation = 3,
    VP_Sharpness = 4,
    VP_Gamma = 5,
    VP_ColorEnable = 6,
    VP_WhiteBalance = 7,
    VP_BacklightCompensation = 8,
    VP_Gain = 9,
};
inline constexpr int kVideoPropertyCount = 10;

// Flags of an image control: automatic or manual control.
inline constexpr std::int32_t VideoProcAmp_Flags_Auto = 1;
inline constexpr std::int32_t VideoProcAmp_Flags_Manual = 2;

// English name of a property ("Brightness", ..., "Gain").
QString VideoPropertyName(int prop);

// Range of one raw control.
struct TControlRange {
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Step = 0;
    std::int32_t Default = 0;
};

// Raw controls of one camera by V4L2 control identifier.
class TImageControls {
public:
    virtual ~TImageControls() = default;
    virtual HRESULT Query(std::uint32_t id, TControlRange& range) = 0;
    virtual HRESULT Get(std::uint32_t id, std::int32_t& value) = 0;
    virtual HRESULT Set(std::uint32_t id, std::int32_t value) = 0;
};

// The controls of a V4L2 device node; nullptr when it cannot be opened.
std::unique_ptr<TImageControls> OpenV4L2Controls(const QString& nodePath);

// Raw range, flags and value of a property (GetVideoPropAmpEx). Without
// controls: 1. flags: the current mode (Auto or Manual).
HRESULT GetVideoPropAmpEx(TImageControls* controls, int prop, std::int32_t& min, std::int32_t& max, std::int32_t& step,
                          std::int32_t& defaultValue, std::int32_t& flags, std::int32_t& value);
// Whether the property can be put under automatic control.
bool VideoPropertyHasAuto(TImageControls* controls, int prop);
// Writes a property: Auto in flags switches automatic control on (the value is
// not used); otherwise automatic control goes off and the value is written.
HRESULT SetVideoPropAmpEx(TImageControls* controls, int prop, std::int32_t flags, std::int32_t value);
// Current value in percent of the range, -1 when it cannot be read.
void GetVideoPropAmpPercent(TImageControls* controls, int prop, int& acPerCent);
// Writes a percentage; outside 0..100 the default value.
void SetVideoPropAmpPercent(TImageControls* controls, int prop, int acPerCent);

// The percentage arithmetic. Rounding to nearest, ties to even. A range whose
// maximum is not above its minimum gives 0 percent and the minimum; step 0
// means no quantisation.
int PercentFromRaw(std::int32_t value, std::int32_t min, std::int32_t max);
std::int32_t RawFromPercent(int acPerCent, const TControlRange& range);

// The front-end's reading and writing of an image control. capture may be
// nullptr (no capture running). AutoMode is true when the control is under
// automatic control.
HRESULT GetVideoPropertySettings(TVideoSample* capture, int VP, int& MinVal, int& MaxVal, int& StepSize, int& Default,
                                 int& Actual, bool& AutoMode);
HRESULT SetVideoPropertySettings(TVideoSample* capture, int VP, int Actual, bool AutoMode);

// ---------------------------------------------------------------------------
// Dialogs

// The dialogs of the camera, provided by the widget library
// (InstallCameraDialogs in capture/widgets/CameraDialogs.h).
class TCameraDialogs {
public:
    virtual ~TCameraDialogs() = default;
    // Modal dialog over the image controls.
    virtual HRESULT ShowImageControls(TImageControls& controls, const QString& caption, QObject* owner) = 0;
    // Modal choice among the capability list: the chosen index, or -1.
    virtual int PickCapability(const QStringList& entries, int current, QObject* owner) = 0;
};

void SetCameraDialogs(TCameraDialogs* dialogs);
TCameraDialogs* CameraDialogs();

// A camera's image controls (brightness, contrast, ...), read and written
// through the V4L2 controls of its device node, and their percentages.
#pragma once

#include "capture/ResultCodes.h"

#include <cstdint>
#include <memory>
#include <span>

#include <QString>

// TVideoProperty: the image controls by number, which is their row in
// VideoProperties(). The numbers and the rows are checked against each other
// when the table is compiled.
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

// One image control: its number, English name, the V4L2 control that holds
// its value (0: V4L2 has none) and the one that switches its automatic mode
// (0: none).
struct TVideoPropertyInfo {
    TVideoProperty property;
    const char* name;
    std::uint32_t controlId;
    std::uint32_t autoControlId;
};

// Every image control, row n describing property n.
std::span<const TVideoPropertyInfo> VideoProperties();

// The row of a property number; nullptr when there is no such property.
const TVideoPropertyInfo* VideoPropertyInfo(int prop);

// Flags of an image control: automatic or manual control.
inline constexpr std::int32_t VideoProcAmp_Flags_Auto = 1;
inline constexpr std::int32_t VideoProcAmp_Flags_Manual = 2;

// English name of a property ("Brightness", ..., "Gain").
QString VideoPropertyName(int prop);

// Range of one raw control.
struct TControlRange {
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t step = 0;
    std::int32_t defaultValue = 0;
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

#include "capture/ImageControls.h"

#include "capture/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <utility>

namespace {

// The image controls. A property is added with one row here and its number
// in TVideoProperty.
constexpr TVideoPropertyInfo kVideoProperties[] = {
    {VP_Brightness, "Brightness", V4L2_CID_BRIGHTNESS, V4L2_CID_AUTOBRIGHTNESS},
    {VP_Contrast, "Contrast", V4L2_CID_CONTRAST, 0},
    {VP_Hue, "Hue", V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {VP_Saturation, "Saturation", V4L2_CID_SATURATION, 0},
    {VP_Sharpness, "Sharpness", V4L2_CID_SHARPNESS, 0},
    {VP_Gamma, "Gamma", V4L2_CID_GAMMA, 0},
    {VP_ColorEnable, "Color Enable", 0, 0}, // V4L2 has no such control
    {VP_WhiteBalance, "White Balance", V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
    {VP_BacklightCompensation, "Backlight Compensation", V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {VP_Gain, "Gain", V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
};

constexpr bool RowsInPropertyOrder()
{
    for (std::size_t i = 0; i < std::size(kVideoProperties); ++i)
        if (kVideoProperties[i].property != i)
            return false;
    return true;
}
static_assert(RowsInPropertyOrder(), "row n of the image controls must describe property n");

class TV4L2Controls final : public TImageControls {
public:
    explicit TV4L2Controls(TFileDescriptor fd)
        : fFd(std::move(fd))
    {
    }

    HRESULT Query(std::uint32_t id, TControlRange& range) override
    {
        v4l2_queryctrl query{};
        query.id = id;
        if (Ioctl(VIDIOC_QUERYCTRL, &query) < 0)
            return HResultFromErrno(errno);
        if (query.flags & V4L2_CTRL_FLAG_DISABLED)
            return E_PROP_ID_UNSUPPORTED;
        range = {query.minimum, query.maximum, query.step, query.default_value};
        return S_OK;
    }

    HRESULT Get(std::uint32_t id, std::int32_t& value) override
    {
        v4l2_control control{id, 0};
        if (Ioctl(VIDIOC_G_CTRL, &control) < 0)
            return HResultFromErrno(errno);
        value = control.value;
        return S_OK;
    }

    HRESULT Set(std::uint32_t id, std::int32_t value) override
    {
        v4l2_control control{id, value};
        return Ioctl(VIDIOC_S_CTRL, &control) < 0 ? HResultFromErrno(errno) : S_OK;
    }

private:
    int Ioctl(unsigned long request, void* argument)
    {
        int result;
        do
            result = ::ioctl(fFd.Get(), request, argument);
        while (result < 0 && errno == EINTR);
        return result;
    }

    TFileDescriptor fFd;
};

bool IsAuto(TImageControls& controls, std::uint32_t autoId)
{
    std::int32_t on = 0;
    return autoId && Succeeded(controls.Get(autoId, on)) && on != 0;
}

} // namespace

std::span<const TVideoPropertyInfo> VideoProperties()
{
    return kVideoProperties;
}

const TVideoPropertyInfo* VideoPropertyInfo(int prop)
{
    return prop >= 0 && prop < static_cast<int>(std::size(kVideoProperties)) ? &kVideoProperties[prop] : nullptr;
}

QString VideoPropertyName(int prop)
{
    const TVideoPropertyInfo* info = VideoPropertyInfo(prop);
    return info ? QString::fromLatin1(info->name) : QString();
}

std::unique_ptr<TImageControls> OpenV4L2Controls(const QString& nodePath)
{
    TFileDescriptor fd(::open(nodePath.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return nullptr;
    return std::make_unique<TV4L2Controls>(std::move(fd));
}

// The control behind an image property: S_OK, or 1 without controls, or the
// failure for a property that is out of range or that V4L2 lacks.
static HRESULT FindControl(TImageControls* controls, int prop, const TVideoPropertyInfo*& control)
{
    if (!controls)
        return S_FALSE;
    control = VideoPropertyInfo(prop);
    if (!control)
        return E_INVALIDARG;
    return control->controlId ? S_OK : E_PROP_ID_UNSUPPORTED;
}

HRESULT GetVideoPropAmpEx(TImageControls* controls, int prop, std::int32_t& min, std::int32_t& max, std::int32_t& step,
                          std::int32_t& defaultValue, std::int32_t& flags, std::int32_t& value)
{
    const TVideoPropertyInfo* control = nullptr;
    if (const HRESULT hr = FindControl(controls, prop, control); hr != S_OK)
        return hr;
    TControlRange range;
    const HRESULT hr = controls->Query(control->controlId, range);
    min = range.min;
    max = range.max;
    step = range.step;
    defaultValue = value = range.defaultValue;
    flags = VideoProcAmp_Flags_Manual | (VideoPropertyHasAuto(controls, prop) ? VideoProcAmp_Flags_Auto : 0);
    if (hr != S_OK)
        return hr;
    const HRESULT read = controls->Get(control->controlId, value);
    flags = IsAuto(*controls, control->autoControlId) ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual;
    return read;
}

bool VideoPropertyHasAuto(TImageControls* controls, int prop)
{
    const TVideoPropertyInfo* info = VideoPropertyInfo(prop);
    TControlRange range;
    return controls && info && info->autoControlId && Succeeded(controls->Query(info->autoControlId, range));
}

HRESULT SetVideoPropAmpEx(TImageControls* controls, int prop, std::int32_t flags, std::int32_t value)
{
    const TVideoPropertyInfo* control = nullptr;
    if (const HRESULT hr = FindControl(controls, prop, control); hr != S_OK)
        return hr;
    if (flags & VideoProcAmp_Flags_Auto)
        return control->autoControlId ? controls->Set(control->autoControlId, 1) : E_INVALIDARG;
    // The manual value is read-only while the camera controls it itself.
    if (IsAuto(*controls, control->autoControlId))
        if (const HRESULT hr = controls->Set(control->autoControlId, 0); Failed(hr))
            return hr;
    return controls->Set(control->controlId, value);
}

int PercentFromRaw(std::int32_t value, std::int32_t min, std::int32_t max)
{
    if (max <= min)
        return 0;
    const double quotient =
        static_cast<double>((std::int64_t{value} - min) * 100) / static_cast<double>(std::int64_t{max} - min);
    return static_cast<int>(std::clamp(std::nearbyint(quotient), double{INT_MIN}, double{INT_MAX}));
}

std::int32_t RawFromPercent(int acPerCent, const TControlRange& range)
{
    if (acPerCent < 0 || acPerCent > 100)
        return range.defaultValue;
    if (range.max <= range.min)
        return range.min;
    // span x percent / 100 is exact in a double, so ties round to even as meant.
    const std::int64_t span = std::int64_t{range.max} - range.min;
    auto v = static_cast<std::int64_t>(std::nearbyint(static_cast<double>(span * acPerCent) / 100.0));
    if (range.step != 0)
        v = v / range.step * range.step;
    return static_cast<std::int32_t>(range.min + v);
}

void GetVideoPropAmpPercent(TImageControls* controls, int prop, int& acPerCent)
{
    std::int32_t min = 0, max = 0, step = 0, defaultValue = 0, flags = 0, value = 0;
    if (GetVideoPropAmpEx(controls, prop, min, max, step, defaultValue, flags, value) != S_OK) {
        acPerCent = -1;
        return;
    }
    acPerCent = PercentFromRaw(value, min, max);
}

void SetVideoPropAmpPercent(TImageControls* controls, int prop, int acPerCent)
{
    TControlRange range;
    std::int32_t flags = 0, value = 0;
    if (GetVideoPropAmpEx(controls, prop, range.min, range.max, range.step, range.defaultValue, flags, value) != S_OK)
        return;
    SetVideoPropAmpEx(controls, prop, flags, RawFromPercent(acPerCent, range));
}

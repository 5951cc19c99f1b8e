// Image controls of a pretend camera, keyed by V4L2 control identifier, that
// records every write. Header only: the capture tests include it.
#pragma once

#include "capture/ImageControls.h"

#include <cerrno>
#include <map>
#include <utility>
#include <vector>

class TFakeImageControls : public TImageControls {
public:
    struct TControl {
        TControlRange range;
        std::int32_t value;
    };
    using TWrite = std::pair<std::uint32_t, std::int32_t>;

    std::map<std::uint32_t, TControl> controls;
    std::vector<TWrite> writes;

    HRESULT Query(std::uint32_t id, TControlRange& range) override
    {
        const TControl* control = Find(id);
        if (!control)
            return HResultFromErrno(EINVAL);
        range = control->range;
        return S_OK;
    }

    HRESULT Get(std::uint32_t id, std::int32_t& value) override
    {
        const TControl* control = Find(id);
        if (!control)
            return HResultFromErrno(EINVAL);
        value = control->value;
        return S_OK;
    }

    HRESULT Set(std::uint32_t id, std::int32_t value) override
    {
        TControl* control = Find(id);
        if (!control)
            return HResultFromErrno(EINVAL);
        writes.emplace_back(id, value);
        control->value = value;
        return S_OK;
    }

private:
    TControl* Find(std::uint32_t id)
    {
        const auto it = controls.find(id);
        return it == controls.end() ? nullptr : &it->second;
    }
};

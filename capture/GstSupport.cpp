#include "capture/GstSupport.h"

#include <mutex>

void EnsureGStreamer()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

QString TakeGErrorMessage(GError* error)
{
    const TGErrorPtr owned(error);
    return owned ? QString::fromUtf8(owned->message ? owned->message : "") : QString();
}

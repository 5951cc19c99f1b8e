#include "capture/GstSupport.h"

#include <mutex>

void EnsureGStreamer()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

QString TakeGErrorMessage(GError* error)
{
    if (!error)
        return {};
    QString text = QString::fromUtf8(error->message ? error->message : "");
    g_error_free(error);
    return text;
}

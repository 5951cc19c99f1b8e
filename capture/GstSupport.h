// Small helpers around GStreamer: one-time initialisation and owning pointers.
#pragma once

#include <gst/gst.h>

#include <memory>

#include <QString>

// Initialises GStreamer once per process; later calls do nothing.
void EnsureGStreamer();

struct GstObjectUnref {
    void operator()(gpointer object) const
    {
        if (object)
            gst_object_unref(object);
    }
};
template <class T>
using GstObjectPtr = std::unique_ptr<T, GstObjectUnref>;

struct GstCapsUnref {
    void operator()(GstCaps* caps) const
    {
        if (caps)
            gst_caps_unref(caps);
    }
};
using GstCapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;

// The text of a GError, which is freed.
QString TakeGErrorMessage(GError* error);

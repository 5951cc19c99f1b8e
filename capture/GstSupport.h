// Small helpers around GStreamer: one-time initialisation and owning pointers
// to the GLib and GStreamer objects the capture holds, each freed the way its
// kind is freed.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

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

struct GstSampleUnref {
    void operator()(GstSample* sample) const
    {
        if (sample)
            gst_sample_unref(sample);
    }
};
using GstSamplePtr = std::unique_ptr<GstSample, GstSampleUnref>;

struct GstStructureFree {
    void operator()(GstStructure* structure) const
    {
        if (structure)
            gst_structure_free(structure);
    }
};
using GstStructurePtr = std::unique_ptr<GstStructure, GstStructureFree>;

struct GstVideoInfoFree {
    void operator()(GstVideoInfo* info) const
    {
        if (info)
            gst_video_info_free(info);
    }
};
using GstVideoInfoPtr = std::unique_ptr<GstVideoInfo, GstVideoInfoFree>;

// A string GLib allocated (gst_caps_to_string, gst_device_get_display_name, ...).
struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

struct GErrorFree {
    void operator()(GError* error) const
    {
        if (error)
            g_error_free(error);
    }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

// The text of a GError, which is freed.
QString TakeGErrorMessage(GError* error);

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

// Drops a reference to any GStreamer object; nothing for nullptr (a
// shared_ptr calls it for that too).
struct GstObjectUnref {
    void operator()(gpointer object) const
    {
        if (object)
            gst_object_unref(object);
    }
};
template <class T>
using GstObjectPtr = std::unique_ptr<T, GstObjectUnref>;

// Frees each of the other kinds the capture owns the way that kind is freed.
struct GFreeByKind {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
    void operator()(GstStructure* structure) const { gst_structure_free(structure); }
    void operator()(GstVideoInfo* info) const { gst_video_info_free(info); }
    void operator()(GError* error) const { g_error_free(error); }
    void operator()(gchar* text) const { g_free(text); }
};
using GstCapsPtr = std::unique_ptr<GstCaps, GFreeByKind>;
using GstSamplePtr = std::unique_ptr<GstSample, GFreeByKind>;
using GstStructurePtr = std::unique_ptr<GstStructure, GFreeByKind>;
using GstVideoInfoPtr = std::unique_ptr<GstVideoInfo, GFreeByKind>;
using GErrorPtr = std::unique_ptr<GError, GFreeByKind>;
using GCharPtr = std::unique_ptr<gchar, GFreeByKind>; // a string GLib allocated

// The text of a GError, which is freed.
QString TakeGErrorMessage(GError* error);

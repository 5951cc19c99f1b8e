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
struct TGstObjectUnref {
    void operator()(gpointer object) const
    {
        if (object)
            gst_object_unref(object);
    }
};
template <class T>
using TGstObjectPtr = std::unique_ptr<T, TGstObjectUnref>;

// Frees each of the other kinds the capture owns the way that kind is freed.
struct TGFreeByKind {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
    void operator()(GstStructure* structure) const { gst_structure_free(structure); }
    void operator()(GstVideoInfo* info) const { gst_video_info_free(info); }
    void operator()(GError* error) const { g_error_free(error); }
    void operator()(gchar* text) const { g_free(text); }
};
using TGstCapsPtr = std::unique_ptr<GstCaps, TGFreeByKind>;
using TGstSamplePtr = std::unique_ptr<GstSample, TGFreeByKind>;
using TGstStructurePtr = std::unique_ptr<GstStructure, TGFreeByKind>;
using TGstVideoInfoPtr = std::unique_ptr<GstVideoInfo, TGFreeByKind>;
using TGErrorPtr = std::unique_ptr<GError, TGFreeByKind>;
using TGCharPtr = std::unique_ptr<gchar, TGFreeByKind>; // a string GLib allocated

// The text of a GError, which is freed.
QString TakeGErrorMessage(GError* error);

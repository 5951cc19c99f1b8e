// Hands every captured sample, in the layout the frame conversion expects, to
// the sample callback. Runs on GStreamer's streaming thread.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include "capture/EventConnection.h"
#include "capture/GstSupport.h"
#include "capture/ResultCodes.h"

#include <cstdint>
#include <vector>

// The format of the samples handed on: width, height and FourCC (0 for
// 24-bit RGB, else "YUY2", "I420", "YV12", "MJPG", ... as little-endian
// numbers).
struct TSampleFormat {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint32_t FourCC = 0;

    bool operator==(const TSampleFormat&) const = default;
};

// The format of samples of these caps. A format that is neither raw video nor
// JPEG gives 0 x 0 and 0 with S_OK; no caps (or empty ones): E_FAIL.
HRESULT SampleFormatFromCaps(const GstCaps* caps, TSampleFormat& format);

// The sample callback: a routine and the object it works on, always set and
// read as one. pb is valid only during the call; Size is the byte count (a
// change the routine makes to it is not used afterwards). FormatRoutine, when
// set, is told the format of the samples that follow, on the same thread,
// before the first sample the callback gets and before every sample whose
// format differs from the one told last.
struct TVideoSampleCallBack {
    using TRoutine = void (*)(void* target, const std::uint8_t* pb, int& Size);
    using TFormatRoutine = void (*)(void* target, const TSampleFormat& format);

    void* Target = nullptr;
    TRoutine Routine = nullptr;
    TFormatRoutine FormatRoutine = nullptr;

    bool Assigned() const { return Routine != nullptr; }
    explicit operator bool() const { return Assigned(); }

    // A callback that calls target->*Method(pb, Size) and, when given,
    // target->*FormatMethod(format), e.g.
    // TVideoSampleCallBack::Bind<&TVideoImage::CopyFrameToRing>(this).
    template <auto Method, auto FormatMethod = nullptr, class T>
    static TVideoSampleCallBack Bind(T* target)
    {
        TVideoSampleCallBack callBack{target, [](void* object, const std::uint8_t* pb, int& size) {
                                          (static_cast<T*>(object)->*Method)(pb, size);
                                      }};
        if constexpr (FormatMethod != nullptr)
            callBack.FormatRoutine = [](void* object, const TSampleFormat& format) {
                (static_cast<T*>(object)->*FormatMethod)(format);
            };
        return callBack;
    }
};

// The bytes of one sample as the sample callback gets them, in the layout the
// frame conversion reads (kSampleFormats' families, rows without padding):
// raw BGR bottom-up, W x 3 bytes a row; packed YUV 4:2:2 (W div 2) x 4 bytes
// a row; planar YUV 4:2:0 the W x H luma plane, then the two (W div 2) x
// (H div 2) chroma planes at W x H and W x H + (W x H) div 4. GStreamer pads
// rows and planes to its strides (a row of a 369-pixel-wide BGR frame takes
// 1108 bytes, not 1107); such a sample is read by the strides and offsets of
// its buffer (its video meta, else the caps' video info) and copied into that
// layout. A sample already in it, and one of any other format (motion JPEG),
// is handed on as it came, without a copy. Valid while the object lives.
class TSampleBytes {
public:
    // layout: the caps' video info of a raw video sample; nullptr for any
    // other (it is then handed on as it came). scratch takes a copied sample.
    TSampleBytes(GstBuffer* buffer, const GstVideoInfo* layout, std::vector<std::uint8_t>& scratch);
    ~TSampleBytes();
    TSampleBytes(const TSampleBytes&) = delete;
    TSampleBytes& operator=(const TSampleBytes&) = delete;

    // nullptr and 0 when the sample could not be read.
    const std::uint8_t* Data() const { return fData; }
    std::size_t Size() const { return fSize; }

    // True for caps whose samples are handed on bottom-up (raw BGR).
    static bool FlipsRows(const GstVideoInfo& layout);

private:
    GstBuffer* fMapped = nullptr;
    GstMapInfo fMap{};
    const std::uint8_t* fData = nullptr;
    std::size_t fSize = 0;
};

class TSampleDelivery {
public:
    TSampleDelivery() = default;
    TSampleDelivery(const TSampleDelivery&) = delete;
    TSampleDelivery& operator=(const TSampleDelivery&) = delete;

    // Sets the callback for the next sample; it is called while the
    // connection lives. When this returns, and when the connection is
    // dropped, a call of the previous callback that was under way has ended.
    // Neither may be done from inside the callback.
    [[nodiscard]] TEventConnection SetCallBack(const TVideoSampleCallBack& callBack);
    // Takes the callback off, as its connection would.
    void ClearCallBack();

    // One sample from the appsink, in the layout TSampleBytes describes.
    // Copies nothing of a sample already in that layout.
    void Deliver(GstSample* sample);

private:
    void AdoptCaps(GstCaps* caps);

    TSharedEventHandler<TVideoSampleCallBack> fCallBack; // runs under its lock

    // Streaming-thread state: the layout of the current caps.
    TGstCapsPtr fCaps;
    bool fRawVideo = false; // fInfo describes the caps
    TGstVideoInfoPtr fInfo;
    TSampleFormat fFormat;
    std::vector<std::uint8_t> fScratch;
    TSampleFormat fToldFormat;       // what the callback's FormatRoutine was told last ...
    std::uint64_t fToldCallBack = 0; // ... and which callback (its generation) was told
};

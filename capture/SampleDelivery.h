// Hands every captured sample, in the layout the frame conversion expects, to
// the sample callback. Runs on GStreamer's streaming thread.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdint>
#include <mutex>
#include <vector>

// The sample callback: a routine and the object it works on, always set and
// read as one. pb is valid only during the call; Size is the byte count (a
// change the routine makes to it is not used afterwards).
struct TVideoSampleCallBack {
    using TRoutine = void (*)(void* target, const std::uint8_t* pb, int& Size);

    void* Target = nullptr;
    TRoutine Routine = nullptr;

    bool Assigned() const { return Routine != nullptr; }

    // A callback that calls target->*Method(pb, Size), e.g.
    // TVideoSampleCallBack::Bind<&TVideoImage::CopyFrameToRing>(this).
    template <auto Method, class T>
    static TVideoSampleCallBack Bind(T* target)
    {
        return {target, [](void* object, const std::uint8_t* pb, int& size) { (static_cast<T*>(object)->*Method)(pb, size); }};
    }
};

// The bytes of one sample as the sample callback gets them: raw BGR
// bottom-up (rows in reverse order, each row as long as GStreamer's stride),
// every other format as it came. Valid while the object lives.
class TSampleBytes {
public:
    // flipLayout: the layout of BGR samples, whose rows are reversed into
    // scratch; nullptr for every other format, which is mapped as it is.
    TSampleBytes(GstBuffer* buffer, const GstVideoInfo* flipLayout, std::vector<std::uint8_t>& scratch);
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
    ~TSampleDelivery();
    TSampleDelivery(const TSampleDelivery&) = delete;
    TSampleDelivery& operator=(const TSampleDelivery&) = delete;

    // Sets the callback for the next sample. When it returns, a call of the
    // previous callback that was under way has ended. Must not be called from
    // inside the callback.
    void SetCallBack(const TVideoSampleCallBack& callBack);
    TVideoSampleCallBack CallBack() const;

    // One sample from the appsink. Raw BGR is handed on bottom-up (rows in
    // reverse order, each row as long as GStreamer's stride); every other
    // format as it came. Copies nothing else.
    void Deliver(GstSample* sample);

private:
    void AdoptCaps(GstCaps* caps);

    mutable std::mutex fLock; // held while the callback runs
    TVideoSampleCallBack fCallBack;

    // Streaming-thread state: the layout of the current caps.
    GstCaps* fCaps = nullptr;
    bool fFlipRows = false;
    GstVideoInfo* fInfo = nullptr;
    std::vector<std::uint8_t> fFlipped;
};

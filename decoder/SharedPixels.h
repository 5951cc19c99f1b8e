// Pixels in shared memory (memfd): a picture goes from one process to the
// other without a copy through the socket between them.
#pragma once

#include "capture/FileDescriptor.h"
#include "decoder/DecoderProtocol.h"

#include <QImage>
#include <QList>

#include <cstddef>

// Shared memory holding a copy of `picture`'s pixels, sealed so that it can
// never change or shrink under a reader. Raises std::bad_alloc when the
// memory cannot be had.
TFileDescriptor SharePixels(const QImage& picture);

// The pixels of `layout` at the start of `memory`, mapped read-only; the
// mapping lives as long as the picture and its copies. A null picture when
// the memory is shorter or cannot be mapped.
QImage MappedPixels(int memory, const TPixelLayout& layout);

// The picture in `memory` (from SharePixels, from the other side), mapped
// read-only: a null picture unless the memory is sealed against writes and
// shrinking and holds the pixels of `layout`. The mapping lives as long as
// the picture and its copies; `colors` is the colour table of an indexed
// format.
QImage MapSharedPixels(int memory, const TPixelLayout& layout, const QList<QRgb>& colors = {});

// A mapping of shared memory, unmapped when its owner goes.
class TSharedMapping {
public:
    TSharedMapping() = default;
    ~TSharedMapping();
    TSharedMapping(TSharedMapping&& other) noexcept;
    TSharedMapping& operator=(TSharedMapping&& other) noexcept;
    TSharedMapping(const TSharedMapping&) = delete;
    TSharedMapping& operator=(const TSharedMapping&) = delete;

    // Maps `size` bytes of `memory`, for writing too when `writable`; false
    // when the memory is shorter or cannot be mapped.
    bool Map(int memory, std::size_t size, bool writable);
    void Reset();

    unsigned char* Data() const { return fData; }
    std::size_t Size() const { return fSize; }

private:
    unsigned char* fData = nullptr;
    std::size_t fSize = 0;
};

// The frames of a camera on their way to the decoder process: one buffer of
// shared memory that both keep mapped, made anew (under a new id) only when
// a frame needs more room.
class TFrameBuffer {
public:
    // Copies `frame`'s pixels in; false when the memory cannot be had.
    bool Put(const QImage& frame);

    int Memory() const { return fMemory.Get(); }
    quint64 Id() const { return fId; }
    const TPixelLayout& Layout() const { return fLayout; }

private:
    TFileDescriptor fMemory;
    TSharedMapping fMapping;
    quint64 fId = 0;
    TPixelLayout fLayout;
};

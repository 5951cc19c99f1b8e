#include "decoder/SharedPixels.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace {

constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;

// Shared memory of `size` bytes; invalid when it cannot be had.
TFileDescriptor MakeMemory(const char* name, std::size_t size)
{
    TFileDescriptor memory(::memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (memory.Valid() && ::ftruncate(memory.Get(), static_cast<off_t>(size)) != 0)
        memory.Reset();
    return memory;
}

std::size_t MemorySize(int memory)
{
    struct stat status = {};
    if (::fstat(memory, &status) != 0 || status.st_size < 0)
        return 0;
    return static_cast<std::size_t>(status.st_size);
}

} // namespace

TSharedMapping::~TSharedMapping()
{
    Reset();
}

TSharedMapping::TSharedMapping(TSharedMapping&& other) noexcept
    : fData(std::exchange(other.fData, nullptr))
    , fSize(std::exchange(other.fSize, 0))
{
}

TSharedMapping& TSharedMapping::operator=(TSharedMapping&& other) noexcept
{
    if (this != &other) {
        Reset();
        fData = std::exchange(other.fData, nullptr);
        fSize = std::exchange(other.fSize, 0);
    }
    return *this;
}

bool TSharedMapping::Map(int memory, std::size_t size, bool writable)
{
    Reset();
    if (size == 0 || MemorySize(memory) < size)
        return false;
    void* data = ::mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, memory, 0);
    if (data == MAP_FAILED)
        return false;
    fData = static_cast<unsigned char*>(data);
    fSize = size;
    return true;
}

void TSharedMapping::Reset()
{
    if (fData)
        ::munmap(fData, fSize);
    fData = nullptr;
    fSize = 0;
}

TFileDescriptor SharePixels(const QImage& picture)
{
    const std::size_t size = static_cast<std::size_t>(picture.sizeInBytes());
    TFileDescriptor memory = MakeMemory("lantrix-picture", size);
    TSharedMapping mapping;
    if (!memory.Valid() || !mapping.Map(memory.Get(), size, true))
        throw std::bad_alloc();
    std::memcpy(mapping.Data(), picture.constBits(), size);
    mapping.Reset(); // no writable mapping may stay for the write seal
    if (::fcntl(memory.Get(), F_ADD_SEALS, kSeals) != 0)
        throw std::bad_alloc();
    return memory;
}

QImage MappedPixels(int memory, const TPixelLayout& layout)
{
    const qint64 bytes = PixelBytes(layout);
    auto mapping = std::make_unique<TSharedMapping>();
    if (bytes <= 0 || !mapping->Map(memory, static_cast<std::size_t>(bytes), false))
        return QImage();
    // Read-only memory: a change to the picture makes a copy of it.
    QImage picture(
        static_cast<const uchar*>(mapping->Data()), layout.width, layout.height,
        static_cast<qsizetype>(layout.bytesPerLine), static_cast<QImage::Format>(layout.format),
        [](void* info) { delete static_cast<TSharedMapping*>(info); }, mapping.get());
    if (!picture.isNull())
        mapping.release(); // the picture's cleanup unmaps it
    return picture;
}

QImage MapSharedPixels(int memory, const TPixelLayout& layout, const QList<QRgb>& colors)
{
    // Memory that the other side could still shrink would end this process
    // (SIGBUS) on the next read of a page it took away.
    const int seals = ::fcntl(memory, F_GET_SEALS);
    if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_WRITE)) != (F_SEAL_SHRINK | F_SEAL_WRITE))
        return QImage();
    QImage picture = MappedPixels(memory, layout);
    if (picture.isNull())
        return picture;
    if (picture.format() == QImage::Format_Indexed8 || picture.format() == QImage::Format_Mono
        || picture.format() == QImage::Format_MonoLSB) {
        // A pixel names an entry of the table: the table has them all.
        const int needed = picture.format() == QImage::Format_Indexed8 ? 256 : 2;
        QList<QRgb> table = colors.mid(0, needed);
        while (table.size() < needed)
            table.append(qRgb(0, 0, 0));
        picture.setColorTable(table);
    }
    return picture;
}

bool TFrameBuffer::Put(const QImage& frame)
{
    if (frame.colorCount() > 0)
        return Put(frame.convertToFormat(QImage::Format_RGB32)); // frames go without a colour table
    const TPixelLayout layout = LayoutOf(frame);
    const qint64 bytes = PixelBytes(layout);
    if (bytes <= 0)
        return false;
    if (!fMapping.Data() || fMapping.Size() < static_cast<std::size_t>(bytes)) {
        static std::atomic<quint64> lastId{0};
        fMapping.Reset();
        fMemory = MakeMemory("lantrix-frame", static_cast<std::size_t>(bytes));
        if (!fMemory.Valid() || !fMapping.Map(fMemory.Get(), static_cast<std::size_t>(bytes), true)) {
            fMemory.Reset();
            fId = 0;
            return false;
        }
        fId = ++lastId;
    }
    std::memcpy(fMapping.Data(), frame.constBits(), static_cast<std::size_t>(bytes));
    fLayout = layout;
    return true;
}

#include "capture/PixbufLoader.h"

#include "capture/GrayBitmap.h"

#include <dlfcn.h>

#include <cstring>
#include <utility>

namespace {

// The few GLib and GdkPixbuf types the loader touches, declared here because
// the library is bound at run time and its headers are not used.
struct GError {
    uint32_t domain;
    int code;
    char* message;
};
struct GSList {
    void* data;
    GSList* next;
};
using gboolean = int;
constexpr int kInsufficientMemory = 1; // GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY

struct TPixbufApi {
    void* (*loader_new)();
    void* (*loader_new_with_type)(const char* imageType, GError** error);
    gboolean (*loader_write)(void* loader, const uint8_t* buffer, size_t count, GError** error);
    gboolean (*loader_close)(void* loader, GError** error);
    void* (*loader_get_pixbuf)(void* loader);
    void (*loader_set_size)(void* loader, int width, int height);
    unsigned long (*signal_connect_data)(void* instance, const char* signal, void (*handler)(), void* data,
                                         void (*destroyData)(void*, void*), int flags);
    int (*get_width)(const void* pixbuf);
    int (*get_height)(const void* pixbuf);
    int (*get_rowstride)(const void* pixbuf);
    int (*get_n_channels)(const void* pixbuf);
    int (*get_bits_per_sample)(const void* pixbuf);
    const uint8_t* (*read_pixels)(const void* pixbuf);
    GSList* (*get_formats)();
    char* (*format_get_name)(void* format);
    void (*object_unref)(void* object);
    void (*error_free)(GError* error);
    void (*slist_free)(GSList* list);
    void (*free)(void* memory);
};

struct TPixbufBinding {
    void* handle = nullptr;
    TPixbufApi api{};
};

TPixbufBinding binding;

template <typename Function>
bool Bind(void* handle, Function& function, const char* name)
{
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

bool BindAll(void* handle, TPixbufApi& api)
{
    // GLib's functions come from the library's own dependencies, which dlsym
    // searches through the same handle.
    return Bind(handle, api.loader_new, "gdk_pixbuf_loader_new")
           && Bind(handle, api.loader_new_with_type, "gdk_pixbuf_loader_new_with_type")
           && Bind(handle, api.loader_write, "gdk_pixbuf_loader_write")
           && Bind(handle, api.loader_close, "gdk_pixbuf_loader_close")
           && Bind(handle, api.loader_get_pixbuf, "gdk_pixbuf_loader_get_pixbuf")
           && Bind(handle, api.loader_set_size, "gdk_pixbuf_loader_set_size")
           && Bind(handle, api.signal_connect_data, "g_signal_connect_data")
           && Bind(handle, api.get_width, "gdk_pixbuf_get_width")
           && Bind(handle, api.get_height, "gdk_pixbuf_get_height")
           && Bind(handle, api.get_rowstride, "gdk_pixbuf_get_rowstride")
           && Bind(handle, api.get_n_channels, "gdk_pixbuf_get_n_channels")
           && Bind(handle, api.get_bits_per_sample, "gdk_pixbuf_get_bits_per_sample")
           && Bind(handle, api.read_pixels, "gdk_pixbuf_read_pixels")
           && Bind(handle, api.get_formats, "gdk_pixbuf_get_formats")
           && Bind(handle, api.format_get_name, "gdk_pixbuf_format_get_name")
           && Bind(handle, api.object_unref, "g_object_unref") && Bind(handle, api.error_free, "g_error_free")
           && Bind(handle, api.slist_free, "g_slist_free") && Bind(handle, api.free, "g_free");
}

// Camera frames are JPEG pictures: a library without a JPEG decoder is of no use.
bool CanDecodeJpeg(const TPixbufApi& api)
{
    GSList* formats = api.get_formats();
    bool found = false;
    for (GSList* item = formats; item && !found; item = item->next) {
        char* name = api.format_get_name(item->data);
        found = name && std::strcmp(name, "jpeg") == 0;
        api.free(name);
    }
    api.slist_free(formats);
    return found;
}

// The size bound of one load. The loader announces the picture's size
// ("size-prepared") once it has read the header and before it makes room for
// the pixels; a size of 0 x 0 asked for then makes every loader stop there
// with an error.
struct TSizeGuard {
    int64_t maxPixels;
    bool refused;
};

void OnSizePrepared(void* loader, int width, int height, void* data)
{
    auto* guard = static_cast<TSizeGuard*>(data);
    if (guard->maxPixels > 0 && int64_t(width) * int64_t(height) > guard->maxPixels) {
        guard->refused = true;
        binding.api.loader_set_size(loader, 0, 0);
    }
}

int StatusOf(GError* error)
{
    const int status = error ? kPixbufErrorBase + error->code : kPixbufNoPicture;
    if (error)
        binding.api.error_free(error);
    return status;
}

// Copies the decoded pixels (RGB or RGBA rows, 8 bits per sample, rows of
// their own stride) into target in the program's colour or gray form.
bool CopyPixels(const TPixbufApi& api, const void* pixbuf, QImage& target, bool gray)
{
    const int width = api.get_width(pixbuf);
    const int height = api.get_height(pixbuf);
    const int stride = api.get_rowstride(pixbuf);
    const int channels = api.get_n_channels(pixbuf);
    const uint8_t* pixels = api.read_pixels(pixbuf);

    QImage result;
    if (gray)
        MakeGrayBitmap(result, width, height);
    else
        result = QImage(width, height, QImage::Format_BGR888);
    if (result.isNull())
        return false;

    uint8_t* bits = result.bits();
    const qsizetype bytesPerLine = result.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = pixels + qsizetype(y) * stride;
        uint8_t* row = bits + y * bytesPerLine;
        if (gray) {
            for (int x = 0; x < width; ++x, source += channels)
                row[x] = NearestGray(source[0], source[1], source[2]);
        } else {
            for (int x = 0; x < width; ++x, source += channels, row += 3) {
                row[0] = source[2];
                row[1] = source[1];
                row[2] = source[0];
            }
        }
    }
    target = std::move(result);
    return true;
}

} // namespace

void PixbufStartup(const char* libraryName)
{
    PixbufShutdown();
    // RTLD_NODELETE: the library registers GObject types, which cannot be
    // registered a second time after an unload and a new bind.
    void* handle = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle)
        return;
    TPixbufApi api{};
    if (!BindAll(handle, api) || !CanDecodeJpeg(api)) {
        dlclose(handle);
        return;
    }
    binding.handle = handle;
    binding.api = api;
}

void PixbufShutdown()
{
    if (binding.handle)
        dlclose(binding.handle);
    binding = TPixbufBinding{};
}

bool PixbufAvailable()
{
    return binding.handle != nullptr;
}

int LoadBitmapFromMemory(const uint8_t* data, qsizetype size, QImage* target, bool gray, int64_t maxPixels,
                         const char* type)
{
    if (!PixbufAvailable())
        return kPixbufNotAvailable;
    if (!target)
        return kPixbufNoTarget;
    const TPixbufApi& api = binding.api;

    void* loader = nullptr;
    if (type) {
        GError* error = nullptr;
        loader = api.loader_new_with_type(type, &error);
        if (!loader)
            return StatusOf(error);
    } else {
        loader = api.loader_new();
    }
    if (!loader)
        return kPixbufNoPicture;
    TSizeGuard guard{maxPixels, false};
    api.signal_connect_data(loader, "size-prepared", reinterpret_cast<void (*)()>(OnSizePrepared), &guard, nullptr, 0);
    GError* error = nullptr;
    GError* closeError = nullptr;
    bool decoded = size > 0 && api.loader_write(loader, data, size_t(size), &error);
    // The loader is closed in every case; after a failed write the close only
    // repeats the failure, and the first error is the one reported.
    decoded = api.loader_close(loader, &closeError) && decoded;
    if (!error)
        error = std::exchange(closeError, nullptr);
    if (closeError)
        api.error_free(closeError);

    int status = kPixbufNoPicture;
    if (guard.refused) {
        status = kPixbufTooLarge;
        if (error)
            api.error_free(error);
    } else if (!decoded) {
        status = StatusOf(error);
    } else {
        const void* pixbuf = api.loader_get_pixbuf(loader);
        if (pixbuf && api.get_bits_per_sample(pixbuf) == 8 && api.get_n_channels(pixbuf) >= 3)
            status = CopyPixels(api, pixbuf, *target, gray) ? kPixbufOk : kPixbufErrorBase + kInsufficientMemory;
    }
    api.object_unref(loader);
    return status;
}

int LoadBitmapFromStream(const QByteArray& stream, QImage* target)
{
    const bool gray = target && target->format() == QImage::Format_Indexed8;
    return LoadBitmapFromMemory(reinterpret_cast<const uint8_t*>(stream.constData()), stream.size(), target, gray);
}

int LoadBitmapFromStream(const QByteArray& stream, QImage& target)
{
    return LoadBitmapFromStream(stream, &target);
}

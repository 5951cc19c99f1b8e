// Picture loader over GdkPixbuf, bound at run time.
//
// The program starts and works without GdkPixbuf: the library is opened with
// dlopen and its functions are looked up by name. PixbufStartup runs once at
// program start, before the main window exists, PixbufShutdown once at the
// end. In between, LoadBitmapFromStream decodes a picture held in memory
// (motion-JPEG camera frames) into a bitmap. Used on the GUI thread only.
#pragma once

#include <QByteArray>
#include <QImage>

// The library that PixbufStartup binds by default.
inline constexpr const char* kPixbufLibraryName = "libgdk_pixbuf-2.0.so.0";

// Result codes of LoadBitmapFromStream.
enum : int {
    kPixbufOk = 0,
    kPixbufNotAvailable = -1,
    kPixbufNoTarget = 6,
    // The picture declares more pixels than the caller takes.
    kPixbufTooLarge = 98,
    // The library could not decode the stream and gave no error code.
    kPixbufNoPicture = 99,
    // The library reported an error: this base plus its GdkPixbufError code
    // (100 corrupt image, 101 insufficient memory, 103 unknown type, ...).
    kPixbufErrorBase = 100,
};

// Opens libraryName, looks up every function the loader needs and checks that
// the library can decode JPEG. On any failure the library is released again
// and counts as not available; nothing is reported. Calling it while a
// library is bound releases that one first.
void PixbufStartup(const char* libraryName = kPixbufLibraryName);

// Releases the library bound by PixbufStartup. Harmless when none is bound.
void PixbufShutdown();

// True between a successful PixbufStartup and PixbufShutdown.
bool PixbufAvailable();

// Decodes the picture in stream (JPEG or any other format the library knows)
// into target. target gets the picture's width and height: when it is an
// 8-bit indexed bitmap it becomes the gray form (256 gray palette entries,
// every colour mapped to its nearest gray), otherwise a 24-bit
// Format_BGR888 bitmap. A stream that cannot be decoded leaves target as it was.
// Result: kPixbufOk, kPixbufNotAvailable, kPixbufNoTarget (target is null),
// or a decode failure (kPixbufNoPicture, kPixbufErrorBase + code).
int LoadBitmapFromStream(const QByteArray& stream, QImage* target);
int LoadBitmapFromStream(const QByteArray& stream, QImage& target);
// Same over a raw memory block; gray chooses the form target gets (the
// stream overloads choose it by target's pixel format), so that an empty
// bitmap can receive a gray picture too. A picture whose header declares more
// than maxPixels pixels (0: no bound) is refused as soon as the library has
// read its size, before it sets aside memory for the pixels: kPixbufTooLarge,
// target as it was. `type` names the one loader of the library to decode
// with ("jpeg"); without it the library chooses by the content.
int LoadBitmapFromMemory(const uint8_t* data, qsizetype size, QImage* target, bool gray, int64_t maxPixels = 0,
                         const char* type = nullptr);

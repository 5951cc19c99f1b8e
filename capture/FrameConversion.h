// Conversion of raw camera samples into the program's frame bitmaps.
//
// A sample arrives in the camera's own format, one of kSampleFormats
// (SampleFormats.h): uncompressed 24-bit RGB (rows bottom-up), packed YUV
// 4:2:2, planar YUV 4:2:0 or motion JPEG. UnpackFrame turns it into
// Bitmap() (24-bit Format_BGR888, top row first) or, in gray mode, into
// BitmapGray() (8-bit gray form). YUV is converted with the BT.601
// limited-range transform in 8-bit fixed point through lookup tables built
// once per object. Samples of other formats, and samples whose byte count does
// not fit the stream's size, are answered with a two-line message drawn into
// Bitmap().
//
// Used on the GUI thread only. The message is drawn only while a
// QGuiApplication exists (text needs its fonts); otherwise it is only
// recorded (LastMessage).
#pragma once

#include "capture/JpegDecoder.h"
#include "capture/SampleFormats.h"

#include <QByteArray>
#include <QImage>
#include <QStringList>

#include <cstdint>
#include <span>

class TFrameConverter {
public:
    // What UnpackFrame did with a sample.
    enum class TUnpackResult {
        NoSample,  // no sample address: nothing done, the frame stays not unpacked
        Converted, // the picture was converted (or handed to the picture loader)
        Message,   // the sample could not be converted: the message was drawn
        Failed,    // conversion failed without a message: the frame stays not unpacked
    };

    // Builds the gray weight tables and the YUV tables.
    TFrameConverter();
    TFrameConverter(const TFrameConverter&) = delete;
    TFrameConverter& operator=(const TFrameConverter&) = delete;

    // Sets the stream's format, gives Bitmap() the 24-bit form of width x
    // height (black) and BitmapGray() the gray form of that size.
    // A width or height of 0 or less, or a frame larger than kMaxFramePixels,
    // leaves both bitmaps empty; every sample then gives the message (which
    // an empty bitmap cannot show).
    void SetStreamFormat(int32_t width, int32_t height, uint32_t fourCC);

    // Converts one sample of n bytes at address into Bitmap(), or into
    // BitmapGray() in gray mode. The sample is never read beyond its n bytes.
    TUnpackResult UnpackFrame(qsizetype n, const uint8_t* address);

    // True when UnpackFrame dealt with its sample (converted it, or drew the
    // message), so that the sample need not be converted again.
    static bool Unpacked(TUnpackResult result)
    {
        return result == TUnpackResult::Converted || result == TUnpackResult::Message;
    }

    // The running stream's format, as SetStreamFormat set it.
    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    uint32_t FourCC() const { return fFourCC; }

    // Gray mode; a change takes effect at the next conversion.
    bool Gray8Bit() const { return fGray8Bit; }
    void SetGray8Bit(bool value) { fGray8Bit = value; }

    // The pictures: the 24-bit one, the gray one, and the one of the current
    // mode (the gray one in gray mode).
    const QImage& Bitmap() const { return fBitmap; }
    const QImage& BitmapGray() const { return fBitmapGray; }
    const QImage& CurrentBitmap() const { return fGray8Bit ? fBitmapGray : fBitmap; }

    // Paints all of Bitmap() in one colour, as a picture shown before the
    // next conversion (which may leave parts of it).
    void FillBitmap(const QColor& colour) { fBitmap.fill(colour); }

    // True when a sample of n bytes fits a W x H stream of the given format
    // (always true for motion JPEG; false for formats that are not converted).
    static bool SampleSizeFits(uint32_t fourCC, int32_t width, int32_t height, qsizetype n);

    // Builds the YUV tables once; later calls return at once.
    void PrepareConversionTables();

    // Gives bitmap the gray form of width x height (see GrayBitmap.h).
    static void PrepareGrayBitmap(QImage& bitmap, int width, int height);

    // Gray copy of any bitmap: an 8-bit bitmap is copied as it is; otherwise
    // bmGray gets bm24's size in the gray form and every pixel the gray
    // palette entry nearest to its colour.
    static void Convert24ToGray(const QImage& bm24, QImage& bmGray);

    // The two lines of the last message drawn by UnpackFrame.
    const QStringList& LastMessage() const { return fLastMessage; }

    // Frames larger than this many pixels are not converted, and motion-JPEG
    // frames whose header declares more are not decoded (the bound of picture
    // files, decode/PictureLoader.h).
    static constexpr int64_t kMaxFramePixels = int64_t(1) << 26;

    // The conversion tables, to read.
    struct TTables {
        std::span<const int32_t, 256> ValueY_298, ValueU_100, ValueU_516, ValueV_409, ValueV_208;
        std::span<const uint8_t, 2048> ValueClip;
        std::span<const uint32_t, 256> GrayConvR, GrayConvG, GrayConvB;
        bool YUY2TablesPrepared;
    };
    TTables Tables() const;

private:
    // The running stream's format and gray mode.
    int32_t fWidth = 0;
    int32_t fHeight = 0;
    uint32_t fFourCC = 0;
    bool fGray8Bit = false;

    // The pictures.
    QImage fBitmap;
    QImage fBitmapGray;

    // Conversion tables.
    int32_t ValueY_298[256];
    int32_t ValueU_100[256];
    int32_t ValueU_516[256];
    int32_t ValueV_409[256];
    int32_t ValueV_208[256];
    uint8_t ValueClip[2048];
    uint32_t GrayConvR[256];
    uint32_t GrayConvG[256];
    uint32_t GrayConvB[256];
    bool fYUY2TablesPrepared = false;

    // The format routines. Each expects a sample whose size has been checked
    // and its target bitmap in the form for the stream's size.
    void ConvertSample(TSampleFamily family, const uint8_t* sample);
    void RGB24ToRGB(const uint8_t* sample);
    void RGB24ToGray(const uint8_t* sample);
    void YUY2ToRGB(const uint8_t* sample);
    void YUY2ToGray(const uint8_t* sample);
    void I420ToRGB(const uint8_t* luma, const uint8_t* planeU, const uint8_t* planeV);
    void I420ToGray(const uint8_t* sample);
    TUnpackResult MJPGToBitmap(qsizetype n, const uint8_t* sample);
    void DrawMessage(qsizetype n);

    // The bitmap the routines write into, in its form for the stream's size;
    // nullptr when it cannot have that form.
    QImage* ColourTarget();
    QImage* GrayTarget();

    QByteArray MemStream; // motion JPEG sample, reused
    TJpegDecoder JPG;
    QStringList fLastMessage;
};

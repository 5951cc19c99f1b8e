#include "decoder/DecoderService.h"

#include "decoder/Sandbox.h"
#include "decoder/TestFaults.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

#include <new>

#include <malloc.h>

#include <sys/stat.h>

void PrepareDecoder(TDecoderReaders readers)
{
    if (readers == TDecoderReaders::BuiltIn) {
        QCoreApplication::setLibraryPaths({});
        return;
    }
    // A reader's plugin is loaded the first time a reader of its format is
    // asked whether it can read: each is asked once, with nothing to read.
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        QBuffer nothing;
        nothing.open(QIODevice::ReadOnly);
        QImageReader(&nothing, format).canRead();
    }
    // A drawing's text is drawn in the default font, whose file is opened now.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QImage scratch(16, 16, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&scratch);
        painter.drawText(0, 12, QStringLiteral("Ag"));
    }
}

QImage TDecoderService::Pixels(const TDecoderRequest& request, std::vector<TFileDescriptor>& descriptors)
{
    const qint64 bytes = PixelBytes(request.layout);
    if (bytes <= 0)
        throw EPictureError("The pixels sent have no valid layout.");
    if (qint64(request.layout.width) * request.layout.height > MaxPicturePixels())
        throw EPictureError("The picture is too large to decode.");
    if (request.frameBuffer != 0) {
        if (request.frameBuffer != fFrameBuffer) {
            if (descriptors.empty())
                throw EPictureError("The frame buffer was not sent.");
            // The buffer is as large as the largest frame it was made for.
            struct stat status = {};
            if (::fstat(descriptors.front().Get(), &status) != 0
                || !fFrameMapping.Map(descriptors.front().Get(), static_cast<std::size_t>(status.st_size), false))
                throw EPictureError("The frame buffer cannot be mapped.");
            fFrameBuffer = request.frameBuffer;
        }
        if (static_cast<std::size_t>(bytes) > fFrameMapping.Size())
            throw EPictureError("The frame is larger than its buffer.");
        // A frame is read where it lies; a change (a conversion) makes a copy.
        return QImage(static_cast<const uchar*>(fFrameMapping.Data()), request.layout.width, request.layout.height,
                      static_cast<qsizetype>(request.layout.bytesPerLine),
                      static_cast<QImage::Format>(request.layout.format));
    }
    if (descriptors.empty())
        throw EPictureError("The pixels were not sent.");
    QImage pixels = MappedPixels(descriptors.front().Get(), request.layout);
    if (pixels.isNull())
        throw EPictureError("The pixels sent cannot be mapped.");
    return pixels;
}

TDecoderReply TDecoderService::Handle(const TDecoderRequest& request, std::vector<TFileDescriptor>& descriptors,
                                      TFileDescriptor& pictureOut)
{
    TDecoderReply reply;
    try {
        if (request.maxPixels > 0 && request.maxPixels != MaxPicturePixels())
            SetMaxPicturePixels(request.maxPixels);
        QImage picture;
        if (request.kind == TDecoderRequest::TKind::Picture) {
            if (descriptors.empty())
                throw EPictureError("The picture was not sent.");
            QFile device;
            if (!device.open(descriptors.front().Get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
                throw EPictureError(device.errorString().toStdString());
            if (request.readersNeeded && fReaders == TDecoderReaders::BuiltIn
                && QImageReader::imageFormat(&device).isEmpty()) {
                reply.needsReaders = true;
                return reply;
            }
            picture = LoadPicture(device, request.name);
        } else {
            picture = Pixels(request, descriptors);
        }
        if (request.returnPicture) {
            pictureOut = SharePixels(picture);
            reply.hasPicture = true;
            reply.picture = LayoutOf(picture);
            reply.colorTable = picture.colorTable();
        }
        QImage copy = picture;
        if (request.allCodes)
            reply.codes = DecodeAllCodes(copy, request.options);
        else if (std::optional<TDecodedCode> code = DecodeCode(copy, request.options))
            reply.codes.push_back(std::move(*code));
        for (const TDecodedCode& code : reply.codes)
            if (const std::optional<QString> fault = RunTestFault(code.text)) {
                reply = FailedReply(TDecoderReply::TStatus::Error, *fault);
                pictureOut.Reset();
                break;
            }
    } catch (const EPictureError& error) {
        reply = FailedReply(TDecoderReply::TStatus::Error, QString::fromUtf8(error.what()));
        pictureOut.Reset();
    } catch (const std::bad_alloc&) {
        reply = FailedReply(TDecoderReply::TStatus::OutOfMemory,
                            QStringLiteral("Not enough memory to decode the picture."));
        pictureOut.Reset();
    } catch (const std::exception& error) {
        reply = FailedReply(TDecoderReply::TStatus::Error, QString::fromUtf8(error.what()));
        pictureOut.Reset();
    }
    return reply;
}

namespace {

// Answers every request with `refusal` and reads nothing: a process that
// could not lock itself down.
int RefuseRequests(int socket, const QString& refusal)
{
    QByteArray body;
    std::vector<TFileDescriptor> descriptors;
    while (ReceiveMessage(socket, body, descriptors) == TReceived::Message) {
        descriptors.clear();
        const TDecoderReply reply = FailedReply(TDecoderReply::TStatus::Error, refusal);
        if (!SendMessage(socket, EncodeReply(reply)))
            return 1;
    }
    return 0;
}

} // namespace

int RunDecoderService(int socket, TDecoderReaders readers)
{
    TDecoderService service(readers);
    QByteArray body;
    std::vector<TFileDescriptor> descriptors;
    for (;;) {
        const TReceived received = ReceiveMessage(socket, body, descriptors);
        if (received == TReceived::Closed)
            return 0;
        if (received != TReceived::Message)
            return 1;
        const std::optional<TDecoderRequest> request = DecodeRequest(body);
        if (!request)
            return 1;
        TFileDescriptor picture;
        const TDecoderReply reply = service.Handle(*request, descriptors, picture);
        descriptors.clear();
        const int sent[] = {picture.Get()};
        if (!SendMessage(socket, EncodeReply(reply),
                         picture.Valid() ? std::span<const int>(sent) : std::span<const int>()))
            return 1;
        // What an allocation that failed left behind is not to be trusted.
        if (reply.status == TDecoderReply::TStatus::OutOfMemory)
            return 0;
    }
}

int ServeDecoder(int socket, TDecoderReaders readers, std::int64_t maxPictureBytes)
{
    // The same sizes are allocated for every frame (the grey plane, the
    // readers' copies): kept by the allocator, they cost no page fault and no
    // zeroing by the kernel the next time, where a heap given back at every
    // free took two thirds of a frame's time.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 512 << 20);
    PrepareDecoder(readers);
    const QString failure = LockDown(DecoderAddressSpace(maxPictureBytes));
    // The greeting: the process is ready for its first request.
    if (!SendMessage(socket, QByteArray()))
        return 1;
    if (!failure.isEmpty()) {
        RefuseRequests(socket, QStringLiteral("The decoder cannot shut itself off from the system (%1).").arg(failure));
        return 3;
    }
    return RunDecoderService(socket, readers);
}

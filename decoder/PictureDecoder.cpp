#include "decoder/PictureDecoder.h"

#include <cerrno>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

EDecoderStopped::EDecoderStopped(const QString& text)
    : EPictureError(text.toStdString())
{
}

ENeedsReaders::ENeedsReaders()
    : EPictureError("Unsupported image format")
{
}

TFileDescriptor ShareBytes(const QByteArray& bytes)
{
    TFileDescriptor memory(::memfd_create("lantrix-bytes", MFD_CLOEXEC));
    if (!memory.Valid())
        throw std::bad_alloc();
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t count =
            ::write(memory.Get(), bytes.constData() + written, static_cast<std::size_t>(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw std::bad_alloc();
        written += count;
    }
    if (::lseek(memory.Get(), 0, SEEK_SET) != 0)
        throw std::bad_alloc();
    return memory;
}

TDecodedPicture TakeReply(const TDecoderReply& reply, TFileDescriptor& picture)
{
    switch (reply.status) {
    case TDecoderReply::TStatus::Stopped: throw EDecoderStopped(reply.error);
    case TDecoderReply::TStatus::Error:
    case TDecoderReply::TStatus::OutOfMemory: throw EPictureError(reply.error.toStdString());
    case TDecoderReply::TStatus::Read: break;
    }
    if (reply.needsReaders)
        throw ENeedsReaders();
    TDecodedPicture decoded;
    decoded.codes = reply.codes;
    if (reply.hasPicture) {
        decoded.picture = MapSharedPixels(picture.Get(), reply.picture, reply.colorTable);
        if (decoded.picture.isNull())
            throw EPictureError("The picture could not be decoded: the decoder gave no valid picture.");
    }
    return decoded;
}

TDecoderRequest PictureRequest(const TReadRequest& read, const QString& name, bool readersNeeded)
{
    TDecoderRequest request;
    request.kind = TDecoderRequest::TKind::Picture;
    request.options = read.options;
    request.allCodes = read.allCodes;
    request.returnPicture = read.wantPicture;
    request.readersNeeded = readersNeeded;
    request.name = name;
    request.maxPixels = MaxPicturePixels();
    return request;
}

TPictureDecoder::TPictureDecoder(TDecoderLaunch launch)
    : fProcess(std::move(launch))
{
}

TDecodedPicture TPictureDecoder::ReadFile(const QByteArray& path, const QString& name, const TReadRequest& read)
{
    const TFileDescriptor file(OpenPictureFile(path, name));
    const int descriptors[] = {file.Get()};
    TFileDescriptor picture;
    const TDecoderReply reply = fProcess.Run(PictureRequest(read, name), descriptors, kPictureTimeLimit, picture);
    return TakeReply(reply, picture);
}

TDecodedPicture TPictureDecoder::ReadData(const QByteArray& bytes, const TReadRequest& read)
{
    const TFileDescriptor data = ShareBytes(bytes);
    const int descriptors[] = {data.Get()};
    TFileDescriptor picture;
    const TDecoderReply reply = fProcess.Run(PictureRequest(read, QString()), descriptors, kPictureTimeLimit, picture);
    return TakeReply(reply, picture);
}

std::vector<TDecodedCode> TPictureDecoder::DecodePixels(const QImage& picture, const TReadRequest& read)
{
    if (picture.isNull())
        return {};
    // Pixels go without a colour table: an indexed picture goes as the colours it shows.
    const QImage shared = picture.colorCount() > 0 ? picture.convertToFormat(QImage::Format_RGB32) : picture;
    const TFileDescriptor pixels = SharePixels(shared);
    TDecoderRequest request;
    request.kind = TDecoderRequest::TKind::Pixels;
    request.options = read.options;
    request.allCodes = read.allCodes;
    request.maxPixels = MaxPicturePixels();
    request.layout = LayoutOf(shared);
    const int descriptors[] = {pixels.Get()};
    TFileDescriptor none;
    return TakeReply(fProcess.Run(request, descriptors, kPictureTimeLimit, none), none).codes;
}

std::optional<TDecodedCode> TPictureDecoder::DecodeFrame(const QImage& frame, const TDecodeOptions& options)
{
    if (frame.isNull() || std::chrono::steady_clock::now() < fRestUntil)
        return std::nullopt;
    if (!fFrames.Put(frame))
        throw std::bad_alloc();
    TDecoderRequest request;
    request.kind = TDecoderRequest::TKind::Pixels;
    request.options = options;
    request.maxPixels = MaxPicturePixels();
    request.layout = fFrames.Layout();
    request.frameBuffer = fFrames.Id();
    // The buffer goes along to a process that has not mapped it yet.
    fProcess.Start();
    const bool known = fProcess.KnownFrameBuffer() == fFrames.Id();
    const int descriptors[] = {fFrames.Memory()};
    TFileDescriptor none;
    const TDecoderReply reply = fProcess.Run(
        request, known ? std::span<const int>() : std::span<const int>(descriptors), kFrameTimeLimit, none);
    if (reply.status == TDecoderReply::TStatus::Stopped) {
        fRestUntil = std::chrono::steady_clock::now() + kRestPause;
        throw EDecoderStopped(reply.error);
    }
    if (reply.status != TDecoderReply::TStatus::Read)
        return std::nullopt; // a frame that cannot be decoded is passed over
    fProcess.SetKnownFrameBuffer(fFrames.Id());
    if (reply.codes.empty())
        return std::nullopt;
    return reply.codes.front();
}

#include "decoder/DecoderProtocol.h"

#include <QDataStream>
#include <QIODevice>

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <limits>

TPixelLayout LayoutOf(const QImage& picture)
{
    return {picture.width(), picture.height(), picture.bytesPerLine(), static_cast<qint32>(picture.format())};
}

qint64 PixelBytes(const TPixelLayout& layout)
{
    if (layout.format <= QImage::Format_Invalid || layout.format >= QImage::NImageFormats)
        return -1;
    if (layout.width <= 0 || layout.height <= 0 || layout.bytesPerLine <= 0 || layout.bytesPerLine % 4 != 0)
        return -1;
    const qint64 bitsPerPixel = QImage::toPixelFormat(static_cast<QImage::Format>(layout.format)).bitsPerPixel();
    if (bitsPerPixel <= 0 || layout.bytesPerLine < (qint64(layout.width) * bitsPerPixel + 7) / 8)
        return -1;
    if (layout.bytesPerLine > std::numeric_limits<qint64>::max() / layout.height)
        return -1;
    return layout.bytesPerLine * layout.height;
}

namespace {

QDataStream& operator<<(QDataStream& out, const TPixelLayout& layout)
{
    return out << layout.width << layout.height << layout.bytesPerLine << layout.format;
}

QDataStream& operator>>(QDataStream& in, TPixelLayout& layout)
{
    return in >> layout.width >> layout.height >> layout.bytesPerLine >> layout.format;
}

QDataStream& operator<<(QDataStream& out, const TDecodeOptions& options)
{
    return out << static_cast<quint32>(options.format) << options.inverted << options.everyFormat << options.tryHarder;
}

QDataStream& operator>>(QDataStream& in, TDecodeOptions& options)
{
    quint32 format = 0;
    in >> format >> options.inverted >> options.everyFormat >> options.tryHarder;
    options.format = static_cast<TBarcodeFormat>(format);
    return in;
}

QDataStream& operator<<(QDataStream& out, const TDecodedCode& code)
{
    out << code.text << static_cast<quint32>(code.format) << code.bytes;
    for (const QPoint& corner : code.position)
        out << corner;
    return out;
}

QDataStream& operator>>(QDataStream& in, TDecodedCode& code)
{
    quint32 format = 0;
    in >> code.text >> format >> code.bytes;
    code.format = static_cast<TBarcodeFormat>(format);
    for (QPoint& corner : code.position)
        in >> corner;
    return in;
}

template <typename T>
std::optional<T> Finished(const QDataStream& in, T value)
{
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return value;
}

// A reply holds no more codes than this: a picture of a megapixel holds a
// few thousand at the very most.
constexpr quint32 kMaxCodes = 1u << 20;

} // namespace

TDecoderReply FailedReply(TDecoderReply::TStatus status, const QString& error)
{
    TDecoderReply reply;
    reply.status = status;
    reply.error = error;
    return reply;
}

QByteArray EncodeRequest(const TDecoderRequest& request)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << static_cast<quint8>(request.kind) << request.options << request.allCodes << request.returnPicture
        << request.readersNeeded << request.name << request.maxPixels << request.layout << request.frameBuffer;
    return body;
}

std::optional<TDecoderRequest> DecodeRequest(const QByteArray& body)
{
    QDataStream in(body);
    TDecoderRequest request;
    quint8 kind = 0;
    in >> kind >> request.options >> request.allCodes >> request.returnPicture >> request.readersNeeded >> request.name
        >> request.maxPixels >> request.layout >> request.frameBuffer;
    if (kind > static_cast<quint8>(TDecoderRequest::TKind::Pixels))
        return std::nullopt;
    request.kind = static_cast<TDecoderRequest::TKind>(kind);
    return Finished(in, std::move(request));
}

QByteArray EncodeReply(const TDecoderReply& reply)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << static_cast<quint8>(reply.status) << reply.error << reply.needsReaders
        << static_cast<quint32>(reply.codes.size());
    for (const TDecodedCode& code : reply.codes)
        out << code;
    out << reply.hasPicture << reply.picture << reply.colorTable;
    return body;
}

std::optional<TDecoderReply> DecodeReply(const QByteArray& body)
{
    QDataStream in(body);
    TDecoderReply reply;
    quint8 status = 0;
    quint32 count = 0;
    in >> status >> reply.error >> reply.needsReaders >> count;
    if (in.status() != QDataStream::Ok || status > static_cast<quint8>(TDecoderReply::TStatus::OutOfMemory)
        || count > kMaxCodes)
        return std::nullopt;
    reply.status = static_cast<TDecoderReply::TStatus>(status);
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
        in >> reply.codes.emplace_back();
    in >> reply.hasPicture >> reply.picture >> reply.colorTable;
    return Finished(in, std::move(reply));
}

// ---- The transport ---------------------------------------------------------

namespace {

// Waits until `socket` is ready for `events` or the deadline passes; false then.
bool WaitFor(int socket, short events, std::optional<std::chrono::steady_clock::time_point> deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            if (left.count() < 0)
                return false;
            timeout = static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count() + 1, 1 << 30));
        }
        pollfd entry{socket, events, 0};
        const int ready = ::poll(&entry, 1, timeout);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return true; // the read or write that follows tells what failed
    }
}

} // namespace

bool SendMessage(int socket, const QByteArray& body, std::span<const int> descriptors)
{
    if (static_cast<std::size_t>(body.size()) > kMaxDecoderMessage
        || descriptors.size() > static_cast<std::size_t>(kMaxDecoderDescriptors)) {
        errno = EMSGSIZE;
        return false;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(body.size());
    QByteArray message(reinterpret_cast<const char*>(&length), sizeof length);
    message += body;

    qsizetype sent = 0;
    while (sent < message.size()) {
        iovec part{message.data() + sent, static_cast<std::size_t>(message.size() - sent)};
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDecoderDescriptors)]{};
        if (sent == 0 && !descriptors.empty()) {
            header.msg_control = control;
            header.msg_controllen = CMSG_SPACE(sizeof(int) * descriptors.size());
            cmsghdr* rights = CMSG_FIRSTHDR(&header);
            rights->cmsg_level = SOL_SOCKET;
            rights->cmsg_type = SCM_RIGHTS;
            rights->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
            std::memcpy(CMSG_DATA(rights), descriptors.data(), sizeof(int) * descriptors.size());
        }
        const ssize_t count = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                WaitFor(socket, POLLOUT, std::nullopt);
                continue;
            }
            return false;
        }
        sent += count;
    }
    return true;
}

namespace {

// Reads exactly `size` bytes into `to`, keeping the descriptors that come
// along. Closed when the peer ended the stream before the first byte.
TReceived ReadExactly(int socket, char* to, std::size_t size, std::vector<TFileDescriptor>& descriptors,
                      std::optional<std::chrono::steady_clock::time_point> deadline)
{
    std::size_t done = 0;
    while (done < size) {
        if (!WaitFor(socket, POLLIN, deadline))
            return TReceived::TimedOut;
        iovec part{to + done, size - done};
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDecoderDescriptors)]{};
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t count = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return TReceived::Failed;
        }
        for (cmsghdr* item = CMSG_FIRSTHDR(&header); item; item = CMSG_NXTHDR(&header, item)) {
            if (item->cmsg_level != SOL_SOCKET || item->cmsg_type != SCM_RIGHTS)
                continue;
            const std::size_t count = (item->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(item) + i * sizeof(int), sizeof fd);
                descriptors.emplace_back(fd);
            }
        }
        // Descriptors cut off for want of room are gone: the message is no good.
        if (header.msg_flags & MSG_CTRUNC || descriptors.size() > static_cast<std::size_t>(kMaxDecoderDescriptors))
            return TReceived::Failed;
        if (count == 0)
            return done == 0 ? TReceived::Closed : TReceived::Failed;
        done += static_cast<std::size_t>(count);
    }
    return TReceived::Message;
}

} // namespace

TReceived ReceiveMessage(int socket, QByteArray& body, std::vector<TFileDescriptor>& descriptors,
                         std::optional<std::chrono::steady_clock::time_point> deadline)
{
    descriptors.clear();
    std::uint32_t length = 0;
    const TReceived head = ReadExactly(socket, reinterpret_cast<char*>(&length), sizeof length, descriptors, deadline);
    if (head != TReceived::Message)
        return head;
    if (length > kMaxDecoderMessage)
        return TReceived::Failed;
    body.resize(length);
    const TReceived rest = ReadExactly(socket, body.data(), length, descriptors, deadline);
    return rest == TReceived::Closed ? TReceived::Failed : rest;
}

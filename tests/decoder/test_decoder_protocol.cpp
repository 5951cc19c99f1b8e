// What passes between a program and its decoder process, and what the
// program makes of a decoder that answers nonsense: the messages both ways,
// the pixels in shared memory, and a process that dies, hangs or lies.
#include "decoder/DecoderProcess.h"
#include "decoder/DecoderProtocol.h"
#include "decoder/PictureDecoder.h"
#include "decoder/SharedPixels.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// ---- Messages ----------------------------------------------------------------

TDecoderReply SampleReply()
{
    TDecoderReply reply;
    reply.status = TDecoderReply::TStatus::Read;
    TDecodedCode code;
    code.text = QStringLiteral("caf\u00e9 \U0001F600");
    code.format = TBarcodeFormat::QR_CODE;
    code.bytes = QByteArray("\x00\xff\x01", 3);
    code.position = {QPoint(1, 2), QPoint(30, 2), QPoint(30, 40), QPoint(1, 40)};
    reply.codes = {code, code};
    reply.codes[1].format = TBarcodeFormat::EAN_13;
    reply.hasPicture = true;
    reply.picture = {7, 3, 8, QImage::Format_Indexed8};
    reply.colorTable = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    return reply;
}

TEST(DecoderMessages, ComeBackAsTheyWent)
{
    TDecoderRequest request;
    request.kind = TDecoderRequest::TKind::Pixels;
    request.options = {.format = TBarcodeFormat::RSS_14, .inverted = true, .everyFormat = true, .tryHarder = true};
    request.allCodes = true;
    request.returnPicture = true;
    request.readersNeeded = false;
    request.name = QStringLiteral("b\u00e4d\nname.png");
    request.maxPixels = 12345;
    request.layout = {640, 480, 1920, QImage::Format_BGR888};
    request.frameBuffer = 42;
    const std::optional<TDecoderRequest> back = DecodeRequest(EncodeRequest(request));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, request.kind);
    EXPECT_EQ(back->options.format, request.options.format);
    EXPECT_TRUE(back->options.inverted && back->options.everyFormat && back->options.tryHarder);
    EXPECT_TRUE(back->allCodes && back->returnPicture && !back->readersNeeded);
    EXPECT_EQ(back->name, request.name);
    EXPECT_EQ(back->maxPixels, 12345);
    EXPECT_EQ(back->layout.bytesPerLine, 1920);
    EXPECT_EQ(back->frameBuffer, 42u);

    const TDecoderReply reply = SampleReply();
    const std::optional<TDecoderReply> replied = DecodeReply(EncodeReply(reply));
    ASSERT_TRUE(replied);
    ASSERT_EQ(replied->codes.size(), 2u);
    EXPECT_EQ(replied->codes[0].text, reply.codes[0].text);
    EXPECT_EQ(replied->codes[0].bytes, reply.codes[0].bytes);
    EXPECT_EQ(replied->codes[0].position, reply.codes[0].position);
    EXPECT_EQ(replied->codes[1].format, TBarcodeFormat::EAN_13);
    EXPECT_EQ(replied->colorTable, reply.colorTable);
    EXPECT_EQ(replied->picture.format, QImage::Format_Indexed8);
}

// A message cut anywhere, or with bytes after its end, is no message.
TEST(DecoderMessages, CutOrLongerIsRefused)
{
    const QByteArray reply = EncodeReply(SampleReply());
    for (qsizetype length = 0; length < reply.size(); ++length)
        EXPECT_FALSE(DecodeReply(reply.left(length))) << length;
    EXPECT_FALSE(DecodeReply(reply + QByteArray(1, '\0')));
    const QByteArray request = EncodeRequest(TDecoderRequest{});
    for (qsizetype length = 0; length < request.size(); ++length)
        EXPECT_FALSE(DecodeRequest(request.left(length))) << length;
    // A count of codes no reply holds is refused before anything is read.
    EXPECT_FALSE(DecodeReply(QByteArray(1, '\0') + QByteArray(4, '\xff') + QByteArray(5, '\xff')));
}

// ---- Pixels in shared memory -------------------------------------------------

struct LayoutCase {
    const char* name;
    TPixelLayout layout;
    qint64 bytes; // -1: refused
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, BytesOrRefusal)
{
    EXPECT_EQ(PixelBytes(GetParam().layout), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Layout,
    ::testing::Values(LayoutCase{"bgr", {3, 2, 12, QImage::Format_BGR888}, 24},
                      LayoutCase{"mono", {9, 2, 4, QImage::Format_Mono}, 8},
                      LayoutCase{"rows_too_short", {5, 2, 12, QImage::Format_RGB32}, -1},
                      LayoutCase{"rows_not_whole_words", {3, 2, 9, QImage::Format_BGR888}, -1},
                      LayoutCase{"no_width", {0, 2, 12, QImage::Format_BGR888}, -1},
                      LayoutCase{"negative_height", {3, -2, 12, QImage::Format_BGR888}, -1},
                      LayoutCase{"invalid_format", {3, 2, 12, QImage::Format_Invalid}, -1},
                      LayoutCase{"unknown_format", {3, 2, 12, QImage::NImageFormats}, -1},
                      LayoutCase{"overflow", {1, 0x7fffffff, qint64(1) << 40, QImage::Format_Grayscale8}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

QImage Colours()
{
    QImage picture(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.setPixel(x, y, qRgb(x * 50, y * 100, 7));
    return picture;
}

TEST(SharedPixels, ComeBackAsTheyWent)
{
    const QImage picture = Colours();
    const TFileDescriptor memory = SharePixels(picture);
    const QImage back = MapSharedPixels(memory.Get(), LayoutOf(picture));
    EXPECT_EQ(back, picture);

    QImage indexed = picture.convertToFormat(QImage::Format_Indexed8);
    const TFileDescriptor indexedMemory = SharePixels(indexed);
    EXPECT_EQ(MapSharedPixels(indexedMemory.Get(), LayoutOf(indexed), indexed.colorTable())
                  .convertToFormat(QImage::Format_RGB32),
              picture);
    // A table too short for the pixels is filled up, never read past.
    EXPECT_EQ(MapSharedPixels(indexedMemory.Get(), LayoutOf(indexed), {}).colorCount(), 256);
}

// Memory the other side could still change or shrink, or that is shorter
// than its layout says, is not mapped: a shrink would end this process on
// its next read.
TEST(SharedPixels, OnlySealedMemoryOfTheirSize)
{
    const QImage picture = Colours();
    TFileDescriptor unsealed(::memfd_create("test", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    ASSERT_EQ(::ftruncate(unsealed.Get(), picture.sizeInBytes()), 0);
    EXPECT_TRUE(MapSharedPixels(unsealed.Get(), LayoutOf(picture)).isNull());

    const TFileDescriptor sealed = SharePixels(picture);
    TPixelLayout taller = LayoutOf(picture);
    taller.height += 1;
    EXPECT_TRUE(MapSharedPixels(sealed.Get(), taller).isNull());
    EXPECT_FALSE(MapSharedPixels(sealed.Get(), LayoutOf(picture)).isNull());
}

// ---- A decoder that lies -----------------------------------------------------

// A stand-in decoder: a child that greets, reads one request and does
// `answer` on the socket, then waits for the socket to close.
TDecoderLaunch FakeDecoder(std::function<void(int socket)> answer)
{
    return [answer](int socket) -> pid_t {
        const pid_t child = ::fork();
        if (child != 0) {
            ::close(socket);
            return child;
        }
        QByteArray body;
        std::vector<TFileDescriptor> descriptors;
        SendMessage(socket, QByteArray()); // ready
        if (ReceiveMessage(socket, body, descriptors) == TReceived::Message)
            answer(socket);
        char byte;
        while (::read(socket, &byte, 1) > 0) {}
        ::_exit(0);
    };
}

void Write(int socket, const QByteArray& bytes)
{
    ASSERT_EQ(::send(socket, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL), bytes.size());
}

QByteArray Framed(const QByteArray& body)
{
    const auto length = static_cast<std::uint32_t>(body.size());
    return QByteArray(reinterpret_cast<const char*>(&length), sizeof length) + body;
}

struct LieCase {
    const char* name;
    std::function<void(int socket)> answer;
};

void PrintTo(const LieCase& c, std::ostream* os)
{
    *os << c.name;
}

class LyingDecoder : public ::testing::TestWithParam<LieCase> {};

// Whatever a decoder answers, the caller gets a reply it can trust or
// "stopped", and the next request goes to a fresh process.
TEST_P(LyingDecoder, IsStoppedAndReplaced)
{
    TDecoderProcess process(FakeDecoder(GetParam().answer));
    for (int round = 1; round <= 2; ++round) {
        TFileDescriptor picture;
        const TDecoderReply reply = process.Run(TDecoderRequest{}, {}, 1500ms, picture);
        EXPECT_EQ(reply.status, TDecoderReply::TStatus::Stopped);
        EXPECT_EQ(reply.error, QLatin1String(kDecoderStoppedText));
        EXPECT_FALSE(picture.Valid());
        EXPECT_EQ(process.Starts(), round);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LyingDecoder,
    ::testing::Values(
        LieCase{"nothing_and_exit", [](int) { ::_exit(0); }}, LieCase{"hangs", [](int) { ::pause(); }},
        LieCase{"garbage", [](int socket) { Write(socket, Framed("not a reply at all")); }},
        LieCase{"length_past_the_limit", [](int socket) { Write(socket, QByteArray(4, '\xff') + "more"); }},
        LieCase{"cut_in_the_middle",
                [](int socket) {
                    Write(socket, Framed(EncodeReply(SampleReply())).left(20));
                    ::_exit(0);
                }},
        // A picture said to come, and no memory with it.
        LieCase{"picture_without_memory", [](int socket) { Write(socket, Framed(EncodeReply(SampleReply()))); }},
        // Memory that comes with no picture said.
        LieCase{"memory_without_picture",
                [](int socket) {
                    TDecoderReply reply = SampleReply();
                    reply.hasPicture = false;
                    const TFileDescriptor memory = SharePixels(Colours());
                    const int descriptors[] = {memory.Get()};
                    SendMessage(socket, EncodeReply(reply), descriptors);
                }}),
    [](const auto& info) { return std::string(info.param.name); });

// A process that greets with anything but the empty greeting is not taken
// for a decoder.
TEST(LyingDecoder, WrongGreeting)
{
    TDecoderProcess process([](int socket) -> pid_t {
        const pid_t child = ::fork();
        if (child != 0) {
            ::close(socket);
            return child;
        }
        SendMessage(socket, EncodeReply(SampleReply()));
        char byte;
        while (::read(socket, &byte, 1) > 0) {}
        ::_exit(0);
    });
    TFileDescriptor picture;
    EXPECT_EQ(process.Run(TDecoderRequest{}, {}, 1500ms, picture).status, TDecoderReply::TStatus::Stopped);
}

// A picture whose memory is not sealed, or shorter than its layout, is
// refused with an error, never mapped.
TEST(LyingDecoder, UnsealedPictureIsRefused)
{
    TDecoderProcess process(FakeDecoder([](int socket) {
        TDecoderReply reply = SampleReply();
        reply.picture = LayoutOf(Colours());
        reply.colorTable.clear();
        TFileDescriptor memory(::memfd_create("test", MFD_CLOEXEC));
        ::ftruncate(memory.Get(), 4096 * 16);
        const int descriptors[] = {memory.Get()};
        SendMessage(socket, EncodeReply(reply), descriptors);
    }));
    TFileDescriptor picture;
    const TDecoderReply reply = process.Run(TDecoderRequest{}, {}, 1500ms, picture);
    ASSERT_EQ(reply.status, TDecoderReply::TStatus::Read);
    EXPECT_THROW(TakeReply(reply, picture), EPictureError);
}

// A decoder that cannot be started at all says so.
TEST(LyingDecoder, ProgramThatCannotStart)
{
    TDecoderProcess process(ExecDecoder(QStringLiteral("/nonexistent/lantrix-decoder"), kMaxPicturePixels));
    TFileDescriptor picture;
    const TDecoderReply reply = process.Run(TDecoderRequest{}, {}, 1500ms, picture);
    EXPECT_EQ(reply.status, TDecoderReply::TStatus::Stopped);
    EXPECT_EQ(reply.error, QStringLiteral("The picture could not be decoded: the decoder cannot be started (%1).")
                               .arg(QString::fromLocal8Bit(std::strerror(ENOENT))));
}

} // namespace

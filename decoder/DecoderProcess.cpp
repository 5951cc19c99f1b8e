#include "decoder/DecoderProcess.h"

#include "decoder/TestFaults.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The child's socket as its descriptor 3, cleared of close-on-exec; 3 itself
// is moved away first, since a dup2 onto itself would keep the flag.
constexpr int kChildSocket = 3;

int AwayFromChildSocket(int socket)
{
    if (socket != kChildSocket)
        return socket;
    const int moved = ::fcntl(socket, F_DUPFD_CLOEXEC, kChildSocket + 1);
    ::close(socket);
    return moved;
}

} // namespace

TDecoderLaunch ExecDecoder(QString program, qint64 maxPixels)
{
    return [program = QFile::encodeName(program), maxPixels](int socket) -> pid_t {
        socket = AwayFromChildSocket(socket);
        if (socket < 0)
            return -1;
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_adddup2(&actions, socket, kChildSocket);
        ::posix_spawn_file_actions_addclosefrom_np(&actions, kChildSocket + 1);
        const QByteArray pixels = QByteArray::number(maxPixels);
        char* const arguments[] = {const_cast<char*>(program.constData()), const_cast<char*>("--max-pixels"),
                                   const_cast<char*>(pixels.constData()), nullptr};
        pid_t process = -1;
        const int error = ::posix_spawn(&process, program.constData(), &actions, nullptr, arguments, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        if (socket != kChildSocket)
            ::close(socket);
        if (error != 0) {
            errno = error;
            return -1;
        }
        return process;
    };
}

TDecoderLaunch ForkDecoder(TDecoderReaders readers)
{
    return [readers](int socket) -> pid_t {
        socket = AwayFromChildSocket(socket);
        if (socket < 0)
            return -1;
        const pid_t parent = ::getpid();
        const pid_t process = ::fork();
        if (process != 0) {
            ::close(socket);
            return process;
        }
        // The child: it ends with its parent, holds its socket alone and no
        // other descriptor of the parent's (its output, the other
        // decoders' sockets), and never returns into the parent's code.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        const int nowhere = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (nowhere < 0 || ::dup2(nowhere, STDIN_FILENO) < 0 || ::dup2(nowhere, STDOUT_FILENO) < 0
            || ::dup2(socket, kChildSocket) < 0)
            ::_exit(1);
        ::close_range(kChildSocket + 1, ~0u, 0);
        ::_exit(ServeDecoder(kChildSocket, readers, MaxPictureBytes()));
    };
}

QString DecoderProgram(const QString& executableFolder, const QString& libraryFolder)
{
    if (const QString set = qEnvironmentVariable("LANTRIX_DECODER"); !set.isEmpty())
        return set;
    const QString name = QLatin1String(kDecoderProgramName);
    const QString beside = QDir(executableFolder).filePath(name);
    if (QFileInfo(beside).isFile())
        return beside;
    return QDir::cleanPath(QDir(QDir(executableFolder).filePath(QStringLiteral(".."))).filePath(libraryFolder)
                           + QLatin1Char('/') + name);
}

TDecoderProcess::TDecoderProcess(TDecoderLaunch launch)
    : fLaunch(std::move(launch))
{
}

TDecoderProcess::~TDecoderProcess()
{
    End();
}

void TDecoderProcess::Start()
{
    if (Running())
        return;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        fStartError = errno;
        return;
    }
    fSocket.Reset(pair[0]);
    ++fStarts;
    fProcess = fLaunch(pair[1]);
    fStartError = fProcess > 0 ? 0 : (errno != 0 ? errno : ECHILD);
    if (fProcess <= 0) {
        fProcess = -1;
        fSocket.Reset();
    }
    fKnownFrameBuffer = 0;
    fGreeted = false;
}

void TDecoderProcess::End()
{
    fSocket.Reset();
    if (fProcess > 0) {
        ::kill(fProcess, SIGKILL);
        while (::waitpid(fProcess, nullptr, 0) < 0 && errno == EINTR) {}
    }
    fProcess = -1;
    fKnownFrameBuffer = 0;
    fGreeted = false;
}

bool TDecoderProcess::AwaitGreeting()
{
    if (!fGreeted) {
        QByteArray body;
        std::vector<TFileDescriptor> descriptors;
        fGreeted = ReceiveMessage(fSocket.Get(), body, descriptors, std::chrono::steady_clock::now() + kStartTimeLimit)
                       == TReceived::Message
                   && body.isEmpty() && descriptors.empty();
    }
    return fGreeted;
}

void TDecoderProcess::Send(const TDecoderRequest& request, std::span<const int> descriptors,
                           std::chrono::milliseconds limit)
{
    Start();
    fWaiting = true;
    // A request's time starts once the process is ready: a frame's half second
    // is no time to start a process in.
    fSendFailed = !Running() || !AwaitGreeting() || !SendMessage(fSocket.Get(), EncodeRequest(request), descriptors);
    fDeadline = std::chrono::steady_clock::now() + (fSendFailed ? std::chrono::milliseconds(0) : TestTimeLimit(limit));
}

TDecoderReply TDecoderProcess::Receive(TFileDescriptor& picture)
{
    picture.Reset();
    const TDecoderReply stopped =
        FailedReply(TDecoderReply::TStatus::Stopped, QString::fromLatin1(kDecoderStoppedText));
    if (!fWaiting)
        return stopped;
    fWaiting = false;
    if (fSendFailed) {
        End();
        if (fStartError != 0)
            return FailedReply(TDecoderReply::TStatus::Stopped,
                               QStringLiteral("The picture could not be decoded: the decoder cannot be started (%1).")
                                   .arg(QString::fromLocal8Bit(std::strerror(fStartError))));
        return stopped;
    }
    QByteArray body;
    std::vector<TFileDescriptor> descriptors;
    std::optional<TDecoderReply> reply;
    if (ReceiveMessage(fSocket.Get(), body, descriptors, fDeadline) == TReceived::Message)
        reply = DecodeReply(body);
    // A picture comes with its memory, and nothing else comes with anything.
    if (!reply || descriptors.size() != (reply->hasPicture ? 1u : 0u)) {
        End();
        return stopped;
    }
    if (reply->hasPicture)
        picture = std::move(descriptors.front());
    if (reply->status == TDecoderReply::TStatus::OutOfMemory)
        End();
    return *reply;
}

TDecoderReply TDecoderProcess::Run(const TDecoderRequest& request, std::span<const int> descriptors,
                                   std::chrono::milliseconds limit, TFileDescriptor& picture)
{
    Send(request, descriptors, limit);
    return Receive(picture);
}

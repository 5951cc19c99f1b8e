// The caller's side of a decoder process: it starts the process, sends it a
// request, waits for the reply within a time limit, and ends the process
// when it dies, hangs or answers nonsense. The next request then goes to a
// fresh process.
#pragma once

#include "capture/FileDescriptor.h"
#include "decoder/DecoderProtocol.h"
#include "decoder/DecoderService.h"

#include <QString>

#include <chrono>
#include <functional>
#include <span>

#include <sys/types.h>

// Starts a decoder process that serves on `socket` (its end of the pair);
// gives its process id, or -1 with errno set.
using TDecoderLaunch = std::function<pid_t(int socket)>;

// Runs `program` (lantrix-decoder) with the socket as its descriptor 3, for
// pictures of at most `maxPixels` pixels. Safe in a process with threads.
TDecoderLaunch ExecDecoder(QString program, qint64 maxPixels);

// Forks this process into one that serves at once with `readers` (a
// QGuiApplication must exist for TDecoderReaders::All). Only for a process
// that runs no other thread, since the child keeps only the calling one.
TDecoderLaunch ForkDecoder(TDecoderReaders readers);

// The name of the decoder program.
inline constexpr char kDecoderProgramName[] = "lantrix-decoder";

// Where the decoder program is for a program in `executableFolder`: the
// environment's LANTRIX_DECODER when set, else beside the program (the build
// tree, a copy that runs from a folder of its own), else in the installed
// layout's library folder `libraryFolder` (relative to the prefix).
QString DecoderProgram(const QString& executableFolder, const QString& libraryFolder);

// The time a picture may take, and a camera's frame: fifteen frame
// intervals at 30 frames a second, twenty times what a 1080p frame takes
// with every reading option on here, so that only a decoder that hangs
// meets it, on a slow machine too.
inline constexpr std::chrono::milliseconds kPictureTimeLimit{20000};
inline constexpr std::chrono::milliseconds kFrameTimeLimit{500};
// The time a process may take to start (its readers, its lockdown) before
// it greets, apart from the time of the request that started it.
inline constexpr std::chrono::milliseconds kStartTimeLimit{20000};

// What the caller says of a process that did not answer.
inline constexpr char kDecoderStoppedText[] = "The picture could not be decoded: the decoder stopped.";

class TDecoderProcess {
public:
    explicit TDecoderProcess(TDecoderLaunch launch);
    // Ends the process.
    ~TDecoderProcess();
    TDecoderProcess(const TDecoderProcess&) = delete;
    TDecoderProcess& operator=(const TDecoderProcess&) = delete;

    // Starts the process unless it runs; a process that cannot be started
    // shows at the next request, which is answered Stopped.
    void Start();
    bool Running() const { return fProcess > 0; }

    // Sends `request` with `descriptors`, starting the process first when
    // none runs and waiting for its greeting (within kStartTimeLimit); the
    // reply is due within `limit`. One request at a time.
    void Send(const TDecoderRequest& request, std::span<const int> descriptors, std::chrono::milliseconds limit);
    // The socket to watch for the reply, while waiting; and when it is due.
    int Socket() const { return fSocket.Get(); }
    std::chrono::steady_clock::time_point Deadline() const { return fDeadline; }

    // The reply to the request sent, waiting for it until its deadline; the
    // picture's shared memory, when one came, goes to `picture`. A process
    // that died, ran out of time or answered nonsense is ended: the reply is
    // Stopped (saying why when no process could be started), and the next
    // request starts a fresh process. One that ran out
    // of memory ends too, after its reply.
    TDecoderReply Receive(TFileDescriptor& picture);

    // The same, at once.
    TDecoderReply Run(const TDecoderRequest& request, std::span<const int> descriptors, std::chrono::milliseconds limit,
                      TFileDescriptor& picture);

    // The frame buffer the running process has mapped (0: none yet).
    quint64 KnownFrameBuffer() const { return fKnownFrameBuffer; }
    void SetKnownFrameBuffer(quint64 id) { fKnownFrameBuffer = id; }

    // The processes started so far, the first one included.
    int Starts() const { return fStarts; }

private:
    void End();

    TDecoderLaunch fLaunch;
    pid_t fProcess = -1;
    TFileDescriptor fSocket;
    bool AwaitGreeting();

    bool fWaiting = false;
    bool fSendFailed = false;
    bool fGreeted = false; // the running process said it is ready
    std::chrono::steady_clock::time_point fDeadline;
    quint64 fKnownFrameBuffer = 0;
    int fStarts = 0;
    int fStartError = 0; // errno of the last start that failed, 0 after one that worked
};

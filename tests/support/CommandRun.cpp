#include "support/CommandRun.h"

#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

QByteArray BuiltProgram(const char* name)
{
    return QByteArray(LANTRIX_BIN_DIR "/") + name;
}

TCommandOutcome RunCommand(const TCommand& command)
{
    TCommandOutcome outcome;
    // A program that leaves before reading all its input makes the write fail instead.
    std::signal(SIGPIPE, SIG_IGN);
    int input[2], out[2], err[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return outcome;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (!command.workingFolder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, command.workingFolder.constData());
    // The child starts with SIGINT and SIGPIPE at their defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<QByteArray> owned{command.program};
    owned.insert(owned.end(), command.arguments.begin(), command.arguments.end());
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, command.program.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    CloseFd(input[0]);
    CloseFd(out[1]);
    CloseFd(err[1]);
    if (spawned != 0) {
        CloseFd(input[1]);
        CloseFd(out[0]);
        CloseFd(err[0]);
        return outcome;
    }

    // The input is written as the program reads it, while its output is read.
    ::fcntl(input[1], F_SETFL, O_NONBLOCK);
    qsizetype written = 0;
    if (command.input.isEmpty())
        CloseFd(input[1]);
    const auto deadline = std::chrono::steady_clock::now() + command.timeout;
    bool interrupted = false;
    while (out[0] >= 0 || err[0] >= 0) {
        pollfd fds[3];
        int n = 0;
        for (int fd : {out[0], err[0]})
            if (fd >= 0)
                fds[n++] = {fd, POLLIN, 0};
        if (input[1] >= 0)
            fds[n++] = {input[1], POLLOUT, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (::poll(fds, n, static_cast<int>(std::min<long long>(left.count(), 100))) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == input[1]) {
                const ssize_t count = ::write(input[1], command.input.constData() + written,
                                              static_cast<std::size_t>(command.input.size() - written));
                if (count > 0)
                    written += count;
                if (count < 0 && errno != EAGAIN)
                    CloseFd(input[1]);
                if (written == command.input.size())
                    CloseFd(input[1]);
                continue;
            }
            char buffer[65536];
            const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
            QByteArray& into = fds[i].fd == out[0] ? outcome.out : outcome.err;
            if (count > 0)
                into.append(buffer, count);
            else if (count == 0 || errno != EINTR)
                CloseFd(fds[i].fd == out[0] ? out[0] : err[0]);
        }
        if (command.interruptWhen && !interrupted && command.interruptWhen(outcome.out)) {
            interrupted = true;
            ::kill(pid, SIGINT);
        }
    }
    CloseFd(input[1]);
    CloseFd(out[0]);
    CloseFd(err[0]);

    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return outcome;
        }
        ::usleep(10000);
    }
    outcome.finished = true;
    if (WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        outcome.signal = WTERMSIG(status);
    return outcome;
}

#include "decoder/TestFaults.h"

#ifdef LANTRIX_DECODER_FAULTS

#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool FaultsOn()
{
    return qgetenv("LANTRIX_TEST_DECODER_FAULTS") == "1";
}

QString Outcome(const char* call, int result)
{
    return QStringLiteral("%1: %2").arg(
        QLatin1String(call), result >= 0 ? QStringLiteral("allowed") : QString::fromLocal8Bit(std::strerror(errno)));
}

QString Probe()
{
    QStringList outcomes;
    const int file = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    outcomes << Outcome("open", file);
    if (file >= 0)
        ::close(file);
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    outcomes << Outcome("socket", socket);
    if (socket >= 0)
        ::close(socket);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    outcomes << Outcome("fork", child);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    // A program that does not exist: the filter answers before the search would.
    char* const arguments[] = {const_cast<char*>("lantrix-none"), nullptr};
    outcomes << Outcome("exec", ::execve("/nonexistent/lantrix-none", arguments, environ));
    return outcomes.join(QStringLiteral("; "));
}

} // namespace

std::optional<QString> RunTestFault(const QString& text)
{
    if (!text.startsWith(QLatin1String(kTestFaultPrefix)) || !FaultsOn())
        return std::nullopt;
    const QString kind = text.mid(int(std::strlen(kTestFaultPrefix)));
    if (kind == QLatin1String("abort"))
        std::abort();
    if (kind == QLatin1String("segv")) {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    if (kind == QLatin1String("loop"))
        for (;;)
            asm volatile("" ::: "memory");
    if (kind == QLatin1String("alloc")) {
        // Address space, not memory: the limit is one of address space, and
        // a test that meets it should not take the machine's memory.
        for (;;) {
            char* block = new char[64 << 20];
            asm volatile("" : : "r"(block) : "memory");
        }
    }
    if (kind == QLatin1String("probe"))
        return Probe();
    return std::nullopt;
}

std::chrono::milliseconds TestTimeLimit(std::chrono::milliseconds limit)
{
    bool ok = false;
    const int set = qEnvironmentVariableIntValue("LANTRIX_TEST_DECODER_TIME_LIMIT_MS", &ok);
    return ok && set > 0 ? std::chrono::milliseconds(set) : limit;
}

#else

std::optional<QString> RunTestFault(const QString&)
{
    return std::nullopt;
}

std::chrono::milliseconds TestTimeLimit(std::chrono::milliseconds limit)
{
    return limit;
}

#endif

#include "decoder/Sandbox.h"

#include <seccomp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

std::uint64_t DecoderAddressSpace(std::int64_t maxPictureBytes)
{
    // The picture as read, its 24-bit copy, a grey plane and the readers'
    // working copies of it (binarised, turned): about a dozen times the
    // picture, and a gigabyte for the libraries' own needs.
    return (std::uint64_t(1) << 30) + 12 * static_cast<std::uint64_t>(maxPictureBytes > 0 ? maxPictureBytes : 0);
}

namespace {

// The address space mapped now, in bytes (the first field of statm, in pages).
std::uint64_t MappedNow()
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> statm(std::fopen("/proc/self/statm", "re"), std::fclose);
    unsigned long long pages = 0;
    if (!statm || std::fscanf(statm.get(), "%llu", &pages) != 1)
        return 0;
    return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

QString SystemText(const char* what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

// The calls a decoder needs once it has started, and why.
constexpr const char* kAllowedCalls[] = {
    // Requests and replies on the socket, the picture from its descriptor.
    "read", "readv", "pread64", "recvmsg", "recvfrom", "write", "writev", "sendmsg", "sendto", "lseek", "close",
    "fstat", "newfstatat", "statx", "fcntl", "poll", "ppoll",
    // Memory: the allocator, the pictures' pixels, shared memory in and out.
    "mmap", "munmap", "mremap", "mprotect", "madvise", "brk", "memfd_create", "ftruncate",
    // Threads (Qt converts large pictures on a few) and their waits.
    "futex", "set_robust_list", "get_robust_list", "rseq", "sched_yield", "sched_getaffinity", "membarrier",
    "nanosleep", "clock_nanosleep", "clock_gettime", "clock_getres", "gettimeofday", "eventfd2", "pipe2", "prctl",
    "getpid", "gettid", "getuid", "geteuid", "getgid", "getegid", "getrandom", "getrlimit", "prlimit64", "getrusage",
    "uname", "sysinfo",
    // Signals, and ending: abort() raises SIGABRT on the process itself.
    "rt_sigaction", "rt_sigprocmask", "rt_sigreturn", "sigaltstack", "tgkill", "restart_syscall", "exit", "exit_group"};

QString FilterCalls()
{
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!filter)
        return QStringLiteral("seccomp_init failed");
    const std::unique_ptr<void, void (*)(scmp_filter_ctx)> release(filter, ::seccomp_release);
    for (const char* name : kAllowedCalls) {
        const int call = ::seccomp_syscall_resolve_name(name);
        if (call == __NR_SCMP_ERROR)
            continue; // not a call of this machine
        if (const int error = ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0); error < 0)
            return SystemText(name, -error);
    }
    // clone makes threads only: a clone without CLONE_THREAD is a new process.
    // clone3 passes its flags in memory, out of the filter's sight: it is
    // refused as unknown, and the C library falls back to clone.
    if (const int error = ::seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                                             SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
        error < 0)
        return SystemText("clone", -error);
    if (const int error = ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0); error < 0)
        return SystemText("clone3", -error);
    if (const int error = ::seccomp_load(filter); error < 0)
        return SystemText("seccomp_load", -error);
    return QString();
}

} // namespace

QString LockDown(std::uint64_t room)
{
    const rlimit noCore{0, 0};
    if (::setrlimit(RLIMIT_CORE, &noCore) != 0)
        return SystemText("setrlimit(RLIMIT_CORE)", errno);
    const std::uint64_t mapped = MappedNow();
    if (mapped == 0)
        return QStringLiteral("The mapped memory cannot be read.");
    const rlimit addressSpace{static_cast<rlim_t>(mapped + room), static_cast<rlim_t>(mapped + room)};
    if (::setrlimit(RLIMIT_AS, &addressSpace) != 0)
        return SystemText("setrlimit(RLIMIT_AS)", errno);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return SystemText("prctl(PR_SET_NO_NEW_PRIVS)", errno);
    return FilterCalls();
}

#pragma once
// A FIFO put where the program expects a file, with a watchdog. A program that
// opens such a FIFO and waits for a writer would hang the test for good; after
// the deadline the watchdog opens the FIFO for writing and closes it again, so
// the waiting open or read ends (with no data) and the test goes on to fail on
// Rescued() instead of hanging.

#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TFifoGuard {
public:
    explicit TFifoGuard(const QString& path, std::chrono::milliseconds deadline = std::chrono::seconds(20))
        : fPath(QFile::encodeName(path))
    {
        fMade = ::mkfifo(fPath.constData(), 0600) == 0;
        if (fMade)
            fWatchdog = std::thread([this, deadline] { Watch(deadline); });
    }

    ~TFifoGuard() { Done(); }

    TFifoGuard(const TFifoGuard&) = delete;
    TFifoGuard& operator=(const TFifoGuard&) = delete;

    bool Made() const { return fMade; }

    // Whether the program was found waiting on the FIFO after the deadline.
    bool Rescued() const { return fRescued; }

    // Stops watching; the FIFO stays.
    void Done()
    {
        {
            std::lock_guard lock(fMutex);
            fDone = true;
        }
        fChanged.notify_all();
        if (fWatchdog.joinable())
            fWatchdog.join();
    }

private:
    void Watch(std::chrono::milliseconds deadline)
    {
        std::unique_lock lock(fMutex);
        if (fChanged.wait_for(lock, deadline, [this] { return fDone; }))
            return;
        // Past the deadline: release every reader until the test is done.
        while (!fDone) {
            lock.unlock();
            // Succeeds only while somebody has the FIFO open for reading.
            const int fd = ::open(fPath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                fRescued = true;
                ::close(fd);
            }
            lock.lock();
            fChanged.wait_for(lock, std::chrono::milliseconds(50), [this] { return fDone; });
        }
    }

    QByteArray fPath;
    bool fMade = false;
    std::atomic<bool> fRescued{false};
    std::mutex fMutex;
    std::condition_variable fChanged;
    bool fDone = false;
    std::thread fWatchdog;
};

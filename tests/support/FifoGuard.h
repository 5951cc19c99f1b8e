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

class FifoGuard {
public:
    explicit FifoGuard(const QString& path, std::chrono::milliseconds deadline = std::chrono::seconds(20))
        : path_(QFile::encodeName(path))
    {
        made_ = ::mkfifo(path_.constData(), 0600) == 0;
        if (made_)
            watchdog_ = std::thread([this, deadline] { Watch(deadline); });
    }

    ~FifoGuard() { Done(); }

    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const { return made_; }

    // Whether the program was found waiting on the FIFO after the deadline.
    bool Rescued() const { return rescued_; }

    // Stops watching; the FIFO stays.
    void Done()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        if (watchdog_.joinable())
            watchdog_.join();
    }

private:
    void Watch(std::chrono::milliseconds deadline)
    {
        std::unique_lock lock(mutex_);
        if (changed_.wait_for(lock, deadline, [this] { return done_; }))
            return;
        // Past the deadline: release every reader until the test is done.
        while (!done_) {
            lock.unlock();
            // Succeeds only while somebody has the FIFO open for reading.
            const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                rescued_ = true;
                ::close(fd);
            }
            lock.lock();
            changed_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; });
        }
    }

    QByteArray path_;
    bool made_ = false;
    std::atomic<bool> rescued_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread watchdog_;
};

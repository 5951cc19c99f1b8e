// An owning file descriptor, closed when its owner goes.
#pragma once

#include <utility>

#include <unistd.h>

class TFileDescriptor {
public:
    TFileDescriptor() = default;
    // Takes fd; a negative one is no descriptor.
    explicit TFileDescriptor(int fd)
        : fFd(fd)
    {
    }
    ~TFileDescriptor() { Reset(); }
    TFileDescriptor(TFileDescriptor&& other) noexcept
        : fFd(other.Release())
    {
    }
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return fFd; }
    bool Valid() const { return fFd >= 0; }
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(fFd, -1); }
    // Closes the descriptor held and takes fd.
    void Reset(int fd = -1)
    {
        if (fFd >= 0)
            ::close(fFd);
        fFd = fd;
    }

private:
    int fFd = -1;
};

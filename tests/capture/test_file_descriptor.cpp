// The owning file descriptor: closed exactly once, by whoever holds it last.
#include "capture/FileDescriptor.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>

namespace {

bool IsOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

int OpenNull()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

TEST(FileDescriptor, ClosedWhenItsOwnerGoes)
{
    int fd = -1;
    {
        const TFileDescriptor file(OpenNull());
        ASSERT_TRUE(file.Valid());
        fd = file.Get();
        EXPECT_TRUE(IsOpen(fd));
    }
    EXPECT_FALSE(IsOpen(fd));
}

TEST(FileDescriptor, ReleasedDescriptorStaysOpen)
{
    TFileDescriptor file(OpenNull());
    const int fd = file.Release();
    EXPECT_FALSE(file.Valid());
    file.Reset();
    EXPECT_TRUE(IsOpen(fd));
    ::close(fd);
}

TEST(FileDescriptor, MovedDescriptorHasOneOwner)
{
    TFileDescriptor first(OpenNull());
    TFileDescriptor second(OpenNull());
    const int kept = first.Get();
    const int replaced = second.Get();
    second = std::move(first);
    EXPECT_FALSE(first.Valid());
    EXPECT_EQ(second.Get(), kept);
    EXPECT_FALSE(IsOpen(replaced));
    EXPECT_TRUE(IsOpen(kept));

    TFileDescriptor third(std::move(second));
    EXPECT_FALSE(second.Valid());
    third.Reset();
    EXPECT_FALSE(IsOpen(kept));
}

TEST(FileDescriptor, NegativeDescriptorIsNone)
{
    TFileDescriptor none(-1);
    EXPECT_FALSE(none.Valid());
    none.Reset(); // closes nothing
    EXPECT_FALSE(TFileDescriptor().Valid());
}

} // namespace

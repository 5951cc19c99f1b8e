#include "GatedCamera.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

TGatedCamera::TGatedCamera(int width, int height)
    : fWidth(width)
    , fHeight(height)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) == 0) {
        fRead = ends[0];
        fWrite = ends[1];
    }
}

TGatedCamera::~TGatedCamera()
{
    if (fWrite >= 0)
        close(fWrite);
    if (fRead >= 0)
        close(fRead);
}

QString TGatedCamera::Description() const
{
    return QStringLiteral("fdsrc fd=%1 ! rawvideoparse format=yuy2 width=%2 height=%3 framerate=30/1 ! "
                          "capsfilter caps=\"video/x-raw,format=YUY2,width=%2,height=%3\"")
        .arg(fRead)
        .arg(fWidth)
        .arg(fHeight);
}

bool TGatedCamera::WriteFrame(std::uint8_t luma)
{
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(fWidth) * fHeight * 2);
    for (std::size_t i = 0; i < frame.size(); i += 2) {
        frame[i] = luma;
        frame[i + 1] = 128;
    }
    std::size_t written = 0;
    while (written < frame.size()) {
        const ssize_t n = write(fWrite, frame.data() + written, frame.size() - written);
        if (n <= 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

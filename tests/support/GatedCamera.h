// A test camera that delivers a frame only when the test gives it one: a
// YUY2 stream read from a pipe. Until the first frame is written it is a
// camera that is slow to start (or never starts).
#pragma once

#include <QString>

#include <cstdint>

class TGatedCamera {
public:
    TGatedCamera(int width, int height);
    ~TGatedCamera(); // closes the pipe: a camera still running then ends
    TGatedCamera(const TGatedCamera&) = delete;
    TGatedCamera& operator=(const TGatedCamera&) = delete;

    // The pipeline description to register with TCameraSources::Add.
    QString Description() const;
    // Writes one frame of one grey level; false when the pipe refused it.
    bool WriteFrame(std::uint8_t luma);

private:
    int fWidth;
    int fHeight;
    int fRead = -1;
    int fWrite = -1;
};

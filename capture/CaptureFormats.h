// The camera's capability list: the stream formats it offers, each a fixed
// size in one sample format, to pick one from.
#pragma once

#include <gst/gst.h>

#include <array>
#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>

// One usable capability of the camera: a fixed size in one sample format.
struct TFormatInfo {
    int Width = 0;
    int Height = 0;
    std::uint32_t SSize = 0;      // bytes of one raw sample; 0 for motion JPEG
    int OIndex = 0;               // index of the caps structure it came from
    QByteArray Caps;              // caps text selecting exactly this capability
    std::array<char, 4> FourCC{}; // "YUY2", "I420", "YV12", "MJPG", "RGB " for 24-bit BGR

    // The code its samples come with (SampleFormats.h): 0 for "RGB ", else the four characters.
    std::uint32_t StreamFourCC() const;

    // "W*H  (FOURCC)", e.g. "640*480  (YUY2)".
    QString Text() const;
};

// The usable capabilities of caps (raw video of fixed size, or motion JPEG of
// fixed size; a structure listing several raw formats gives one entry per
// format), sorted by width and then height, equal sizes in caps order.
std::vector<TFormatInfo> FormatListFromCaps(const GstCaps* caps);

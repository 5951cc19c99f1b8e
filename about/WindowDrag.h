#pragma once

#include <optional>

// Dragging a window by any of its plain parts with the mouse: any button but
// the right one. Points are in screen coordinates.
class TWindowDrag {
public:
    struct TOffset {
        int dx = 0;
        int dy = 0;
        bool operator==(const TOffset&) const = default;
    };

    bool dragging = false;
    int dx = 0; // the last drag point
    int dy = 0;

    // A button went down at (x, y); the right button is ignored.
    void MouseDown(bool rightButton, int x, int y);

    // The pointer moved to (x, y): while dragging, how far the window moves;
    // the point becomes the last drag point.
    std::optional<TOffset> MouseMove(int x, int y);

    // Any button went up.
    void MouseUp();
};

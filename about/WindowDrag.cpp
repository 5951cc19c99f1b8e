#include "about/WindowDrag.h"

void TWindowDrag::MouseDown(bool rightButton, int x, int y)
{
    if (rightButton)
        return;
    dragging = true;
    dx = x;
    dy = y;
}

std::optional<TWindowDrag::TOffset> TWindowDrag::MouseMove(int x, int y)
{
    if (!dragging)
        return std::nullopt;
    const TOffset offset{x - dx, y - dy};
    dx = x;
    dy = y;
    return offset;
}

void TWindowDrag::MouseUp()
{
    dragging = false;
}

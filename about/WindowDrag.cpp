#include "about/WindowDrag.h"

void TWindowDrag::MouseDown(bool rightButton, int x, int y)
{
    if (rightButton)
        return;
    dragging = true;
    dx = x;
    dy = y;
}

std::optional<TWindowDrag::Offset> TWindowDrag::MouseMove(int x, int y)
{
    if (!dragging)
        return std::nullopt;
    const Offset offset{x - dx, y - dy};
    dx = x;
    dy = y;
    return offset;
}

void TWindowDrag::MouseUp()
{
    dragging = false;
}

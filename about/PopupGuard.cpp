#include "about/PopupGuard.h"

bool TPopupGuard::MayOpen(const void* button, const void* menu, std::uint32_t now)
{
    if (fButton != nullptr && button == fButton && menu == fMenu
        && static_cast<std::uint32_t>(now - fClosedAt) < kQuietMs) {
        fButton = nullptr;
        fMenu = nullptr;
        return false;
    }
    return true;
}

void TPopupGuard::Closed(const void* button, const void* menu, std::uint32_t now)
{
    fButton = button;
    fMenu = menu;
    fClosedAt = now;
}

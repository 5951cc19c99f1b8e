#include "about/PopupGuard.h"

bool TPopupGuard::MayOpen(const void* button, const void* menu, std::uint32_t now)
{
    if (button_ != nullptr && button == button_ && menu == menu_
        && static_cast<std::uint32_t>(now - closedAt_) < kQuietMs) {
        button_ = nullptr;
        menu_ = nullptr;
        return false;
    }
    return true;
}

void TPopupGuard::Closed(const void* button, const void* menu, std::uint32_t now)
{
    button_ = button;
    menu_ = menu;
    closedAt_ = now;
}

#pragma once

#include <cstdint>

// Keeps a click on a drop-down button from opening its menu again at once
// when that very click closed the menu: the press that closes a menu also
// reaches the button below it.
class TPopupGuard {
public:
    static constexpr std::uint32_t kQuietMs = 100;

    // Whether `menu` may drop down from `button` at tick `now` (milliseconds).
    // Refused when both are those of the last drop-down and fewer than 100 ms
    // (unsigned difference, so the tick count may wrap) have passed since it
    // closed; a refusal forgets the last drop-down, so the next click opens.
    bool MayOpen(const void* button, const void* menu, std::uint32_t now);

    // Records that `menu` of `button` closed at tick `now`.
    void Closed(const void* button, const void* menu, std::uint32_t now);

private:
    const void* fButton = nullptr;
    const void* fMenu = nullptr;
    std::uint32_t fClosedAt = 0;
};

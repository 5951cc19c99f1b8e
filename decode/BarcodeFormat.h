#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// A code format as the program stores and passes it: Auto (0) or one single-bit value.
enum class TBarcodeFormat : std::uint32_t {
    Auto = 0,
    AZTEC = 1u << 0,
    CODABAR = 1u << 1,
    CODE_39 = 1u << 2,
    CODE_93 = 1u << 3,
    CODE_128 = 1u << 4,
    DATA_MATRIX = 1u << 5,
    EAN_8 = 1u << 6,
    EAN_13 = 1u << 7,
    ITF = 1u << 8,
    MAXICODE = 1u << 9,
    PDF_417 = 1u << 10,
    QR_CODE = 1u << 11,
    RSS_14 = 1u << 12,
    RSS_EXPANDED = 1u << 13,
    UPC_A = 1u << 14,
    UPC_E = 1u << 15,
    UPC_EAN_EXTENSION = 1u << 16,
    MSI = 1u << 17,
    PLESSEY = 1u << 18,
    // Formats the readers answer that have no menu entry.
    MICRO_QR = 1u << 19,
    RSS_LIMITED = 1u << 20, // GS1 DataBar Limited, where the library reads it
};

struct TCodeFormatInfo {
    const char* name; // as the code-format menu and the status bar show it
    TBarcodeFormat value;
};

// All twenty values in the order of the code-format menu, Auto first.
extern const std::array<TCodeFormatInfo, 20> kCodeFormats;

// The formats the readers answer that have no menu entry: MICRO_QR, RSS_LIMITED.
extern const std::array<TCodeFormatInfo, 2> kUnlistedCodeFormats;

// The entry for a menu name ("QR_CODE", "Auto", ...), compared exactly.
std::optional<TCodeFormatInfo> CodeFormatByName(const QString& name);

// The code-format menu's name of a value ("QR_CODE", "Auto", ...), or the name
// of a format without a menu entry ("MICRO_QR", "RSS_LIMITED"); empty for any other value.
QString CodeFormatName(TBarcodeFormat format);

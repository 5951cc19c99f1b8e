#include "decode/BarcodeFormat.h"

const std::array<CodeFormatInfo, 20> kCodeFormats{{
    {"Auto", TBarcodeFormat::Auto, true},
    {"AZTEC", TBarcodeFormat::AZTEC, false},
    {"CODABAR", TBarcodeFormat::CODABAR, false},
    {"CODE_39", TBarcodeFormat::CODE_39, true},
    {"CODE_93", TBarcodeFormat::CODE_93, true},
    {"CODE_128", TBarcodeFormat::CODE_128, true},
    {"DATA_MATRIX", TBarcodeFormat::DATA_MATRIX, true},
    {"EAN_8", TBarcodeFormat::EAN_8, true},
    {"EAN_13", TBarcodeFormat::EAN_13, true},
    {"ITF", TBarcodeFormat::ITF, true},
    {"MAXICODE", TBarcodeFormat::MAXICODE, false},
    {"PDF_417", TBarcodeFormat::PDF_417, false},
    {"QR_CODE", TBarcodeFormat::QR_CODE, true},
    {"RSS_14", TBarcodeFormat::RSS_14, false},
    {"RSS_EXPANDED", TBarcodeFormat::RSS_EXPANDED, false},
    {"UPC_A", TBarcodeFormat::UPC_A, true},
    {"UPC_E", TBarcodeFormat::UPC_E, true},
    {"UPC_EAN_EXTENSION", TBarcodeFormat::UPC_EAN_EXTENSION, false},
    {"MSI", TBarcodeFormat::MSI, false},
    {"PLESSEY", TBarcodeFormat::PLESSEY, false},
}};

std::optional<CodeFormatInfo> CodeFormatByName(const QString& name)
{
    for (const CodeFormatInfo& info : kCodeFormats)
        if (name == QLatin1String(info.name))
            return info;
    return std::nullopt;
}

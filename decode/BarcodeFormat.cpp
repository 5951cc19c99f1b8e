#include "decode/BarcodeFormat.h"

const std::array<TCodeFormatInfo, 20> kCodeFormats{{
    {"Auto", TBarcodeFormat::Auto},
    {"AZTEC", TBarcodeFormat::AZTEC},
    {"CODABAR", TBarcodeFormat::CODABAR},
    {"CODE_39", TBarcodeFormat::CODE_39},
    {"CODE_93", TBarcodeFormat::CODE_93},
    {"CODE_128", TBarcodeFormat::CODE_128},
    {"DATA_MATRIX", TBarcodeFormat::DATA_MATRIX},
    {"EAN_8", TBarcodeFormat::EAN_8},
    {"EAN_13", TBarcodeFormat::EAN_13},
    {"ITF", TBarcodeFormat::ITF},
    {"MAXICODE", TBarcodeFormat::MAXICODE},
    {"PDF_417", TBarcodeFormat::PDF_417},
    {"QR_CODE", TBarcodeFormat::QR_CODE},
    {"RSS_14", TBarcodeFormat::RSS_14},
    {"RSS_EXPANDED", TBarcodeFormat::RSS_EXPANDED},
    {"UPC_A", TBarcodeFormat::UPC_A},
    {"UPC_E", TBarcodeFormat::UPC_E},
    {"UPC_EAN_EXTENSION", TBarcodeFormat::UPC_EAN_EXTENSION},
    {"MSI", TBarcodeFormat::MSI},
    {"PLESSEY", TBarcodeFormat::PLESSEY},
}};

const std::array<TCodeFormatInfo, 2> kUnlistedCodeFormats{{
    {"MICRO_QR", TBarcodeFormat::MICRO_QR},
    {"RSS_LIMITED", TBarcodeFormat::RSS_LIMITED},
}};

std::optional<TCodeFormatInfo> CodeFormatByName(const QString& name)
{
    for (const TCodeFormatInfo& info : kCodeFormats)
        if (name == QLatin1String(info.name))
            return info;
    return std::nullopt;
}

QString CodeFormatName(TBarcodeFormat format)
{
    for (const TCodeFormatInfo& info : kCodeFormats)
        if (info.value == format)
            return QLatin1String(info.name);
    for (const TCodeFormatInfo& info : kUnlistedCodeFormats)
        if (info.value == format)
            return QLatin1String(info.name);
    return {};
}

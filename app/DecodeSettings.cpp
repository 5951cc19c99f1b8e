#include "app/DecodeSettings.h"

#include "platform/SettingsStore.h"

namespace {

const QString kSection = QStringLiteral("Settings");

} // namespace

const std::array<TDecodeSwitch, 3> kDecodeSwitches{{
    {"Read Inverted Codes", "ReadInvertedCodes", &TDecodeOptions::inverted},
    {"Read Every Format", "ReadEveryFormat", &TDecodeOptions::everyFormat},
    {"Try Harder", "TryHarder", &TDecodeOptions::tryHarder},
}};

TDecodeOptions LoadDecodeOptions(const SettingsStore* store, TBarcodeFormat format)
{
    TDecodeOptions options;
    options.format = format;
    if (store)
        for (const TDecodeSwitch& option : kDecodeSwitches)
            options.*option.flag =
                store->ReadString(kSection, QLatin1String(option.key), QString()).trimmed() == QLatin1String("1");
    return options;
}

void SetDecodeSwitch(TDecodeOptions& options, TDecodeFlag flag, bool on, SettingsStore* store)
{
    options.*flag = on;
    if (!store)
        return;
    for (const TDecodeSwitch& option : kDecodeSwitches)
        if (option.flag == flag)
            store->WriteString(kSection, QLatin1String(option.key), on ? QStringLiteral("1") : QStringLiteral("0"));
    store->UpdateFile();
}

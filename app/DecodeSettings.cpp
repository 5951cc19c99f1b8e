#include "app/DecodeSettings.h"

#include "app/SettingsStore.h"

namespace {

const QString kSection = QStringLiteral("Settings");
const QString kReadInvertedCodes = QStringLiteral("ReadInvertedCodes");

} // namespace

TDecodeOptions LoadDecodeOptions(const SettingsStore* store, TBarcodeFormat format)
{
    TDecodeOptions options;
    options.format = format;
    if (store)
        options.inverted = store->ReadString(kSection, kReadInvertedCodes, QString()).trimmed() == QLatin1String("1");
    return options;
}

void SaveDecodeOptions(SettingsStore& store, const TDecodeOptions& options)
{
    store.WriteString(kSection, kReadInvertedCodes, options.inverted ? QStringLiteral("1") : QStringLiteral("0"));
    store.UpdateFile();
}

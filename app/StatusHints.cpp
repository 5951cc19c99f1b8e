#include "app/StatusHints.h"

#include "app/DecodeSettings.h"
#include "decode/BarcodeFormat.h"
#include "localization/FormatPattern.h"

QString CodeFormatNotice(const TDecodeOptions& options)
{
    if (HasReader(options.format, options.everyFormat))
        return QString();
    return FormatTranslated(QStringLiteral("No reader for %s: decoding as with Auto."), CodeFormatName(options.format));
}

QStringList EntriesThatMayReadMore(const TDecodeOptions& options)
{
    const bool formatAlone = options.format != TBarcodeFormat::Auto && HasReader(options.format, false);
    QStringList entries;
    for (const TDecodeSwitch& option : kDecodeSwitches) {
        if (options.*option.flag || (option.flag == &TDecodeOptions::everyFormat && formatAlone))
            continue;
        entries << QLatin1String(option.caption);
    }
    return entries;
}

QString UnreadableHint(const TDecodeOptions& options)
{
    const QStringList entries = EntriesThatMayReadMore(options);
    if (entries.isEmpty())
        return QString();
    return FormatTranslated(QStringLiteral("These Settings entries are off and may read it: %s"),
                            entries.join(QStringLiteral(", ")));
}

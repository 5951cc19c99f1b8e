// Wi-Fi networks: WIFI:.
#include "content/Content.h"
#include "content/ContentLines.h"
#include "content/TextCheck.h"

namespace {

// A value that could pass for hexadecimal may come in double quotes.
QString Unquoted(const QString& value)
{
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        return value.mid(1, value.size() - 2);
    return value;
}

} // namespace

std::optional<TWifi> ParseWifi(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!HasPrefix(trimmed, QLatin1String("WIFI:")))
        return std::nullopt;
    const auto fields = RecordFields(trimmed.mid(5));
    if (!fields)
        return std::nullopt;
    TWifi wifi;
    wifi.ssid = Unquoted(FieldValue(*fields, QStringLiteral("S")));
    // The network the user is asked to join shows every character of its name.
    if (wifi.ssid.isEmpty() || wifi.ssid.toUtf8().size() > 32 || HoldsHiddenCharacters(wifi.ssid))
        return std::nullopt;
    const QString type = FieldValue(*fields, QStringLiteral("T")).trimmed().toUpper();
    if (type.isEmpty() || type == QLatin1String("NOPASS"))
        wifi.security = TWifiSecurity::None;
    else if (type == QLatin1String("WEP"))
        wifi.security = TWifiSecurity::Wep;
    else if (type == QLatin1String("WPA") || type == QLatin1String("WPA2"))
        wifi.security = TWifiSecurity::Wpa;
    else if (type == QLatin1String("SAE") || type == QLatin1String("WPA3"))
        wifi.security = TWifiSecurity::Sae;
    else
        return std::nullopt; // enterprise networks (WPA2-EAP) need more than a code gives
    if (wifi.security != TWifiSecurity::None) {
        wifi.password = Unquoted(FieldValue(*fields, QStringLiteral("P")));
        if (wifi.password.isEmpty())
            return std::nullopt;
    }
    wifi.hidden =
        FieldValue(*fields, QStringLiteral("H")).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    return wifi;
}

QString WifiSecurityName(TWifiSecurity security)
{
    switch (security) {
    case TWifiSecurity::Wep: return QStringLiteral("WEP");
    case TWifiSecurity::Wpa: return QStringLiteral("WPA");
    case TWifiSecurity::Sae: return QStringLiteral("SAE");
    case TWifiSecurity::None: break;
    }
    return QStringLiteral("none");
}

#include "app/HelpAddress.h"

QUrl OnlineHelpAddress(const QString& productName, const QString& webHost)
{
    QString page = productName.toLower();
    page.replace(QLatin1Char(' '), QLatin1Char('-'));
    return QUrl(QStringLiteral("http://") + webHost + QStringLiteral("/help/") + page + QLatin1Char('/'));
}

#include "about/AboutLinks.h"

#include "platform/Folders.h"

QUrl MakerSiteAddress(const QString& webHost)
{
    return QUrl(QStringLiteral("http://") + webHost + QLatin1Char('/'));
}

QUrl AcknowledgementsAddress(const QString& webHost)
{
    return QUrl(QStringLiteral("https://") + webHost + QStringLiteral("/blog/credits-and-acknowledgements/"));
}

QUrl UninstallAddress(const QString& webHost)
{
    return QUrl(QStringLiteral("http://") + webHost + QStringLiteral("/blog/how-to-uninstall-dastrel-software/"));
}

QString LicenseFile(const QString& shippedFilesFolder)
{
    return WithTrailingSlash(shippedFilesFolder) + QStringLiteral("license.txt");
}

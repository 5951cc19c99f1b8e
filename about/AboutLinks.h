#pragma once

#include <QString>
#include <QUrl>

// The addresses and files that the About window opens.

// The maker's site: http://<host>/
QUrl MakerSiteAddress(const QString& webHost = QStringLiteral(LANTRIX_WEB_HOST));

// "Acknowledgements...": https://<host>/blog/credits-and-acknowledgements/
QUrl AcknowledgementsAddress(const QString& webHost = QStringLiteral(LANTRIX_WEB_HOST));

// "How to uninstall...": http://<host>/blog/how-to-uninstall-dastrel-software/
QUrl UninstallAddress(const QString& webHost = QStringLiteral(LANTRIX_WEB_HOST));

// license.txt among the shipped files.
QString LicenseFile(const QString& shippedFilesFolder);

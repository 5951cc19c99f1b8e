#pragma once

#include <QString>
#include <QUrl>

// The addresses and files that the About window opens.

// The maker's site: http://<host>/
QUrl MakerSiteAddress(const QString& webHost);

// "Acknowledgements...": https://<host>/blog/credits-and-acknowledgements/
QUrl AcknowledgementsAddress(const QString& webHost);

// "How to uninstall...": http://<host>/blog/how-to-uninstall-dastrel-software/
QUrl UninstallAddress(const QString& webHost);

// license.txt among the shipped files.
QString LicenseFile(const QString& shippedFilesFolder);

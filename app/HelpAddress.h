#pragma once

#include <QUrl>

// The online help page of a product: http://<web host>/help/<product in lower
// case, spaces as "-">/
QUrl OnlineHelpAddress(const QString& productName, const QString& webHost);

#include "support/UrlCatcher.h"

#include <QDesktopServices>

TUrlCatcher::TUrlCatcher(QStringList schemes)
    : fSchemes(std::move(schemes))
{
    for (const QString& scheme : fSchemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

TUrlCatcher::~TUrlCatcher()
{
    for (const QString& scheme : fSchemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

void TUrlCatcher::open(const QUrl& url)
{
    urls.append(url);
}

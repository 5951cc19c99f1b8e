#include "support/UrlCatcher.h"

#include <QDesktopServices>

UrlCatcher::UrlCatcher(QStringList schemes)
    : fSchemes(std::move(schemes))
{
    for (const QString& scheme : fSchemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlCatcher::~UrlCatcher()
{
    for (const QString& scheme : fSchemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

void UrlCatcher::open(const QUrl& url)
{
    urls.append(url);
}

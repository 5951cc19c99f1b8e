#include "support/UrlCatcher.h"

#include <QDesktopServices>

UrlCatcher::UrlCatcher(QStringList schemes)
    : schemes_(std::move(schemes))
{
    for (const QString& scheme : schemes_)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlCatcher::~UrlCatcher()
{
    for (const QString& scheme : schemes_)
        QDesktopServices::unsetUrlHandler(scheme);
}

void UrlCatcher::open(const QUrl& url)
{
    urls.append(url);
}

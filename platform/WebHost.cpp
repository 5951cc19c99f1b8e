#include "platform/WebHost.h"

QString MakerWebHost()
{
    return QStringLiteral(LANTRIX_WEB_HOST);
}

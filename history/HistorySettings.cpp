#include "history/HistorySettings.h"

int HistoryLimitFromSetting(const QString& value)
{
    bool ok = false;
    const int limit = value.trimmed().toInt(&ok);
    return ok && limit >= 0 ? limit : kDefaultHistoryLimit;
}

bool KeepHistoryFromSetting(const QString& value)
{
    return value.trimmed() != QLatin1String("0");
}

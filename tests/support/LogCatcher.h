#pragma once

#include <QStringList>
#include <QtGlobal>

// Every message Qt logs while it exists, to check that a password is in none.
class TLogCatcher {
public:
    TLogCatcher()
    {
        Lines().clear();
        fPrevious = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { Lines().append(text); });
    }
    ~TLogCatcher() { qInstallMessageHandler(fPrevious); }
    TLogCatcher(const TLogCatcher&) = delete;
    TLogCatcher& operator=(const TLogCatcher&) = delete;

    static QStringList& Lines()
    {
        static QStringList lines;
        return lines;
    }

private:
    QtMessageHandler fPrevious = nullptr;
};

#pragma once
// Desktop services of a test's own: an X server (Xvfb) on a free display and
// a private D-Bus session bus. Both are started as child processes with plain
// POSIX calls, so that a test can start them before its QApplication exists
// (an X server must be there before Qt connects to it), and are ended when
// the object goes.

#include <QString>

#include <sys/types.h>

class TTestChildProcess {
public:
    TTestChildProcess() = default;
    ~TTestChildProcess();
    TTestChildProcess(const TTestChildProcess&) = delete;
    TTestChildProcess& operator=(const TTestChildProcess&) = delete;

protected:
    // Runs `program` with `arguments` and gives the first line it writes to
    // its standard output (read for at most `waitMs`); empty when it could
    // not be started, ended first or said nothing in time (`why` then says
    // which).
    QString StartAndReadLine(const char* program, const QStringList& arguments, int waitMs, QString& why);

private:
    pid_t fPid = -1;
    int fOutput = -1;
};

// Xvfb on a display that no other server uses (Xvfb picks it itself).
class TXvfbServer : public TTestChildProcess {
public:
    // False when Xvfb is missing or does not start; `why` says which.
    bool Start(QString& why, const QString& screen = QStringLiteral("1280x1024x24"));
    QString Display() const { return fDisplay; } // ":N"

private:
    QString fDisplay;
};

// dbus-daemon --session on an address of its own.
class TPrivateSessionBus : public TTestChildProcess {
public:
    // False when dbus-daemon is missing or does not start; `why` says which.
    bool Start(QString& why);
    QString Address() const { return fAddress; }

private:
    QString fAddress;
};

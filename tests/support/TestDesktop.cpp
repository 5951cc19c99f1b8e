#include "support/TestDesktop.h"

#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

TTestChildProcess::~TTestChildProcess()
{
    if (fOutput >= 0)
        close(fOutput);
    if (fPid > 0) {
        kill(fPid, SIGTERM);
        int status = 0;
        waitpid(fPid, &status, 0);
    }
}

QString TTestChildProcess::StartAndReadLine(const char* program, const QStringList& arguments, int waitMs, QString& why)
{
    const QString path = QStandardPaths::findExecutable(QLatin1String(program));
    if (path.isEmpty()) {
        why = QStringLiteral("%1 is missing").arg(QLatin1String(program));
        return QString();
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        why = QStringLiteral("no pipe for %1").arg(QLatin1String(program));
        return QString();
    }
    std::vector<QByteArray> storage{path.toLocal8Bit()};
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    fPid = fork();
    if (fPid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO); // dup2 clears close-on-exec on the copy
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    fOutput = pipeEnds[0];
    if (fPid < 0) {
        why = QStringLiteral("%1 could not be started").arg(QLatin1String(program));
        return QString();
    }

    QByteArray line;
    pollfd wait{fOutput, POLLIN, 0};
    while (!line.contains('\n')) {
        const int ready = poll(&wait, 1, waitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        char buffer[256];
        const ssize_t got = ready > 0 ? read(fOutput, buffer, sizeof buffer) : 0;
        if (got <= 0) {
            why = QStringLiteral("%1 ended or said nothing").arg(QLatin1String(program));
            return QString();
        }
        line.append(buffer, got);
    }
    return QString::fromLocal8Bit(line.left(line.indexOf('\n'))).trimmed();
}

bool TXvfbServer::Start(QString& why, const QString& screen)
{
    const QString number = StartAndReadLine(
        "Xvfb", {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, 20000, why);
    if (number.isEmpty())
        return false;
    fDisplay = QLatin1Char(':') + number;
    return true;
}

bool TPrivateSessionBus::Start(QString& why)
{
    fAddress = StartAndReadLine("dbus-daemon", {"--session", "--nofork", "--print-address=1"}, 20000, why);
    return !fAddress.isEmpty();
}

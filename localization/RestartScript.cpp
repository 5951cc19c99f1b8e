#include "localization/RestartScript.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"

#include <QFile>
#include <QProcess>

QByteArray ShellQuote(const QByteArray& word)
{
    QByteArray quoted = word;
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

QByteArray RestartScriptText(const QString& executableFile)
{
    // The path goes in as the file system's bytes for it.
    return QByteArray("#!/bin/sh\n"
                      "echo This file was created automatically to restart the program.\n"
                      "echo It is safe to delete this file.\n"
                      "sleep 1\n")
           + ShellQuote(QFile::encodeName(executableFile)) + '\n';
}

QString RestartScriptPath(const QString& dataFolder)
{
    return WithTrailingSlash(dataFolder) + QStringLiteral("start.sh");
}

void WriteRestartScript(const QString& dataFolder, const QString& executableFile)
{
    const QString path = RestartScriptPath(dataFolder);
    const QString error = WriteFileAtomically(path, RestartScriptText(executableFile));
    if (!error.isEmpty())
        throw ERestartScriptError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, error).toStdString());
}

void StartRestartScript(const QString& dataFolder)
{
    QProcess::startDetached(QStringLiteral("/bin/sh"), {RestartScriptPath(dataFolder)}, dataFolder);
}

void StartNewInstance(const QString& executableFile)
{
    QProcess::startDetached(executableFile, {});
}

#include "support/TestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

QString WriteTestFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

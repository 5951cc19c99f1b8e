#pragma once

#include <QByteArray>
#include <QString>

// Writes `bytes` to the file `name` in `folder` and gives its path; a file
// that cannot be written fails the running GoogleTest test.
QString WriteTestFile(const QString& folder, const QString& name, const QByteArray& bytes);

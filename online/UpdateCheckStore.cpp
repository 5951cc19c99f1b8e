#include "online/UpdateCheckStore.h"
#include "platform/ProgramNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

QString Key(const QString& section, const QString& name)
{
    return section + QLatin1Char('/') + name;
}

} // namespace

UpdateCheckStore::UpdateCheckStore(const QString& fileName)
    : fFileName(fileName)
{
    if (fileName.isEmpty())
        throw TUpdateCheckStoreError("The update-check store has no file.");
    const QFileInfo file(fileName);
    if (!QDir().mkpath(file.absolutePath()))
        throw TUpdateCheckStoreError(("The folder " + file.absolutePath() + " cannot be created.").toStdString());
    if (file.exists() && (!file.isFile() || !file.isReadable()))
        throw TUpdateCheckStoreError(("The file " + fileName + " cannot be read.").toStdString());
    fSettings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    if (fSettings->status() == QSettings::AccessError)
        throw TUpdateCheckStoreError(("The file " + fileName + " cannot be read.").toStdString());
}

UpdateCheckStore::~UpdateCheckStore() = default;

QString UpdateCheckStore::FileIn(const QString& configFolder)
{
    if (configFolder.isEmpty())
        return {};
    return configFolder + u'/' + QLatin1String(kMakerName) + u'/' + QLatin1String(kProductName)
           + QStringLiteral(".ini");
}

QString UpdateCheckStore::ReadString(const QString& section, const QString& name, const QString& defaultValue) const
{
    const QVariant value = fSettings->value(Key(section, name));
    if (!value.isValid() || value.metaType() != QMetaType::fromType<QString>())
        return defaultValue;
    return value.toString();
}

int UpdateCheckStore::ReadInteger(const QString& section, const QString& name, int defaultValue) const
{
    bool isNumber = false;
    const int number = ReadString(section, name, QString()).trimmed().toInt(&isNumber, 10);
    return isNumber ? number : defaultValue;
}

void UpdateCheckStore::WriteString(const QString& section, const QString& name, const QString& value)
{
    fSettings->setValue(Key(section, name), value);
    fSettings->sync();
}

void UpdateCheckStore::WriteInteger(const QString& section, const QString& name, int value)
{
    WriteString(section, name, QString::number(value));
}

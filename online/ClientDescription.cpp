#include "online/ClientDescription.h"

#include <QFile>
#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QSysInfo>

namespace {

// The program's own key for its machine identifier: a different program
// hashing the same machine ID gets an unrelated value.
constexpr unsigned char kAppKey[16] = {0x67, 0x1a, 0xa6, 0xef, 0x6d, 0x3b, 0xb8, 0x5c,
                                       0x66, 0x74, 0x2a, 0xad, 0xd5, 0xcc, 0x7d, 0x06};

// The 16 bytes of a machine-id file (32 hexadecimal digits and a line
// break), empty when the file is missing, unreadable, empty or malformed.
QByteArray ReadMachineId(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.read(64).trimmed();
    static const QRegularExpression hex32("^[0-9a-fA-F]{32}$");
    if (!hex32.match(QString::fromLatin1(text)).hasMatch())
        return {};
    const QByteArray id = QByteArray::fromHex(text);
    if (id == QByteArray(16, '\0'))
        return {};
    return id;
}

} // namespace

QStringList MachineIdFiles()
{
    return {"/etc/machine-id", "/var/lib/dbus/machine-id"};
}

QString MachineIdFromFiles(const QStringList& machineIdFiles)
{
    for (const QString& path : machineIdFiles) {
        const QByteArray machineId = ReadMachineId(path);
        if (machineId.isEmpty())
            continue;
        // HMAC-SHA256 of the program's key under the machine ID, its first
        // 16 bytes made a version 4 UUID.
        QByteArray id =
            QMessageAuthenticationCode::hash(QByteArray(reinterpret_cast<const char*>(kAppKey), sizeof kAppKey),
                                             machineId, QCryptographicHash::Sha256)
                .left(16);
        id[6] = char((id[6] & 0x0F) | 0x40);
        id[8] = char((id[8] & 0x3F) | 0x80);
        const QByteArray hex = id.toHex();
        return QString::fromLatin1(hex.mid(0, 8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4)
                                   + '-' + hex.mid(20, 12));
    }
    return {};
}

QString MachineId()
{
    return MachineIdFromFiles(MachineIdFiles());
}

QString LocaleTag()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return "xx";
    return locale.name().replace('_', '-');
}

QString FormatOsDescription(const QString& productName, int major, int minor, int build, int servicePack, bool is64Bit)
{
    const QString edition = is64Bit ? "64-bit Edition" : "32-bit Edition";
    if (servicePack == 0)
        return QString("%1 (Version %2.%3, Build %4, %5)")
            .arg(productName)
            .arg(major)
            .arg(minor)
            .arg(build)
            .arg(edition);
    return QString("%1 Service Pack %2 (Version %3.%4, Build %5, %6)")
        .arg(productName)
        .arg(servicePack)
        .arg(major)
        .arg(minor)
        .arg(build)
        .arg(edition);
}

QString OsDescription()
{
    // The kernel release, e.g. "6.1.0-13-amd64": version 6.1, build 0.
    const QStringList numbers = QSysInfo::kernelVersion().split(QRegularExpression("[^0-9]+"));
    auto number = [&numbers](int i) { return i < numbers.size() ? numbers[i].toInt() : 0; };
    const bool is64Bit = QSysInfo::currentCpuArchitecture().contains("64");
    return FormatOsDescription(QSysInfo::prettyProductName(), number(0), number(1), number(2), 0, is64Bit);
}

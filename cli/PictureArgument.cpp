#include "cli/PictureArgument.h"

#include "cli/ScanOptions.h"
#include "decode/PictureLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

constexpr qint64 kMaxInputBytes = 512LL * 1024 * 1024;

// True when the name comes back as the same bytes from its text form, so
// that Qt can open the file by the text.
bool NameIsText(const QByteArray& file)
{
    return QFile::encodeName(QFile::decodeName(file)) == file;
}

} // namespace

QString DisplayName(const QByteArray& file)
{
    return QString::fromUtf8(file);
}

void ThrowFileError(const char* what, const QString& name, int error)
{
    throw EPictureFileError(what, name, error);
}

QByteArray ReadStandardInput()
{
    QByteArray bytes;
    qint64 length = 0;
    for (;;) {
        if (length == bytes.size())
            bytes.resize(std::min(kMaxInputBytes + 1, std::max<qint64>(2 * length, 1 << 16)));
        ssize_t count;
        do
            count = ::read(STDIN_FILENO, bytes.data() + length, static_cast<std::size_t>(bytes.size() - length));
        while (count < 0 && errno == EINTR);
        if (count < 0)
            throw EPictureError(QStringLiteral("Cannot read standard input. %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno)))
                                    .toStdString());
        if (count == 0)
            break;
        length += count;
        if (length > kMaxInputBytes)
            throw EPictureError(QStringLiteral("The picture on standard input is too large (more than %1 bytes).")
                                    .arg(kMaxInputBytes)
                                    .toStdString());
    }
    if (length == 0)
        throw EPictureError("Nothing came on standard input.");
    bytes.truncate(length);
    return bytes;
}

bool NamesBuiltInFormat(const QByteArray& file)
{
    static const QStringList kBuiltInFormats{"png", "bmp", "pbm", "pgm", "ppm", "xbm", "xpm"};
    if (file == kStandardInputName || !NameIsText(file))
        return false;
    const QFileInfo info(QFile::decodeName(file));
    return info.isFile() && kBuiltInFormats.contains(info.suffix().toLower());
}

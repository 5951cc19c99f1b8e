// What the fuzz targets share: the property check, a reader of the input's
// bytes, and a scratch folder for parsers that read files.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

// A property that must hold for every input; a failure ends the program, so
// the fuzzing engine keeps the input and the replay test fails.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

// Takes fixed-size fields from the front of the input; what is left is the rest.
class TFuzzInput {
public:
    TFuzzInput(const uint8_t* data, size_t size)
        : fData(data)
        , fSize(size)
    {
    }

    // The next byte, 0 when none is left.
    uint8_t Byte()
    {
        if (fSize == 0)
            return 0;
        --fSize;
        return *fData++;
    }

    // The next two bytes as a little-endian number (missing ones count 0).
    uint16_t Word16()
    {
        const uint16_t low = Byte();
        return uint16_t(low | uint16_t(Byte()) << 8);
    }

    // The next four bytes as a little-endian number (missing ones count 0).
    uint32_t Word32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(Byte()) << (8 * i);
        return value;
    }

    const uint8_t* Rest() const { return fData; }
    size_t RestSize() const { return fSize; }
    QByteArray RestBytes() const { return QByteArray(reinterpret_cast<const char*>(fData), qsizetype(fSize)); }

private:
    const uint8_t* fData;
    size_t fSize;
};

// A folder of the run's own for files that parsers read, in memory when the
// machine has /dev/shm. Removed at exit.
inline const QString& FuzzFolder()
{
    static const std::unique_ptr<QTemporaryDir> kFolder = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        return std::make_unique<QTemporaryDir>(base + QStringLiteral("/lantrix-fuzz-XXXXXX"));
    }();
    FUZZ_CHECK(kFolder->isValid());
    static const QString kPath = kFolder->path();
    return kPath;
}

// Writes bytes to `name` in FuzzFolder() and answers its path.
inline QString WriteFuzzFile(const QString& name, const QByteArray& bytes)
{
    const QString path = FuzzFolder() + QLatin1Char('/') + name;
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
    return path;
}

// Runs a fuzz target without a fuzzing engine: every file named on the command
// line, and every file in every folder named there, goes through
// LLVMFuzzerTestOneInput once, in name order. A property that does not hold
// ends the program with its message; so does a folder without inputs.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER...\n", argv[0]);
        return 64;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(argument).isDir()) {
            const QDir folder(argument);
            for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name))
                files.append(folder.filePath(name));
            if (files.isEmpty()) {
                std::fprintf(stderr, "%s: no inputs in %s\n", argv[0], argv[i]);
                return 1;
            }
        } else {
            files.append(argument);
        }
        for (const QString& path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "%s: cannot read %s\n", argv[0], qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            std::printf("%s (%lld bytes)\n", qPrintable(QFileInfo(path).fileName()),
                        static_cast<long long>(bytes.size()));
            std::fflush(stdout);
            // A copy of exactly its size, so that a sanitizer build catches a
            // read past the input's end.
            const std::unique_ptr<uint8_t[]> copy(new uint8_t[size_t(bytes.size()) + (bytes.isEmpty() ? 1 : 0)]);
            std::memcpy(copy.get(), bytes.constData(), size_t(bytes.size()));
            LLVMFuzzerTestOneInput(copy.get(), size_t(bytes.size()));
            ++replayed;
        }
    }
    std::printf("replayed %d inputs, every property held\n", replayed);
    return 0;
}

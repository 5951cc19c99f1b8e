// Writes the corpus of code pictures that the tests read (tests/support/
// CodeCorpus): every code in every layout as a PNG file, and expected.tsv with
// each file's name and the text a reader answers for it (add-on digits left
// out). tools/make-code-corpus.sh runs it and counts what lantrix-scan reads.
//
//   make_code_corpus FOLDER
//
// Prints the number of pictures written; needs zint.
#include "support/CodeCorpus.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: make_code_corpus FOLDER\n", stderr);
        return 64;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    QFile expected(folder.filePath(QStringLiteral("expected.tsv")));
    if (!expected.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(expected.fileName()));
        return 1;
    }
    int written = 0;
    for (const TCorpusCode& code : CorpusCodes())
        for (const TCorpusLayout layout : CorpusLayouts()) {
            const QImage picture = CorpusPicture(code, layout);
            const QString name = CorpusPictureName(code, layout) + QStringLiteral(".png");
            if (picture.isNull() || !picture.save(folder.filePath(name), "PNG")) {
                std::fprintf(stderr, "cannot make %s (is zint installed?)\n", qPrintable(name));
                return 1;
            }
            expected.write(name.toUtf8() + '\t' + code.text + '\n');
            ++written;
        }
    std::printf("%d\n", written);
    return 0;
}

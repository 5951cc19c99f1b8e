// lantrix-scan over the corpus of zint's pictures with the decode options off
// and on: each picture's JSON result is the decoder's answer under the same
// options (the options reach the decode request unchanged), the format named
// as the code-format menu names it, and the options on read more.
#include "decode/DecodeBitmap.h"
#include "support/CodeCorpus.h"
#include "support/CommandRun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct OptionsCase {
    const char* name;
    QList<QByteArray> arguments;
    TDecodeOptions options;
};

void PrintTo(const OptionsCase& c, std::ostream* out)
{
    *out << c.name;
}

struct CorpusFolder {
    QTemporaryDir dir;
    QList<QByteArray> files;
    std::vector<QImage> pictures;
};

// The corpus written once for all cases.
const CorpusFolder& Corpus()
{
    static const CorpusFolder* corpus = [] {
        auto* folder = new CorpusFolder;
        for (const TCorpusCode& code : CorpusCodes())
            for (const TCorpusLayout layout : CorpusLayouts()) {
                const QImage picture = CorpusPicture(code, layout);
                const QString path = folder->dir.filePath(CorpusPictureName(code, layout) + QStringLiteral(".png"));
                if (picture.isNull() || !picture.save(path, "PNG"))
                    continue;
                folder->files << QFile::encodeName(path);
                folder->pictures.push_back(picture);
            }
        return folder;
    }();
    return *corpus;
}

class ScanCorpus : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ScanCorpus, EachPictureAsTheDecoderReadsIt)
{
    const OptionsCase& c = GetParam();
    const CorpusFolder& corpus = Corpus();
    ASSERT_EQ(corpus.files.size(), qsizetype(CorpusCodes().size() * CorpusLayouts().size()))
        << "zint could not draw the corpus";
    TCommand command;
    command.program = BuiltProgram("lantrix-scan");
    command.arguments = c.arguments + QList<QByteArray>{"--json"} + corpus.files;
    command.timeout = std::chrono::minutes(10);
    const TCommandOutcome run = RunCommand(command);
    ASSERT_TRUE(run.finished);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), corpus.files.size()) << run.err.toStdString();
    int decoded = 0, decodedByDefault = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines[i]).object();
        QImage picture = corpus.pictures[std::size_t(i)];
        const std::optional<TDecodedCode> expected = DecodeCode(picture, c.options);
        picture = corpus.pictures[std::size_t(i)];
        decodedByDefault += DecodeCode(picture, {}).has_value();
        const std::string file = corpus.files[i].toStdString();
        EXPECT_EQ(object.value("file").toString().toStdString(), file);
        if (!expected) {
            EXPECT_EQ(object.value("status").toString(), QStringLiteral("unreadable")) << file;
            continue;
        }
        ++decoded;
        EXPECT_EQ(object.value("status").toString(), QStringLiteral("decoded")) << file;
        EXPECT_EQ(object.value("text").toString(), expected->text) << file;
        EXPECT_EQ(object.value("format").toString(), CodeFormatName(expected->format)) << file;
    }
    // Each option reads pictures the default request leaves.
    if (c.options.everyFormat || c.options.tryHarder) {
        EXPECT_GT(decoded, decodedByDefault);
    } else {
        EXPECT_EQ(decoded, decodedByDefault);
    }
}

INSTANTIATE_TEST_SUITE_P(Options, ScanCorpus,
                         ::testing::Values(OptionsCase{"off", {}, {}},
                                           OptionsCase{"every_format", {"--every-format"}, {.everyFormat = true}},
                                           OptionsCase{"try_harder", {"--try-harder"}, {.tryHarder = true}},
                                           OptionsCase{"both",
                                                       {"--every-format", "--try-harder"},
                                                       {.everyFormat = true, .tryHarder = true}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

// Matrix codes turned by a quarter turn or more: a Data Matrix code has no
// upright and is read at any quarter turn in the one pass, as a QR code is;
// through the decoder and through lantrix-scan.
#include "decode/DecodeBitmap.h"
#include "support/CommandRun.h"
#include "support/Samples.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTransform>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

struct TurnedSample {
    const char* file;
    const char* text;
    TBarcodeFormat format;
};

const TurnedSample kTurnedSamples[] = {
    {"data_matrix.png", "Lantrix Data Matrix 0042", TBarcodeFormat::DATA_MATRIX},
    {"qr_code.png", "https://lantrix.invalid/hello?from=qr", TBarcodeFormat::QR_CODE},
};

// The sample turned clockwise by `degrees` (a multiple of 90), in the middle
// of a white picture wider than it is high, so that the code crosses the
// middle row whichever way it lies.
QImage Turned(const TurnedSample& sample, int degrees)
{
    const QImage code =
        LoadSample(sample.file).convertToFormat(QImage::Format_RGB32).transformed(QTransform().rotate(degrees));
    QImage picture(code.width() + 200, code.height() + 80, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int y = 0; y < code.height(); ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(code.constScanLine(y)), code.width(),
                    reinterpret_cast<QRgb*>(picture.scanLine(y + 40)) + 100);
    return picture;
}

void PrintTo(const TurnedSample& sample, std::ostream* out)
{
    *out << sample.file;
}

class TurnedCode : public ::testing::TestWithParam<std::tuple<TurnedSample, int>> {};

TEST_P(TurnedCode, ReadAtEveryQuarterTurn)
{
    const auto& [sample, degrees] = GetParam();
    for (const TBarcodeFormat format : {TBarcodeFormat::Auto, sample.format}) {
        QImage picture = Turned(sample, degrees);
        const std::optional<TDecodedCode> code = DecodeCode(picture, {.format = format});
        ASSERT_TRUE(code.has_value()) << CodeFormatName(format).toStdString();
        EXPECT_EQ(code->text.toStdString(), sample.text);
        EXPECT_EQ(code->format, sample.format);
        picture = Turned(sample, degrees);
        const std::vector<TDecodedCode> all = DecodeAllCodes(picture, {.format = format});
        ASSERT_EQ(all.size(), 1u) << CodeFormatName(format).toStdString();
        EXPECT_EQ(all.front().text.toStdString(), sample.text);
        picture = Turned(sample, degrees);
        EXPECT_EQ(DecodeBitmap(picture, format), QString::fromLatin1(sample.text));
    }
}

TEST_P(TurnedCode, ReadByLantrixScan)
{
    const auto& [sample, degrees] = GetParam();
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("turned.png"));
    ASSERT_TRUE(Turned(sample, degrees).save(file, "PNG"));
    TCommand command;
    command.program = BuiltProgram("lantrix-scan");
    command.arguments = {QFile::encodeName(file)};
    const TCommandOutcome run = RunCommand(command);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), std::string(sample.text) + "\n");
}

INSTANTIATE_TEST_SUITE_P(QuarterTurns, TurnedCode,
                         ::testing::Combine(::testing::ValuesIn(kTurnedSamples), ::testing::Values(0, 90, 180, 270)),
                         [](const auto& info) {
                             return QString(std::get<0>(info.param).file).section('.', 0, 0).toStdString() + "_"
                                    + std::to_string(std::get<1>(info.param));
                         });

} // namespace

// The decoder process as the tests start it, and the faults they order of it.
#pragma once

#include "decode/PictureLoader.h"
#include "decoder/DecoderProcess.h"
#include "decoder/TestFaults.h"
#include "support/PictureFiles.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// lantrix-decoder of the build, started as the window starts it.
inline TDecoderLaunch TestDecoderLaunch()
{
    return ExecDecoder(QStringLiteral(LANTRIX_BIN_DIR "/lantrix-decoder"), kMaxPicturePixels);
}

// A QR code that orders a decoder process with faults on to fail as `kind`
// says: "abort", "segv", "loop", "alloc" or "probe".
inline QImage FaultPicture(const QString& kind)
{
    return QrCodePicture(QLatin1String(kTestFaultPrefix) + kind);
}

// While it lives, the decoder processes started (by this process or by a
// program it runs) obey the fault pictures, and a decode may take
// `limitMs` at most, so that a loop on purpose ends soon.
class TDecoderFaults {
public:
    explicit TDecoderFaults(int limitMs = 3000)
    {
        qputenv("LANTRIX_TEST_DECODER_FAULTS", "1");
        qputenv("LANTRIX_TEST_DECODER_TIME_LIMIT_MS", QByteArray::number(limitMs));
    }
    ~TDecoderFaults()
    {
        qunsetenv("LANTRIX_TEST_DECODER_FAULTS");
        qunsetenv("LANTRIX_TEST_DECODER_TIME_LIMIT_MS");
    }
    TDecoderFaults(const TDecoderFaults&) = delete;
    TDecoderFaults& operator=(const TDecoderFaults&) = delete;
};

#pragma once
// The one place that knows which zxing-cpp release the program is built with:
// 1.4 (Debian 12) or 2.x (Debian 13 and later). Everything else asks the
// names below what the library does, never its version.
//
// Include only where zxing-cpp's own headers are at hand (the decode library,
// and tests and benchmarks that link zxing-cpp).

#if __has_include(<ZXing/Version.h>)
#include <ZXing/Version.h> // 2.x (its ZXVersion.h only says it is deprecated)
#else
#include <ZXing/ZXVersion.h>
#endif

#if ZXING_VERSION_MAJOR >= 2
#include <ZXing/ReaderOptions.h>
#else
#include <ZXing/DecodeHints.h>
#endif
#include <ZXing/BarcodeFormat.h>
#include <ZXing/CharacterSet.h>
#include <ZXing/ReadBarcode.h>

#include <string>

// zxing-cpp 2 has a reader of GS1 DataBar Limited; 1.4 has none.
#if ZXING_VERSION_MAJOR >= 2
#define LANTRIX_ZXING_READS_DATABAR_LIMITED 1
#else
#define LANTRIX_ZXING_READS_DATABAR_LIMITED 0
#endif

namespace ZXingCompat {

inline constexpr int kMajorVersion = ZXING_VERSION_MAJOR;

// What the readers of one request are told.
#if ZXING_VERSION_MAJOR >= 2
using TReaderOptions = ZXing::ReaderOptions;
#else
using TReaderOptions = ZXing::DecodeHints;
#endif

// zxing-cpp 1.4 compares a linear code found in a smaller copy of the picture
// with those found in the picture itself by a check that ends the program (an
// assertion in Result::operator==), so with 1.4 the linear readers never look
// at a smaller copy; zxing-cpp 2 lets them.
inline constexpr bool kLinearReadersDownscale = kMajorVersion >= 2;

// zxing-cpp 2's matrix readers try the inverted picture themselves, where a
// light code on a dark ground is read, at the cost of one more pass over the
// picture they have already made black and white. Its linear readers do not
// (2.3 reads no inverted EAN-13 that way), nor does anything of 1.4: there the
// program inverts the grey plane and asks again.
inline constexpr bool kMatrixReadersTryInverted = kMajorVersion >= 2;

// The character set a writer is told for bytes written as they are (each
// byte one character of its input): zxing-cpp 2 refuses the bytes 0x80-0x9F
// unless they are announced as binary; 1.4 writes them as they come.
inline constexpr ZXing::CharacterSet kWriterRawBytes =
    kMajorVersion >= 2 ? ZXing::CharacterSet::BINARY : ZXing::CharacterSet::Unknown;

// zxing-cpp 2 answers an EAN or UPC code from the first line across its bars
// it reads, which may pass below the add-on digits (drawn shorter, under their
// human-readable digits): asked to read add-ons, it answers the code without
// them. Asked again to require the add-on, it reads the lines across it.
// zxing-cpp 1.4 finds the add-on from the first line.
inline constexpr bool kAddOnNeedsItsOwnRequest = kMajorVersion >= 2;

// The settings the releases do not share, set to the program's values: the
// same results from both. zxing-cpp 2 turns several of them on by default
// and changes what a request answers without a word, so each is set here.
inline void SetReleaseOptions(TReaderOptions& options, bool inverted)
{
#if ZXING_VERSION_MAJOR >= 2
    // The text as the code holds it: the default human-readable form writes
    // control characters as "<ESC>" and puts brackets into GS1 texts.
    options.setTextMode(ZXing::TextMode::Plain);
    options.setTryInvert(inverted);
#else
    options.setValidateCode39CheckSum(false);
    options.setValidateITFCheckSum(false);
    options.setReturnCodabarStartEnd(false);
    (void)inverted;
#endif
}

// A code's text in the form zxing-cpp 1.4 gives it, which is the form the
// program shows and writes: a Codabar code without its start and stop
// letters, a DataBar code's 14 digits without the "01" before them, and a
// DataBar Expanded code's element strings with their identifiers in brackets
// ("(01)98898765432106(3103)001750").
inline std::string TextOf(const ZXing::Result& result)
{
#if ZXING_VERSION_MAJOR >= 2
    switch (result.format()) {
    case ZXing::BarcodeFormat::DataBarExpanded: return result.text(ZXing::TextMode::HRI);
    case ZXing::BarcodeFormat::Codabar: {
        std::string text = result.text(ZXing::TextMode::Plain);
        return text.size() >= 2 ? text.substr(1, text.size() - 2) : text;
    }
    case ZXing::BarcodeFormat::DataBar:
    case ZXing::BarcodeFormat::DataBarLimited: {
        std::string text = result.text(ZXing::TextMode::Plain);
        return text.size() == 16 && text.starts_with("01") ? text.substr(2) : text;
    }
    default: return result.text(ZXing::TextMode::Plain);
    }
#else
    return result.text();
#endif
}

// A code's content as it was encoded, in the form zxing-cpp 1.4 gives it:
// for the Codabar and DataBar codes, whose bytes 1.4 gives as their text, the
// text above.
inline std::string BytesOf(const ZXing::Result& result)
{
#if ZXING_VERSION_MAJOR >= 2
    switch (result.format()) {
    case ZXing::BarcodeFormat::Codabar:
    case ZXing::BarcodeFormat::DataBar:
    case ZXing::BarcodeFormat::DataBarExpanded:
    case ZXing::BarcodeFormat::DataBarLimited: return TextOf(result);
    default: break;
    }
#endif
    const ZXing::ByteArray& bytes = result.bytes();
    return std::string(bytes.begin(), bytes.end());
}

} // namespace ZXingCompat

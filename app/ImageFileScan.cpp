#include "app/ImageFileScan.h"

#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "decoder/PictureDecoder.h"
#include "localization/LanguageFiles.h"
#include "platform/SettingsStore.h"

#include <QFile>
#include <QFileInfo>

#include <exception>
#include <functional>

namespace {

// Runs `read`; a decoder that stopped is said in the user's language.
template <typename T>
T Translated(const std::function<T()>& read)
{
    try {
        return read();
    } catch (const EDecoderStopped& stopped) {
        const QString text = QString::fromUtf8(stopped.what());
        throw EPictureError((text == QLatin1String(kDecoderStoppedText)
                                 ? Translate(QStringLiteral("The picture could not be decoded: the decoder stopped."))
                                 : text)
                                .toStdString());
    }
}

} // namespace

TImageFileScanner::TImageFileScanner(SettingsStore* store, QString defaultFolder, TPictureDecoder& decoder)
    : fStore(store)
    , fDecoder(decoder)
    , fDefaultFolder(std::move(defaultFolder))
{
}

void TImageFileScanner::Browse(TImageScanView& view, const TDecodeOptions& options)
{
    const QString remembered =
        fStore ? fStore->ReadString(QStringLiteral("Settings"), QStringLiteral("InitialDir"), fDefaultFolder)
               : fDefaultFolder;
    if (QFileInfo(remembered).isDir())
        fDialogFolder = remembered;

    const std::optional<QString> file = view.AskForPictureFile(fDialogFolder);
    if (!file)
        return;
    ScanFile(view, *file, options);
}

void TImageFileScanner::ScanFile(TImageScanView& view, const QString& file, const TDecodeOptions& options)
{
    view.ShowPath(file);
    const TDecodedPicture read = Translated<TDecodedPicture>(
        [&] { return fDecoder.ReadFile(QFile::encodeName(file), file, {.options = options, .wantPicture = true}); });
    view.ShowPicture(read.picture);

    std::exception_ptr saveError;
    if (fStore) {
        try {
            // A folder name the file cannot hold (a line break in it) is not
            // remembered; the folder remembered before stays.
            if (fStore->WriteString(QStringLiteral("Settings"), QStringLiteral("InitialDir"),
                                    QFileInfo(file).absolutePath()))
                fStore->UpdateFile();
        } catch (...) {
            saveError = std::current_exception();
        }
    }

    Show(view, read.picture, read.codes, file);

    if (saveError)
        std::rethrow_exception(saveError);
}

std::optional<QString> TImageFileScanner::ScanPicture(TImageScanView& view, const TPictureInput& input,
                                                      TPictureSource source, const TDecodeOptions& options)
{
    const TReadRequest request{.options = options, .wantPicture = true};
    TDecodedPicture read;
    switch (input.kind) {
    case TPictureInput::TKind::None: return std::nullopt;
    case TPictureInput::TKind::Picture:
        read.picture = input.picture;
        read.codes =
            Translated<std::vector<TDecodedCode>>([&] { return fDecoder.DecodePixels(input.picture, request); });
        break;
    case TPictureInput::TKind::File:
        read = Translated<TDecodedPicture>(
            [&] { return fDecoder.ReadFile(QFile::encodeName(input.file), input.file, request); });
        break;
    case TPictureInput::TKind::Data:
        // The offer's formats in turn; when none reads, the first one's error.
        read = Translated<TDecodedPicture>([&] {
            std::exception_ptr firstError;
            for (const QByteArray& bytes : input.data) {
                try {
                    return fDecoder.ReadData(bytes, request);
                } catch (const EPictureError&) {
                    if (!firstError)
                        firstError = std::current_exception();
                }
            }
            if (firstError)
                std::rethrow_exception(firstError);
            throw EPictureError("Unsupported image format");
        });
        break;
    }
    // A picture that could not be read leaves the tab as it was.
    view.ShowPath(PictureSourceText(source));
    view.ShowPicture(read.picture);
    return Show(view, read.picture, read.codes, PictureSourceName(source));
}

bool TImageFileScanner::RereadUnreadable(TImageScanView& view, const TDecodeOptions& options)
{
    if (fUnreadable.isNull())
        return false;
    const QImage picture = fUnreadable;
    const QString source = fUnreadableSource;
    const std::vector<TDecodedCode> codes = Translated<std::vector<TDecodedCode>>(
        [&] { return fDecoder.DecodePixels(picture, {.options = options, .wantPicture = false}); });
    Show(view, picture, codes, source);
    return true;
}

std::optional<QString> TImageFileScanner::Show(TImageScanView& view, const QImage& picture,
                                               const std::vector<TDecodedCode>& codes, const QString& source)
{
    fUnreadable = codes.empty() ? picture : QImage();
    fUnreadableSource = codes.empty() ? source : QString();
    if (codes.empty()) {
        view.ShowResult(std::nullopt);
        return std::nullopt;
    }
    view.CodeRead(codes.front(), source);
    view.ShowResult(codes.front().text);
    return codes.front().text;
}

void TImageFileScanner::ScanInput(TImageScanView& view, const TPictureInput& input, TPictureSource source,
                                  const TDecodeOptions& options)
{
    switch (input.kind) {
    case TPictureInput::TKind::File: ScanFile(view, input.file, options); break;
    case TPictureInput::TKind::Picture:
    case TPictureInput::TKind::Data: ScanPicture(view, input, source, options); break;
    case TPictureInput::TKind::None: break;
    }
}

#include "app/ImageFileScan.h"

#include "app/SettingsStore.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"

#include <QFileInfo>

#include <exception>

TImageFileScanner::TImageFileScanner(SettingsStore* store, QString defaultFolder)
    : fStore(store)
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
    const QImage picture = LoadPicture(file);
    view.ShowPicture(picture);

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

    // The decoder may convert its bitmap in place; the shared copy detaches then
    // and the shown picture stays as it is.
    QImage copy = picture;
    view.ShowResult(DecodeBitmap(copy, options));

    if (saveError)
        std::rethrow_exception(saveError);
}

std::optional<QString> TImageFileScanner::ScanPicture(TImageScanView& view, const QImage& picture,
                                                      const QString& source, const TDecodeOptions& options)
{
    view.ShowPath(source);
    view.ShowPicture(picture);
    QImage copy = picture;
    std::optional<QString> text = DecodeBitmap(copy, options);
    view.ShowResult(text);
    return text;
}

void TImageFileScanner::ScanInput(TImageScanView& view, const TPictureInput& input, TPictureSource source,
                                  const TDecodeOptions& options)
{
    switch (input.kind) {
    case TPictureInput::TKind::File: ScanFile(view, input.file, options); break;
    case TPictureInput::TKind::Picture: ScanPicture(view, input.picture, PictureSourceText(source), options); break;
    case TPictureInput::TKind::None: break;
    }
}

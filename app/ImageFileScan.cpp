#include "app/ImageFileScan.h"

#include "app/SettingsStore.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"

#include <QFileInfo>

#include <exception>

ImageFileScanner::ImageFileScanner(SettingsStore* store, QString defaultFolder)
    : store_(store)
    , defaultFolder_(std::move(defaultFolder))
{
}

void ImageFileScanner::Browse(ImageScanView& view, const TDecodeOptions& options)
{
    const QString remembered =
        store_ ? store_->ReadString(QStringLiteral("Settings"), QStringLiteral("InitialDir"), defaultFolder_)
               : defaultFolder_;
    if (QFileInfo(remembered).isDir())
        dialogFolder_ = remembered;

    const std::optional<QString> file = view.AskForPictureFile(dialogFolder_);
    if (!file)
        return;
    ScanFile(view, *file, options);
}

void ImageFileScanner::ScanFile(ImageScanView& view, const QString& file, const TDecodeOptions& options)
{
    view.ShowPath(file);
    const QImage picture = LoadPicture(file);
    view.ShowPicture(picture);

    std::exception_ptr saveError;
    if (store_) {
        try {
            // A folder name the file cannot hold (a line break in it) is not
            // remembered; the folder remembered before stays.
            if (store_->WriteString(QStringLiteral("Settings"), QStringLiteral("InitialDir"),
                                    QFileInfo(file).absolutePath()))
                store_->UpdateFile();
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

std::optional<QString> ImageFileScanner::ScanPicture(ImageScanView& view, const QImage& picture, const QString& source,
                                                     const TDecodeOptions& options)
{
    view.ShowPath(source);
    view.ShowPicture(picture);
    QImage copy = picture;
    std::optional<QString> text = DecodeBitmap(copy, options);
    view.ShowResult(text);
    return text;
}

void ImageFileScanner::ScanInput(ImageScanView& view, const TPictureInput& input, TPictureSource source,
                                 const TDecodeOptions& options)
{
    switch (input.kind) {
    case TPictureInput::Kind::File: ScanFile(view, input.file, options); break;
    case TPictureInput::Kind::Picture: ScanPicture(view, input.picture, PictureSourceText(source), options); break;
    case TPictureInput::Kind::None: break;
    }
}

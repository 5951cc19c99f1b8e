#pragma once

#include "app/PictureInput.h"
#include "decode/BarcodeFormat.h"
#include "decode/DecodeBitmap.h"

#include <QImage>
#include <QString>

#include <optional>
#include <vector>

class SettingsStore;
class TPictureDecoder;

// What the image-file scan needs of the window that shows it.
class TImageScanView {
public:
    virtual ~TImageScanView() = default;
    // The open dialog, starting in `initialFolder` (empty: where the platform
    // chooses); the chosen file's full path, or nothing when cancelled.
    virtual std::optional<QString> AskForPictureFile(const QString& initialFolder) = 0;
    virtual void ShowPath(const QString& path) = 0;
    virtual void ShowPicture(const QImage& picture) = 0;
    // The decoded text, or nothing for an unreadable picture.
    virtual void ShowResult(const std::optional<QString>& text) = 0;
    // A code read, before its text is shown, for the history: `source` is
    // the picture file's path or, for a picture without a file, its
    // PictureSourceName ("Clipboard", "Drop", "Screen").
    virtual void CodeRead(const TDecodedCode& code, const QString& source) = 0;
};

// One pick of a picture file: the dialog in the remembered folder, the path,
// the picture, the folder written to settings.ini, the decode and its result.
// Pictures are read and decoded by a decoder process (`decoder`): this
// process never parses a picture file itself, and a picture that ends the
// decoder costs only itself.
class TImageFileScanner {
public:
    // `store` may be null when settings.ini could not be opened at all; the
    // folder is then neither read nor remembered.
    TImageFileScanner(SettingsStore* store, QString defaultFolder, TPictureDecoder& decoder);

    // Raises the loader's error (EPictureError) when the picture cannot be
    // loaded, leaving picture, result and settings as they were; a decoder
    // that stopped on the picture gives "The picture could not be decoded:
    // the decoder stopped." (translated) the same way. When
    // settings.ini cannot be written, the picture is still decoded and shown
    // and the write error (ESettingsError) is raised afterwards. The picture
    // is decoded with `options`, which are handed to the decoder as they are.
    void Browse(TImageScanView& view, const TDecodeOptions& options);

    // The rest of a pick, for a file that came another way (the command
    // line, a drop, a path on the clipboard): path, picture, remembered
    // folder, decode, result; with the same errors as Browse.
    void ScanFile(TImageScanView& view, const QString& file, const TDecodeOptions& options);

    // A picture without a file of the user's (pasted, dropped as data, a
    // screenshot): pixels, a picture file's bytes (the first of `input.data`
    // that reads), or a file that only carries it (a screenshot's); `source`
    // says where it came from: its PictureSourceText stands where the path
    // would, and its PictureSourceName is the code's source for the history;
    // the remembered folder stays as it is. Gives the decoded text, or
    // nothing. Raises EPictureError as ScanFile does.
    std::optional<QString> ScanPicture(TImageScanView& view, const TPictureInput& input, TPictureSource source,
                                       const TDecodeOptions& options);

    // What a drop or the clipboard offered: a file as ScanFile takes it, a
    // picture or its bytes as ScanPicture does; nothing for an empty offer.
    void ScanInput(TImageScanView& view, const TPictureInput& input, TPictureSource source,
                   const TDecodeOptions& options);

    // The picture on screen decoded again with `options`, when the last scan
    // found no code in it (after a reading option was turned on, say): the
    // pixels shown, not the file again, which may have changed or gone.
    // False when there is no such picture; errors as ScanPicture's.
    bool RereadUnreadable(TImageScanView& view, const TDecodeOptions& options);

    const QString& DialogFolder() const { return fDialogFolder; }

private:
    // What a scan read, from `source` (a path or a PictureSourceName): the
    // first code handed to the view for the history and its text shown;
    // `picture` kept while it gave no code. Gives the text.
    std::optional<QString> Show(TImageScanView& view, const QImage& picture, const std::vector<TDecodedCode>& codes,
                                const QString& source);

    SettingsStore* fStore;
    TPictureDecoder& fDecoder;
    QString fDefaultFolder;
    QString fDialogFolder;     // the dialog's initial folder as last set in this run
    QImage fUnreadable;        // the picture shown, while the pane says "Unreadable!"
    QString fUnreadableSource; // where it came from, as Show took it
};

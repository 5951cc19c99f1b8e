// Camera sources: extra capture devices, each a display name and a GStreamer
// source description (a network camera over RTSP or HTTP, a video file, a test
// picture), listed after the real cameras and started like them. The user's
// come from the file cameras.ini, one source per line:
//
//   Display name = source description
//
// Blank lines, lines starting with ";" or "#", "[section]" lines and lines
// without "=" are passed over. The name is what comes before the first "=",
// the description what comes after it, both trimmed. A description that does
// not parse, or a source that fails, behaves like a camera that fails to start.
//
// Sources given otherwise (on the command line, say) are added for the rest of
// the run and listed after the file's, in the order they were added.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct TCameraSource {
    QString name;
    QString description; // gst-launch syntax; its one unlinked source pad is the camera's output
};

// The sources in the text of a cameras.ini file (UTF-8), in the order of its lines.
QList<TCameraSource> ParseCameraSources(const QByteArray& text);

class TCameraSources {
public:
    // The cameras.ini file read at every listing of the devices (so that an
    // edit shows at the next one); empty: none.
    static void SetFile(const QString& path);
    static QString File();
    // Adds a source for the rest of the run, listed after those of the file
    // and those added before it; several sources may share a name.
    static void Add(const QString& name, const QString& description);
    // Removes every added source of that name; the file stays.
    static void Remove(const QString& name);
    static void Clear(); // every added source; the file stays
    // The added sources, in the order they were added.
    static QList<TCameraSource> Added();
    // The file's sources (none when it is missing or cannot be read), then
    // the added ones.
    static QList<TCameraSource> List();
};

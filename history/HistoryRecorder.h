// The webcam's de-duplication for the scan history.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// A code is recorded once when it appears, not once a frame. The same text
// from the same source again within kRepeatSeconds of its last sighting is
// the same sighting (it stays in view, however long); another text, another
// source, or after the pause: a new record. Several codes in view at once are
// each remembered. A clock set back counts as a pause.
class THistoryRecorder {
public:
    static constexpr int kRepeatSeconds = 5;
    // Whether a code seen now should be recorded; remembers the sighting.
    bool ShouldRecord(const QString& source, const QString& text, const QDateTime& now);
    void Forget(); // a new capture starts: the next code is recorded

private:
    QHash<QString, QDateTime> fLastSeen; // by source and text
};

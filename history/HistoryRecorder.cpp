#include "history/HistoryRecorder.h"

namespace {

// Source and text in one key: a NUL does not occur in a source's name.
QString SightingKey(const QString& source, const QString& text)
{
    return source + QChar(u'\0') + text;
}

bool WithinRepeat(const QDateTime& last, const QDateTime& now)
{
    const qint64 elapsed = last.msecsTo(now);
    return elapsed >= 0 && elapsed <= qint64(THistoryRecorder::kRepeatSeconds) * 1000;
}

} // namespace

bool THistoryRecorder::ShouldRecord(const QString& source, const QString& text, const QDateTime& now)
{
    // Sightings past the pause are forgotten, so the memory stays as small as
    // the codes in view.
    for (auto it = fLastSeen.begin(); it != fLastSeen.end();) {
        if (WithinRepeat(it.value(), now))
            ++it;
        else
            it = fLastSeen.erase(it);
    }
    const QString key = SightingKey(source, text);
    const bool seen = fLastSeen.contains(key);
    fLastSeen.insert(key, now);
    return !seen;
}

void THistoryRecorder::Forget()
{
    fLastSeen.clear();
}

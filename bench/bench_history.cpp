// Speed of the scan history at its default limit of 10,000 entries: opening
// it as the History tab does (Open and All), the tab's search per keystroke
// (a query typed one letter at a time), recording one entry (what a code
// read costs the writer thread, the oldest dropped at the limit), and the
// exports.
//
//   bench_history --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "content/Content.h"
#include "history/HistoryExport.h"
#include "history/HistoryFilter.h"
#include "history/HistorySettings.h"
#include "history/HistoryStore.h"

#include <QTemporaryDir>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kEntries = kDefaultHistoryLimit;
// What the user types into the search box, one letter at a time.
const QString kTyped = QStringLiteral("shop.example");

// Entries like a year of use: links, Wi-Fi networks, product numbers,
// contacts and labels, from pictures, the screen and two cameras.
THistoryEntry MadeEntry(int i, std::mt19937& random)
{
    THistoryEntry entry;
    entry.time = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + qint64(i) * 60'000);
    switch (i % 5) {
    case 0:
        entry.text = QStringLiteral("https://shop.example.org/item/%1?ref=label&lot=%2").arg(i).arg(random() % 100000);
        entry.format = QStringLiteral("QR_CODE");
        break;
    case 1:
        entry.text = QStringLiteral("WIFI:S:Guest-%1;T:WPA;P:pass%2word;;").arg(i % 40).arg(random() % 1000);
        entry.format = QStringLiteral("QR_CODE");
        break;
    case 2:
        entry.text = QString::number(4006381333931LL + (random() % 1000000));
        entry.format = QStringLiteral("EAN_13");
        break;
    case 3:
        entry.text = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person %1\r\nTEL:+49 30 %2\r\nEND:VCARD")
                         .arg(i)
                         .arg(random() % 10000000);
        entry.format = QStringLiteral("QR_CODE");
        break;
    default:
        entry.text = QStringLiteral("LOT-%1-%2").arg(i).arg(random() % 1000);
        entry.format = QStringLiteral("CODE_128");
        break;
    }
    static const QStringList sources = {QStringLiteral("/home/me/Pictures/Scans/receipt.png"), QStringLiteral("Screen"),
                                        QStringLiteral("HD Webcam C270"), QStringLiteral("Clipboard"),
                                        QStringLiteral("USB Camera")};
    entry.source = sources[i % sources.size()];
    entry.bytes = entry.text.toUtf8();
    entry.contentType = ContentTypeName(ParseContent(entry.text));
    return entry;
}

QList<THistoryEntry> MadeEntries()
{
    std::mt19937 random(7);
    QList<THistoryEntry> entries;
    for (int i = 0; i < kEntries; ++i)
        entries.append(MadeEntry(i, random));
    return entries;
}

// A history file of kEntries entries, made once.
class THistoryFile {
public:
    THistoryFile()
    {
        THistoryStore store(File());
        store.Open();
        for (const THistoryEntry& entry : MadeEntries())
            store.Add(entry, kEntries);
    }
    QString File() const { return fFolder.filePath(QStringLiteral("history.sqlite")); }

private:
    QTemporaryDir fFolder;
};

const THistoryFile& HistoryFile()
{
    static const THistoryFile file;
    return file;
}

void BM_OpenHistory(benchmark::State& state)
{
    const QString file = HistoryFile().File();
    for (auto _ : state) {
        THistoryStore store(file);
        store.Open();
        const QList<THistoryEntry> entries = store.All();
        if (entries.size() != kEntries)
            state.SkipWithError("the history lost entries");
        benchmark::DoNotOptimize(entries.data());
    }
}
BENCHMARK(BM_OpenHistory)->Unit(benchmark::kMillisecond);

// The list of the newest first, once open: All alone.
void BM_ReadAll(benchmark::State& state)
{
    THistoryStore store(HistoryFile().File());
    store.Open();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.All().data());
}
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond);

// The search after the keystroke that made the query `state.range(0)` letters long.
void BM_FilterKeystroke(benchmark::State& state)
{
    static const QList<THistoryEntry> entries = MadeEntries();
    const QString query = kTyped.left(state.range(0));
    qsizetype shown = 0;
    for (auto _ : state) {
        const QList<qsizetype> found = FilterHistory(entries, query, QString());
        shown = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["shown"] = double(shown);
}
BENCHMARK(BM_FilterKeystroke)->DenseRange(1, 12, 1)->Unit(benchmark::kMillisecond);

// The search with a format chosen as well, for the longest query.
void BM_FilterWithFormat(benchmark::State& state)
{
    static const QList<THistoryEntry> entries = MadeEntries();
    for (auto _ : state)
        benchmark::DoNotOptimize(FilterHistory(entries, QStringLiteral("guest-1"), QStringLiteral("QR_CODE")).data());
}
BENCHMARK(BM_FilterWithFormat)->Unit(benchmark::kMillisecond);

// Recording one code in a full history: one transaction, the oldest dropped.
void BM_AddEntry(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("history.sqlite"));
    {
        THistoryStore store(file);
        store.Open();
        for (const THistoryEntry& entry : MadeEntries())
            store.Add(entry, kEntries);
    }
    THistoryStore store(file);
    store.Open();
    std::mt19937 random(11);
    int i = kEntries;
    for (auto _ : state) {
        state.PauseTiming();
        THistoryEntry entry = MadeEntry(i++, random);
        entry.time = QDateTime::currentDateTime();
        state.ResumeTiming();
        if (!store.Add(entry, kEntries))
            state.SkipWithError("Add failed");
    }
}
BENCHMARK(BM_AddEntry)->Unit(benchmark::kMicrosecond);

void BM_ExportCsv(benchmark::State& state)
{
    static const QList<THistoryEntry> entries = MadeEntries();
    for (auto _ : state)
        benchmark::DoNotOptimize(HistoryCsv(entries).data());
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);

void BM_ExportJsonLines(benchmark::State& state)
{
    static const QList<THistoryEntry> entries = MadeEntries();
    for (auto _ : state)
        benchmark::DoNotOptimize(HistoryJsonLines(entries).data());
}
BENCHMARK(BM_ExportJsonLines)->Unit(benchmark::kMillisecond);

} // namespace

// Qt's SQL module opens nothing without an application object (Qt 6.8).
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

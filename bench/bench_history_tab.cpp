// The History tab's own work, offscreen, on a history of 10,000 entries:
// opening the tab (the entries read from history.sqlite, the list reset and
// painted) and a keystroke in the search (FilterHistory, the list reset and
// painted). The window asks the first to stay under 200 ms, the second
// under 30 ms.
#include "app/HistoryBrowser.h"
#include "app/HistoryModel.h"
#include "app/widgets/HistoryTab.h"
#include "history/HistoryStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kEntries = 10000;

// A history of kEntries codes of several kinds and formats, made once.
const QString& HistoryFile()
{
    static QTemporaryDir folder;
    static const QString file = [] {
        const QString path = folder.filePath(QStringLiteral("history.sqlite"));
        THistoryStore store(path);
        store.Open();
        const QDateTime start = QDateTime::currentDateTime().addDays(-30);
        for (int i = 0; i < kEntries; ++i) {
            THistoryEntry entry;
            entry.time = start.addSecs(i * 60);
            switch (i % 4) {
            case 0:
                entry.text = QStringLiteral("https://shop%1.lantrix.invalid/item?id=%2").arg(i % 97).arg(i);
                entry.format = QStringLiteral("QR_CODE");
                break;
            case 1:
                entry.text = QStringLiteral("WIFI:T:WPA;S:Lobby %1;P:secret%2;;").arg(i % 13).arg(i);
                entry.format = QStringLiteral("QR_CODE");
                break;
            case 2:
                entry.text = QStringLiteral("4006381%1").arg(i, 6, 10, QLatin1Char('0'));
                entry.format = QStringLiteral("EAN_13");
                break;
            default:
                entry.text = QStringLiteral("Label %1 of shelf %2, batch scanned").arg(i).arg(i % 31);
                entry.format = QStringLiteral("DATA_MATRIX");
                break;
            }
            entry.source = i % 3 ? QStringLiteral("HD Webcam") : QStringLiteral("/home/me/scans/%1.png").arg(i);
            entry.bytes = entry.text.toUtf8();
            store.Add(entry, 0);
        }
        return path;
    }();
    return file;
}

// A shown tab over a browser whose file is open.
struct TShownTab {
    std::unique_ptr<THistoryBrowser> browser;
    std::unique_ptr<THistoryTab> tab;

    TShownTab()
        : browser(std::make_unique<THistoryBrowser>(HistoryFile(), nullptr))
        , tab(std::make_unique<THistoryTab>(*browser, nullptr))
    {
        tab->resize(672, 500);
        tab->show();
        tab->Activated();
        if (!QTest::qWaitFor([this] { return browser->Model().EntryCount() == kEntries; }, 60000))
            qFatal("the history's %d entries were not listed", kEntries);
    }
};

void BM_OpenTab(benchmark::State& state)
{
    TShownTab shown;
    for (auto _ : state) {
        shown.tab->Activated(); // read again, as each time the tab is shown
        shown.tab->List->viewport()->repaint();
    }
    state.counters["entries"] = double(shown.browser->Model().EntryCount());
}
BENCHMARK(BM_OpenTab)->Unit(benchmark::kMillisecond);

void BM_Keystroke(benchmark::State& state)
{
    TShownTab shown;
    // Typing "lobby 1", then deleting it again, a key at a time.
    const QString word = QStringLiteral("lobby 1");
    QStringList steps;
    for (qsizetype i = 1; i <= word.size(); ++i)
        steps.append(word.left(i));
    for (qsizetype i = word.size() - 1; i >= 0; --i)
        steps.append(word.left(i));
    qsizetype step = 0;
    for (auto _ : state) {
        shown.tab->Search->setText(steps.at(step++ % steps.size()));
        shown.tab->List->viewport()->repaint();
    }
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// How long parbex's main window takes to show 10,000 units, against the time to sort the 10,000
// device-item texts in the same run: a Discover through the window (a fake library answers at
// once), from the end of the library's answer until the tree is painted, the previous tree
// cleared first as on every Discover after the first. Prints the ratio of the two times, and how
// long one page of scrolling through the filled tree takes to paint.
//
//   cmake --build build/release --target tree_fill_bench && build/release/bench/tree_fill_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QStringList>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fake_varl/fake_library.h"
#include "library_binding.h"
#include "parbex_dlg.h"
#include "ratio_reporter.h"
#include "unit_text.h"

namespace {

constexpr std::uint32_t kUnits = 10000;

// Distinct serials answering in no particular order, as on a large site.
std::vector<DeviceRecord> LargeSite() {
    std::vector<std::uint32_t> serials(kUnits);
    std::iota(serials.begin(), serials.end(), 0x10000u);
    std::mt19937 random(12345);
    std::shuffle(serials.begin(), serials.end(), random);
    std::vector<DeviceRecord> units(kUnits);
    for (std::uint32_t i = 0; i < kUnits; ++i) {
        DeviceRecord& unit = units[i];
        std::memset(&unit, 0, sizeof unit);
        unit.serial = serials[i];
        unit.dhcpMode = i % 3 == 0 ? 1 : 0;
        unit.address = 0x0A4D0000u + i;
        unit.netMask = 0xFFFF0000u;
        unit.gateway = 0x0A4D0001u;
        std::strcpy(unit.chipName, i % 2 == 0 ? "QX-100" : "QX-200");
    }
    return units;
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

// The main window, shown, with the fake library as its protocol library.
struct Site {
    Site() : fake(FAKE_VARL_FULL), binding(FAKE_VARL_FULL), window(binding) {
        window.show();
        tree = window.findChild<QTreeWidget*>(QStringLiteral("deviceTree"));
        tree->viewport()->installEventFilter(&counter);
        QApplication::processEvents();
    }

    void Discover() {
        // The first call has room for four and counts all; the second brings every unit.
        fake.State().discoverAnswers = {{1, kUnits, units}, {1, kUnits, units}};
        window.OnDiscover();
        Paint();
    }

    // Lets the event loop lay the tree out and paint it, as after a user's Discover.
    void Paint() {
        const int before = counter.paints;
        tree->viewport()->update();
        while (counter.paints == before) QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    std::vector<DeviceRecord> units = LargeSite();
    quorrel::testing::FakeLibrary fake;
    quorrel::LibraryBinding binding;
    parbex::CParbexDlg window;
    QTreeWidget* tree = nullptr;
    PaintCounter counter;
};

void FillTreeWith10000Units(benchmark::State& state) {
    Site site;
    site.Discover();
    for (auto _ : state) {
        site.Discover();
    }
    if (site.tree->topLevelItemCount() != static_cast<int>(kUnits)) state.SkipWithError("the tree is not full");
}

void SortTheir10000Texts(benchmark::State& state) {
    QStringList texts;
    for (const DeviceRecord& unit : LargeSite()) texts << QString::fromStdString(quorrel::DeviceItemText(unit));
    for (auto _ : state) {
        QStringList sorted = texts;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
        benchmark::DoNotOptimize(sorted.data());
    }
}

void ScrollOnePage(benchmark::State& state) {
    Site site;
    site.Discover();
    QScrollBar* bar = site.tree->verticalScrollBar();
    if (bar->maximum() < 10 * bar->pageStep()) state.SkipWithError("the tree is not laid out");
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep());
        site.Paint();
    }
}

BENCHMARK(FillTreeWith10000Units)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SortTheir10000Texts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ScrollOnePage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // No display needed: the window is drawn offscreen, as the tests draw it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(
        "FillTreeWith10000Units", "SortTheir10000Texts",
        [](const RatioReporter::Run& run) { return std::optional(run.GetAdjustedRealTime()); },
        [](double fill, double sort) {
            std::printf("10,000 units: tree filled and painted in %.1f ms, their texts sorted in %.2f ms: ratio %.0f\n",
                        fill, sort, fill / sort);
        });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

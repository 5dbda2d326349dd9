// Painting the analyzer's plot at the panel's size and one deck's circular chart, each up to 15
// times a second per deck: the time per paint against the chunk's 66.7 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cmath>

#include "analysis/CTevAnalyzerGraph.h"
#include "decks/CTevCircularChartGraph.h"

namespace {

using namespace tev;

// Busy tables: every chart entry, octave bar and scope point has something to draw.
void FillTables() {
    for (int deck = 0; deck < kDeckCount; ++deck) {
        for (int i = 0; i < kChartEntries; ++i) {
            chartMax[deck][i] = static_cast<float>(16000 + 15000 * std::sin(i * 0.4));
            chartMin[deck][i] = -chartMax[deck][i];
        }
        for (int b = 0; b < kOctaveBands; ++b) {
            octaveLevels[deck][b] = 40.0 + 5.0 * b;
        }
        for (int i = 0; i < kScopePoints; ++i) {
            scopeTrace[deck][i] = 20000 * std::sin(i * 0.2);
        }
    }
}

void BM_PaintAnalyzer(benchmark::State& state) {
    CTevAnalyzerGraph graph;
    FillTables();
    graph.SetGraphType(static_cast<int>(state.range(0)));
    graph.SetDeckSelection(CTevAnalyzerGraph::kSplit);
    // The plot's size in the panel at its default size.
    QImage image(440, 150, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        graph.Draw(image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
// Chart, octave, scope.
BENCHMARK(BM_PaintAnalyzer)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_PaintCircularChart(benchmark::State& state) {
    CTevCircularChartGraph chart;
    FillTables();
    QImage image(150, 150, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        chart.Draw(image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintCircularChart)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Drawing needs a GUI application, not a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Drawing cost of the graph views as a ratio to plain drawing measured in
// the same run: the division plot with 65536 points per slot and a
// 100000-sample trace through the column min/max against a 2000-point
// polyline in the same surface; the spectrogram of 8192 segments × 32768
// bins in a 1200 × 700 plot against one drawImage of an image of the
// plot's size.

#include "benchreference.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "views/decimateminmax.h"
#include "views/graphwnd.h"

#include <memory>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

class BenchGraph : public CGraphWnd {
public:
    BenchGraph() : CGraphWnd(nullptr, nullptr) {}
    void Setup(int points, bool twoSlots, double xStep)
    {
        SizeDisplay(points, false);
        Data().SetXStart(0.0);
        Data().SetXStep(float(xStep));
        Data().SetSlotsShown(true, twoSlots);
    }
    void SetRecord(AnalysisRecord* record) { m_record = record; }
    void SetColourMapDrawing(bool on) { Data().SetColourMap(on); }
    void Changed() { MarkDisplayChanged(); }
    void Draw(QPainter& painter, double xPerDivision)
    {
        const double divisions[2] = {0.5, 0.5}, offsets[2] = {0.0, 0.0};
        DrawDivisionPlot(painter, divisions, offsets, 0.0, xPerDivision);
    }
};

QImage Surface(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The reference: 2000 points of a noisy sine as one polyline over the plot.
double PolylineSeconds(QImage& surface, const QRect& plot)
{
    std::vector<QPointF> points(2000);
    for (int i = 0; i < 2000; ++i)
        points[i] = QPointF(plot.x() + i * (plot.width() - 1) / 1999.0,
                            plot.center().y() + 0.4 * plot.height() * std::sin(i * 0.05) + (i % 7) - 3);
    return SecondsPerCall([&] {
        QPainter painter(&surface);
        painter.setPen(QPen(Qt::blue, 1));
        painter.drawPolyline(points.data(), int(points.size()));
    });
}

void FillSignal(float* values, int count)
{
    for (int i = 0; i < count; ++i)
        values[i] = float(std::sin(i * 0.0007) * 1.5 + 0.3 * std::sin(i * 0.9));
}

void BM_DivisionPlot65536(benchmark::State& state)
{
    const int points = 65536;
    BenchGraph graph;
    graph.resize(800, 600);
    graph.Setup(points, true, 1.0 / points);
    FillSignal(graph.Display(0), points);
    FillSignal(graph.Display(1), points);
    for (int i = 0; i < points; ++i)
        graph.Display(1)[i] *= 0.5f;
    QImage surface = Surface(graph.size());
    const double reference = PolylineSeconds(surface, graph.PlotRect());
    auto draw = [&] {
        QPainter painter(&surface);
        graph.Draw(painter, 0.1);
    };
    for (auto _ : state)
        draw();
    const double ours = SecondsPerCall(draw);
    state.counters["polyline2000_us"] = reference * 1e6;
    state.counters["ours_us"] = ours * 1e6;
    state.counters["ratio_to_polyline"] = ours / reference;
}

void BM_Trace100000MinMax(benchmark::State& state)
{
    const int samples = 100000;
    std::vector<float> values(samples);
    FillSignal(values.data(), samples);
    QImage surface = Surface(QSize(800, 600));
    const QRect plot(120, 40, 664, 520);
    const double reference = PolylineSeconds(surface, plot);
    const int columns = plot.width();
    std::vector<float> pairs(2 * columns);
    std::vector<QLineF> lines(2 * columns);
    auto draw = [&] {
        // Each column one vertical stroke from its minimum to its maximum,
        // joined to the next only where their spans do not overlap.
        const int n = DecimateMinMax(values.data(), samples, samples, pairs.data(), columns);
        const double mid = plot.center().y(), scale = plot.height() / 5.0;
        int count = 0;
        for (int c = 0; c < n; ++c) {
            const double x = plot.x() + c, lo = mid - pairs[2 * c] * scale, hi = mid - pairs[2 * c + 1] * scale;
            lines[count++] = QLineF(x, lo, x, hi);
            if (c + 1 < n) {
                const double nextLo = mid - pairs[2 * c + 2] * scale, nextHi = mid - pairs[2 * c + 3] * scale;
                if (nextHi > lo)
                    lines[count++] = QLineF(x, lo, x + 1, nextHi);
                else if (nextLo < hi)
                    lines[count++] = QLineF(x, hi, x + 1, nextLo);
            }
        }
        QPainter painter(&surface);
        painter.setPen(QPen(Qt::blue, 1));
        painter.drawLines(lines.data(), count);
    };
    for (auto _ : state)
        draw();
    const double ours = SecondsPerCall(draw);
    state.counters["polyline2000_us"] = reference * 1e6;
    state.counters["ours_us"] = ours * 1e6;
    state.counters["ratio_to_polyline"] = ours / reference;
}

// range(0): 1 new data on every drawing (the image is written again), 0
// repaint of unchanged data (the kept image).
void BM_Spectrogram8192x32768(benchmark::State& state)
{
    const bool newData = state.range(0) != 0;
    const int segments = 8192, bins = 32768;
    AnalysisRecord record;
    record.averages = segments;
    record.hop = 32768;
    auto capture = std::make_shared<CaptureRecord>();
    capture->sampleInterval = 1.0 / 65536;
    record.capture = capture;
    BenchGraph graph;
    // A plot of 1200 x 700: 120 + 16 and 40 + 40 around it.
    graph.resize(1200 + 136, 700 + 80);
    graph.SetRecord(&record);
    graph.SetColourMapDrawing(true);
    graph.Setup(bins, false, 1.0);
    graph.SizeDisplay(segments * bins, false);
    graph.SizeDisplay(bins, false);
    float* data = graph.Display(0);
    for (size_t s = 0; s < size_t(segments); ++s)
        for (int k = 0; k < bins; ++k)
            data[s * bins + k] = float(-60 + int((k + 3 * s) % 97) + (k % 13));
    QImage surface = Surface(graph.size());
    const QRect plot = graph.PlotRect();
    QImage picture(plot.size(), QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const double reference = SecondsPerCall([&] {
        QPainter painter(&surface);
        painter.drawImage(plot.topLeft(), picture);
    });
    auto draw = [&] {
        if (newData)
            graph.Changed();
        QPainter painter(&surface);
        graph.Draw(painter, bins / 10.0);
    };
    for (auto _ : state)
        draw();
    const double ours = SecondsPerCall(draw, 0.2, 3);
    state.counters["drawimage_us"] = reference * 1e6;
    state.counters["ours_us"] = ours * 1e6;
    state.counters["ratio_to_drawimage"] = ours / reference;
}

} // namespace

BENCHMARK(BM_DivisionPlot65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Trace100000MinMax)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spectrogram8192x32768)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->Iterations(5);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Ctx().colours.Apply(ColourScheme::Dark);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The graph window base with known data: the division plot with one and two
// slots, shared and separate axes, zoomed with its reset buttons, cursors
// and the delta box; the cascade; the spectrogram with its colour scales in
// each colour map; each in every colour scheme.

#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "support/stubmainframe.h"
#include "views/graphwnd.h"
#include "zq.h"

#include <memory>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

const char* const kSchemes[] = {"green", "dark", "bw"};
constexpr double kPi = 3.14159265358979323846;

class GalleryGraph : public CGraphWnd {
public:
    explicit GalleryGraph(StubMainFrame* frame) : CGraphWnd(frame, nullptr) { Create(); }
    double divisions[2] = {0.5, 0.5};
    double offsets[2] = {0.0, 0.0};
    double xStart = 0.0, xPerDivision = 0.002;
    void Slots(bool first, bool second) { Data().SetSlotsShown(first, second); }
    void Points(int count, double start, double step, bool second = false)
    {
        SizeDisplay(count, second);
        Data().SetXStart(start);
        Data().SetXStep(float(step));
    }
    void SetXUnit(const QString& unit) { Data().SetXUnit(unit); }
    void SetCascade(bool on) { Data().SetCascade(on); }
    void SetColourMap(bool on) { Data().SetColourMap(on); }
    void Zoom(int l, int t, int r, int b) { ZoomToRect(l, t, r, b); }
    void Click(QPoint at)
    {
        QMouseEvent press(QEvent::MouseButtonPress, at, mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(this, &press);
        QApplication::sendEvent(this, &release);
    }
    void DrawContent(QPainter& painter) override
    {
        DrawDivisionPlot(painter, divisions, offsets, xStart, xPerDivision);
    }
};

void DefineChannels()
{
    // A namespace of the gallery's own: the user's service stays untouched.
    qputenv("ZQ_NAME", QByteArray("krv-gallery-") + QByteArray::number(QCoreApplication::applicationPid()));
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Mic front", "Pa", "", 1.0 / 48000, -10, 10, -10, 10, 0);
    ZQ_SetChanDef(1, 2, "2", "Accel", "m/s\xc2\xb2", "", 1.0 / 48000, -10, 10, -10, 10, 0);
    ZQ_GetNrOfChan();
}

// 20 ms of a 250 Hz tone with its third harmonic, and a damped 600 Hz.
void FillTime(GalleryGraph& g)
{
    g.Points(960, 0.0, 1.0 / 48000);
    for (int k = 0; k < 960; ++k) {
        const double t = k / 48000.0;
        g.Display(0)[k] = float(1.2 * std::sin(2 * kPi * 250 * t) + 0.3 * std::sin(2 * kPi * 750 * t));
        g.Display(1)[k] = float(0.8 * std::exp(-t * 120) * std::sin(2 * kPi * 600 * t));
    }
}

// Segment spectra: a tone gliding upward over the segments, and noise.
void FillSpectra(GalleryGraph& g, StubMainFrame& frame, int segments, int bins)
{
    frame.record.averages = segments;
    frame.record.hop = 1024;
    auto capture = std::make_shared<CaptureRecord>();
    capture->sampleInterval = 1.0 / 48000;
    frame.record.capture = capture;
    g.Points(segments * bins, 0.0, 24000.0 / bins);
    g.SizeDisplay(bins, false);
    for (int s = 0; s < segments; ++s)
        for (int k = 0; k < bins; ++k) {
            const double f = k * 24000.0 / bins;
            const double tone = 2000.0 + s * 8000.0 / segments;
            const double peak = 70.0 * std::exp(-std::pow((f - tone) / 300.0, 2));
            const double harmonic = 45.0 * std::exp(-std::pow((f - 2 * tone) / 400.0, 2));
            const double noise = 12.0 * std::fabs(std::sin(k * 12.9898 + s * 78.233));
            g.Display(0)[s * bins + k] = float(-80.0 + peak + harmonic + noise);
            g.Display(1)[s * bins + k] = float(-90.0 + 0.8 * peak + noise);
        }
}

} // namespace

GALLERY_RENDERER(graph_views)
{
    DefineChannels();
    for (int scheme = 0; scheme < 3; ++scheme) {
        Ctx().colours.Apply(scheme);
        const QString name = QString::fromLatin1(kSchemes[scheme]);
        StubMainFrame frame(StubMainFrame::NoWindow);
        frame.channels = {0, 1};
        {
            GalleryGraph g(&frame);
            g.resize(760, 420);
            g.SetXUnit(QStringLiteral("sec"));
            FillTime(g);
            g.Slots(true, false);
            g.Show(true);
            out.Save(&g, QStringLiteral("graph_one_slot_%1").arg(name));
            g.Slots(true, true);
            g.divisions[1] = 0.5;
            out.Save(&g, QStringLiteral("graph_two_slots_shared_%1").arg(name));
            g.divisions[1] = 0.2;
            g.offsets[1] = 0.2;
            out.Save(&g, QStringLiteral("graph_two_slots_split_%1").arg(name));
            // Two cursors with the delta box, then a zoom with both reset buttons.
            const QRect plot = g.PlotRect();
            g.Click(QPoint(plot.x() + plot.width() / 5, plot.center().y()));
            g.Click(QPoint(plot.x() + plot.width() / 2, plot.center().y()));
            out.Save(&g, QStringLiteral("graph_cursors_%1").arg(name));
            g.Zoom(plot.x() + plot.width() / 4, plot.y() + 40, plot.x() + plot.width() * 3 / 4, plot.y() + plot.height() - 60);
            out.Save(&g, QStringLiteral("graph_zoomed_%1").arg(name));
        }
        {
            GalleryGraph g(&frame);
            g.resize(760, 460);
            g.SetCascade(true);
            g.SetXUnit(QStringLiteral("Hz"));
            FillSpectra(g, frame, 24, 512);
            g.divisions[0] = g.divisions[1] = 20;
            g.offsets[0] = g.offsets[1] = 50;
            g.xPerDivision = 2000;
            g.Slots(true, false);
            g.Show(true);
            out.Save(&g, QStringLiteral("graph_cascade_%1").arg(name));
        }
        {
            GalleryGraph g(&frame);
            g.resize(760, 520);
            g.SetColourMap(true);
            FillSpectra(g, frame, 160, 512);
            g.divisions[0] = g.divisions[1] = 10;
            g.offsets[0] = g.offsets[1] = 40;
            g.xPerDivision = 2000;
            g.Slots(true, true);
            g.Show(true);
            for (int map = 0; map < 4; ++map) {
                Ctx().colours.BuildColourMap(map);
                out.Save(&g, QStringLiteral("graph_spectrogram_map%1_%2").arg(map).arg(name));
            }
            g.Slots(true, false);
            out.Save(&g, QStringLiteral("graph_spectrogram_one_%1").arg(name));
        }
    }
    Ctx().colours.Apply(ColourScheme::Dark);
    ZQ_ReleaseWriter();
}

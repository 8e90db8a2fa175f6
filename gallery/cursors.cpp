// Cursors and scales that tell the truth about what is drawn, on pure tones
// at 51.2 kHz: FFT cursors put on peaks reading the bin they stand on, the
// "Harmonic" cursor marking 2f, 3f, …, the decibel autoscale of a PSD (two
// equal 1 V tones, one shared axis), a rubber-band zoom gridded afresh, a
// spectrogram cursor reading the time of its segment, and the gaps of a
// frequency response where the input has no energy.
#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "support/stubmainframe.h"
#include "views/fftpanel.h"
#include "views/frequencypanel.h"
#include "views/fftview.h"
#include "views/frfpanel.h"
#include "views/frfview.h"
#include "views/psdpanel.h"
#include "views/psdview.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <QMouseEvent>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 51200.0;
constexpr int kLength = 16384;

struct ToneFrame : StubMainFrame {
    ToneFrame() { channels = {0, 1}; }
};

// Sum of tones {frequency, peak amplitude}.
std::vector<float> Tones(std::initializer_list<std::pair<double, double>> tones)
{
    std::vector<float> x(kLength);
    for (int n = 0; n < kLength; ++n) {
        double v = 0.0;
        for (const auto& [f, a] : tones)
            v += a * std::sin(2 * kPi * f * n / kRate);
        x[size_t(n)] = float(v);
    }
    return x;
}

void Click(QWidget* widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// A cursor at x (the view's abscissa).
void CursorAt(CGraphWnd* view, double x)
{
    Click(view, QPoint(view->XTransform().Pixel(x), view->PlotRect().center().y()));
}

template <class View>
void Render(GalleryOutput& out, const QString& name, std::vector<std::vector<float>> channels, int points, int hop,
            int averages, const std::function<void(View*)>& setUp, const std::function<void(View*)>& after)
{
    Ctx().colours.Apply(1);
    ToneFrame frame;
    frame.SetCapture(std::move(channels), 1.0 / kRate);
    frame.record.points = points;
    frame.record.hop = hop;
    frame.record.averages = averages;
    frame.window.resize(1000, 520);
    auto* view = new View(&frame, &frame.window);
    view->Create();
    view->setGeometry(Ctx().panelWidth, 0, 1000 - Ctx().panelWidth, 520 - 28);
    setUp(view);
    view->Show(true);
    view->AnalyseAndRescale();
    frame.window.show();
    QApplication::processEvents();
    view->grab();
    after(view);
    QApplication::processEvents();
    out.Save(&frame.window, name);
    delete view;
}

void Select(CFrequencyPanel* panel, int id, int key) { panel->Selector(id)->SelectKey(key, false); }

// The frequency per division, drawn once so that clicks find their values.
void SpanFrequency(CFrequencyView* view, double perDivision)
{
    view->FrequencyPanel()->Selector(CFrequencyPanel::IdXDiv)->SelectNearest(perDivision);
    view->grab();
}

} // namespace

GALLERY_RENDERER(cursor_views)
{
    qputenv("ZQ_NAME", QByteArray("krv-gallery-cursors-") + QByteArray::number(QCoreApplication::applicationPid()));
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Tone", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_SetChanDef(1, 2, "2", "Tone B", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_GetNrOfChan();

    // Cursors on the peaks of 1 kHz (1 V) and 3 kHz (0.5 V): each reads the
    // bin it stands on, 50 Hz bins at 1024 points.
    const auto peaks = Tones({{1000, 1.0}, {3000, 0.5}});
    Render<CFftView>(
        out, QStringLiteral("cursors_fft_peaks"), {peaks}, 1024, 1024, 1,
        [](CFftView*) {},
        [](CFftView* v) {
            SpanFrequency(v, 500);
            CursorAt(v, 1012.0);
            CursorAt(v, 2990.0);
        });

    // "Harmonic": a cursor on the 1 kHz fundamental marks 2, 3, 4 … kHz.
    Render<CFftView>(
        out, QStringLiteral("cursors_fft_harmonic"), {Tones({{1000, 1.0}, {2000, 0.3}, {3000, 0.2}, {5000, 0.1}})},
        4096, 4096, 1,
        [](CFftView* v) { Select(v->FrequencyPanel(), CFrequencyPanel::IdCursor, 2); },
        [](CFftView* v) {
            SpanFrequency(v, 1000);
            CursorAt(v, 1000.0);
            // Onto the largest value: the fundamental's bin.
            SendAppMessage(v, CGraphWnd::kMsgCursorCommand, 0, 2);
            v->update();
        });

    // The decibel autoscale of two equal 1 V rms tones in dBV: top 0 dB,
    // 10 dB per division, the float noise floor clipped; one shared axis.
    const double rms1 = std::sqrt(2.0);
    Render<CPsdView>(
        out, QStringLiteral("psd_db_autoscale"), {Tones({{1000, rms1}}), Tones({{2500, rms1}})}, 4096, 4096, 1,
        [](CPsdView* v) { Select(v->PsdPanel(), CPsdPanel::IdScale, 3); }, [](CPsdView* v) { v->Rescale(-1); });

    // A rubber-band zoom around the 1 kHz peak, both axes gridded afresh.
    Render<CFftView>(out, QStringLiteral("fft_zoomed"), {peaks}, 4096, 4096, 1, [](CFftView*) {},
                     [](CFftView* v) {
                         SpanFrequency(v, 500);
                         const int l = v->XTransform().Pixel(900.0), r = v->XTransform().Pixel(1100.0);
                         const int t = v->YTransform(0).Pixel(1.1), b = v->YTransform(0).Pixel(0.6);
                         v->ZoomToRect(l, t, r, b);
                         v->grab();
                         CursorAt(v, 1000.0);
                     });

    // Spectrogram averaging: a cursor reads the time of the segment under it
    // and the strongest level there with its frequency.
    std::vector<float> later(kLength, 0.0f);
    const auto tone = Tones({{4000, 1.0}});
    std::copy(tone.begin() + kLength / 2, tone.end(), later.begin() + kLength / 2);
    Render<CPsdView>(
        out, QStringLiteral("cursors_spectrogram"), {later}, 512, 512, 0,
        [](CPsdView* v) {
            Select(v->PsdPanel(), CPsdPanel::IdScale, 3);
            Select(v->PsdPanel(), CPsdPanel::IdAverage, 3);
        },
        [](CPsdView* v) {
            const QRect plot = v->PlotRect();
            Click(v, QPoint(plot.x() + plot.width() / 4, plot.center().y()));
            Click(v, QPoint(plot.x() + plot.width() * 3 / 4, plot.center().y()));
        });

    // A frequency response whose input has energy at two tones only: a gap
    // wherever the input has none.
    const auto input = Tones({{1000, 1.0}, {4000, 1.0}, {8000, 0.5}});
    std::vector<float> output(input.size());
    for (size_t n = 1; n < input.size(); ++n)
        output[n] = 0.5f * input[n] + 0.25f * input[n - 1];
    Render<CFrfView>(out, QStringLiteral("frf_gaps"), {input, output}, 1024, 1024, 4,
                     [](CFrfView* v) { Select(v->FrfPanel(), CFrfPanel::IdCalc, 1); }, [](CFrfView*) {});
    ZQ_ReleaseWriter();
}

// The spectrum views with their panels on a known record: channel 0 a sweep
// from 500 Hz to 6 kHz over one second with noise, channel 1 the same
// through a resonance at 2 kHz. FFT in "Mag", "Mag+Phase" and "RE+IM", PSD
// in every colour scheme and as density, FRF in both displays and scales,
// coherence, cross spectrum as power and density, one scheme each; FFT and
// PSD in "Cascade" and "Spctgrm" averaging in every scheme.
#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "support/stubmainframe.h"
#include "views/cohview.h"
#include "views/crspanel.h"
#include "views/crsview.h"
#include "views/fftpanel.h"
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
#include <random>
#include <vector>

namespace {

const char* const kSchemes[] = {"green", "dark", "bw"};
constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 20000.0;
constexpr int kLength = 20000;

// The main bar's "Ch1" and "Ch2" on channels 0 and 1.
struct SpectrumFrame : StubMainFrame {
    SpectrumFrame() { channels = {0, 1}; }
};

struct Signals {
    std::vector<float> input, output;
};

const Signals& KnownSignals()
{
    static const Signals s = [] {
        Signals m;
        m.input.resize(kLength);
        m.output.resize(kLength);
        std::mt19937 engine(3);
        std::normal_distribution<double> noise(0.0, 1.0);
        // A two-pole resonance at 2 kHz (pole radius 0.97), unit gain at 0 Hz.
        const double r = 0.97, theta = 2 * kPi * 2000 / kRate;
        const double a1 = -2 * r * std::cos(theta), a2 = r * r, gain = 1 + a1 + a2;
        double y1 = 0, y2 = 0;
        for (int n = 0; n < kLength; ++n) {
            const double t = n / kRate;
            // 500 Hz → 6 kHz in one second.
            const double phase = 2 * kPi * (500 * t + 0.5 * 5500 * t * t);
            const double x = 0.8 * std::sin(phase) + 0.3 * noise(engine);
            const double y = gain * x - a1 * y1 - a2 * y2;
            y2 = y1;
            y1 = y;
            m.input[size_t(n)] = float(x);
            m.output[size_t(n)] = float(y + 0.01 * noise(engine));
        }
        return m;
    }();
    return s;
}

void Click(QWidget* widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// Renders one view of type View in a scheme after setting its panel up;
// hop and averages of the record as given (0 "Auto").
template <class View>
void Render(GalleryOutput& out, const QString& name, int scheme, int hop, int averages,
            const std::function<void(View*)>& setUp, const std::function<void(View*)>& after = {})
{
    Ctx().colours.Apply(scheme);
    SpectrumFrame frame;
    const Signals& s = KnownSignals();
    frame.SetCapture({s.input, s.output}, 1.0 / kRate);
    AnalysisRecord& record = frame.record;
    record.points = 1024;
    record.hop = hop;
    record.averages = averages;

    frame.window.resize(1000, 520);
    auto* view = new View(&frame, &frame.window);
    view->Create();
    view->setGeometry(Ctx().panelWidth, 0, 1000 - Ctx().panelWidth, 520 - 28);
    setUp(view);
    view->Show(true);
    view->Analyse();
    frame.window.show();
    QApplication::processEvents();
    if (after) {
        view->grab();
        after(view);
        QApplication::processEvents();
    }
    out.Save(&frame.window, name + QStringLiteral("_") + QString::fromLatin1(kSchemes[scheme]));
    delete view;
}

void Select(CFrequencyPanel* panel, int id, int key) { panel->Selector(id)->SelectKey(key, false); }

} // namespace

GALLERY_RENDERER(spectrum_views)
{
    qputenv("ZQ_NAME", QByteArray("krv-gallery-spectrum-") + QByteArray::number(QCoreApplication::applicationPid()));
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Sweep", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_SetChanDef(1, 2, "2", "Resonance", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_GetNrOfChan();

    // FFT: the three displays, the "Mag" one with automatic cursors on the
    // peaks.
    const char* fftDisplays[] = {"mag", "magphase", "reim"};
    for (int display = 0; display < 3; ++display)
        Render<CFftView>(
            out, QStringLiteral("fft_%1").arg(QString::fromLatin1(fftDisplays[display])), display, 256, 0,
            [display](CFftView* v) {
                Select(v->FftPanel(), CFftPanel::IdDisplay, display);
                Select(v->FftPanel(), CFrequencyPanel::IdCursor, display == 0 ? 1 : 0);
            },
            [display](CFftView* v) {
                if (display != 0)
                    return;
                const QRect plot = v->PlotRect();
                Click(v, QPoint(plot.x() + 30, plot.center().y()));
                Click(v, QPoint(plot.x() + 60, plot.center().y()));
                v->Analyse();
            });

    // PSD in dB in every scheme; as density in "Lin. RMS".
    for (int scheme = 0; scheme < 3; ++scheme)
        Render<CPsdView>(out, QStringLiteral("psd_db"), scheme, 256, 0,
                         [](CPsdView* v) { Select(v->PsdPanel(), CPsdPanel::IdScale, 1); });
    Render<CPsdView>(out, QStringLiteral("psd_density"), 1, 256, 0,
                     [](CPsdView* v) { Select(v->PsdPanel(), CPsdPanel::IdDensity, 1); });

    // FFT and PSD as cascade (8 segments 2048 samples apart) and spectrogram
    // (every segment at 75 % overlap) in every scheme.
    for (int scheme = 0; scheme < 3; ++scheme) {
        Render<CFftView>(out, QStringLiteral("fft_cascade"), scheme, 2048, 8,
                         [](CFftView* v) { Select(v->FftPanel(), CFftPanel::IdAverage, 2); });
        Render<CFftView>(out, QStringLiteral("fft_spctgrm"), scheme, 256, 0,
                         [](CFftView* v) { Select(v->FftPanel(), CFftPanel::IdAverage, 3); });
        Render<CPsdView>(out, QStringLiteral("psd_cascade"), scheme, 2048, 8, [](CPsdView* v) {
            Select(v->PsdPanel(), CPsdPanel::IdScale, 1);
            Select(v->PsdPanel(), CPsdPanel::IdAverage, 2);
        });
        Render<CPsdView>(out, QStringLiteral("psd_spctgrm"), scheme, 256, 0, [](CPsdView* v) {
            Select(v->PsdPanel(), CPsdPanel::IdScale, 1);
            Select(v->PsdPanel(), CPsdPanel::IdAverage, 3);
        });
    }

    // FRF: magnitude in dB and phase, linear magnitude, real and imaginary part.
    Render<CFrfView>(out, QStringLiteral("frf_magphase_db"), 0, 256, 0, [](CFrfView* v) {
        Select(v->FrfPanel(), CFrfPanel::IdCalc, 1);
    });
    Render<CFrfView>(out, QStringLiteral("frf_magphase_linear"), 1, 256, 0, [](CFrfView* v) {
        Select(v->FrfPanel(), CFrfPanel::IdCalc, 1);
        Select(v->FrfPanel(), CFrfPanel::IdYScale, 0);
    });
    Render<CFrfView>(out, QStringLiteral("frf_reim"), 2, 256, 0, [](CFrfView* v) {
        Select(v->FrfPanel(), CFrfPanel::IdCalc, 1);
        Select(v->FrfPanel(), CFrfPanel::IdDisplay, 1);
        v->FrfPanel()->UpdateScaleEnable();
    });

    Render<CCohView>(out, QStringLiteral("coh"), 0, 256, 0, [](CCohView*) {});

    Render<CCrsView>(out, QStringLiteral("crs_power"), 1, 256, 0, [](CCrsView*) {});
    Render<CCrsView>(out, QStringLiteral("crs_density"), 2, 256, 0,
                     [](CCrsView* v) { Select(v->CrsPanel(), CCrsPanel::IdDensity, 1); });
    ZQ_ReleaseWriter();
}

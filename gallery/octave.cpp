// The octave view as lines, bars and filled bars with the OASPL column, and
// the multimeter with two channels, each in every colour scheme, fed by this
// process writing known signals into its own channel buffer namespace.

#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "support/stubmainframe.h"
#include "views/dmmpanel.h"
#include "views/dmmview.h"
#include "views/octpanel.h"
#include "views/octview.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QCoreApplication>
#include <cmath>
#include <random>
#include <vector>

namespace {

const char* const kSchemes[] = {"green", "dark", "bw"};
constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;

void DefineChannels()
{
    // The gallery's own namespace (the same name as the other renderers use).
    qputenv("ZQ_NAME", QByteArray("krv-gallery-") + QByteArray::number(QCoreApplication::applicationPid()));
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Mic front", "Pa", "", 1.0 / kRate, -10, 10, -10, 10, 0);
    ZQ_SetChanDef(1, 2, "2", "Mic rear", "Pa", "", 1.0 / kRate, -10, 10, -10, 10, 0);
    ZQ_GetNrOfChan();
}

// Writes `seconds` of two signals, ticking the view every 50 ms: channel 0
// noise (0.2 Pa rms, about 80 dB) with tones of 1 Pa at 1 kHz and 0.3 Pa
// at 250 Hz; channel 1 a 0.5 Pa tone at 4 kHz with 0.05 Pa of noise.
void Feed(CGraphWnd& view, int client, double seconds, long long& n)
{
    static std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const int block = int(0.05 * kRate);
    std::vector<float> frames(size_t(2 * block));
    for (int b = 0; b < int(seconds / 0.05); ++b) {
        for (int i = 0; i < block; ++i, ++n) {
            const double t = double(n) / kRate;
            frames[size_t(2 * i)] = float(0.2 * gauss(random) + std::sqrt(2.0) * std::sin(2 * kPi * 1000 * t)
                                          + 0.3 * std::sqrt(2.0) * std::sin(2 * kPi * 250 * t));
            frames[size_t(2 * i + 1)] = float(0.5 * std::sqrt(2.0) * std::sin(2 * kPi * 4000 * t) + 0.05 * gauss(random));
        }
        ZQ_WriteFrames(frames.data(), block);
        ZQ_FreezeBuffers(client);
        view.Tick();
    }
}

} // namespace

GALLERY_RENDERER(octave_views)
{
    DefineChannels();
    StubMainFrame frame(StubMainFrame::NoWindow);
    frame.channels = {0, 1};
    long long n = 0;
    for (int scheme = 0; scheme < 3; ++scheme) {
        Ctx().colours.Apply(scheme);
        const QString name = QString::fromLatin1(kSchemes[scheme]);
        {
            COctView view(&frame, nullptr);
            view.Create();
            view.resize(760, 460);
            COctPanel& panel = *view.OctPanel();
            panel.Selector(COctPanel::IdOffset)->SetNumeric(10.0, 60.0);
            panel.Selector(COctPanel::IdYDiv)->SelectText(QStringLiteral("10"));
            panel.Selector(COctPanel::IdWeighting)->SelectText(QStringLiteral("Linear"));
            panel.Selector(COctPanel::IdTime)->SelectText(QStringLiteral("Fast"));
            panel.Selector(COctPanel::IdLowFrq)->SelectText(QStringLiteral("31"));
            panel.Selector(COctPanel::IdBandwidth)->SelectText(QStringLiteral("1/3 Octave"));
            ZQ_ResetBuffer(COctView::kClient, -1);
            view.Show(true);
            Feed(view, COctView::kClient, 1.0, n);
            view.FinishLevels();
            out.Save(&view, QStringLiteral("octave_filled_bars_%1").arg(name));
            panel.Selector(COctPanel::IdDisplay)->SelectText(QStringLiteral("Bar"));
            out.Save(&view, QStringLiteral("octave_bars_%1").arg(name));
            panel.Selector(COctPanel::IdDisplay)->SelectText(QStringLiteral("Line"));
            out.Save(&view, QStringLiteral("octave_lines_%1").arg(name));
            panel.Selector(COctPanel::IdOaspl)->SelectText(QStringLiteral("Off"));
            panel.Selector(COctPanel::IdBandwidth)->SelectText(QStringLiteral("1/1 Octave"));
            panel.Selector(COctPanel::IdWeighting)->SelectText(QStringLiteral("A Weight"));
            panel.Selector(COctPanel::IdDisplay)->SelectText(QStringLiteral("Filled Bar"));
            view.Reinit();
            Feed(view, COctView::kClient, 1.0, n);
            view.FinishLevels();
            out.Save(&view, QStringLiteral("octave_octaves_a_weighted_no_oaspl_%1").arg(name));
            out.Save(&panel, QStringLiteral("panel_octave_%1").arg(name));
        }
        {
            CDmmView view(&frame, nullptr);
            view.Create();
            view.resize(760, 460);
            ZQ_ResetBuffer(CDmmView::kClient, -1);
            view.Show(true);
            Feed(view, CDmmView::kClient, 0.5, n);
            out.Save(&view, QStringLiteral("multimeter_two_channels_%1").arg(name));
            out.Save(view.DmmPanel(), QStringLiteral("panel_multimeter_%1").arg(name));
        }
    }
}

// The cross and auto correlation views and the spectrogram with their
// panels: the correlation of a delayed copy, the auto correlations of a tone
// in noise and of a pulse train, and the spectrogram of a chirp with a tone
// that starts half way, with one and two channels in each colour map, in
// each colour scheme.
#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "support/stubmainframe.h"
#include "views/acrview.h"
#include "views/ccrview.h"
#include "views/spgview.h"
#include "zq.h"

#include <QApplication>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace {

const char* const kSchemes[] = {"green", "dark", "bw"};
const char* const kMaps[] = {"grey", "banded", "rainbow", "iron"};
constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 10000.0;
constexpr int kLength = 20000; // 2 s

// The main bar's "Ch1" and "Ch2" on channels 0 and 1.
struct CorrelationFrame : StubMainFrame {
    CorrelationFrame() { channels = {0, 1}; }
};

struct Signals {
    std::vector<float> a, b;
};

// Channel 0: noise with a 250 Hz tone; channel 1: the same 4 ms later
// with noise of its own.
Signals DelayedCopy()
{
    std::mt19937 random(11);
    std::normal_distribution<double> gauss(0.0, 1.0);
    Signals s{std::vector<float>(kLength), std::vector<float>(kLength)};
    std::vector<double> x(kLength + 40);
    for (size_t t = 0; t < x.size(); ++t)
        x[t] = gauss(random) + 0.8 * std::sin(2 * kPi * 250 * double(t) / kRate);
    for (int t = 0; t < kLength; ++t) {
        s.a[size_t(t)] = float(x[size_t(t + 40)]);
        s.b[size_t(t)] = float(x[size_t(t)] + 0.5 * gauss(random));
    }
    return s;
}

// Channel 0: a 300 Hz tone in noise; channel 1: a pulse train of 12.5 ms.
Signals ToneAndPulses()
{
    std::mt19937 random(12);
    std::normal_distribution<double> gauss(0.0, 1.0);
    Signals s{std::vector<float>(kLength), std::vector<float>(kLength)};
    for (int t = 0; t < kLength; ++t) {
        s.a[size_t(t)] = float(1.5 * std::sin(2 * kPi * 300 * t / kRate) + 0.7 * gauss(random));
        s.b[size_t(t)] = float(t % 125 < 20 ? 2.0 : 0.0);
    }
    return s;
}

// Channel 0: a chirp from 100 Hz to 4500 Hz over 2 s with faint noise;
// channel 1: a 1 kHz tone that starts after 1 s, and its third harmonic.
Signals ChirpAndLateTone()
{
    std::mt19937 random(13);
    std::normal_distribution<double> gauss(0.0, 1.0);
    Signals s{std::vector<float>(kLength), std::vector<float>(kLength)};
    for (int t = 0; t < kLength; ++t) {
        const double time = t / kRate;
        s.a[size_t(t)] = float(std::sin(2 * kPi * (100 * time + 0.5 * 2200 * time * time)) + 0.001 * gauss(random));
        const double late = t >= kLength / 2 ? std::sin(2 * kPi * 1000 * time) + 0.1 * std::sin(2 * kPi * 3000 * time)
                                             : 0.0;
        s.b[size_t(t)] = float(late + 0.01 * gauss(random));
    }
    return s;
}

void SetRecord(StubMainFrame& frame, Signals& s, int points, int hop)
{
    frame.SetCapture({s.a, s.b}, 1.0 / kRate);
    AnalysisRecord& record = frame.record;
    record.points = points;
    record.hop = hop;
    record.averages = 0;
}

void ClearRecord(StubMainFrame& frame) { frame.ClearCapture(); }

// A view of type View on the frame's window beside its panel, analysed.
template <class View> View* Place(CorrelationFrame& frame)
{
    frame.window.resize(1000, 560);
    auto* view = new View(&frame, &frame.window);
    view->Create();
    view->setGeometry(Ctx().panelWidth, 0, 1000 - Ctx().panelWidth, 560 - 28);
    view->Show(true);
    frame.window.show();
    view->Analyse();
    QApplication::processEvents();
    return view;
}

} // namespace

GALLERY_RENDERER(correlation_views)
{
    qputenv("ZQ_NAME", QByteArray("krv-gallery-corr-") + QByteArray::number(QCoreApplication::applicationPid()));
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Mic front", "Pa", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_SetChanDef(1, 2, "2", "Mic rear", "Pa", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_GetNrOfChan();

    Signals delayed = DelayedCopy();
    Signals tones = ToneAndPulses();
    Signals chirp = ChirpAndLateTone();
    for (int scheme = 0; scheme < 3; ++scheme) {
        Ctx().colours.Apply(scheme);
        const QString name = QString::fromLatin1(kSchemes[scheme]);
        {
            CorrelationFrame frame;
            SetRecord(frame, delayed, 1024, 512);
            CCcrView* view = Place<CCcrView>(frame);
            out.Save(&frame.window, QStringLiteral("ccr_delayed_copy_%1").arg(name));
            delete view;
            ClearRecord(frame);
        }
        {
            CorrelationFrame frame;
            SetRecord(frame, tones, 1024, 512);
            CAcrView* view = Place<CAcrView>(frame);
            out.Save(&frame.window, QStringLiteral("acr_tone_and_pulses_%1").arg(name));
            delete view;
            ClearRecord(frame);
        }
        for (int slotCount : {2, 1}) {
            CorrelationFrame frame;
            if (slotCount == 1)
                frame.channels = {0, -1};
            SetRecord(frame, chirp, 256, 128);
            CSpgView* view = Place<CSpgView>(frame);
            for (int map = 0; map < 4; ++map) {
                Ctx().colours.BuildColourMap(map);
                view->update();
                const QString form = slotCount == 2 ? QStringLiteral("two_slots") : QStringLiteral("one_slot");
                out.Save(&frame.window,
                         QStringLiteral("spg_%1_%2_%3").arg(form, QString::fromLatin1(kMaps[map]), name));
            }
            delete view;
            ClearRecord(frame);
            Ctx().colours.Apply(scheme);
        }
    }
    ZQ_ReleaseWriter();
}

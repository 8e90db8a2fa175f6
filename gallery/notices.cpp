// What a view says in its plot when it has no result to show: a stale FFT
// (points beyond the record), the empty FFT and spectrogram plots of a
// record too short, a source that ended, coherence of one average; the PSD
// density in dBu/Hz and in (mVrms)²/Hz; the status line with a loss shown.
#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "panels/statusline.h"
#include "support/stubmainframe.h"
#include "views/cohview.h"
#include "views/fftview.h"
#include "views/psdpanel.h"
#include "views/psdview.h"
#include "views/spgview.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr double kRate = 10240.0;

std::vector<float> Tones(int length, double hz, double amplitude)
{
    std::vector<float> x(static_cast<size_t>(length));
    for (int n = 0; n < length; ++n)
        x[size_t(n)] = float(amplitude * std::sin(2 * 3.14159265358979323846 * hz * n / kRate)
                             + 0.01 * std::sin(2 * 3.14159265358979323846 * 3 * hz * n / kRate));
    return x;
}

struct NoticeFrame : StubMainFrame {
    NoticeFrame() { channels = {0, 1}; }
};

// A view of type View on a record of `length` samples at `points`; `before`
// may analyse a first record; `after` changes what the picture shows.
template <class View>
void Render(GalleryOutput& out, const QString& name, int length, int points, int averages,
            const std::function<void(View*, NoticeFrame&)>& after)
{
    Ctx().colours.Apply(1);
    NoticeFrame frame;
    frame.SetCapture({Tones(length, 1000, 1.0), Tones(length, 1500, 0.3)}, 1.0 / kRate);
    frame.record.points = points;
    frame.record.hop = points / 2;
    frame.record.averages = averages;
    frame.window.resize(900, 420);
    auto* view = new View(&frame, &frame.window);
    view->Create();
    view->setGeometry(Ctx().panelWidth, 0, 900 - Ctx().panelWidth, 420);
    view->Show(true);
    view->Analyse();
    if (after)
        after(view, frame);
    frame.window.show();
    QApplication::processEvents();
    out.Save(&frame.window, name);
    delete view;
}

} // namespace

GALLERY_RENDERER(view_notices)
{
    qputenv("ZQ_NAME", QByteArray("krv-gallery-notices-") + QByteArray::number(QCoreApplication::applicationPid()));
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Tone 1k", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_SetChanDef(1, 2, "2", "Tone 1.5k", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_GetNrOfChan();

    // 8192 points analysed, then 16384 asked of the same 10240 samples.
    Render<CFftView>(out, QStringLiteral("notice_stale_fft"), 10240, 8192, 1, [](CFftView* v, NoticeFrame& f) {
        f.record.points = 16384;
        f.record.hop = 8192;
        v->Analyse();
    });
    // Never a result: 1000 samples of a 1 kHz source against 1024 points.
    Render<CFftView>(out, QStringLiteral("notice_blank_fft"), 1000, 1024, 0, {});
    Render<CSpgView>(out, QStringLiteral("notice_blank_spectrogram"), 1100, 1024, 0, {});
    Render<CPsdView>(out, QStringLiteral("notice_source_ended_psd"), 10240, 1024, 0, [](CPsdView* v, NoticeFrame&) {
        v->SetSourceNotice(QStringLiteral("source ended 12 s ago"));
    });
    Render<CCohView>(out, QStringLiteral("notice_coherence_one_average"), 1024, 1024, 1, {});
    // Captions of what is computed: dBu/Hz, and (mVrms)²/Hz for the density.
    Render<CPsdView>(out, QStringLiteral("caption_psd_dbu_density"), 10240, 1024, 0, [](CPsdView* v, NoticeFrame&) {
        v->PsdPanel()->Selector(CPsdPanel::IdDensity)->SelectKey(1, false);
        v->PsdPanel()->Selector(CPsdPanel::IdScale)->SelectKey(4, false);
        v->AnalyseAndRescale();
    });
    Render<CPsdView>(out, QStringLiteral("caption_psd_linear_density"), 10240, 1024, 0,
                     [](CPsdView* v, NoticeFrame&) {
                         v->PsdPanel()->Selector(CPsdPanel::IdDensity)->SelectKey(1, false);
                         v->PsdPanel()->Selector(CPsdPanel::IdScale)->SelectKey(0, false);
                         v->AnalyseAndRescale();
                     });
    ZQ_ReleaseWriter();

    for (int scheme : {1, 0}) {
        Ctx().colours.Apply(scheme);
        CStatusLine line;
        line.resize(1000, CStatusLine::kHeight);
        StatusFacts facts;
        facts.source = QStringLiteral("Quorel zq-gen");
        facts.sampleRate = 51200;
        facts.points = 4096;
        facts.window = QStringLiteral("Hann");
        facts.noiseBandwidthBins = 1.5;
        facts.averagesDone = 7;
        facts.averagesAsked = 0;
        facts.recordLength = 102400;
        facts.lost = 524288;
        line.Show(facts);
        out.Save(&line, QStringLiteral("status_line_loss_%1").arg(scheme == 1 ? "dark" : "green"));
    }
}

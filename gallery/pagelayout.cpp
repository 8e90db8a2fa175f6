// The main window with six pages at 1240 x 760 and at 1024 x 640, each page
// on another view of one known record (a 1 kHz tone with noise and a 3 kHz
// tone): every tab, panel and the main bar's buttons must be whole, the
// spectrogram's labels apart.
#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/capturerecord.h"
#include "panels/controlbar.h"
#include "panels/viewbar.h"
#include "platform/messagebox.h"
#include "shell/wndkrv.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cmath>
#include <memory>
#include <random>

namespace {

constexpr double kRate = 48000.0;
constexpr int kLength = 32768;

std::shared_ptr<CaptureRecord> ToneRecord()
{
    auto record = std::make_shared<CaptureRecord>();
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    record->samples.assign(2, std::vector<float>(kLength));
    for (int i = 0; i < kLength; ++i) {
        const double t = i / kRate;
        record->samples[0][size_t(i)] = float(std::sin(2 * M_PI * 1000.0 * t)) + noise(random);
        record->samples[1][size_t(i)] = float(0.5 * std::sin(2 * M_PI * 3000.0 * t)) + noise(random);
    }
    record->length = kLength;
    record->sampleInterval = 1.0 / kRate;
    record->names = {"Tone", "Tone 3k"};
    record->units = {"V", "V"};
    record->sequence = 1;
    return record;
}

// Ticks the window (its views adopt their analyses) for a while.
void Settle(CWndKRV& window, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        window.Tick();
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void RenderSixPages(GalleryOutput& out, int width, int height)
{
    CWndKRV window;
    window.Create();
    QApplication::processEvents();
    window.showNormal();
    window.resize(width, height);
    window.RefreshChannels();
    // The spectrogram wants automatic averaging; chosen first, no notice.
    window.Bar()->Selector(CControlBar::IdAverages)->SelectKey(0, true);
    window.Bar()->Selector(CControlBar::IdPoints)->SelectText(QStringLiteral("2048"));
    window.PointsChanged(2048);
    window.Bar()->ChoosePageCount(6);
    window.RunStop(); // the record below stays
    const ViewKind shown[6] = {ViewKind::Time, ViewKind::Fft, ViewKind::Spg,
                               ViewKind::Psd,  ViewKind::Crs, ViewKind::Acr};
    for (int p = 0; p < 6; ++p)
        window.Page(p)->SelectView(shown[p]);
    window.Record().capture = ToneRecord();
    window.NotifyAnalysis();
    Settle(window, 1500);
    window.RescaleAllViews();
    Settle(window, 1000);
    out.Save(&window, QStringLiteral("main_window_6pages_%1x%2").arg(width).arg(height));
}

} // namespace

GALLERY_RENDERER(six_pages)
{
    qputenv("XDG_CONFIG_HOME", QDir::tempPath().toLocal8Bit() + "/krv-gallery-config");
    qputenv("ZQ_NAME", QByteArray("krv-gallery-pages-") + QByteArray::number(QCoreApplication::applicationPid()));
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Tone", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_SetChanDef(1, 2, "2", "Tone 3k", "V", "+", 1.0 / kRate, -10, 10, -99, 99, 0);
    ZQ_GetNrOfChan();
    MessageBoxRecorder boxes;
    RenderSixPages(out, 1240, 760);
    RenderSixPages(out, 1024, 640);
    ZQ_ReleaseWriter();
}

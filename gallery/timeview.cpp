// The time view with its panel: two traces of a captured record, trigger
// line, level lines, analysis segment bars and two cursors with the delta
// box, in each colour scheme.
#include "gallery.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "support/stubmainframe.h"
#include "platform/appmessage.h"
#include "views/paneldlg.h"
#include "views/timepanel.h"
#include "views/timeview.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <QMouseEvent>
#include <cmath>
#include <vector>

namespace {

const char* const kSchemes[] = {"green", "dark", "bw"};
constexpr double kPi = 3.14159265358979323846;

void Click(QWidget* widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

} // namespace

GALLERY_RENDERER(time_view)
{
    qputenv("ZQ_NAME", QByteArray("krv-gallery-time-") + QByteArray::number(QCoreApplication::applicationPid()));
    constexpr double dt = 1.0 / 10000;
    ZQ_SetNrOfChan(2);
    ZQ_SetChanDef(0, 1, "1", "Sine", "V", "+", dt, -10, 10, -99, 99, 0);
    ZQ_SetChanDef(1, 2, "2", "Pulse", "V", "+", dt, -10, 10, -99, 99, 0);
    ZQ_GetNrOfChan();

    // 0.01 s/div at 10 kHz: 1000 samples, 25 % before the trigger.
    constexpr int length = 1000, pre = 250;
    std::vector<float> sine(length), pulse(length);
    for (int k = 0; k < length; ++k) {
        const double t = (k - pre) * dt;
        sine[size_t(k)] = float(1.6 * std::sin(2 * kPi * 50 * t) + 0.2 * std::sin(2 * kPi * 450 * t));
        pulse[size_t(k)] = float(std::fmod(t + 1.0, 0.02) < 0.006 ? 2.5 : -0.5);
    }

    for (int scheme = 0; scheme < 3; ++scheme) {
        Ctx().colours.Apply(scheme);
        StubMainFrame frame;
        frame.channels = {0, 1};
        frame.SetCapture({sine, pulse}, dt, pre);
        AnalysisRecord& record = frame.record;
        record.points = 256;
        record.hop = 128;
        record.averages = 0;

        frame.window.resize(1000, 480);
        auto* view = new CTimeView(&frame, &frame.window);
        view->Create();
        view->setGeometry(Ctx().panelWidth, 0, 1000 - Ctx().panelWidth, 480 - 28);
        CTimePanel* panel = view->TimePanel();
        panel->Selector(CTimePanel::IdXDiv)->SelectText("0.01s");
        panel->Selector(CTimePanel::IdPos)->SelectText("25%");
        panel->Selector(CTimePanel::IdTrg)->SelectKey(CTimePanel::TriggerLevel, false);
        panel->Selector(CTimePanel::IdSlope)->SelectKey(CTimePanel::SlopeRising, false);
        view->Show(true);
        view->Analyse();
        panel->Selector(CTimePanel::IdLevel)->SetNumeric(0.4, 0.4);
        panel->Selector(CTimePanel::IdWindow)->SetNumeric(0.1, 0.2);
        SendAppMessage(view, WM_PANEL_NOTIFY, PanelTrigger, 0);
        frame.window.show();
        QApplication::processEvents();
        view->grab();
        const QRect plot = view->PlotRect();
        Click(view, QPoint(view->XTransform().Pixel(0.0025), plot.center().y()));
        Click(view, QPoint(view->XTransform().Pixel(0.0225), plot.center().y()));
        QApplication::processEvents();
        out.Save(&frame.window, QStringLiteral("time_view_%1").arg(QString::fromLatin1(kSchemes[scheme])));
        frame.ClearCapture();
        delete view;
    }
    ZQ_ReleaseWriter();
}

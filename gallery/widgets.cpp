// Pictures of the value selector, its drum, the toggle button, the graph
// pop-ups, the main menu and the p0 dialog, in each colour scheme.
#include "gallery.h"

#include "panels/p0dlg.h"
#include "context/appcontext.h"
#include "shell/mainmenu.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "support/graphharness.h"
#include "widgets/numericdrum.h"
#include "widgets/selectorbutton.h"
#include "widgets/togglebutton.h"
#include "widgets/zoomband.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <memory>

namespace {

const char* const kSchemeNames[3] = {"green", "dark", "bw"};

QImage Enlarged(QWidget* widget, int factor)
{
    QImage image = widget->grab().toImage();
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

std::unique_ptr<QWidget> PanelBackground(int w, int h)
{
    auto panel = std::make_unique<QWidget>();
    panel->resize(w, h);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setBrush(QPalette::Window, Ctx().colours.panelBrush);
    panel->setPalette(palette);
    return panel;
}

CSelectorButton* VoltsSelector(QWidget* parent, const QString& caption, const QString& selected)
{
    auto* selector = new CSelectorButton(caption, parent);
    for (const char* text : {"0.1", "0.2", "0.5", "1", "2", "5", "10"})
        selector->AddItem(QString::fromLatin1(text), -1);
    selector->SelectText(selected);
    return selector;
}

} // namespace

GALLERY_RENDERER(selectors)
{
    for (int scheme = 0; scheme < 3; ++scheme) {
        Ctx().colours.Apply(scheme);
        auto panel = PanelBackground(150, 128);
        auto* plain = VoltsSelector(panel.get(), QStringLiteral("YDiv"), QStringLiteral("0.5"));
        plain->setGeometry(6, 6, 138, 20);
        auto* focused = VoltsSelector(panel.get(), QStringLiteral("Off"), QStringLiteral("2"));
        focused->setGeometry(6, 30, 138, 20);
        auto* disabled = VoltsSelector(panel.get(), QStringLiteral("Wnd"), QStringLiteral("10"));
        disabled->setGeometry(6, 54, 138, 20);
        disabled->SetEnabled(false);
        auto* numeric = new CSelectorButton(QStringLiteral("XPos"), panel.get());
        numeric->SetNumeric(0.05, 0.12);
        numeric->setGeometry(6, 78, 138, 20);
        auto* wide = new CSelectorButton(QStringLiteral("Trg"), panel.get());
        wide->AddItem(QStringLiteral("Normal"), 0);
        wide->SetLabelWidth(48);
        wide->setGeometry(6, 102, 138, 20);
        panel->show();
        panel->activateWindow();
        focused->setFocus();
        QApplication::processEvents();
        out.Save(panel.get(), QStringLiteral("selectors_%1").arg(kSchemeNames[scheme]));
        out.Save(Enlarged(panel.get(), 3), QStringLiteral("selectors_%1_x3").arg(kSchemeNames[scheme]));
    }
    Ctx().colours.Apply(1);
}

GALLERY_RENDERER(drum)
{
    QStringList volts;
    for (const char* text : {"0.1", "0.2", "0.5", "1", "2", "5", "10", "20"})
        volts << QString::fromLatin1(text);
    CNumericDrum listDrum(nullptr, volts, 1, 0, 0);
    listDrum.resize(110, CNumericDrum::kRows * CNumericDrum::kRowHeight);
    out.Save(Enlarged(&listDrum, 2), QStringLiteral("drum_list_top"));
    CNumericDrum middle(nullptr, volts, 4, 0, 0);
    middle.resize(110, CNumericDrum::kRows * CNumericDrum::kRowHeight);
    out.Save(Enlarged(&middle, 2), QStringLiteral("drum_list_middle"));
    CNumericDrum numericDrum(nullptr, QStringList(), 0, 0.05, 0.1);
    numericDrum.resize(110, CNumericDrum::kRows * CNumericDrum::kRowHeight);
    out.Save(Enlarged(&numericDrum, 2), QStringLiteral("drum_numeric"));
}

GALLERY_RENDERER(toggles)
{
    for (int scheme = 0; scheme < 3; ++scheme) {
        Ctx().colours.Apply(scheme);
        const ColourScheme& c = Ctx().colours;
        auto bar = PanelBackground(420, 60);
        QPalette palette = bar->palette();
        palette.setBrush(QPalette::Window, c.barBrush);
        bar->setPalette(palette);
        auto make = [&](const QString& caption, int x, int y) {
            auto* button = new CToggleButton(caption, bar.get());
            button->SetColors(QColor(180, 180, 180), Qt::black, c.selectorFirst, c.selectorSecond);
            button->setGeometry(x, y, 64, 24);
            return button;
        };
        make(QStringLiteral("Time"), 4, 4);
        make(QStringLiteral("FFT"), 72, 4)->SetState(true);
        make(QStringLiteral("PSD"), 140, 4)->setDown(true);
        CToggleButton* focused = make(QStringLiteral("OCT"), 208, 4);
        auto* run = make(QString(), 276, 4);
        run->SetRunStopCaption(true);
        run->SetState(true);
        auto* stopped = make(QString(), 344, 4);
        stopped->SetRunStopCaption(true);
        auto* lampOff = make(QStringLiteral("Rec"), 4, 32);
        lampOff->SetLamp(true);
        auto* lampOn = make(QStringLiteral("Rec"), 72, 32);
        lampOn->SetLamp(true);
        lampOn->SetState(true);
        auto* pressedOn = make(QStringLiteral("COH"), 140, 32);
        pressedOn->SetState(true);
        pressedOn->setDown(true);
        bar->show();
        bar->activateWindow();
        focused->setFocus();
        QApplication::processEvents();
        out.Save(bar.get(), QStringLiteral("toggles_%1").arg(kSchemeNames[scheme]));
        out.Save(Enlarged(bar.get(), 3), QStringLiteral("toggles_%1_x3").arg(kSchemeNames[scheme]));
    }
    Ctx().colours.Apply(1);
}

GALLERY_RENDERER(popups)
{
    for (int scheme = 0; scheme < 3; ++scheme) {
        Ctx().colours.Apply(scheme);
        CGraphHarness graph;
        graph.resize(640, 360);
        CCursorWnd* first = graph.AddCursor(graph.PixelX(0.22));
        CCursorWnd* second = graph.AddCursor(graph.PixelX(0.61));
        second->SetPeakTracking(true);
        CDeltaBox* box = graph.AddDeltaBox();
        double dx = second->XValue() - first->XValue();
        box->SetTitle(QStringLiteral("X") + QString::asprintf("%.5g m s", dx * 1000));
        box->SetSlotTexts(0, QStringLiteral("Y-412.3 mV"), QStringLiteral("Y 1.2 dB"));
        box->SetSlotTexts(1, QStringLiteral("Y 97.02 mV"), QStringLiteral("Y-0.4 dB"));
        box->SetMode(CDeltaBox::kModeA);
        out.Save(&graph, QStringLiteral("cursors_%1").arg(kSchemeNames[scheme]));

        CGraphHarness zoomGraph;
        zoomGraph.resize(640, 360);
        zoomGraph.AddZoomBand(QRect(260, 90, 180, 120));
        out.Save(&zoomGraph, QStringLiteral("zoomband_%1").arg(kSchemeNames[scheme]));
        if (scheme == 1) {
            QImage detail = graph.grab(QRect(first->x() - 10, 40, 240, 120)).toImage();
            out.Save(detail.scaled(detail.size() * 3), QStringLiteral("cursor_label_x3"));
            QImage deltaDetail = graph.grab(box->geometry().adjusted(-4, -4, 4, 4)).toImage();
            out.Save(deltaDetail.scaled(deltaDetail.size() * 4), QStringLiteral("delta_box_x4"));
            QImage bandDetail = zoomGraph.grab(QRect(250, 80, 200, 140)).toImage();
            out.Save(bandDetail.scaled(bandDetail.size() * 3), QStringLiteral("zoomband_x3"));
        }
    }
    Ctx().colours.Apply(1);
}

GALLERY_RENDERER(menu_and_p0)
{
    QWidget owner;
    CMainMenu menu(&owner);
    menu.Update({QStringLiteral("Motor"), QStringLiteral("Gearbox"), QString(), QStringLiteral("Fan")}, true);
    menu.Menu()->adjustSize();
    out.Save(menu.Menu(), QStringLiteral("main_menu"));
    menu.Menu()->hide();

    CP0Dlg dialog;
    dialog.SetP0Text(QStringLiteral("0.00002"));
    out.Save(&dialog, QStringLiteral("p0_dialog"));
}

// A page with its tab strip: as the program builds it, and with views and
// a panel of the standard lists, in each colour scheme.
#include "gallery.h"

#include "context/appcontext.h"
#include "panels/viewbar.h"
#include "platform/messagebox.h"
#include "shell/wndkrv.h"
#include "views/graphwnd.h"
#include "views/paneldlg.h"
#include "views/panellists.h"
#include "widgets/selectorbutton.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <cmath>

namespace {

// A panel with each group and the standard lists.
class GalleryPanel : public CPanelDlg {
public:
    explicit GalleryPanel(QWidget* view) : CPanelDlg(view) { Create(kTemplate, 98, 149); }

protected:
    void OnInitDialog() override
    {
        VoltsPerDivList(*Selector(1042), "1");
        Selector(1053)->SetNumeric(1, 0);
        VoltsPerDivList(*Selector(1043), "0.2m");
        Selector(1056)->SetNumeric(0.5, -1);
        WindowList(*Selector(1025), "Hann");
        FftPointsList(*Selector(1019), "4096");
        AverageCountList(*Selector(1023), "Auto");
        SpanList(*Selector(1018), "5000 Hz");
        PercentList(*Selector(1029), "50%");
        Selector(1021)->AddItem("Manual", 0);
        Selector(1021)->AddItem("Auto", 1);
    }

private:
    // 98 dialog units wide, like the time panel that sets the panel width.
    static constexpr DialogControl kTemplate[] = {
        {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 2, 3, 45, 30},
        {1042, ControlKind::Selector, "YDiv", 4, 6, 40, 11},
        {1053, ControlKind::Selector, "Off", 4, 19, 40, 11},
        {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 3, 45, 30},
        {1043, ControlKind::Selector, "YDiv", 53, 6, 40, 11},
        {1056, ControlKind::Selector, "Off", 53, 19, 40, 11},
        {CPanelDlg::GroupAxis, ControlKind::Frame, "", 2, 36, 94, 45},
        {1025, ControlKind::Selector, "Wnd", 4, 39, 89, 11},
        {1019, ControlKind::Selector, "Pts", 4, 53, 40, 11},
        {1023, ControlKind::Selector, "Avg", 53, 53, 40, 11},
        {1018, ControlKind::Selector, "XDv", 4, 67, 89, 11},
        {CPanelDlg::GroupAnalysis, ControlKind::Frame, "", 2, 84, 94, 17},
        {1029, ControlKind::Selector, "OVL", 4, 87, 40, 11},
        {CPanelDlg::GroupCursor, ControlKind::Frame, "", 2, 104, 94, 17},
        {1021, ControlKind::Selector, "Curs", 4, 107, 66, 11},
    };
};

// One slot of a decaying tone over ten divisions.
class GalleryView : public CGraphWnd {
public:
    GalleryView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
    {
        constexpr int kPoints = 1000;
        Data().SetSlotsShown(true, false);
        SizeDisplay(kPoints, false);
        Data().SetXStart(0.0);
        Data().SetXStep(1e-5f);
        for (int i = 0; i < kPoints; ++i)
            Display(0)[i] = float(std::exp(-i / 400.0) * std::sin(2 * 3.14159265358979 * i / 50.0));
    }
    void CreatePanel() override { m_panel = new GalleryPanel(this); }
    void DrawContent(QPainter& painter) override
    {
        const double divisions[2] = {0.2, 0.2};
        const double offsets[2] = {0.0, 0.0};
        DrawDivisionPlot(painter, divisions, offsets, 0.0, 1e-3);
    }
};

template <class View> CGraphWnd* Make(MainFrame* frame, QWidget* parent) { return new View(frame, parent); }

} // namespace

GALLERY_RENDERER(pages)
{
    qputenv("XDG_CONFIG_HOME", QDir::tempPath().toLocal8Bit() + "/krv-gallery-config");
    MessageBoxRecorder boxes;
    ViewFactories some{};
    for (ViewKind kind : {ViewKind::Time, ViewKind::Fft, ViewKind::Psd, ViewKind::Oct, ViewKind::Dmm})
        some[int(kind)] = &Make<GalleryView>;
    const char* names[] = {"green", "dark", "bw"};
    for (int scheme = 0; scheme < 3; ++scheme) {
        // The main window only as the frame and host of the page.
        CWndKRV window;
        window.ApplyColourScheme(scheme);
        window.resize(1000, 372);
        CViewBar page(&window, &window, some);
        page.LayoutViews(0, 0, 1000, 372);
        page.SelectView(ViewKind::Fft);
        out.Save(&window, QStringLiteral("page_%1").arg(names[scheme]));
        out.Save(page.View(ViewKind::Fft)->Panel(), QStringLiteral("panel_%1").arg(names[scheme]));
    }
    // The page as this build makes it.
    CWndKRV window;
    window.ApplyColourScheme(1);
    window.resize(1000, 200);
    CViewBar page(&window, &window);
    page.LayoutViews(0, 0, 1000, 200);
    out.Save(&window, QStringLiteral("page_registered_views"));
}

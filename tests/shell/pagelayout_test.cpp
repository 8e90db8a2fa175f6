// Every control of a six-page window can be seen and used on the real widget
// tree: each tab, each selector of each view's panel and the main bar's
// buttons have a rectangle inside the window that no other widget covers,
// and a click there reaches the control.
#include "mainwindowfixture.h"

#include "panels/controlbar.h"
#include "panels/viewbar.h"
#include "views/graphwnd.h"
#include "views/paneldlg.h"
#include "widgets/numericdrum.h"
#include "widgets/selectorbutton.h"
#include "widgets/togglebutton.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

constexpr ViewKind kAllKinds[] = {ViewKind::Time, ViewKind::Fft, ViewKind::Psd, ViewKind::Frf,
                                  ViewKind::Crs,  ViewKind::Coh, ViewKind::Acr, ViewKind::Ccr,
                                  ViewKind::Spg,  ViewKind::Oct, ViewKind::Dmm};

// Empty when the whole of the control is visible in the window and the
// widget found under each of its corners and its centre is the control (or
// a child of it); else what is wrong.
std::string Unreachable(QWidget* window, QWidget* control)
{
    if (!control->isVisibleTo(window))
        return "hidden";
    const QRect place(control->mapTo(window, QPoint(0, 0)), control->size());
    if (!window->rect().contains(place))
        return "outside the window";
    // Clipped by a parent: part of it lies outside an ancestor.
    for (QWidget* parent = control->parentWidget(); parent && parent != window; parent = parent->parentWidget()) {
        const QRect inParent(control->mapTo(parent, QPoint(0, 0)), control->size());
        if (!parent->rect().contains(inParent))
            return std::string("cut off by ") + parent->metaObject()->className();
    }
    const QRect inner = place.adjusted(1, 1, -2, -2);
    for (QPoint point : {inner.topLeft(), inner.topRight(), inner.bottomLeft(), inner.bottomRight(), inner.center()}) {
        QWidget* found = window->childAt(point);
        if (found != control && !control->isAncestorOf(found))
            return "covered by " + std::string(found ? found->metaObject()->className() : "nothing");
    }
    return {};
}

// A click at the control's centre on whatever the window has there.
void ClickThroughWindow(QWidget* window, QWidget* control)
{
    const QPoint centre = control->mapTo(window, control->rect().center());
    QWidget* target = window->childAt(centre);
    ASSERT_NE(target, nullptr);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(window, centre));
}

class PageLayoutTest : public MainWindowFixture {
protected:
    // Checks every tab and every selector of every page; a selector is
    // clicked through the window and its drum accepted.
    void CheckEveryPage(CWndKRV& window)
    {
        QTimer acceptDrums;
        QObject::connect(&acceptDrums, &QTimer::timeout, [] {
            if (CNumericDrum* drum = CNumericDrum::Running())
                drum->Accept();
        });
        acceptDrums.start(1);
        for (int p = 0; p < window.PageCount(); ++p) {
            CViewBar* page = window.Page(p);
            for (ViewKind kind : kAllKinds) {
                CToggleButton* tab = page->Tab(kind);
                const std::string tabName = "page " + std::to_string(p) + " " + tab->toolTip().toStdString();
                ASSERT_EQ(Unreachable(&window, tab), "") << tabName;
                ClickThroughWindow(&window, tab);
                ASSERT_EQ(page->ActiveKind(), int(kind)) << tabName;
                CheckPanel(window, *page, *page->View(kind), tabName);
            }
        }
    }

    void CheckPanel(CWndKRV& window, const CViewBar& page, CGraphWnd& view, const std::string& where)
    {
        auto* panel = qobject_cast<CPanelDlg*>(view.Panel());
        ASSERT_NE(panel, nullptr) << where;
        // The panel stays within its page's tile, so no page covers another.
        EXPECT_TRUE(page.Tile().contains(panel->geometry())) << where;
        for (CSelectorButton* selector : panel->findChildren<CSelectorButton*>()) {
            const std::string name = where + " " + selector->text().toStdString();
            panel->ScrollToShow(selector);
            ASSERT_EQ(Unreachable(&window, selector), "") << name;
            QSignalSpy clicks(selector, &CSelectorButton::clicked);
            ClickThroughWindow(&window, selector);
            EXPECT_EQ(clicks.count(), 1) << name;
        }
    }
};

TEST_F(PageLayoutTest, SixPagesAt1024x640ShowEveryTabSelectorAndBarButton)
{
    auto window = MakeWindow(1024, 640);
    ASSERT_TRUE(window->Bar()->ChoosePageCount(6));
    ASSERT_EQ(window->PageCount(), 6);
    QApplication::processEvents();
    CControlBar* bar = window->Bar();
    for (int id : {CControlBar::IdSetup, CControlBar::IdMenu, CControlBar::IdRun, CControlBar::IdRec})
        EXPECT_EQ(Unreachable(window.get(), bar->Control(id)), "") << bar->Control(id)->text().toStdString();
    for (int id : {CControlBar::IdCh1, CControlBar::IdCh2, CControlBar::IdViews, CControlBar::IdPoints,
                   CControlBar::IdAverages, CControlBar::IdOverlap})
        EXPECT_EQ(Unreachable(window.get(), bar->Selector(id)), "") << bar->Selector(id)->text().toStdString();
    // The narrow strips shorten the long captions rather than drop tabs.
    EXPECT_FALSE(window->Page(0)->TabsScroll());
    EXPECT_EQ(window->Page(0)->Tab(ViewKind::Oct)->text(), "OCT");
    CheckEveryPage(*window);
}

TEST_F(PageLayoutTest, FourAndSixPagesAt1240x760KeepEveryControlReachable)
{
    auto window = MakeWindow(1240, 760);
    for (int pages : {4, 6}) {
        ASSERT_TRUE(window->Bar()->ChoosePageCount(pages));
        QApplication::processEvents();
        CheckEveryPage(*window);
    }
}

// Below a legible tab width the strip scrolls: its arrows bring every tab
// into the strip in turn.
TEST_F(PageLayoutTest, ANarrowStripScrollsItsTabsIntoView)
{
    auto window = MakeWindow(700, 640);
    ASSERT_TRUE(window->Bar()->ChoosePageCount(6));
    QApplication::processEvents();
    CViewBar* page = window->Page(5);
    ASSERT_TRUE(page->TabsScroll());
    for (ViewKind kind : kAllKinds) {
        for (int step = 0; step < kViewKindCount && Unreachable(window.get(), page->Tab(kind)) != ""; ++step)
            page->ScrollTabs(1);
        ASSERT_EQ(Unreachable(window.get(), page->Tab(kind)), "") << page->Tab(kind)->toolTip().toStdString();
        ClickThroughWindow(window.get(), page->Tab(kind));
        EXPECT_EQ(page->ActiveKind(), int(kind));
        page->ScrollTabs(-kViewKindCount);
    }
}

} // namespace

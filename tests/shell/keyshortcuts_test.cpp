// The main window's keys act once each through the main bar's handlers,
// ahead of the focused control, and not at all while a dialog or the drum
// chooser is open.
#include "mainwindowfixture.h"

#include "support/waituntil.h"

#include "panels/controlbar.h"
#include "panels/viewbar.h"
#include "shell/keyshortcuts.h"
#include "views/graphwnd.h"
#include "widgets/numericdrum.h"
#include "widgets/selectorbutton.h"
#include "widgets/togglebutton.h"

#include <QDialog>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

class KeyShortcutsTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        m_window = MakeWindow(1024, 640);
        m_bar = m_window->Bar();
    }

    CToggleButton* Toggle(int id) const { return m_bar->Control(id); }

    // Counts the clicks of the four toggles the letter keys drive.
    struct ToggleClicks {
        explicit ToggleClicks(CControlBar* bar)
            : run(bar->Control(CControlBar::IdRun), &QAbstractButton::clicked),
              single(bar->Control(CControlBar::IdSingle), &QAbstractButton::clicked),
              rec(bar->Control(CControlBar::IdRec), &QAbstractButton::clicked),
              autoscale(bar->Control(CControlBar::IdAuto), &QAbstractButton::clicked)
        {
        }
        std::vector<int> Counts() const { return {int(run.count()), int(single.count()), int(rec.count()),
                                                  int(autoscale.count())}; }
        QSignalSpy run, single, rec, autoscale;
    };

    std::unique_ptr<CWndKRV> m_window;
    CControlBar* m_bar = nullptr;
};

TEST_F(KeyShortcutsTest, LetterKeysAndSpacePressTheBarsToggles)
{
    // The mouse left the "Single" toggle focused: Space must not click it.
    Toggle(CControlBar::IdSingle)->setFocus();
    ToggleClicks clicks(m_bar);
    QTest::keyClick(Toggle(CControlBar::IdSingle), Qt::Key_Space);
    EXPECT_EQ(clicks.Counts(), (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(m_window->Record().run, 0);
    EXPECT_EQ(Toggle(CControlBar::IdRun)->Caption(), "Run");
    QTest::keyClick(Toggle(CControlBar::IdSingle), Qt::Key_Space);
    EXPECT_EQ(m_window->Record().run, 1);

    QTest::keyClick(m_window.get(), Qt::Key_S);
    EXPECT_EQ(clicks.Counts(), (std::vector<int>{2, 1, 0, 0}));
    EXPECT_EQ(m_window->Record().single, 1);
    QTest::keyClick(m_window.get(), Qt::Key_A);
    EXPECT_EQ(clicks.Counts(), (std::vector<int>{2, 1, 0, 1}));
    QTest::keyClick(m_window.get(), Qt::Key_R);
    EXPECT_EQ(clicks.Counts(), (std::vector<int>{2, 1, 1, 1}));

    // A held key acts once: its repeats are swallowed.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(Toggle(CControlBar::IdSingle), &repeat);
    EXPECT_EQ(clicks.Counts(), (std::vector<int>{2, 1, 1, 1}));
    // With Ctrl or Alt the letters are not the window's.
    QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(m_window.get(), Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(clicks.Counts(), (std::vector<int>{2, 1, 1, 1}));
}

TEST_F(KeyShortcutsTest, CtrlDigitsChooseThePageCountsViewsOffers)
{
    CSelectorButton* views = m_bar->Selector(CControlBar::IdViews);
    const struct {
        Qt::Key key;
        int pages;
    } cases[] = {{Qt::Key_4, 4}, {Qt::Key_6, 6}, {Qt::Key_2, 2}, {Qt::Key_3, 3}, {Qt::Key_1, 1}};
    for (const auto& c : cases) {
        QTest::keyClick(m_window.get(), c.key, Qt::ControlModifier);
        EXPECT_EQ(m_window->PageCount(), c.pages);
        EXPECT_EQ(views->CurrentText(), QString::number(c.pages));
    }
    // "Views" offers no 5; the digit alone is no key of the window.
    QTest::keyClick(m_window.get(), Qt::Key_5, Qt::ControlModifier);
    QTest::keyClick(m_window.get(), Qt::Key_4);
    EXPECT_EQ(m_window->PageCount(), 1);
}

// Up, right and PageUp turn the wheel one notch up, their opposites down,
// on the selector under the mouse, whichever control has the focus.
TEST_F(KeyShortcutsTest, ArrowsStepTheSelectorUnderTheMouseAsAWheelNotch)
{
    CSelectorButton* points = m_bar->Selector(CControlBar::IdPoints);
    ASSERT_EQ(points->CurrentText(), "1024");
    QTest::mouseMove(points);
    ASSERT_TRUE(WaitUntil([&] { return points->underMouse(); }, std::chrono::seconds(5)));
    Toggle(CControlBar::IdRun)->setFocus();
    QSignalSpy steps(points, &CSelectorButton::clicked);
    const struct {
        Qt::Key key;
        const char* after;
    } cases[] = {{Qt::Key_Up, "2048"},       {Qt::Key_Right, "4096"},   {Qt::Key_Down, "2048"},
                 {Qt::Key_Left, "1024"},     {Qt::Key_PageUp, "2048"},  {Qt::Key_PageDown, "1024"}};
    int expected = 0;
    for (const auto& c : cases) {
        QTest::keyClick(QApplication::focusWidget(), c.key);
        EXPECT_EQ(points->CurrentText(), c.after) << int(c.key);
        EXPECT_EQ(steps.count(), ++expected);
        EXPECT_EQ(m_window->Record().points, points->CurrentText().toInt());
    }
    // Held down it steps on, like a turning wheel.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(m_window.get(), &repeat);
    EXPECT_EQ(points->CurrentText(), "2048");

    // Over no selector the arrows do nothing.
    CGraphWnd* view = m_window->Page(0)->View(ViewKind::Time);
    QTest::mouseMove(view, view->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return !points->underMouse(); }, std::chrono::seconds(5)));
    QTest::keyClick(m_window.get(), Qt::Key_Up);
    EXPECT_EQ(points->CurrentText(), "2048");
}

TEST_F(KeyShortcutsTest, F1ShowsTheKeyList)
{
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].caption, "Keys");
    EXPECT_EQ(m_boxes.Boxes()[0].text, CKeyShortcuts::KeyList());
    for (const char* key : {"Space", "Ctrl+1", "PgUp", "F1"})
        EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(key)) << key;
}

TEST_F(KeyShortcutsTest, NoKeyActsWhileADialogOrTheDrumIsOpen)
{
    ToggleClicks clicks(m_bar);
    auto pressAll = [&] {
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_S, Qt::Key_R, Qt::Key_A, Qt::Key_F1})
            QTest::keyClick(m_window.get(), key);
        QTest::keyClick(m_window.get(), Qt::Key_4, Qt::ControlModifier);
    };

    // A modal dialog (the "define p0" dialog of the menu).
    bool blocked = false;
    m_dialogs.QueueHandler([&](QDialog&) {
        blocked = CKeyShortcuts::Blocked();
        pressAll();
    });
    m_window->DefineP0();
    EXPECT_TRUE(blocked);

    // A modeless dialog on screen.
    {
        QDialog modeless(m_window.get());
        modeless.show();
        pressAll();
    }

    // The drum chooser of a selector, opened by a click.
    CSelectorButton* averages = m_bar->Selector(CControlBar::IdAverages);
    bool drumSeen = false;
    QTimer::singleShot(0, [&] {
        CNumericDrum* drum = CNumericDrum::Running();
        drumSeen = drum != nullptr;
        pressAll();
        if (drum)
            drum->Cancel();
    });
    QTest::mouseClick(averages, Qt::LeftButton);
    EXPECT_TRUE(drumSeen);

    EXPECT_EQ(clicks.Counts(), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(m_window->PageCount(), 1);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(m_window->Record().run, 1);

    // Closed again, the keys act.
    QTest::keyClick(m_window.get(), Qt::Key_Space);
    EXPECT_EQ(clicks.Counts(), (std::vector<int>{1, 0, 0, 0}));
}

} // namespace

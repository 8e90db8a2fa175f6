// The panel framework: placement beside the view, notifications with their
// codes posted or sent, settings lines written and read back, group painting.
#include "views/paneldlg.h"

#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "support/testenvironment.h"
#include "widgets/selectorbutton.h"

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

enum { IdYDiv = 1042, IdOff = 1053, IdCpl = 1048, IdDspl = 1031, IdTrg = 1019, IdTrgSrc = 1020, IdNoCode = 1030 };

constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 2, 3, 45, 43},
    {IdYDiv, ControlKind::Selector, "YDiv", 4, 6, 40, 11},
    {IdOff, ControlKind::Selector, "Off", 4, 19, 40, 11},
    {IdCpl, ControlKind::Selector, "Cpl", 4, 32, 40, 11},
    {CPanelDlg::GroupCursor, ControlKind::Frame, "", 2, 49, 94, 50},
    {IdDspl, ControlKind::Selector, "Dspl", 4, 52, 40, 11},
    {IdTrg, ControlKind::Selector, "Trg", 4, 66, 40, 11},
    {IdTrgSrc, ControlKind::Selector, "TSrc", 53, 66, 40, 11},
    {IdNoCode, ControlKind::Selector, "Calc", 53, 80, 40, 11},
};

constexpr PanelNotification kNotifications[] = {
    {IdYDiv, PanelYDiv1, Delivery::Send},
    {IdOff, PanelOffset1},
    {IdCpl, PanelCoupling, Delivery::Send},
    {IdDspl, PanelDisplayMode},
    {IdTrg, PanelTrigger},
    {IdTrgSrc, PanelTriggerSource},
};

// "Trg:" is a prefix of neither key; "TrgSrc:" would match a test for "Trg"
// without its colon, so the tests put the longer key first.
constexpr PanelSetting kWriteOrder[] = {
    {IdCpl, "CPl1:"}, {IdYDiv, "YDiv1:"}, {IdOff, "YOff1:"}, {IdDspl, "Dspl:"}, {IdTrg, "Trg:"},
    {IdTrgSrc, "TrgSrc:"},
};
constexpr PanelSetting kTestOrder[] = {
    {IdYDiv, "YDiv1:"}, {IdCpl, "CPl1:"}, {IdOff, "YOff1:"}, {IdDspl, "Dspl:"}, {IdTrgSrc, "TrgSrc:"},
    {IdTrg, "Trg:"},
};

class TestPanel : public CPanelDlg {
public:
    explicit TestPanel(QWidget* view, int width = 98) : CPanelDlg(view) { Create(kTemplate, width, 149); }
    std::vector<int> loaded;

protected:
    void OnInitDialog() override
    {
        SetNotifications(kNotifications);
        SetSettings(kWriteOrder, kTestOrder);
        for (const char* text : {"0.5", "1", "2"})
            Selector(IdYDiv)->AddItem(text, -1);
        Selector(IdYDiv)->SelectText("1");
        Selector(IdCpl)->AddItem("AC", 0);
        Selector(IdCpl)->AddItem("DC", 1);
        for (const char* text : {"Magn", "Real", "Imag"})
            Selector(IdDspl)->AddItem(text, -1);
        for (const char* text : {"None", "Auto", "Level"})
            Selector(IdTrg)->AddItem(text, -1);
        Selector(IdTrgSrc)->AddItem("ch1", 0);
        Selector(IdTrgSrc)->AddItem("ch2", 1);
        Selector(IdNoCode)->AddItem("x", 0);
        Selector(IdNoCode)->AddItem("y", 1);
    }
    void LineLoaded(int id) override { loaded.push_back(id); }
};

// The owner view: records each WM_PANEL_NOTIFY with the moment it came.
class RecordingView : public QWidget {
public:
    using QWidget::QWidget;
    std::vector<int> codes;

protected:
    bool event(QEvent* event) override
    {
        if (AppMessage::NumberOf(event) == WM_PANEL_NOTIFY) {
            auto* message = static_cast<AppMessage*>(event);
            EXPECT_EQ(message->LParam(), 0);
            codes.push_back(int(message->WParam()));
            return true;
        }
        return QWidget::event(event);
    }
};

void WheelNotch(QWidget* widget)
{
    const QPoint pos = widget->rect().center();
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

QByteArray Store(CPanelDlg& panel)
{
    QByteArray bytes;
    TextArchive archive;
    archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
    panel.SerializePanel(archive);
    archive.Close();
    return bytes;
}

// Loads text into the panel; returns the line the caller reads next.
QString Load(CPanelDlg& panel, QByteArray text)
{
    TextArchive archive;
    archive.OpenBuffer(&text, TextArchive::Mode::Load);
    panel.SerializePanel(archive);
    QString next;
    archive.ReadLine(next);
    return next;
}

class PanelTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        m_window.resize(800, 600);
        m_view = new RecordingView(&m_window);
        m_view->setGeometry(150, 0, 650, 572);
        m_panel = new TestPanel(m_view);
    }

    TestEnvironment m_env;
    QWidget m_window;
    RecordingView* m_view = nullptr;
    TestPanel* m_panel = nullptr;
};

} // namespace

TEST(PanelPlacement, LeftOfTheViewAndDownOverTheStrip)
{
    struct Case {
        QRect view;
        int panelWidth;
        QRect expected;
    } cases[] = {
        {QRect(150, 28, 850, 544), 150, QRect(0, 28, 150, 572)},
        {QRect(647, 252, 353, 196), 147, QRect(500, 252, 147, 224)},
        {QRect(150, 28, 0, 0), 150, QRect(0, 28, 150, 28)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CPanelDlg::Placement(c.view, c.panelWidth), c.expected) << c.view.x() << "," << c.view.y();
}

TEST_F(PanelTest, PanelsOfAnyTemplateWidthTakeThePanelWidth)
{
    EXPECT_EQ(m_panel->parentWidget(), &m_window);
    EXPECT_FALSE(m_panel->isVisibleTo(&m_window));
    EXPECT_EQ(m_panel->width(), 98 * 6 / 4);
    TestPanel wide(m_view, 126);
    EXPECT_EQ(wide.width(), 126 * 6 / 4);

    Ctx().panelWidth = m_panel->width();
    m_panel->PlaceBeside(m_view->geometry());
    wide.PlaceBeside(m_view->geometry());
    EXPECT_EQ(m_panel->geometry(), QRect(3, 0, 147, 600));
    EXPECT_EQ(wide.geometry(), m_panel->geometry());
}

TEST_F(PanelTest, ClicksPostOrSendTheirCodes)
{
    // Initialisation sent nothing.
    QApplication::processEvents();
    EXPECT_TRUE(m_view->codes.empty());

    // Sent: handled before the selector's click returns.
    WheelNotch(m_panel->Selector(IdYDiv));
    EXPECT_EQ(m_panel->Selector(IdYDiv)->CurrentText(), "2");
    EXPECT_EQ(m_view->codes, std::vector<int>{PanelYDiv1});
    WheelNotch(m_panel->Selector(IdCpl));
    EXPECT_EQ(m_view->codes, (std::vector<int>{PanelYDiv1, PanelCoupling}));

    // Posted: handled once the event loop runs, in click order.
    m_view->codes.clear();
    WheelNotch(m_panel->Selector(IdDspl));
    WheelNotch(m_panel->Selector(IdTrg));
    WheelNotch(m_panel->Selector(IdTrgSrc));
    EXPECT_TRUE(m_view->codes.empty());
    QApplication::processEvents();
    EXPECT_EQ(m_view->codes, (std::vector<int>{PanelDisplayMode, PanelTrigger, PanelTriggerSource}));

    // A selector without a code in the table tells the view nothing.
    m_view->codes.clear();
    WheelNotch(m_panel->Selector(IdNoCode));
    QApplication::processEvents();
    EXPECT_TRUE(m_view->codes.empty());
}

TEST_F(PanelTest, SettingsLinesRoundTripInWriteOrder)
{
    m_panel->Selector(IdYDiv)->SelectText("0.5");
    m_panel->Selector(IdCpl)->SelectKey(1, false);
    m_panel->Selector(IdOff)->SetNumeric(0.5, 1.5);
    m_panel->Selector(IdDspl)->SelectText("Imag");
    m_panel->Selector(IdTrg)->SelectText("Level");
    m_panel->Selector(IdTrgSrc)->SelectText("ch2");
    const QByteArray written = Store(*m_panel);
    EXPECT_EQ(written, "CPl1:$DC\r\nYDiv1:$0.5\r\nYOff1:#1.5,0.5,0\r\nDspl:$Imag\r\nTrg:$Level\r\nTrgSrc:$ch2\r\n");

    TestPanel fresh(m_view);
    EXPECT_EQ(Load(fresh, written + "}\r\nNext {\r\n"), "Next {");
    EXPECT_EQ(Store(fresh), written);
    EXPECT_DOUBLE_EQ(fresh.Selector(IdOff)->NumericValue(), 1.5);
    // Each applied line is reported, in file order; loading notifies nobody.
    EXPECT_EQ(fresh.loaded, (std::vector<int>{IdCpl, IdYDiv, IdOff, IdDspl, IdTrg, IdTrgSrc}));
    QApplication::processEvents();
    EXPECT_TRUE(m_view->codes.empty());
}

TEST_F(PanelTest, LoadingTakesWhatItKnowsAndSkipsTheRest)
{
    const QByteArray before = Store(*m_panel);
    // Only the display changes.
    EXPECT_EQ(Load(*m_panel, "Dspl:$Real\r\n}\r\nAfter\r\n"), "After");
    EXPECT_EQ(Store(*m_panel), QByteArray(before).replace("Dspl:$Magn", "Dspl:$Real"));

    // An empty value, a foreign key and a line without '$' or '#' change
    // nothing; a key given twice is applied twice; no '}' ends at the end.
    EXPECT_EQ(Load(*m_panel, "YDiv1:\r\nFoo:$1\r\nCPl1:DC\r\nTrg:$Auto\r\nTrg:$Level"), "");
    EXPECT_EQ(m_panel->Selector(IdYDiv)->CurrentText(), "1");
    EXPECT_EQ(m_panel->Selector(IdCpl)->CurrentText(), "AC");
    EXPECT_EQ(m_panel->Selector(IdTrg)->CurrentText(), "Level");
    EXPECT_EQ(m_panel->Selector(IdTrgSrc)->CurrentText(), "ch1");
}

TEST(PanelMatchKey, PrefixUpToTheColon)
{
    struct Case {
        const char* line;
        const char* key;
        bool match;
        const char* rest;
    } cases[] = {
        {"YDiv1:$2", "YDiv1:", true, "$2"},
        {"YDiv1:", "YDiv1:", true, ""},
        {"YDiv2:$2", "YDiv1:", false, ""},
        {"YDiv", "YDiv1:", false, ""},
        {"TrgSrc:$ch1", "Trg:", false, ""},
        {"TrgSrc:$ch1", "Trg", true, "Src:$ch1"},
        // Characters of the key after its colon are not compared.
        {"A:xyz", "A:b", true, "xyz"},
        {"Time {", "Time {", true, ""},
        {"", "X:", false, ""},
    };
    for (const Case& c : cases) {
        QString rest;
        EXPECT_EQ(CPanelDlg::MatchKey(c.line, c.key, &rest), c.match) << c.line << " / " << c.key;
        if (c.match) {
            EXPECT_EQ(rest, c.rest) << c.line;
        }
    }
}

TEST_F(PanelTest, GroupsAreFilledAndOutlinedInTheirColours)
{
    Ctx().colours.Apply(ColourScheme::Dark);
    m_panel->resize(147, 242);
    const QImage image = m_panel->grab().toImage();
    const QRect channel = ControlById(m_panel, CPanelDlg::GroupChannel1)->geometry();
    const QRect cursor = ControlById(m_panel, CPanelDlg::GroupCursor)->geometry();
    const ColourScheme& colours = Ctx().colours;
    EXPECT_EQ(image.pixelColor(channel.topLeft()), colours.trace1);
    EXPECT_EQ(image.pixelColor(channel.bottomRight()), colours.trace1);
    EXPECT_EQ(image.pixelColor(cursor.left(), cursor.center().y()), colours.panelAccent);
    // Inside a group, between its controls: the fill.
    EXPECT_EQ(image.pixelColor(channel.left() + 1, channel.top() + 1), colours.panelFill);
    // Outside every group: the panel brush.
    EXPECT_EQ(image.pixelColor(1, 1), colours.panelBrush.color());
}

// A panel shorter than its controls scrolls them between two arrow strips;
// the wheel over its background scrolls, over a selector it steps the
// selector; the groups are painted where their controls went.
TEST_F(PanelTest, AShortPanelScrollsItsControls)
{
    Ctx().colours.Apply(ColourScheme::Dark);
    m_window.show();
    m_panel->show();
    // The lowest control is the cursor group, down to 49 + 50 dialog units.
    const QRect cursorGroup = DialogUnitsToPixels(2, 49, 94, 50);
    const int content = cursorGroup.y() + cursorGroup.height() + 3;
    const QRect calc = DialogUnitsToPixels(53, 80, 40, 11);
    EXPECT_EQ(m_panel->ContentHeight(), content);
    m_panel->resize(147, content);
    EXPECT_FALSE(m_panel->Scrolls());

    m_panel->resize(147, 100);
    ASSERT_TRUE(m_panel->Scrolls());
    const int arrow = CPanelDlg::kArrowHeight;
    EXPECT_EQ(CPanelDlg::ViewportHeight(100, content), 100 - 2 * arrow);
    EXPECT_EQ(CPanelDlg::MaxScroll(100, content), content - (100 - 2 * arrow));
    CSelectorButton* lowest = m_panel->Selector(IdNoCode);
    auto placeOf = [&](QWidget* control) { return QRect(control->mapTo(m_panel, QPoint(0, 0)), control->size()); };
    EXPECT_GT(placeOf(lowest).bottom(), 100);

    m_panel->ScrollToShow(lowest);
    const QRect shown = placeOf(lowest);
    EXPECT_GE(shown.top(), arrow);
    EXPECT_EQ(shown.bottom() + 1, 100 - arrow);
    EXPECT_EQ(m_panel->ScrollOffset(), calc.y() + calc.height() - (100 - 2 * arrow));
    EXPECT_EQ(m_panel->childAt(shown.center()), lowest);

    // The channel group's outline moved with its controls.
    QWidget* group = ControlById(m_panel, CPanelDlg::GroupChannel1);
    const QRect groupPlace = placeOf(group);
    const QImage image = m_panel->grab().toImage();
    const QPoint outline(groupPlace.left(), std::clamp(groupPlace.bottom() - 1, arrow, 100 - arrow - 1));
    EXPECT_EQ(image.pixelColor(outline), Ctx().colours.trace1);

    // A notch over the background (where no selector takes it, so that it
    // reaches the panel) scrolls one row back up ...
    const int before = m_panel->ScrollOffset();
    const QPoint background(m_panel->width() - 2, 50);
    ASSERT_FALSE(qobject_cast<CSelectorButton*>(m_panel->childAt(background)));
    QWheelEvent up(QPointF(background), QPointF(m_panel->mapToGlobal(background)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_panel, &up);
    EXPECT_EQ(m_panel->ScrollOffset(), before - CPanelDlg::kScrollStep);
    // ... and one over a selector steps the selector, not the panel.
    const int index = m_panel->Selector(IdYDiv)->CurrentIndex();
    m_panel->ScrollToShow(m_panel->Selector(IdYDiv));
    const int top = m_panel->ScrollOffset();
    WheelNotch(m_panel->Selector(IdYDiv));
    EXPECT_EQ(m_panel->Selector(IdYDiv)->CurrentIndex(), index + 1);
    EXPECT_EQ(m_panel->ScrollOffset(), top);

    // Tall again: no arrows, the controls back at their template places.
    m_panel->resize(147, 300);
    EXPECT_FALSE(m_panel->Scrolls());
    EXPECT_EQ(m_panel->ScrollOffset(), 0);
    EXPECT_EQ(placeOf(lowest), calc);
}

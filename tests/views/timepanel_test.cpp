// The time panel: its lists and defaults, the panel width it sets, the
// settings lines it writes and reads (a loaded time base reaching the view at
// once), wrapping, and the trigger sources refilled from the service.
#include "views/timepanel.h"

#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "support/testenvironment.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Records the codes that reach it, sent ones at once.
class CodeSink : public QWidget {
public:
    std::vector<int> codes;

protected:
    bool event(QEvent* event) override
    {
        if (AppMessage::NumberOf(event) == WM_PANEL_NOTIFY) {
            codes.push_back(int(static_cast<AppMessage*>(event)->WParam()));
            return true;
        }
        return QWidget::event(event);
    }
};

class TimePanelTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        view = std::make_unique<CodeSink>();
        panel = std::make_unique<CTimePanel>(view.get());
    }
    void TearDown() override { ZQ_ReleaseWriter(); }
    CSelectorButton& Sel(int id) { return *panel->Selector(id); }
    QString Store()
    {
        QByteArray bytes;
        TextArchive archive;
        archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
        panel->SerializePanel(archive);
        archive.Close();
        return QString::fromLatin1(bytes);
    }
    void Load(const QByteArray& text)
    {
        QByteArray bytes = text;
        TextArchive archive;
        archive.OpenBuffer(&bytes, TextArchive::Mode::Load);
        panel->SerializePanel(archive);
        archive.Close();
    }
    void Wheel(int id, int steps)
    {
        CSelectorButton& s = Sel(id);
        QWheelEvent wheel(QPointF(s.width() / 2, s.height() / 2), s.mapToGlobal(QPointF(2, 2)), QPoint(),
                          QPoint(0, 120 * steps), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&s, &wheel);
    }

    TestEnvironment env;
    std::unique_ptr<CodeSink> view;
    std::unique_ptr<CTimePanel> panel;
};

TEST_F(TimePanelTest, DefaultsListsAndPanelWidth)
{
    EXPECT_EQ(Ctx().panelWidth, panel->width());
    EXPECT_EQ(panel->width(), 98 * 6 / 4);
    EXPECT_EQ(Sel(CTimePanel::IdYDiv1).CurrentText(), "1");
    EXPECT_EQ(Sel(CTimePanel::IdYDiv2).CurrentText(), "1");
    EXPECT_EQ(Sel(CTimePanel::IdCpl1).Items(), (QStringList{"AC", "DC"}));
    EXPECT_EQ(Sel(CTimePanel::IdTrgSrc).Items(), (QStringList{"ch1", "ch2"}));
    EXPECT_EQ(Sel(CTimePanel::IdTrg).Items(), (QStringList{"None", "Auto", "Level"}));
    EXPECT_EQ(Sel(CTimePanel::IdSlope).Items(), (QStringList{"-", "+", "<>"}));
    EXPECT_EQ(Sel(CTimePanel::IdPos).Count(), 21);
    EXPECT_EQ(Sel(CTimePanel::IdPos).Items().last(), "100%");
    EXPECT_EQ(Sel(CTimePanel::IdXDiv).CurrentText(), "0.1s");
    EXPECT_EQ(Sel(CTimePanel::IdCursor).CurrentText(), "Manual");
    EXPECT_TRUE(Sel(CTimePanel::IdLevel).IsNumeric());
    EXPECT_DOUBLE_EQ(Sel(CTimePanel::IdLevel).Step(), 0.05);
    EXPECT_TRUE(view->codes.empty());
}

TEST_F(TimePanelTest, WritesItsLinesInOrderAndGridsLikeTheView)
{
    Sel(CTimePanel::IdOff1).SetNumeric(1.0, 0.0);
    Sel(CTimePanel::IdLevel).SetNumeric(0.2, 0.0);
    const QString text = Store();
    EXPECT_EQ(text, "CPl1:$AC\r\nCPl2:$AC\r\nYDiv2:$1\r\nYDiv1:$1\r\nYOff1:#0,1,0\r\nYOff2:#0,0,0\r\nTrg:$None\r\n"
                    "TrgSrc:$ch1\r\nTrgPos:$0%\r\nTrgSlp:$-\r\nTrgLvlL:#0,0.2,0\r\nTrgWin:#0,0,0\r\nXDiv:$0.1s\r\n"
                    "Curs:$Manual\r\n");
}

TEST_F(TimePanelTest, LoadedTimeBaseNotifiesAtOnceOtherLinesDoNot)
{
    Load("XDiv:$0.01s\r\n}\r\n");
    EXPECT_EQ(Sel(CTimePanel::IdXDiv).CurrentText(), "0.01s");
    EXPECT_EQ(view->codes, (std::vector<int>{PanelXScale}));
    view->codes.clear();
    Load("CPl2:$DC\r\n}\r\n");
    EXPECT_EQ(Sel(CTimePanel::IdCpl1).CurrentText(), "AC");
    EXPECT_EQ(Sel(CTimePanel::IdCpl2).CurrentText(), "DC");
    EXPECT_TRUE(view->codes.empty());
}

TEST_F(TimePanelTest, PositionStopsAtHundredSlopeWraps)
{
    Sel(CTimePanel::IdPos).SelectText("100%");
    Wheel(CTimePanel::IdPos, 1);
    EXPECT_EQ(Sel(CTimePanel::IdPos).CurrentText(), "100%");
    Sel(CTimePanel::IdSlope).SelectText("<>");
    Wheel(CTimePanel::IdSlope, 1);
    EXPECT_EQ(Sel(CTimePanel::IdSlope).CurrentText(), "-");
    QApplication::sendPostedEvents();
    EXPECT_EQ(view->codes, (std::vector<int>{PanelTriggerPos, PanelTriggerSlope}));
}

TEST_F(TimePanelTest, TriggerSourcesListThePhysicalNumbers)
{
    ZQ_SetNrOfChan(3);
    const int numbers[] = {1, 2, 5};
    for (int i = 0; i < 3; ++i) {
        const QByteArray text = QByteArray::number(numbers[i]);
        ZQ_SetChanDef(i, numbers[i], text.constData(), "In", "V", "+", 1e-4, -1, 1, -99, 99, 0);
    }
    Sel(CTimePanel::IdTrgSrc).SelectText("ch2");
    panel->RefillTriggerSources();
    EXPECT_EQ(Sel(CTimePanel::IdTrgSrc).Items(), (QStringList{"1", "2", "5"}));
    EXPECT_EQ(Sel(CTimePanel::IdTrgSrc).CurrentKey(), 0); // "ch2" is gone: the first channel
    Sel(CTimePanel::IdTrgSrc).SelectText("5");
    panel->RefillTriggerSources();
    EXPECT_EQ(Sel(CTimePanel::IdTrgSrc).CurrentKey(), 2);
    EXPECT_TRUE(view->codes.empty());
}

} // namespace

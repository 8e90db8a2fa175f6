// The value selector: stepping by wheel, choosing with the drum, the
// numeric grid, the list operations, settings lines and drawing.
#include "widgettest.h"

#include "platform/textarchive.h"
#include "context/appcontext.h"
#include "widgets/numericdrum.h"
#include "widgets/scalecolor.h"
#include "widgets/selectorbutton.h"
#include "support/waituntil.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using WidgetTest::Wheel;

namespace {

const char* const kVolts[] = {"0.1u", "0.2u", "0.5u", "1u", "2u", "5u", "10u", "20u", "50u", "0.1m",
                              "0.2m", "0.5m", "1m", "2m", "5m", "0.01", "0.02", "0.05", "0.1", "0.2",
                              "0.5", "1", "2", "5", "10", "20", "50", "100", "200", "500",
                              "1k", "2k", "5k", "10k", "20k", "50k", "100k", "200k", "500k"};

class SelectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        m_window = std::make_unique<QWidget>();
        m_window->resize(200, 200);
        m_selector = new CSelectorButton(QStringLiteral("YDiv"), m_window.get());
        m_selector->setGeometry(10, 10, 120, 20);
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        m_clicks = std::make_unique<QSignalSpy>(m_selector, &QAbstractButton::clicked);
    }

    void Fill(std::initializer_list<const char*> texts)
    {
        int key = 0;
        for (const char* text : texts)
            m_selector->AddItem(QString::fromLatin1(text), key++);
    }

    int Clicks() const { return int(m_clicks->count()); }

    std::unique_ptr<QWidget> m_window;
    CSelectorButton* m_selector = nullptr;
    std::unique_ptr<QSignalSpy> m_clicks;
};

} // namespace

TEST_F(SelectorTest, WheelAtTheEndsStopsOrWrapsWithOneNotificationEach)
{
    Fill({"a", "b", "c"});
    m_selector->SelectText(QStringLiteral("c"));
    Wheel(m_selector, 120);
    EXPECT_EQ(m_selector->CurrentIndex(), 2);
    EXPECT_EQ(Clicks(), 1);

    m_selector->SetWrap(true);
    Wheel(m_selector, 120);
    EXPECT_EQ(m_selector->CurrentText(), "a");
    EXPECT_EQ(Clicks(), 2);
    Wheel(m_selector, -120);
    EXPECT_EQ(m_selector->CurrentText(), "c");

    m_selector->SetWrap(false);
    m_selector->SelectText(QStringLiteral("a"));
    Wheel(m_selector, -120);
    EXPECT_EQ(m_selector->CurrentIndex(), 0);
    EXPECT_EQ(Clicks(), 4);
}

TEST_F(SelectorTest, WheelDeltaGivesStepsAtLeastOne)
{
    Fill({"0", "1", "2", "3", "4", "5", "6", "7"});
    Wheel(m_selector, 360);
    EXPECT_EQ(m_selector->CurrentIndex(), 3);
    EXPECT_EQ(Clicks(), 3);
    Wheel(m_selector, 50);
    EXPECT_EQ(m_selector->CurrentIndex(), 4);
    EXPECT_EQ(Clicks(), 4);
    Wheel(m_selector, -240);
    EXPECT_EQ(m_selector->CurrentIndex(), 2);
    EXPECT_EQ(Clicks(), 6);
    // A wheel step also takes the keyboard focus.
    EXPECT_TRUE(m_selector->hasFocus());
    // Zero-delta events (touchpad phases, horizontal turns) are no steps.
    Wheel(m_selector, 0);
    EXPECT_EQ(m_selector->CurrentIndex(), 2);
    EXPECT_EQ(Clicks(), 6);
}

TEST_F(SelectorTest, NumericStepsStopAtZeroWhenTheSignWouldChange)
{
    m_selector->SetNumeric(5, 5);
    EXPECT_DOUBLE_EQ(m_selector->Offset(), 5);
    Wheel(m_selector, -120);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), 0);
    Wheel(m_selector, -120);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), -5);
    EXPECT_EQ(Clicks(), 2);

    m_selector->ApplySettingsLine(QStringLiteral("#2.5,5,0"), false);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), 2.5);
    Wheel(m_selector, -120);
    EXPECT_EQ(m_selector->CurrentIndex(), -1);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), 0);
    Wheel(m_selector, -120);
    EXPECT_EQ(m_selector->CurrentIndex(), -2);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), -7.5);
    Wheel(m_selector, 360);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), 7.5);
}

TEST_F(SelectorTest, SetNumericRoundsTheOffsetAndKeepsTheValue)
{
    m_selector->SetNumeric(0.05, 0.12);
    EXPECT_NEAR(m_selector->Offset(), 0.1, 1e-15);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), 0.12);
    EXPECT_EQ(m_selector->CurrentIndex(), 0);
    EXPECT_EQ(CSelectorButton::NumericText(m_selector->NumericValue()), "120m");
    // Negative values on the grid stay on it: one step up from -10 is -5.
    m_selector->SetNumeric(5, -10);
    EXPECT_DOUBLE_EQ(m_selector->Offset(), -10);
    Wheel(m_selector, 120);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), -5);
    // Halves round up.
    m_selector->SetNumeric(2, -3);
    EXPECT_DOUBLE_EQ(m_selector->Offset(), -2);
    m_selector->SetNumeric(2, 3);
    EXPECT_DOUBLE_EQ(m_selector->Offset(), 4);
    // The grid point at zero is exactly zero, not a rounding residue.
    m_selector->SetNumeric(0.1, 0.3);
    Wheel(m_selector, -360);
    EXPECT_EQ(m_selector->NumericValue(), 0.0);
    EXPECT_EQ(CSelectorButton::NumericText(m_selector->NumericValue()), "0");
    EXPECT_EQ(CNumericDrum::GridValue(-3, 0.1, 0.3), 0.0);
    EXPECT_DOUBLE_EQ(CNumericDrum::GridValue(-4, 0.1, 0.3), -0.1);
}

TEST(SelectorText, NumericTextPrefixes)
{
    struct Case {
        double value;
        const char* text;
    } cases[] = {{0.05, "50m"}, {1500, "1.5k"}, {5, "5"},     {0, "0"},         {-0.05, "-50m"},
                 {2e-7, "200n"}, {5e-5, "50u"}, {2e6, "2M"},  {0.9, "0.9"},     {0.0009, "0.9m"}, {0.00089, "890u"},
                 {1100, "1.1e+03"}, {1101, "1.1k"}, {0.12345, "123m"}};
    for (const Case& c : cases)
        EXPECT_EQ(CSelectorButton::NumericText(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST_F(SelectorTest, SelectAtLeastScansInTheListsOrder)
{
    for (const char* text : kVolts)
        m_selector->AddItem(QString::fromLatin1(text), -1);
    m_selector->SelectAtLeast(0.3);
    EXPECT_EQ(m_selector->CurrentText(), "0.5");
    m_selector->SelectAtLeast(0.2);
    EXPECT_EQ(m_selector->CurrentText(), "0.2");
    // About equal counts: 0.19999 is within a thousandth of 0.2.
    m_selector->SelectAtLeast(0.20001);
    EXPECT_EQ(m_selector->CurrentText(), "0.2");
    m_selector->SelectAtLeast(1e9);
    EXPECT_EQ(m_selector->CurrentText(), "0.2");

    CSelectorButton descending;
    for (const char* text : {"10", "5", "2", "1"})
        descending.AddItem(QString::fromLatin1(text), -1);
    descending.SelectAtLeast(3);
    EXPECT_EQ(descending.CurrentText(), "5");

    CSelectorButton single;
    single.AddItem(QStringLiteral("1"), -1);
    single.SelectAtLeast(0.5);
    EXPECT_EQ(single.CurrentIndex(), 0);
}

TEST_F(SelectorTest, SelectNearestTakesTheEarlierOnTies)
{
    Fill({"1", "3", "5"});
    m_selector->SelectNearest(4);
    EXPECT_EQ(m_selector->CurrentText(), "3");
    m_selector->SelectNearest(4.1);
    EXPECT_EQ(m_selector->CurrentText(), "5");
    m_selector->SelectNearest(-100);
    EXPECT_EQ(m_selector->CurrentText(), "1");
}

TEST_F(SelectorTest, ListOperations)
{
    EXPECT_EQ(m_selector->CurrentText(), "Error");
    EXPECT_EQ(m_selector->CurrentKey(), -1);
    m_selector->SelectKey(3, true);
    EXPECT_EQ(Clicks(), 0);

    m_selector->AddItem(QStringLiteral("Line"), 10);
    m_selector->AddItem(QStringLiteral("Bar"), 20);
    m_selector->AddItem(QStringLiteral("bar"), 30);
    m_selector->SelectText(QStringLiteral("bar"));
    EXPECT_EQ(m_selector->CurrentKey(), 30);
    m_selector->SelectText(QStringLiteral("Filled"));
    EXPECT_EQ(m_selector->CurrentText(), "Line");
    m_selector->SelectKey(20, false);
    EXPECT_EQ(m_selector->CurrentText(), "Bar");
    m_selector->SelectKey(99, true);
    EXPECT_EQ(m_selector->CurrentText(), "Bar");
    EXPECT_EQ(Clicks(), 0);
    m_selector->SelectKey(30, true);
    EXPECT_EQ(m_selector->CurrentKey(), 30);
    EXPECT_EQ(Clicks(), 1);

    m_selector->SetNumeric(1, 4);
    EXPECT_TRUE(m_selector->IsNumeric());
    m_selector->AddItem(QStringLiteral("Extra"), 40);
    EXPECT_FALSE(m_selector->IsNumeric());

    m_selector->SelectText(QStringLiteral("Extra"));
    m_selector->ClearItems();
    EXPECT_EQ(m_selector->Count(), 0);
    EXPECT_EQ(m_selector->CurrentIndex(), 3);
    EXPECT_EQ(m_selector->CurrentText(), "Error");
}

TEST_F(SelectorTest, DisabledSelectorIgnoresClicksAndWheel)
{
    Fill({"a", "b", "c"});
    m_selector->SetEnabled(false);
    auto drum = WidgetTest::WithDrum([&] { QTest::mouseClick(m_selector, Qt::LeftButton); }, [](CNumericDrum*) {});
    EXPECT_FALSE(drum.opened);
    Wheel(m_selector, 240);
    EXPECT_EQ(m_selector->CurrentIndex(), 0);
    EXPECT_EQ(Clicks(), 0);
    m_selector->SetEnabled(true);
    Wheel(m_selector, 120);
    EXPECT_EQ(Clicks(), 1);
}

TEST_F(SelectorTest, DrumClickAcceptsTheCentreWhereverItLands)
{
    Fill({"a", "b", "c", "d", "e"});
    m_selector->SelectText(QStringLiteral("c"));
    auto drum = WidgetTest::WithDrum([&] { QTest::mouseClick(m_selector, Qt::LeftButton); },
                                     [](CNumericDrum* d) {
                                         // Row 6, far from the centre row.
                                         QTest::mousePress(d, Qt::LeftButton, {}, QPoint(20, 97));
                                         QTest::mouseRelease(d, Qt::LeftButton, {}, QPoint(20, 97));
                                     });
    EXPECT_TRUE(drum.opened);
    EXPECT_EQ(drum.firstVisible, -1);
    EXPECT_EQ(m_selector->CurrentText(), "c");
    // The same value is still a choice, notified once.
    EXPECT_EQ(Clicks(), 1);
}

TEST_F(SelectorTest, DrumDragsByRowsAndAnOutsideClickAccepts)
{
    Fill({"a", "b", "c", "d", "e", "f"});
    m_selector->SelectText(QStringLiteral("c"));
    WidgetTest::WithDrum([&] { QTest::mouseClick(m_selector, Qt::LeftButton); },
                         [](CNumericDrum* d) {
                             QTest::mousePress(d, Qt::LeftButton, {}, QPoint(20, 60));
                             // 31 pixels up: two rows, the list moves up, the centre two items on.
                             WidgetTest::Move(d, QPoint(20, 29), true);
                             EXPECT_EQ(d->CentreIndex(), 4);
                             // Without a button a move does nothing.
                             WidgetTest::Move(d, QPoint(20, 100), false);
                             EXPECT_EQ(d->CentreIndex(), 4);
                             QTest::mouseRelease(d, Qt::LeftButton, {}, QPoint(20, 29));
                             // A drag is no click: still open.
                             EXPECT_EQ(CNumericDrum::Running(), d);
                             // The selector's own strip above the drum counts as inside.
                             QTest::mousePress(d, Qt::LeftButton, {}, QPoint(20, -10));
                             EXPECT_EQ(CNumericDrum::Running(), d);
                             WidgetTest::Move(d, QPoint(20, 10), true);
                             EXPECT_EQ(d->CentreIndex(), 3);
                             QTest::mousePress(d, Qt::LeftButton, {}, QPoint(20, 300));
                         });
    EXPECT_EQ(m_selector->CurrentText(), "d");
    EXPECT_EQ(Clicks(), 1);
}

TEST_F(SelectorTest, DrumCentreNeverLeavesTheList)
{
    Fill({"a", "b", "c"});
    WidgetTest::WithDrum([&] { QTest::mouseClick(m_selector, Qt::LeftButton); },
                         [](CNumericDrum* d) {
                             d->Roll(-50);
                             EXPECT_EQ(d->CentreIndex(), 2);
                             EXPECT_EQ(d->FirstVisible(), -1);
                             d->Roll(50);
                             EXPECT_EQ(d->CentreIndex(), 0);
                             // Wheel up rolls towards smaller indexes.
                             d->Roll(-2);
                             WidgetTest::Wheel(d, 120);
                             EXPECT_EQ(d->CentreIndex(), 1);
                             WidgetTest::Wheel(d, 50);
                             EXPECT_EQ(d->CentreIndex(), 1);
                             d->Accept();
                         });
    EXPECT_EQ(m_selector->CurrentText(), "b");
    EXPECT_EQ(Clicks(), 1);
}

TEST_F(SelectorTest, CancelledDrumChangesNothing)
{
    Fill({"a", "b", "c"});
    m_selector->SelectText(QStringLiteral("b"));
    auto drum = WidgetTest::WithDrum([&] { QTest::mouseClick(m_selector, Qt::LeftButton); },
                                     [](CNumericDrum* d) {
                                         d->Roll(-1);
                                         QTest::keyClick(d, Qt::Key_Escape);
                                     });
    EXPECT_TRUE(drum.opened);
    EXPECT_EQ(m_selector->CurrentText(), "b");
    EXPECT_EQ(Clicks(), 0);
}

TEST_F(SelectorTest, TimersKeepRunningWhileTheDrumIsOpen)
{
    Fill({"a", "b"});
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    WidgetTest::WithDrum([&] { QTest::mouseClick(m_selector, Qt::LeftButton); },
                         [&](CNumericDrum* d) {
                             EXPECT_TRUE(WaitUntil([&] { return ticks > 1; }));
                             EXPECT_TRUE(d->isVisible());
                             d->Accept();
                         });
    EXPECT_EQ(Clicks(), 1);
}

TEST_F(SelectorTest, NumericDrumSetsIndexAndValueWithoutClamping)
{
    m_selector->SetNumeric(0.5, 1.0);
    WidgetTest::WithDrum([&] { QTest::mouseClick(m_selector, Qt::LeftButton); },
                         [](CNumericDrum* d) {
                             EXPECT_FALSE(d->IsListMode());
                             d->Roll(5);
                             d->Accept();
                         });
    EXPECT_EQ(m_selector->CurrentIndex(), -5);
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), -1.5);
    EXPECT_EQ(Clicks(), 1);
}

TEST_F(SelectorTest, SettingsLines)
{
    m_selector->SetNumeric(5, -10);
    EXPECT_EQ(m_selector->SerializeLine(QStringLiteral("YOff1:")), "YOff1:#-10,5,0\r\n");
    m_selector->ApplySettingsLine(QStringLiteral("#0,5,-2"), false);
    EXPECT_EQ(m_selector->SerializeLine(QStringLiteral("YOff1:")), "YOff1:#0,5,-2\r\n");
    EXPECT_DOUBLE_EQ(m_selector->NumericValue(), -10);
    m_selector->ApplySettingsLine(QStringLiteral("#0.000123456789,1e-07,3"), false);
    EXPECT_EQ(m_selector->SerializeLine(QStringLiteral("X:")), "X:#0.000123456789,1e-07,3\r\n");

    // Lines that are not whole are left alone, and so are indices that a
    // wheel step or the drum's rows would carry past the int range.
    for (const char* bad : {"#", "#1", "#1,2", "#1,2,", "#a,2,3", "", "Normed", "%1,2,3", "#0,1,2147483647",
                            "#0,1,-2147483648", "#0,1,1000001", "#0,1,99999999999"})
        m_selector->ApplySettingsLine(QString::fromLatin1(bad), false);
    EXPECT_EQ(m_selector->SerializeLine(QStringLiteral("X:")), "X:#0.000123456789,1e-07,3\r\n");
    EXPECT_EQ(Clicks(), 0);
    m_selector->ApplySettingsLine(QStringLiteral("#0,1,-1000000"), false);
    EXPECT_EQ(m_selector->CurrentIndex(), -1000000);

    CSelectorButton list;
    QSignalSpy listClicks(&list, &QAbstractButton::clicked);
    list.AddItem(QStringLiteral("Normal"), 0);
    list.AddItem(QStringLiteral("Normed"), 1);
    list.ApplySettingsLine(QStringLiteral("$Normed"), false);
    EXPECT_EQ(list.SerializeLine(QStringLiteral("Dspl:")), "Dspl:$Normed\r\n");
    EXPECT_EQ(listClicks.count(), 0);
    // With notify: one notification, no drum.
    auto drum = WidgetTest::WithDrum([&] { list.ApplySettingsLine(QStringLiteral("$Normal"), true); },
                                     [](CNumericDrum*) {});
    EXPECT_FALSE(drum.opened);
    EXPECT_EQ(listClicks.count(), 1);
    EXPECT_EQ(list.CurrentText(), "Normal");
    // A stored index beyond the items is clamped into them.
    list.ApplySettingsLine(QStringLiteral("#0,1,7"), false);
    EXPECT_EQ(list.CurrentText(), "Normed");
    list.ApplySettingsLine(QStringLiteral("#0,1,-4"), false);
    EXPECT_EQ(list.CurrentText(), "Normal");
}

TEST_F(SelectorTest, MouseMoveTakesTheFocus)
{
    auto* other = new CSelectorButton(QStringLiteral("Off"), m_window.get());
    other->setGeometry(10, 40, 120, 20);
    other->show();
    WidgetTest::Move(other, QPoint(60, 10), false);
    EXPECT_TRUE(other->hasFocus());
    WidgetTest::Move(m_selector, QPoint(60, 10), false);
    EXPECT_TRUE(m_selector->hasFocus());
}

TEST_F(SelectorTest, DrawsFaceOutlineAndLabelGradient)
{
    Fill({"1"});
    m_selector->resize(100, 20);
    m_selector->clearFocus();
    QImage plain = m_selector->grab().toImage();
    const ColourScheme& colours = Ctx().colours;
    EXPECT_EQ(QColor(plain.pixel(60, 5)), colours.selectorFirst);
    EXPECT_EQ(QColor(plain.pixel(32, 5)), QColor(Qt::black));  // outline left
    EXPECT_EQ(QColor(plain.pixel(99, 5)), QColor(Qt::black));  // outline right
    EXPECT_EQ(QColor(plain.pixel(60, 19)), QColor(Qt::black)); // outline bottom
    // Label: 96 grey scaled by 1.6 at the top, 0.8 in the last gradient row, then black.
    EXPECT_EQ(plain.pixel(2, 0), ScaleColor(qRgb(96, 96, 96), 1.6));
    EXPECT_EQ(plain.pixel(2, 17), ScaleColor(qRgb(96, 96, 96), 0.8));
    EXPECT_EQ(QColor(plain.pixel(2, 18)), QColor(Qt::black));

    m_selector->setFocus();
    QImage focused = m_selector->grab().toImage();
    EXPECT_EQ(QColor(focused.pixel(60, 5)), QColor(255, 255, 192));
    EXPECT_EQ(focused.pixel(2, 0), ScaleColor(qRgb(112, 112, 112), 1.6));
}

TEST(SelectorArchive, StoresThroughTheArchiveAndLoadsTheRestOfALine)
{
    CSelectorButton yDiv, yOff;
    for (const char* text : {"1", "2", "5"})
        yDiv.AddItem(QString::fromLatin1(text), -1);
    yDiv.SelectText(QStringLiteral("2"));
    yOff.SetNumeric(2, -4);
    QByteArray bytes;
    {
        TextArchive out;
        out.OpenBuffer(&bytes, TextArchive::Mode::Store);
        yDiv.SerializeLine(out, QStringLiteral("YDiv1:"), false);
        yOff.SerializeLine(out, QStringLiteral("YOff1:"), false);
        out.Close();
    }
    EXPECT_EQ(bytes, QByteArray("YDiv1:$2\r\nYOff1:#-4,2,0\r\n"));

    CSelectorButton yDiv2, yOff2;
    for (const char* text : {"1", "2", "5"})
        yDiv2.AddItem(QString::fromLatin1(text), -1);
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    QString line, rest;
    ASSERT_TRUE(in.ReadLine(line));
    ASSERT_TRUE(TextArchive::MatchKey(line, QStringLiteral("YDiv1:"), &rest));
    yDiv2.SerializeLine(in, rest, false);
    ASSERT_TRUE(in.ReadLine(line));
    ASSERT_TRUE(TextArchive::MatchKey(line, QStringLiteral("YOff1:"), &rest));
    yOff2.SerializeLine(in, rest, false);
    EXPECT_EQ(yDiv2.CurrentText(), "2");
    EXPECT_DOUBLE_EQ(yOff2.NumericValue(), -4);
    EXPECT_DOUBLE_EQ(yOff2.Step(), 2);
}

// Cursor, cursor label, delta box and zoom band over a stand-in graph:
// drags, clamping, and the messages each of them sends the graph.
#include "widgettest.h"

#include "context/appcontext.h"
#include "context/windowalpha.h"
#include "widgets/cursorlabel.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "widgets/popupbox.h"
#include "support/graphharness.h"
#include "widgets/zoomband.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

using WidgetTest::Move;

namespace {

class PopupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        m_graph.resize(640, 360);
        m_graph.show();
        m_plot = m_graph.PlotRect();
    }

    // Messages of a number, after the posted ones have arrived.
    std::vector<CGraphHarness::Message> MessagesOf(int number)
    {
        // Label messages travel through the cursor window: two hops.
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
        std::vector<CGraphHarness::Message> found;
        for (const auto& message : m_graph.Messages()) {
            if (message.number == number)
                found.push_back(message);
        }
        return found;
    }

    CGraphHarness m_graph;
    QRect m_plot;
};

} // namespace

TEST_F(PopupTest, CursorDraggedPastThePlotStaysAtItsEdge)
{
    CCursorWnd* cursor = m_graph.AddCursor(300);
    EXPECT_EQ(cursor->geometry(), QRect(296, m_plot.top(), 8, m_plot.height()));
    QTest::mousePress(cursor, Qt::LeftButton, {}, QPoint(4, 100));
    Move(cursor, QPoint(4 + 1000, 100), true);
    EXPECT_EQ(cursor->x() + CCursorWnd::kWidth / 2, m_plot.right());
    auto moved = MessagesOf(102);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].wParam, 0);
    EXPECT_EQ(moved[0].lParam, m_plot.right());
    // Left of the plot: at the left edge; the label follows the line.
    Move(cursor, QPoint(-1000, 50), true);
    EXPECT_EQ(cursor->x() + CCursorWnd::kWidth / 2, m_plot.left());
    EXPECT_EQ(cursor->Label()->x(), cursor->x() + 8);
    QTest::mouseRelease(cursor, Qt::LeftButton, {}, QPoint(4, 50));
    // Moves without the button do not drag.
    Move(cursor, QPoint(100, 50), false);
    EXPECT_EQ(cursor->x() + CCursorWnd::kWidth / 2, m_plot.left());
    EXPECT_EQ(MessagesOf(102).size(), 2u);
}

TEST_F(PopupTest, CursorDragSetsTheLabelHeight)
{
    CCursorWnd* cursor = m_graph.AddCursor(300);
    QTest::mousePress(cursor, Qt::LeftButton, {}, QPoint(4, 10));
    Move(cursor, QPoint(4, 140), true);
    QTest::mouseRelease(cursor, Qt::LeftButton, {}, QPoint(4, 140));
    EXPECT_NEAR(cursor->LabelFraction(), 140.0 / cursor->height(), 1e-12);
    EXPECT_EQ(cursor->Label()->y(), cursor->y() + 140);
}

TEST_F(PopupTest, DragBelowTheLabelsButtonsMovesOnlyTheLabel)
{
    CCursorWnd* cursor = m_graph.AddCursor(300);
    CCursorLabel* label = cursor->Label();
    const QRect cursorBefore = cursor->geometry();
    const QPoint labelBefore = label->pos();
    // In the button row a move does not drag.
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(10, 10));
    Move(label, QPoint(10, 12), true);
    EXPECT_EQ(label->pos(), labelBefore);
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(10, 12));

    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(40, 40));
    Move(label, QPoint(70, 70), true);
    const int top = labelBefore.y() + 70 - 40;
    EXPECT_EQ(label->pos(), QPoint(labelBefore.x(), top));
    // Once dragging, moving back up into the button row drags on.
    Move(label, QPoint(40, 5), true);
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_EQ(cursor->geometry(), cursorBefore);
    QApplication::processEvents();
    EXPECT_NEAR(cursor->LabelFraction(), double(label->y() - cursor->y()) / cursor->height(), 1e-12);
    EXPECT_TRUE(MessagesOf(102).empty());
    EXPECT_TRUE(MessagesOf(103).empty());
}

TEST_F(PopupTest, LabelButtonsReachTheGraphWithCursorNumberAndCode)
{
    m_graph.AddCursor(200);
    CCursorWnd* second = m_graph.AddCursor(400);
    CCursorLabel* label = second->Label();
    for (int code : {CCursorLabel::Delete, CCursorLabel::Maximum, CCursorLabel::Minimum, CCursorLabel::PeakTracking})
        QTest::mouseClick(label, Qt::LeftButton, {}, label->ButtonRect(code).center());
    // Outside the buttons a click does nothing.
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    auto commands = MessagesOf(103);
    ASSERT_EQ(commands.size(), 4u);
    const int codes[] = {0, 2, 3, 4};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(commands[i].wParam, 1);
        EXPECT_EQ(commands[i].lParam, codes[i]);
    }
    // Buttons from the right corner: delete, minimum, maximum, peak tracking.
    EXPECT_EQ(label->ButtonRect(CCursorLabel::Delete).right(), label->width() - 2);
    EXPECT_EQ(label->ButtonRect(CCursorLabel::Minimum).left() + 16, label->ButtonRect(CCursorLabel::Delete).left());
    EXPECT_EQ(label->ButtonRect(CCursorLabel::Maximum).left() + 32, label->ButtonRect(CCursorLabel::Delete).left());
    second->OfferPeakTracking(false);
    EXPECT_TRUE(label->ButtonRect(CCursorLabel::PeakTracking).isNull());
}

TEST_F(PopupTest, DeletingThroughTheLabelRenumbers)
{
    m_graph.SetActLikeGraph(true);
    CCursorWnd* first = m_graph.AddCursor(200);
    CCursorWnd* second = m_graph.AddCursor(400);
    QTest::mouseClick(first->Label(), Qt::LeftButton, {}, first->Label()->ButtonRect(CCursorLabel::Delete).center());
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    ASSERT_EQ(m_graph.Cursors().size(), 1u);
    EXPECT_EQ(m_graph.Cursors()[0], second);
    EXPECT_EQ(second->Number(), 0);
}

TEST_F(PopupTest, CursorTextsAndVisibility)
{
    CCursorWnd* cursor = m_graph.AddCursor(300);
    cursor->SetXValue(0.0123, QStringLiteral("s"));
    cursor->SetSlot(0, true, 2500, 10, QStringLiteral("Hz"));
    cursor->SetSlot(1, false, 1, 10, QStringLiteral("V"));
    EXPECT_EQ(cursor->Label()->Title(), "x12.3 ms");
    EXPECT_EQ(cursor->Label()->SlotText(0), "Y2.5 kHz");
    EXPECT_EQ(cursor->Label()->SlotText(1), "");
    cursor->SetAlternativeForm(true);
    EXPECT_EQ(cursor->Label()->SlotText(0), "Q2500.0");
    cursor->SetSlot(0, true, 3.14159, 10, QString());
    EXPECT_EQ(cursor->Label()->SlotText(0), "Q 3.1");

    cursor->SetInsidePlot(false);
    EXPECT_FALSE(cursor->isVisible());
    EXPECT_FALSE(cursor->Label()->isVisible());
    cursor->SetInsidePlot(true);
    EXPECT_TRUE(cursor->Label()->isVisible());
    EXPECT_TRUE(IsWindowTranslucent(cursor->Label()));
    EXPECT_EQ(WindowAlpha(cursor->Label()), 180);
}

// Values with their units are read whole: the label and the box widen to
// their longest text instead of cutting it, and stay inside the graph.
TEST_F(PopupTest, LongReadoutsWidenTheLabelAndTheDeltaBox)
{
    const QFontMetrics metrics(PopupBox::TextFont());
    CCursorWnd* cursor = m_graph.AddCursor(300);
    cursor->SetXValue(0.0024414, QStringLiteral("sec"));
    cursor->SetSlot(0, true, -171.84, 10, QStringLiteral("dBV"));
    cursor->SetSlot(1, true, 0.000006433, 10, QStringLiteral("V\u00B2/Hz"));
    CCursorLabel* label = cursor->Label();
    EXPECT_EQ(label->Title(), "x2.4414 msec");
    for (const QString& text : {label->Title(), label->SlotText(0), label->SlotText(1)})
        EXPECT_GE(label->width(), 3 + metrics.horizontalAdvance(text)) << text.toStdString();
    EXPECT_EQ(label->height(), CCursorLabel::kHeight);
    // Short texts keep the narrowest box.
    cursor->SetSlot(1, false, 0.0, 0, QString());
    cursor->SetSlot(0, true, 1.0, 10, QStringLiteral("V"));
    cursor->SetXValue(1.0, QStringLiteral("s"));
    EXPECT_EQ(label->width(), CCursorLabel::kWidth);

    // Near the right edge the label goes to the cursor's left.
    CCursorWnd* right = m_graph.AddCursor(m_graph.width() - 20);
    right->SetSlot(0, true, -171.84, 10, QStringLiteral("dBV/Hz"));
    EXPECT_LE(right->Label()->geometry().right(), right->x());

    CDeltaBox* box = m_graph.AddDeltaBox();
    const QString wide = QStringLiteral("Y-123.45 dBV\u00B2/Hz (mean)");
    box->SetSlotTexts(0, wide, wide);
    EXPECT_GE(box->width(), 3 + metrics.horizontalAdvance(wide));
    box->SetFractions(0.95, 0.5);
    box->Place();
    EXPECT_LE(box->geometry().right(), m_graph.width() - 1);
}

TEST_F(PopupTest, DeltaBoxModeButtonsAndDrag)
{
    CDeltaBox* box = m_graph.AddDeltaBox();
    box->SetSlotTexts(0, QStringLiteral("A0"), QStringLiteral("B0"));
    EXPECT_EQ(box->Mode(), CDeltaBox::kModeB);
    EXPECT_EQ(box->SlotText(0), "B0");
    QTest::mouseClick(box, Qt::LeftButton, {}, box->ButtonRect(5).center());
    QTest::mouseClick(box, Qt::LeftButton, {}, box->ButtonRect(6).center());
    auto modes = MessagesOf(107);
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[0].wParam, 5);
    EXPECT_EQ(modes[1].wParam, 6);
    // The box only changes its mode when the graph says so.
    EXPECT_EQ(box->Mode(), CDeltaBox::kModeB);
    box->SetMode(5);
    EXPECT_EQ(box->SlotText(0), "A0");
    EXPECT_EQ(box->ButtonRect(6).right(), box->width() - 2);
    EXPECT_EQ(box->ButtonRect(5).left() + 16, box->ButtonRect(6).left());

    // Below the button row the box follows the mouse, centred on it.
    const QPoint before = box->pos();
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(40, 40));
    Move(box, QPoint(10, 50), true);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(10, 50));
    EXPECT_EQ(box->pos(), before + QPoint(10, 50) - QPoint(40, 32));
    EXPECT_NEAR(box->XFraction(), double(box->x()) / m_graph.width(), 1e-12);
    EXPECT_NEAR(box->YFraction(), double(box->y()) / m_graph.height(), 1e-12);
    EXPECT_EQ(MessagesOf(107).size(), 2u);
    // Resizing the graph keeps the box at its fractions.
    m_graph.resize(1280, 720);
    box->Place();
    EXPECT_NEAR(box->x(), box->XFraction() * 1280, 1.0);
    EXPECT_NEAR(box->y(), box->YFraction() * 720, 1.0);
}

TEST_F(PopupTest, ZoomBandHitCodes)
{
    CZoomBand* band = m_graph.AddZoomBand(QRect(200, 100, 100, 100));
    EXPECT_EQ(band->HitCode(QPoint(1, 1)), CZoomBand::TopLeft);
    EXPECT_EQ(band->HitCode(QPoint(50, 1)), CZoomBand::Top);
    EXPECT_EQ(band->HitCode(QPoint(98, 1)), CZoomBand::TopRight);
    EXPECT_EQ(band->HitCode(QPoint(98, 50)), CZoomBand::Right);
    EXPECT_EQ(band->HitCode(QPoint(98, 98)), CZoomBand::BottomRight);
    EXPECT_EQ(band->HitCode(QPoint(50, 98)), CZoomBand::Bottom);
    EXPECT_EQ(band->HitCode(QPoint(1, 98)), CZoomBand::BottomLeft);
    EXPECT_EQ(band->HitCode(QPoint(1, 50)), CZoomBand::Left);
    EXPECT_EQ(band->HitCode(QPoint(30, 30)), CZoomBand::Move);
}

TEST_F(PopupTest, ZoomBandLeftEdgeDraggedPastTheRightFlips)
{
    CZoomBand* band = m_graph.AddZoomBand(QRect(200, 100, 100, 100));
    QTest::mousePress(band, Qt::LeftButton, {}, QPoint(1, 50));
    EXPECT_EQ(band->GrabCode(), CZoomBand::Left);
    Move(band, band->mapFromParent(QPoint(350, 150)), true);
    EXPECT_EQ(band->Band(), QRect(300, 100, 50, 100));
    // The drag goes on with what is now the right edge.
    Move(band, band->mapFromParent(QPoint(380, 150)), true);
    EXPECT_EQ(band->Band(), QRect(300, 100, 80, 100));
    // The mouse is held inside the plot.
    Move(band, band->mapFromParent(QPoint(5000, 150)), true);
    EXPECT_EQ(band->Band().left() + band->Band().width(), m_plot.left() + m_plot.width());
    QTest::mouseRelease(band, Qt::LeftButton, {}, band->mapFromParent(QPoint(5000, 150)));
    EXPECT_TRUE(MessagesOf(104).empty());
}

TEST_F(PopupTest, ZoomBandCornerAndMoveDrags)
{
    CZoomBand* band = m_graph.AddZoomBand(QRect(200, 100, 100, 100));
    QTest::mousePress(band, Qt::LeftButton, {}, QPoint(98, 98));
    Move(band, band->mapFromParent(QPoint(150, 60)), true);
    // Bottom-right corner past the top-left: both axes flip.
    EXPECT_EQ(band->Band(), QRect(150, 60, 50, 40));
    EXPECT_EQ(band->GrabCode(), CZoomBand::TopLeft);
    QTest::mouseRelease(band, Qt::LeftButton, {}, QPoint(0, 0));

    QTest::mousePress(band, Qt::LeftButton, {}, QPoint(25, 30));
    EXPECT_EQ(band->GrabCode(), CZoomBand::Move);
    Move(band, QPoint(35, 25), true);
    EXPECT_EQ(band->Band(), QRect(160, 55, 50, 40));
    QTest::mouseRelease(band, Qt::LeftButton, {}, QPoint(25, 30));

    // A drag the graph starts: 2 left of and 2 below its point.
    band->StartDrag(QPoint(210, 95), CZoomBand::BottomRight);
    Move(band, band->mapFromParent(QPoint(260, 125)), true);
    EXPECT_EQ(band->Band(), QRect(160, 55, 100, 70));
    Move(band, band->mapFromParent(QPoint(260, 125)), false);
}

TEST_F(PopupTest, ZoomBandAcceptDiscPostsOne)
{
    CZoomBand* band = m_graph.AddZoomBand(QRect(200, 100, 120, 80));
    QTest::mouseClick(band, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_TRUE(MessagesOf(104).empty());
    QTest::mouseClick(band, Qt::LeftButton, {}, band->AcceptRect().center());
    auto accepted = MessagesOf(104);
    ASSERT_EQ(accepted.size(), 1u);
    EXPECT_EQ(accepted[0].wParam, 1);
    EXPECT_EQ(WindowAlpha(band), 100);
}

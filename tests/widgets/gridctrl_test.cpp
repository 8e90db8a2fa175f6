// The grid control: its layout arithmetic, and the widget driven by mouse,
// wheel and keys with an owner that counts rows and records notifications.
#include "widgettest.h"

#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "widgets/gridctrl.h"
#include "widgets/gridnotify.h"
#include "widgets/numericdrum.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace {

constexpr int kMessage = 140;

GridLayout FourColumns()
{
    GridLayout layout;
    layout.widths = {60, 80, 100, 50};
    layout.rowCount = 20;
    layout.clientWidth = 300;
    layout.clientHeight = 200;
    return layout;
}

// Answers the row count, paints "row,column" into every cell and keeps
// every other notification.
class GridOwner : public QObject {
public:
    struct Seen {
        int kind;
        int column;
        int row;
        QString text;
        bool up;
        bool chosen;
        QRect rect;
        QPoint global;
        qintptr delta;
    };

    int rows = 20;
    std::set<int> paintedRows;
    std::vector<Seen> seen;

    std::vector<int> Kinds() const
    {
        std::vector<int> kinds;
        for (const Seen& s : seen)
            kinds.push_back(s.kind);
        return kinds;
    }
    const Seen& Last() const { return seen.back(); }

protected:
    bool event(QEvent* event) override
    {
        if (AppMessage::NumberOf(event) != kMessage)
            return QObject::event(event);
        auto* message = static_cast<AppMessage*>(event);
        auto& notify = *reinterpret_cast<GridNotify*>(message->WParam());
        switch (notify.kind) {
        case GridNotify::RowCount: message->SetResult(rows); break;
        case GridNotify::Paint:
            paintedRows.insert(notify.row);
            notify.painter->drawText(QRect(notify.left, notify.top, notify.right - notify.left,
                                           notify.bottom - notify.top),
                                     Qt::AlignCenter, QStringLiteral("%1,%2").arg(notify.row).arg(notify.column));
            break;
        default:
            seen.push_back({notify.kind, notify.column, notify.row, notify.text, notify.up, notify.chosen,
                            QRect(QPoint(notify.left, notify.top), QPoint(notify.right - 1, notify.bottom - 1)),
                            QPoint(notify.x, notify.y), message->LParam()});
        }
        return true;
    }
};

class GridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        m_window = std::make_unique<QWidget>();
        m_window->resize(420, 320);
        m_grid = new CGridCtrl(m_window.get());
        m_grid->move(10, 10);
        for (auto [title, width] : {std::pair{"A", 60}, {"B", 80}, {"C", 100}, {"D", 50}})
            m_grid->AddColumn(QString::fromLatin1(title), width);
        m_grid->SetOwner(&m_owner, kMessage);
        m_grid->SetStyle(0, QSize(300, 200));
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    // The centre of a cell, in grid pixels.
    QPoint At(int column, int row) const { return m_grid->CellRect(column, row).center(); }
    void Click(int column, int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(m_grid, Qt::LeftButton, modifiers, At(column, row));
    }

    GridOwner m_owner;
    std::unique_ptr<QWidget> m_window;
    CGridCtrl* m_grid = nullptr;
};

} // namespace

TEST(GridLayout, RowsColumnsFrozenPartAndScrolling)
{
    GridLayout layout = FourColumns();
    EXPECT_EQ(layout.HeaderTop(), 18);
    EXPECT_EQ(layout.TotalWidth(), 290);
    EXPECT_EQ(layout.CellRect(1, 0), QRect(60, 18, 81, 19));
    EXPECT_EQ(layout.CellRect(1, -1), QRect(60, 0, 81, 19));
    EXPECT_EQ(GridLayout::InnerRect(layout.CellRect(1, 0)), QRect(61, 19, 79, 17));
    // Rows are shown from firstRow down to the client area's end, the
    // last one in part (row 10 starts at 198 of 200).
    EXPECT_TRUE(layout.CellRect(0, 10).isValid());
    EXPECT_TRUE(layout.CellRect(0, 11).isEmpty());
    EXPECT_EQ(layout.VerticalPage(), 10);
    EXPECT_EQ(layout.MaxFirstRow(), 10);

    layout.hasTitle = true;
    layout.headerRows = 2;
    EXPECT_EQ(layout.HeaderTop(), 54);
    EXPECT_EQ(layout.CellRect(0, -1), QRect(0, 18, 61, 37));
    EXPECT_EQ(layout.AutoHeight(), 54 + 20 * 18 + 2);
    EXPECT_EQ(layout.AutoWidth(), 292);

    // Scrolled by 30 with column 0 frozen: B would overlap it and is
    // hidden as a whole; C and D move left; A stays.
    layout = FourColumns();
    layout.frozenColumn = 0;
    layout.scrollX = 30;
    layout.firstRow = 4;
    EXPECT_EQ(layout.FrozenWidth(), 60);
    EXPECT_EQ(layout.CellRect(0, 4).topLeft(), QPoint(0, 18));
    EXPECT_TRUE(layout.CellRect(1, 4).isEmpty());
    EXPECT_EQ(layout.CellRect(2, 4).x(), 110);
    EXPECT_TRUE(layout.CellRect(2, 3).isEmpty());
    EXPECT_EQ(layout.HorizontalRange(), 230);
    EXPECT_EQ(layout.HorizontalPage(), 242);
    EXPECT_EQ(layout.MaxScrollX(), 0);
    layout.clientWidth = 150;
    EXPECT_EQ(layout.MaxScrollX(), 230 - 92);
}

TEST(GridLayout, HitsAndColumnBorders)
{
    GridLayout layout = FourColumns();
    layout.frozenColumn = 0;
    layout.scrollX = 30;
    layout.firstRow = 2;
    const struct {
        QPoint point;
        int column;
        int row;
    } hits[] = {
        {{5, 5}, 0, -1},     {{5, 20}, 0, 2},   {{59, 199}, 0, 12}, {{70, 40}, -1, -2}, // B is hidden
        {{111, 40}, 2, 3},   {{215, 40}, 3, 3}, {{265, 40}, -1, -2}, {{5, 200}, -1, -2},
    };
    for (const auto& h : hits) {
        SCOPED_TRACE(testing::Message() << h.point.x() << "," << h.point.y());
        EXPECT_EQ(layout.HitTest(h.point).column, h.column);
        EXPECT_EQ(layout.HitTest(h.point).row, h.row);
    }
    layout.firstRow = 15;
    EXPECT_EQ(layout.HitTest({5, 18 * 5 + 20}).row, -2); // row 20 does not exist

    layout = FourColumns();
    EXPECT_EQ(layout.ResizeBorderAt({56, 9}), 0);
    EXPECT_EQ(layout.ResizeBorderAt({64, 9}), 0);
    EXPECT_EQ(layout.ResizeBorderAt({65, 9}), -1);
    EXPECT_EQ(layout.ResizeBorderAt({60, 30}), -1); // body rows do not resize
    EXPECT_EQ(layout.ResizeBorderAt({289, 9}), 3);
    EXPECT_EQ(layout.DraggedWidth(1, 71), 11);
    EXPECT_EQ(layout.DraggedWidth(1, 70), 80); // 10 pixels are too narrow
}

TEST_F(GridTest, ClicksWheelAndMenusReachTheOwner)
{
    Click(1, 2);
    ASSERT_EQ(m_owner.Kinds(), std::vector<int>{GridNotify::Selected});
    EXPECT_EQ(m_owner.Last().rect, m_grid->CellRect(1, 2));
    EXPECT_EQ(m_grid->SelectedColumn(), 1);
    EXPECT_EQ(m_grid->SelectedRow(), 2);
    EXPECT_TRUE(m_grid->IsHighlighted());
    const QImage image = m_grid->grab().toImage();
    EXPECT_EQ(image.pixel(At(1, 2) + QPoint(-30, 0)), QColor(CGridCtrl::kSelectedFill).rgb());
    EXPECT_EQ(image.pixel(At(1, 3) + QPoint(-30, 0)), QColor(Qt::white).rgb());

    Click(2, -1);
    EXPECT_EQ(m_owner.Last().kind, GridNotify::HeaderClicked);
    EXPECT_EQ(m_owner.Last().column, 2);
    EXPECT_FALSE(m_grid->IsHighlighted());

    QContextMenuEvent menu(QContextMenuEvent::Mouse, At(3, 4), m_grid->mapToGlobal(At(3, 4)));
    QApplication::sendEvent(m_grid, &menu);
    EXPECT_EQ(m_owner.Last().kind, GridNotify::ContextMenu);
    EXPECT_EQ(m_owner.Last().row, 4);
    EXPECT_EQ(m_owner.Last().global, m_grid->mapToGlobal(At(3, 4)));
    QContextMenuEvent headerMenu(QContextMenuEvent::Mouse, At(0, -1), m_grid->mapToGlobal(At(0, -1)));
    QApplication::sendEvent(m_grid, &headerMenu);
    EXPECT_EQ(m_owner.Last().kind, GridNotify::HeaderContextMenu);
    EXPECT_EQ(m_owner.Last().column, 0);

    m_owner.seen.clear();
    QTest::mouseDClick(m_grid, Qt::LeftButton, {}, At(0, 5));
    std::vector<int> kinds = m_owner.Kinds();
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), GridNotify::DoubleClicked), kinds.end());

    WidgetTest::Wheel(m_grid, 240, At(2, 7));
    EXPECT_EQ(m_owner.Last().kind, GridNotify::Wheel);
    EXPECT_TRUE(m_owner.Last().up);
    EXPECT_EQ(m_owner.Last().delta, 240);
    EXPECT_EQ(m_owner.Last().row, 7);
    WidgetTest::Wheel(m_grid, -120, At(2, 7));
    EXPECT_FALSE(m_owner.Last().up);
    const size_t before = m_owner.seen.size();
    WidgetTest::Wheel(m_grid, 120, QPoint(295, 100)); // beyond the last column
    EXPECT_EQ(m_owner.seen.size(), before);
}

TEST_F(GridTest, TextFieldEditsMovesAndEndsOnEscape)
{
    Click(1, 2);
    m_grid->EditCell(1, 2, QStringLiteral("12.5"));
    QLineEdit* edit = m_grid->TextEditor();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->geometry(), GridLayout::InnerRect(m_grid->CellRect(1, 2)));
    EXPECT_EQ(edit->selectedText(), "12.5");
    EXPECT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, "mV");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_GE(m_owner.seen.size(), 3u);
    const GridOwner::Seen& finished = m_owner.seen[m_owner.seen.size() - 2];
    EXPECT_EQ(finished.kind, GridNotify::EditFinished);
    EXPECT_EQ(finished.text, "mV");
    EXPECT_FALSE(finished.chosen);
    EXPECT_EQ(m_owner.Last().kind, GridNotify::Selected);
    EXPECT_EQ(m_grid->SelectedRow(), 3);
    EXPECT_FALSE(m_grid->IsEditing());

    // Escape keeps what was typed and the selection.
    m_grid->EditCell(1, 3, QStringLiteral("a"));
    QTest::keyClicks(m_grid->TextEditor(), "bc");
    m_owner.seen.clear();
    QTest::keyClick(m_grid->TextEditor(), Qt::Key_Escape);
    ASSERT_EQ(m_owner.Kinds(), std::vector<int>{GridNotify::EditFinished});
    EXPECT_EQ(m_owner.Last().text, "bc");
    EXPECT_EQ(m_grid->SelectedRow(), 3);

    // Tab and Shift+Tab move by columns; a click elsewhere ends the edit first.
    m_grid->EditCell(1, 3, QStringLiteral("x"));
    QTest::keyClick(m_grid->TextEditor(), Qt::Key_Tab);
    EXPECT_EQ(m_grid->SelectedColumn(), 2);
    m_grid->EditCell(2, 3, QStringLiteral("y"));
    QTest::keyClick(m_grid->TextEditor(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(m_grid->SelectedColumn(), 1);
    m_grid->EditCell(1, 3, QStringLiteral("z"));
    m_owner.seen.clear();
    Click(0, 0);
    EXPECT_EQ(m_owner.Kinds(), (std::vector<int>{GridNotify::EditFinished, GridNotify::Selected}));
    EXPECT_EQ(m_owner.seen[0].text, "z");
    EXPECT_EQ(m_owner.seen[0].column, 1);
}

TEST_F(GridTest, NavigationStopsAtTheLastColumnAndRow)
{
    m_owner.rows = 4;
    m_grid->Refresh();
    Click(3, 3);
    m_grid->EditCell(3, 3, QStringLiteral("end"));
    m_owner.seen.clear();
    QTest::keyClick(m_grid->TextEditor(), Qt::Key_Tab);
    EXPECT_EQ(m_owner.Kinds(), std::vector<int>{GridNotify::EditFinished});
    EXPECT_EQ(m_grid->SelectedColumn(), 3);
    m_grid->EditCell(3, 3, QStringLiteral("end"));
    QTest::keyClick(m_grid->TextEditor(), Qt::Key_Down);
    EXPECT_EQ(m_grid->SelectedRow(), 3);
    Click(0, 0);
    m_grid->EditCell(0, 0, QStringLiteral("top"));
    QTest::keyClick(m_grid->TextEditor(), Qt::Key_Up);
    EXPECT_EQ(m_grid->SelectedRow(), 0);
    m_grid->EditCell(0, 0, QStringLiteral("left"));
    QTest::keyClick(m_grid->TextEditor(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(m_grid->SelectedColumn(), 0);
    EXPECT_FALSE(m_grid->IsEditing());
}

TEST_F(GridTest, NumericTextFieldTakesOnlyNumbers)
{
    m_grid->EditCell(2, 1, QString(), true);
    QTest::keyClicks(m_grid->TextEditor(), "-1.5x e+3 V");
    EXPECT_EQ(m_grid->TextEditor()->text(), "-1.5e+3");
    m_grid->EditCell(2, 1, QString());
    QTest::keyClicks(m_grid->TextEditor(), "m/s");
    EXPECT_EQ(m_grid->TextEditor()->text(), "m/s");
}

TEST_F(GridTest, DropDownListChoosesAndNavigates)
{
    Click(2, 4);
    m_grid->ComboCell(2, 4, QStringLiteral("AC"), QStringLiteral("DC\tAC\tICP\t"));
    QComboBox* combo = m_grid->ListEditor();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentText(), "AC");
    EXPECT_EQ(combo->geometry(), GridLayout::InnerRect(m_grid->CellRect(2, 4)));
    ASSERT_TRUE(combo->view()->isVisible());
    m_owner.seen.clear();
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    ASSERT_EQ(m_owner.Kinds(), std::vector<int>{GridNotify::EditFinished});
    EXPECT_EQ(m_owner.Last().text, "ICP");
    EXPECT_TRUE(m_owner.Last().chosen);
    EXPECT_FALSE(m_grid->IsEditing());

    // Line feeds separate items as well; Up on the closed list moves up.
    m_grid->ComboCell(2, 4, QStringLiteral("nothing"), QStringLiteral("x\ny"));
    combo = m_grid->ListEditor();
    combo->hidePopup();
    EXPECT_EQ(combo->currentText(), "x");
    m_owner.seen.clear();
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(m_owner.Kinds(), (std::vector<int>{GridNotify::EditFinished, GridNotify::Selected}));
    EXPECT_EQ(m_owner.seen[0].text, "x");
    EXPECT_FALSE(m_owner.seen[0].chosen);
    EXPECT_EQ(m_grid->SelectedRow(), 3);
}

TEST_F(GridTest, DrumChoosesAnItemUnderTheCell)
{
    const QString items = QStringLiteral("10mV\t20mV\t50mV\t100mV\t");
    auto drum = WidgetTest::WithDrum([&] { m_grid->DrumCell(1, 2, QStringLiteral("20mV"), items); },
                                     [&](CNumericDrum* d) {
                                         EXPECT_EQ(d->CentreIndex(), 1);
                                         EXPECT_EQ(d->geometry().topLeft(),
                                                   m_grid->mapToGlobal(m_grid->CellRect(1, 2).bottomLeft() +
                                                                       QPoint(0, 1)));
                                         d->Roll(-2);
                                         d->Accept();
                                     });
    EXPECT_TRUE(drum.opened);
    ASSERT_EQ(m_owner.Kinds(), std::vector<int>{GridNotify::EditFinished});
    EXPECT_EQ(m_owner.Last().text, "100mV");
    EXPECT_EQ(m_owner.Last().column, 1);
    EXPECT_EQ(m_owner.Last().row, 2);

    // Cancelled, and a text not in the list starting at the first item.
    m_owner.seen.clear();
    drum = WidgetTest::WithDrum([&] { m_grid->DrumCell(1, 2, QStringLiteral("7V"), items); },
                                [&](CNumericDrum* d) {
                                    EXPECT_EQ(d->CentreIndex(), 0);
                                    d->Cancel();
                                });
    EXPECT_TRUE(m_owner.seen.empty());
}

TEST_F(GridTest, HeaderBorderDragResizesTheColumn)
{
    QTest::mousePress(m_grid, Qt::LeftButton, {}, QPoint(62, 9));
    EXPECT_TRUE(m_grid->IsResizing());
    WidgetTest::Move(m_grid, QPoint(100, 9), true);
    EXPECT_EQ(m_grid->ColumnWidths()[0], 100);
    EXPECT_EQ(m_grid->CellRect(1, 0).x(), 100);
    WidgetTest::Move(m_grid, QPoint(8, 40), true); // too narrow: unchanged
    EXPECT_EQ(m_grid->ColumnWidths()[0], 100);
    QTest::mouseRelease(m_grid, Qt::LeftButton, {}, QPoint(8, 40));
    EXPECT_FALSE(m_grid->IsResizing());
    EXPECT_TRUE(m_owner.seen.empty()); // the release ended the resize, nothing else
    EXPECT_EQ(m_grid->TotalWidth(), 330);
    // Now wider than the grid: a horizontal scroll bar appears.
    EXPECT_TRUE(m_grid->HorizontalBar()->isVisible());

    // Only near a border in the header band.
    QTest::mousePress(m_grid, Qt::LeftButton, {}, QPoint(120, 9));
    EXPECT_FALSE(m_grid->IsResizing());
    QTest::mouseRelease(m_grid, Qt::LeftButton, {}, QPoint(120, 9));
    EXPECT_EQ(m_owner.Last().kind, GridNotify::HeaderClicked);
}

TEST_F(GridTest, ScrollingKeepsTheFrozenPartInPlace)
{
    m_grid->SetFrozenColumn(0);
    m_grid->SetStyle(0, QSize(200, 150));
    QScrollBar* horizontal = m_grid->HorizontalBar();
    QScrollBar* vertical = m_grid->VerticalBar();
    ASSERT_TRUE(horizontal->isVisible());
    ASSERT_TRUE(vertical->isVisible());
    EXPECT_EQ(vertical->maximum(), 20 - m_grid->Layout().VerticalPage());

    const QRect frozen = m_grid->CellRect(0, 0);
    horizontal->setValue(70);
    EXPECT_EQ(m_grid->ScrollX(), 70);
    EXPECT_EQ(m_grid->CellRect(0, 0), frozen);
    EXPECT_TRUE(m_grid->CellRect(1, 0).isEmpty()); // would overlap the frozen part
    EXPECT_EQ(m_grid->CellRect(2, 0).x(), 140 - 70);
    vertical->setValue(5);
    EXPECT_EQ(m_grid->FirstRow(), 5);
    EXPECT_EQ(m_grid->CellRect(0, 5).y(), 18);

    QTest::mouseClick(m_grid, Qt::LeftButton, {}, QPoint(20, 18 + 3 * 18 + 5));
    EXPECT_EQ(m_owner.Last().column, 0);
    EXPECT_EQ(m_owner.Last().row, 8);
    QTest::mouseClick(m_grid, Qt::LeftButton, {}, QPoint(75, 30));
    EXPECT_EQ(m_owner.Last().column, 2);

    m_owner.paintedRows.clear();
    m_grid->grab();
    EXPECT_EQ(*m_owner.paintedRows.begin(), 5);
    EXPECT_LT(*m_owner.paintedRows.rbegin(), 20);

    // Scrolling ends an edit in progress.
    m_grid->EditCell(0, 6, QStringLiteral("t"));
    vertical->setValue(4);
    EXPECT_FALSE(m_grid->IsEditing());
    EXPECT_EQ(m_owner.Last().kind, GridNotify::EditFinished);
}

TEST_F(GridTest, NoRowsShowsTitleAndHeaderOnly)
{
    m_owner.rows = 0;
    m_grid->SetTitle(QStringLiteral("Channels"));
    m_grid->SetStyle(CGridCtrl::AutoWidth | CGridCtrl::AutoHeight, QSize(10, 10));
    EXPECT_EQ(m_grid->size(), QSize(292, 18 + 18 + 2));
    m_owner.paintedRows.clear();
    const QImage image = m_grid->grab().toImage();
    EXPECT_TRUE(m_owner.paintedRows.empty());
    EXPECT_EQ(image.pixel(150, 9), qRgb(192, 192, 192));  // title line
    EXPECT_EQ(image.pixel(150, 20), qRgb(192, 192, 192)); // header cell of C
    EXPECT_FALSE(m_grid->VerticalBar()->isVisible());

    m_owner.rows = 3;
    m_grid->Refresh();
    EXPECT_EQ(m_grid->height(), 36 + 3 * 18 + 2);
    m_grid->grab();
    EXPECT_EQ(m_owner.paintedRows, (std::set<int>{0, 1, 2}));
}

// An open list in a narrow column is as wide as its widest entry, so that
// no entry is cut short; in a wide column it keeps the column's width.
TEST_F(GridTest, OpenListShowsItsEntriesWhole)
{
    Click(3, 1);
    m_grid->ComboCell(3, 1, QStringLiteral("No Filter"), QStringLiteral("No Filter\tHP 22Hz\tLP 500Hz\tLP 1kHz"));
    QComboBox* combo = m_grid->ListEditor();
    ASSERT_NE(combo, nullptr);
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(view->isVisible());
    const QFontMetrics metrics(view->font());
    for (int i = 0; i < combo->count(); ++i)
        EXPECT_GE(view->visualRect(combo->model()->index(i, 0)).width(), metrics.horizontalAdvance(combo->itemText(i)))
            << combo->itemText(i).toStdString();
    EXPECT_GE(view->viewport()->width(), view->sizeHintForColumn(0));
    EXPECT_GT(view->window()->width(), m_grid->CellRect(3, 1).width());
    m_grid->EndEdit();

    m_grid->ComboCell(2, 1, QStringLiteral("AC"), QStringLiteral("DC\tAC"));
    combo = m_grid->ListEditor();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->view()->window()->width(), combo->width());
    m_grid->EndEdit();
}

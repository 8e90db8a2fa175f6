#include "gridlayout.h"

#include <algorithm>
#include <numeric>

int GridLayout::ColumnX(int column) const
{
    column = std::clamp(column, 0, ColumnCount());
    return std::accumulate(widths.begin(), widths.begin() + column, 0);
}

int GridLayout::TotalWidth() const { return ColumnX(ColumnCount()); }

int GridLayout::FrozenWidth() const
{
    if (frozenColumn < 0)
        return 0;
    return ColumnX(std::min(frozenColumn + 1, ColumnCount()));
}

bool GridLayout::ScreenX(int column, int& x) const
{
    x = ColumnX(column);
    if (!Scrolls(column))
        return true;
    x -= scrollX;
    return x >= FrozenWidth();
}

QRect GridLayout::CellRect(int column, int row) const
{
    if (column < 0 || column >= ColumnCount())
        return {};
    int x = 0;
    if (!ScreenX(column, x))
        return {};
    int y = 0;
    if (row == -1) {
        y = TitleHeight();
    } else {
        if (row < firstRow)
            return {};
        y = HeaderTop() + (row - firstRow) * rowHeight;
        if (y >= clientHeight)
            return {};
    }
    return QRect(x, y, widths[column] + 1, rowHeight * (row == -1 ? headerRows : 1) + 1);
}

GridLayout::Hit GridLayout::HitTest(QPoint point) const
{
    Hit hit;
    const int y = point.y();
    if (y < TitleHeight() || point.x() < 0 || point.x() >= clientWidth || y >= clientHeight)
        return hit;
    int row = -1;
    if (y >= HeaderTop()) {
        row = firstRow + (y - HeaderTop()) / rowHeight;
        if (row >= rowCount)
            return hit;
    }
    for (int column = 0; column < ColumnCount(); ++column) {
        int x = 0;
        if (ScreenX(column, x) && point.x() >= x && point.x() < x + widths[column]) {
            hit.column = column;
            hit.row = row;
            return hit;
        }
    }
    return hit;
}

int GridLayout::ResizeBorderAt(QPoint point) const
{
    if (point.y() < TitleHeight() || point.y() >= HeaderTop())
        return -1;
    for (int column = 0; column < ColumnCount(); ++column) {
        int x = 0;
        if (!ScreenX(column, x))
            continue;
        const int border = x + widths[column];
        if (point.x() >= border - kResizeGrip && point.x() <= border + kResizeGrip)
            return column;
    }
    return -1;
}

int GridLayout::DraggedWidth(int column, int x) const
{
    int left = 0;
    ScreenX(column, left);
    const int width = x - left;
    return width > kMinDragWidth ? width : widths[column];
}

int GridLayout::VerticalPage() const { return std::max(0, (clientHeight - HeaderTop()) / rowHeight); }

int GridLayout::MaxFirstRow() const { return std::max(0, rowCount - VerticalPage()); }

int GridLayout::MaxScrollX() const { return std::max(0, HorizontalRange() - HorizontalPage()); }

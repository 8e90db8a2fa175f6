#pragma once
// Where the parts of a CGridCtrl are, in client pixels: the title line, the
// header band, the body rows, the frozen left part and the columns that
// scroll behind it. Plain arithmetic on the column widths and the scroll
// state, so that the grid and its tests share it.
//
// A cell of width w at x spans x .. x + w and is outlined on both borders,
// so neighbours share their outline; its inner rectangle is one pixel
// inside. Columns right of the frozen column move left by scrollX and are
// hidden as a whole while they would overlap the frozen part.

#include <QPoint>
#include <QRect>
#include <vector>

struct GridLayout {
    // How near (pixels) to a column border the mouse must be to resize it.
    static constexpr int kResizeGrip = 4;
    // A column is never dragged narrower than this many pixels plus one.
    static constexpr int kMinDragWidth = 10;

    std::vector<int> widths;
    int rowHeight = 18;
    int headerRows = 1;
    bool hasTitle = false;
    int frozenColumn = -1;
    int scrollX = 0;
    int firstRow = 0;
    int rowCount = 0;
    int clientWidth = 0;
    int clientHeight = 0;

    int ColumnCount() const { return static_cast<int>(widths.size()); }
    int TitleHeight() const { return hasTitle ? rowHeight : 0; }
    // y of the first body row.
    int HeaderTop() const { return TitleHeight() + headerRows * rowHeight; }
    // x of a column before scrolling: the sum of the widths before it.
    int ColumnX(int column) const;
    int TotalWidth() const;
    // Right edge of the frozen part; 0 without a frozen column.
    int FrozenWidth() const;
    bool Scrolls(int column) const { return column > frozenColumn; }
    // x of a column on screen; false when it is hidden behind the frozen part.
    bool ScreenX(int column, int& x) const;

    // The cell's outline rectangle (width + 1 by rowHeight + 1); row -1 is
    // the header band. Empty when the column is hidden, or the row is not
    // shown (above firstRow, or starting below the client area).
    QRect CellRect(int column, int row) const;
    // One pixel inside the outline.
    static QRect InnerRect(const QRect& cell) { return cell.adjusted(1, 1, -1, -1); }

    struct Hit {
        int column = -1;
        int row = -2; // -1 header band, -2 nothing
        bool IsBody() const { return column >= 0 && row >= 0; }
        bool IsHeader() const { return column >= 0 && row == -1; }
    };
    Hit HitTest(QPoint point) const;
    // The column whose right border is within kResizeGrip of the point in
    // the header band, or -1.
    int ResizeBorderAt(QPoint point) const;
    // The width a drag to x gives the column: x minus its left edge when
    // that is more than kMinDragWidth, else the old width.
    int DraggedWidth(int column, int x) const;

    // Vertical scrolling: rows per page; the first row's maximum.
    int VerticalPage() const;
    int MaxFirstRow() const;
    // Horizontal scrolling: the scrolling columns' width, the page, and the
    // maximum scrollX.
    int HorizontalRange() const { return TotalWidth() - FrozenWidth(); }
    int HorizontalPage() const { return clientWidth - FrozenWidth() + 2; }
    int MaxScrollX() const;
    // Size with automatic sizing: all columns and both outlines across;
    // the title, the header band and every row down.
    int AutoWidth() const { return TotalWidth() + 2; }
    int AutoHeight() const { return HeaderTop() + rowCount * rowHeight + 2; }
};

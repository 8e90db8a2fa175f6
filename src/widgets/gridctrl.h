#pragma once
// The table control of the channel setup dialogs: an optional title line, a
// band of column headers and rows of cells, with scroll bars, a frozen left
// part, column resizing with the mouse in the header band, a selected cell
// and in-place editing by a text field, a drop-down list or the drum
// chooser. The grid keeps only the columns; the row count and every cell's
// content come from the owner, which receives GridNotify records through
// the private message set with SetOwner (SendAppMessage, the record's
// address as wParam). The owner also decides what a double click, a wheel
// step or a context menu does. UI thread only.

#include "widgets/gridlayout.h"

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class QScrollBar;
struct GridNotify;

class CGridCtrl : public QWidget {
    Q_OBJECT
public:
    // The message the in-place editors send the grid, with a key code.
    static constexpr int WM_GRID_KEY = 2025;
    enum GridKey { KeyUp = 0, KeyDown = 1, KeyTab = 2, KeyBackTab = 3, KeyRightButton = 5,
                   KeyListChosen = 6, KeyEscape = 7 };
    enum Style { AutoWidth = 1, AutoHeight = 2, NoVerticalScroll = 4 };
    static constexpr QRgb kSelectedFill = qRgb(150, 199, 255);
    // Height of a drop-down list's open part, pixels.
    static constexpr int kListDropHeight = 150;

    explicit CGridCtrl(QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // Columns, in display order; the alignment flag is the owner's to use.
    int AddColumn(const QString& title, int width, int alignment = 0, QColor colour = Qt::white);
    void SetColumnTitle(int column, const QString& title);
    // A header fill of its own for one column (the grid's headerColour otherwise).
    void SetColumnHeaderColour(int column, QColor colour);
    void SetColumnWidth(int column, int width);
    void SetColumnWidths(const std::vector<int>& widths);
    std::vector<int> ColumnWidths() const { return m_layout.widths; }
    int TotalWidth() const { return m_layout.TotalWidth(); }
    int ColumnCount() const { return m_layout.ColumnCount(); }
    int ColumnAlignment(int column) const;

    // Where notifications go: owner gets AppMessage number message (an
    // offset above WM_USER, as every private message here).
    void SetOwner(QObject* owner, int message);
    void SetFrozenColumn(int column);
    void SetTitle(const QString& title);
    void SetHeaderRows(int rows);
    // Style flags (Style) and the outer size; with AutoWidth or AutoHeight
    // that dimension follows the columns or the rows instead.
    void SetStyle(int flags, QSize size);
    void SetLineColour(QColor colour);
    void SetTitleColour(QColor colour) { m_titleColour = colour; update(); }
    void SetHeaderColour(QColor colour) { m_headerColour = colour; update(); }
    void SetHeaderTextColour(QColor colour) { m_headerText = colour; update(); }
    int RowHeight() const { return m_layout.rowHeight; }
    // Re-asks the row count, resizes (automatic sizing) or re-ranges the
    // scroll bars, and repaints.
    void Refresh();

    // In-place editors. Each ends an edit in progress first. EditCell: a text
    // field over the cell with all of text selected (numeric: only digits,
    // sign, decimal point and exponent can be typed). ComboCell: a drop-down
    // list with the items (separated by line feeds or tabs), current text
    // chosen, opened. DrumCell: the drum chooser under the cell; a choice
    // inside the list comes back as EditFinished with the item's text.
    void EditCell(int column, int row, const QString& text, bool numeric = false);
    void ComboCell(int column, int row, const QString& text, const QString& items);
    void DrumCell(int column, int row, const QString& text, const QString& items);
    // Sends EditFinished with the editor's text and removes the editor.
    void EndEdit();
    bool IsEditing() const { return m_lineEdit || m_combo; }
    QLineEdit* TextEditor() const { return m_lineEdit; }
    QComboBox* ListEditor() const { return m_combo; }

    // Highlights the cell, lets the owner paint it and sends Selected.
    void SelectCell(int column, int row);
    int SelectedColumn() const { return m_selColumn; }
    int SelectedRow() const { return m_selRow; }
    bool IsHighlighted() const { return m_highlighted; }

    int ScrollX() const { return m_layout.scrollX; }
    int FirstRow() const { return m_layout.firstRow; }
    QScrollBar* HorizontalBar() const { return m_hBar; }
    QScrollBar* VerticalBar() const { return m_vBar; }
    const GridLayout& Layout() const { return m_layout; }
    // Cell rectangle in widget pixels (row -1: header), empty when hidden.
    QRect CellRect(int column, int row) const { return m_layout.CellRect(column, row); }
    bool IsResizing() const { return m_resizeColumn >= 0; }

    // Splits an item list at line feeds and tabs, dropping the empty ends.
    static QStringList SplitItems(const QString& items);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Column {
        QString title;
        int alignment = 0;
        QColor colour;
        QColor headerColour; // invalid: the grid's
    };

    qintptr Notify(GridNotify& notify, qintptr lParam = 0);
    void Select(int column, int row, Qt::KeyboardModifiers modifiers);
    int AskRowCount();
    void UpdateLayout();
    void ApplyAutoSize();
    void OnGridKey(int code);
    // Ends an edit and takes the highlight off; what every click, scroll,
    // wheel step and context menu starts with.
    void EndEditAndUnhighlight();
    void MoveSelection(int columnStep, int rowStep);
    QRect EditorRect(int column, int row) const;
    void PaintCell(QPainter& painter, int column, int row, const QRect& cell, QColor fill);
    void StartEditor(QWidget* editor, int column, int row);

    GridLayout m_layout;
    std::vector<Column> m_columns;
    QString m_title;
    int m_style = 0;
    QSize m_requestedSize;
    QColor m_titleColour{192, 192, 192};
    QColor m_headerColour{192, 192, 192};
    QColor m_headerText{Qt::white};
    QColor m_lineColour{Qt::black};
    QFont m_font;
    QPointer<QObject> m_owner;
    int m_message = 0;
    int m_selColumn = -1;
    int m_selRow = -1;
    bool m_highlighted = false;
    int m_resizeColumn = -1;
    bool m_resizeEnded = false;
    QScrollBar* m_hBar = nullptr;
    QScrollBar* m_vBar = nullptr;
    QPointer<QLineEdit> m_lineEdit;
    QPointer<QComboBox> m_combo;
    int m_editColumn = -1;
    int m_editRow = -1;
    bool m_inLayout = false;
};

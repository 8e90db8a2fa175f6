#include "gridctrl.h"

#include "gridnotify.h"
#include "numericdrum.h"
#include "platform/appmessage.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace {

// WM_GRID_KEY as a private message number above WM_USER.
constexpr int kGridKeyMessage = CGridCtrl::WM_GRID_KEY - WM_USER;
constexpr int kHorizontalLineStep = 10;
constexpr int kFontEmPixels = 13;

// The navigation code of a key in an in-place editor, or -1.
int GridKeyCode(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Up: return CGridCtrl::KeyUp;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter: return CGridCtrl::KeyDown;
    case Qt::Key_Tab: return key->modifiers() & Qt::ShiftModifier ? CGridCtrl::KeyBackTab : CGridCtrl::KeyTab;
    case Qt::Key_Backtab: return CGridCtrl::KeyBackTab;
    case Qt::Key_Escape: return CGridCtrl::KeyEscape;
    default: return -1;
    }
}

void SendGridKey(QWidget* grid, int code) { SendAppMessage(grid, kGridKeyMessage, quintptr(code)); }

// The text field of EditCell: navigation keys go to the grid.
class GridLineEdit : public QLineEdit {
public:
    GridLineEdit(CGridCtrl* grid) : QLineEdit(grid), m_grid(grid) { setFrame(false); }

protected:
    bool event(QEvent* event) override
    {
        // Tab would move the focus before keyPressEvent sees it.
        if (event->type() == QEvent::KeyPress) {
            const int code = GridKeyCode(static_cast<QKeyEvent*>(event));
            if (code >= 0) {
                SendGridKey(m_grid, code);
                return true;
            }
        }
        return QLineEdit::event(event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::RightButton)
            SendGridKey(m_grid, CGridCtrl::KeyRightButton);
        QLineEdit::mousePressEvent(event);
    }

private:
    CGridCtrl* m_grid;
};

// The drop-down list of ComboCell: navigation keys go to the grid while
// the list is closed; picking an item ends the edit.
class GridCombo : public QComboBox {
public:
    GridCombo(CGridCtrl* grid) : QComboBox(grid), m_grid(grid) {}

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int code = GridKeyCode(static_cast<QKeyEvent*>(event));
            if (code >= 0) {
                SendGridKey(m_grid, code);
                return true;
            }
        }
        return QComboBox::event(event);
    }

private:
    CGridCtrl* m_grid;
};

// The in-place list opens as wide as its cell; a narrow column ("Range")
// would cut its entries short ("2…V" for "20mV"). The open list grows to
// its widest entry, within the screen.
void WidenOpenList(QComboBox* combo)
{
    QAbstractItemView* view = combo->view();
    QWidget* popup = view->window();
    if (!popup || popup == combo->window() || !popup->isVisible())
        return;
    int width = view->sizeHintForColumn(0) + 2 * view->frameWidth() + (popup->width() - view->width());
    if (view->verticalScrollBar()->isVisible())
        width += view->verticalScrollBar()->width();
    if (width <= popup->width())
        return;
    QRect geometry = popup->geometry();
    geometry.setWidth(width);
    if (const QScreen* screen = combo->screen(); screen && geometry.right() > screen->availableGeometry().right())
        geometry.moveRight(screen->availableGeometry().right());
    popup->setGeometry(geometry);
}

void Outline(QPainter& painter, const QRect& cell)
{
    painter.drawRect(cell.x(), cell.y(), cell.width() - 1, cell.height() - 1);
}

} // namespace

CGridCtrl::CGridCtrl(QWidget* parent) : QWidget(parent)
{
    // "Arial", 15 pixels from the top of its accents to the bottom of its
    // descenders: an em of 13 pixels.
    m_font = QFont(QStringLiteral("Arial"));
    m_font.setPixelSize(kFontEmPixels);
    setFont(m_font);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_hBar = new QScrollBar(Qt::Horizontal, this);
    m_vBar = new QScrollBar(Qt::Vertical, this);
    m_hBar->hide();
    m_vBar->hide();
    m_hBar->setSingleStep(kHorizontalLineStep);
    m_vBar->setSingleStep(1);
    connect(m_hBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value == m_layout.scrollX)
            return;
        EndEditAndUnhighlight();
        m_layout.scrollX = value;
        update();
    });
    connect(m_vBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value == m_layout.firstRow)
            return;
        EndEditAndUnhighlight();
        m_layout.firstRow = value;
        update();
    });
}

CGridCtrl::~CGridCtrl() = default;

// ---- columns and settings ---------------------------------------------------

int CGridCtrl::AddColumn(const QString& title, int width, int alignment, QColor colour)
{
    m_columns.push_back({title, alignment, colour, QColor()});
    m_layout.widths.push_back(width);
    UpdateLayout();
    return ColumnCount() - 1;
}

void CGridCtrl::SetColumnTitle(int column, const QString& title)
{
    if (column < 0 || column >= ColumnCount())
        return;
    m_columns[column].title = title;
    update();
}

void CGridCtrl::SetColumnHeaderColour(int column, QColor colour)
{
    if (column < 0 || column >= ColumnCount())
        return;
    m_columns[column].headerColour = colour;
    update();
}

void CGridCtrl::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= ColumnCount())
        return;
    m_layout.widths[column] = width;
    UpdateLayout();
}

void CGridCtrl::SetColumnWidths(const std::vector<int>& widths)
{
    for (int column = 0; column < ColumnCount() && column < int(widths.size()); ++column)
        m_layout.widths[column] = widths[column];
    UpdateLayout();
}

int CGridCtrl::ColumnAlignment(int column) const
{
    return column >= 0 && column < ColumnCount() ? m_columns[column].alignment : 0;
}

void CGridCtrl::SetOwner(QObject* owner, int message)
{
    m_owner = owner;
    m_message = message;
    UpdateLayout();
}

void CGridCtrl::SetFrozenColumn(int column)
{
    m_layout.frozenColumn = column;
    UpdateLayout();
}

void CGridCtrl::SetTitle(const QString& title)
{
    m_title = title;
    m_layout.hasTitle = !title.isEmpty();
    UpdateLayout();
}

void CGridCtrl::SetHeaderRows(int rows)
{
    m_layout.headerRows = std::max(1, rows);
    UpdateLayout();
}

void CGridCtrl::SetStyle(int flags, QSize size)
{
    m_style = flags;
    m_requestedSize = size;
    resize(size);
    UpdateLayout();
}

void CGridCtrl::SetLineColour(QColor colour)
{
    m_lineColour = colour;
    update();
}

void CGridCtrl::Refresh()
{
    UpdateLayout();
    update();
}

QStringList CGridCtrl::SplitItems(const QString& items)
{
    static const QRegularExpression separators(QStringLiteral("[\\t\\n]"));
    return items.split(separators, Qt::SkipEmptyParts);
}

// ---- notifications and layout -----------------------------------------------

qintptr CGridCtrl::Notify(GridNotify& notify, qintptr lParam)
{
    if (!m_owner)
        return 0;
    return SendAppMessage(m_owner, m_message, quintptr(&notify), lParam);
}

int CGridCtrl::AskRowCount()
{
    GridNotify notify;
    notify.kind = GridNotify::RowCount;
    return std::max<int>(0, int(Notify(notify)));
}

void CGridCtrl::ApplyAutoSize()
{
    QSize size = m_requestedSize.isValid() ? m_requestedSize : this->size();
    if (m_style & AutoWidth)
        size.setWidth(m_layout.AutoWidth());
    if (m_style & AutoHeight)
        size.setHeight(m_layout.AutoHeight());
    if (size != this->size())
        resize(size);
}

void CGridCtrl::UpdateLayout()
{
    if (m_inLayout)
        return;
    m_inLayout = true;
    m_layout.rowCount = AskRowCount();
    if (m_style & (AutoWidth | AutoHeight))
        ApplyAutoSize();

    // Scroll bars take room from the client area, which may call for the
    // other bar in turn: settle in two rounds.
    const int barWidth = m_vBar->sizeHint().width();
    const int barHeight = m_hBar->sizeHint().height();
    bool needH = false;
    bool needV = false;
    for (int round = 0; round < 2; ++round) {
        m_layout.clientWidth = width() - (needV ? barWidth : 0);
        m_layout.clientHeight = height() - (needH ? barHeight : 0);
        needH = !(m_style & AutoWidth) && m_layout.MaxScrollX() > 0;
        needV = !(m_style & (AutoHeight | NoVerticalScroll)) && m_layout.MaxFirstRow() > 0;
    }
    m_layout.clientWidth = width() - (needV ? barWidth : 0);
    m_layout.clientHeight = height() - (needH ? barHeight : 0);

    m_hBar->setVisible(needH);
    m_hBar->setGeometry(0, m_layout.clientHeight, m_layout.clientWidth, barHeight);
    m_hBar->setRange(0, needH ? m_layout.MaxScrollX() : 0);
    m_hBar->setPageStep(std::max(1, m_layout.HorizontalPage()));
    m_vBar->setVisible(needV);
    m_vBar->setGeometry(m_layout.clientWidth, 0, barWidth, m_layout.clientHeight);
    m_vBar->setRange(0, needV ? m_layout.MaxFirstRow() : 0);
    m_vBar->setPageStep(std::max(1, m_layout.VerticalPage()));
    m_layout.scrollX = std::clamp(m_layout.scrollX, 0, m_hBar->maximum());
    m_layout.firstRow = std::clamp(m_layout.firstRow, 0, m_vBar->maximum());
    m_inLayout = false;
    update();
}

void CGridCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateLayout();
}

bool CGridCtrl::event(QEvent* event)
{
    if (AppMessage::NumberOf(event) == kGridKeyMessage) {
        OnGridKey(int(static_cast<AppMessage*>(event)->WParam()));
        return true;
    }
    return QWidget::event(event);
}

// ---- painting -----------------------------------------------------------------

void CGridCtrl::PaintCell(QPainter& painter, int column, int row, const QRect& cell, QColor fill)
{
    painter.fillRect(cell, fill);
    painter.setPen(m_lineColour);
    painter.setBrush(Qt::NoBrush);
    Outline(painter, cell);
    const QRect inner = GridLayout::InnerRect(cell);
    painter.save();
    painter.setClipRect(inner);
    GridNotify notify;
    notify.kind = GridNotify::Paint;
    notify.painter = &painter;
    notify.left = inner.left();
    notify.top = inner.top();
    notify.right = inner.right() + 1;
    notify.bottom = inner.bottom() + 1;
    notify.row = row;
    notify.column = column;
    Notify(notify);
    painter.restore();
}

void CGridCtrl::paintEvent(QPaintEvent*)
{
    const int rows = AskRowCount();
    if (rows != m_layout.rowCount) {
        // The owner changed its rows: lay out again after this paint.
        m_layout.rowCount = rows;
        QMetaObject::invokeMethod(this, &CGridCtrl::Refresh, Qt::QueuedConnection);
    }
    QPainter painter(this);
    painter.setFont(m_font);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setClipRect(0, 0, m_layout.clientWidth, m_layout.clientHeight);

    if (m_layout.hasTitle) {
        const QRect title(0, 0, std::min(TotalWidth(), m_layout.clientWidth - 1) + 1, m_layout.rowHeight + 1);
        painter.fillRect(title, m_titleColour);
        painter.setPen(m_lineColour);
        Outline(painter, title);
        painter.drawText(GridLayout::InnerRect(title).adjusted(1, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_title);
    }
    for (int column = 0; column < ColumnCount(); ++column) {
        const QRect cell = m_layout.CellRect(column, -1);
        if (cell.isEmpty())
            continue;
        const QColor own = m_columns[column].headerColour;
        painter.fillRect(cell, own.isValid() ? own : m_headerColour);
        painter.setPen(m_lineColour);
        Outline(painter, cell);
        painter.setPen(m_headerText);
        painter.drawText(GridLayout::InnerRect(cell), Qt::AlignCenter | Qt::TextSingleLine, m_columns[column].title);
    }
    for (int row = m_layout.firstRow; row < rows; ++row) {
        if (m_layout.HeaderTop() + (row - m_layout.firstRow) * m_layout.rowHeight >= m_layout.clientHeight)
            break; // rows below the client area
        for (int column = 0; column < ColumnCount(); ++column) {
            const QRect cell = m_layout.CellRect(column, row);
            if (cell.isEmpty())
                continue;
            const bool selected = m_highlighted && column == m_selColumn && row == m_selRow;
            PaintCell(painter, column, row, cell, selected ? QColor(kSelectedFill) : m_columns[column].colour);
        }
    }
    if (m_layout.frozenColumn >= 0) {
        const int x = m_layout.FrozenWidth();
        painter.setPen(m_lineColour);
        painter.drawLine(x, 0, x, m_layout.clientHeight - 1);
        painter.drawLine(x + 1, 0, x + 1, m_layout.clientHeight - 1);
    }
}

// ---- selection and editing ------------------------------------------------------

void CGridCtrl::SelectCell(int column, int row) { Select(column, row, QGuiApplication::keyboardModifiers()); }

void CGridCtrl::Select(int column, int row, Qt::KeyboardModifiers modifiers)
{
    if (column < 0 || column >= ColumnCount() || row < 0)
        return;
    m_selColumn = column;
    m_selRow = row;
    m_highlighted = true;
    update();
    const QRect cell = m_layout.CellRect(column, row);
    GridNotify notify;
    notify.kind = GridNotify::Selected;
    notify.column = column;
    notify.row = row;
    notify.left = cell.left();
    notify.top = cell.top();
    notify.right = cell.right() + 1;
    notify.bottom = cell.bottom() + 1;
    notify.modifiers = modifiers;
    Notify(notify);
}

void CGridCtrl::EndEdit()
{
    if (!IsEditing())
        return;
    QString text;
    QWidget* editor = nullptr;
    if (m_lineEdit) {
        text = m_lineEdit->text();
        editor = m_lineEdit;
    } else {
        text = m_combo->currentText();
        m_combo->hidePopup();
        editor = m_combo;
    }
    // The editor goes first, so that the owner's answer may open the next.
    m_lineEdit = nullptr;
    m_combo = nullptr;
    editor->hide();
    editor->deleteLater();
    GridNotify notify;
    notify.kind = GridNotify::EditFinished;
    notify.column = m_editColumn;
    notify.row = m_editRow;
    notify.text = text;
    notify.chosen = editor->property("krvChosen").toBool();
    Notify(notify);
    update();
}

void CGridCtrl::EndEditAndUnhighlight()
{
    EndEdit();
    if (m_highlighted) {
        m_highlighted = false;
        update();
    }
}

QRect CGridCtrl::EditorRect(int column, int row) const
{
    return GridLayout::InnerRect(m_layout.CellRect(column, row));
}

void CGridCtrl::StartEditor(QWidget* editor, int column, int row)
{
    m_editColumn = column;
    m_editRow = row;
    editor->setFont(m_font);
    editor->setGeometry(EditorRect(column, row));
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
}

void CGridCtrl::EditCell(int column, int row, const QString& text, bool numeric)
{
    EndEdit();
    if (EditorRect(column, row).isEmpty())
        return;
    auto* edit = new GridLineEdit(this);
    if (numeric) {
        static const QRegularExpression number(QStringLiteral("[0-9eE+\\-.]*"));
        edit->setValidator(new QRegularExpressionValidator(number, edit));
    }
    edit->setText(text);
    edit->selectAll();
    m_lineEdit = edit;
    StartEditor(edit, column, row);
}

void CGridCtrl::ComboCell(int column, int row, const QString& text, const QString& items)
{
    EndEdit();
    if (EditorRect(column, row).isEmpty())
        return;
    auto* combo = new GridCombo(this);
    combo->addItems(SplitItems(items));
    combo->setCurrentIndex(std::max(0, int(combo->findText(text))));
    combo->setMaxVisibleItems(std::max(1, kListDropHeight / m_layout.rowHeight));
    // The list drops below the cell, as a list box, not as a menu over it.
    combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    connect(combo, &QComboBox::activated, this, [this, combo] {
        combo->setProperty("krvChosen", true);
        SendGridKey(this, KeyListChosen);
    });
    m_combo = combo;
    StartEditor(combo, column, row);
    combo->showPopup();
    WidenOpenList(combo);
}

void CGridCtrl::DrumCell(int column, int row, const QString& text, const QString& items)
{
    EndEdit();
    const QRect cell = m_layout.CellRect(column, row);
    if (cell.isEmpty())
        return;
    const QStringList list = SplitItems(items);
    const int current = std::max(0, int(list.indexOf(text)));
    QPointer<CGridCtrl> self(this);
    CNumericDrum drum(this, cell, list, current, 0.0, 0.0);
    const int chosen = drum.Run();
    // The drum's loop ran every event; the grid may have gone with its dialog.
    if (!self || chosen < 0 || chosen >= list.size())
        return;
    GridNotify notify;
    notify.kind = GridNotify::EditFinished;
    notify.column = column;
    notify.row = row;
    notify.text = list[chosen];
    notify.chosen = true;
    Notify(notify);
    update();
}

void CGridCtrl::OnGridKey(int code)
{
    switch (code) {
    case KeyUp:
        EndEdit();
        MoveSelection(0, -1);
        break;
    case KeyDown:
        EndEdit();
        MoveSelection(0, 1);
        break;
    case KeyTab:
        EndEdit();
        MoveSelection(1, 0);
        break;
    case KeyBackTab:
        EndEdit();
        MoveSelection(-1, 0);
        break;
    case KeyListChosen:
    case KeyEscape: EndEdit(); break;
    default: break; // the right button in a text field
    }
}

void CGridCtrl::MoveSelection(int columnStep, int rowStep)
{
    const int column = m_selColumn + columnStep;
    const int row = m_selRow + rowStep;
    if (m_selColumn < 0 || m_selRow < 0 || column < 0 || column >= ColumnCount() || row < 0 ||
        row >= m_layout.rowCount)
        return;
    // Keep the new cell in view.
    if (row < m_layout.firstRow)
        m_vBar->setValue(row);
    else if (m_layout.VerticalPage() > 0 && row >= m_layout.firstRow + m_layout.VerticalPage())
        m_vBar->setValue(row - m_layout.VerticalPage() + 1);
    SelectCell(column, row);
}

// ---- mouse ------------------------------------------------------------------------

void CGridCtrl::mousePressEvent(QMouseEvent* event)
{
    EndEditAndUnhighlight();
    if (event->button() != Qt::LeftButton)
        return;
    const int border = m_layout.ResizeBorderAt(event->position().toPoint());
    if (border >= 0)
        m_resizeColumn = border;
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event)
{
    if (!hasFocus() && !IsEditing())
        setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    if (m_resizeColumn >= 0) {
        const int width = m_layout.DraggedWidth(m_resizeColumn, pos.x());
        if (width != m_layout.widths[m_resizeColumn]) {
            m_layout.widths[m_resizeColumn] = width;
            UpdateLayout();
        }
        return;
    }
    setCursor(m_layout.ResizeBorderAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_resizeColumn >= 0) {
        m_resizeColumn = -1;
        return;
    }
    const GridLayout::Hit hit = m_layout.HitTest(event->position().toPoint());
    if (hit.IsBody()) {
        Select(hit.column, hit.row, event->modifiers());
    } else if (hit.IsHeader()) {
        GridNotify notify;
        notify.kind = GridNotify::HeaderClicked;
        notify.column = hit.column;
        notify.row = -1;
        Notify(notify);
    }
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    EndEditAndUnhighlight();
    if (event->button() != Qt::LeftButton)
        return;
    const GridLayout::Hit hit = m_layout.HitTest(event->position().toPoint());
    if (!hit.IsBody())
        return;
    m_selColumn = hit.column;
    m_selRow = hit.row;
    GridNotify notify;
    notify.kind = GridNotify::DoubleClicked;
    notify.column = hit.column;
    notify.row = hit.row;
    notify.modifiers = event->modifiers();
    Notify(notify);
}

void CGridCtrl::wheelEvent(QWheelEvent* event)
{
    event->accept();
    const int delta = event->angleDelta().y();
    EndEditAndUnhighlight();
    // Touchpads open and close a gesture with zero deltas: no step.
    if (delta == 0)
        return;
    const GridLayout::Hit hit = m_layout.HitTest(event->position().toPoint());
    if (!hit.IsBody())
        return;
    m_selColumn = hit.column;
    m_selRow = hit.row;
    GridNotify notify;
    notify.kind = GridNotify::Wheel;
    notify.column = hit.column;
    notify.row = hit.row;
    notify.up = delta > 0;
    notify.modifiers = event->modifiers();
    Notify(notify, delta);
}

void CGridCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    EndEditAndUnhighlight();
    const GridLayout::Hit hit = m_layout.HitTest(event->pos());
    if (hit.column < 0)
        return;
    GridNotify notify;
    notify.kind = hit.IsHeader() ? GridNotify::HeaderContextMenu : GridNotify::ContextMenu;
    notify.column = hit.column;
    notify.row = hit.row;
    notify.x = event->globalPos().x();
    notify.y = event->globalPos().y();
    notify.modifiers = event->modifiers();
    Notify(notify);
}

#include "numericdrum.h"

#include "scalecolor.h"

#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace {
CNumericDrum* g_running = nullptr;
}

CNumericDrum::CNumericDrum(QWidget* selector, const QStringList& items, int current, double step, double offset)
    : CNumericDrum(selector, selector ? selector->rect() : QRect(), items, current, step, offset)
{
}

CNumericDrum::CNumericDrum(QWidget* owner, const QRect& area, const QStringList& items, int current, double step,
                           double offset)
    : QWidget(nullptr, Qt::Popup | Qt::WindowStaysOnTopHint), m_selector(owner), m_items(items), m_step(step),
      m_offset(offset), m_first(current - kCentreRow)
{
    setObjectName(QStringLiteral("Numeric"));
    setWindowTitle(QStringLiteral("Numeric"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The press outside that closes the drum is its own; it must not reach
    // the widget under the mouse as well.
    setAttribute(Qt::WA_NoMouseReplay);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    if (owner)
        PlaceBelow(owner, area);
    else
        resize(80, kRows * kRowHeight);
}

void CNumericDrum::PlaceBelow(QWidget* owner, const QRect& area)
{
    QPoint topLeft = owner->mapToGlobal(area.bottomLeft() + QPoint(0, 1));
    setGeometry(topLeft.x(), topLeft.y(), area.width(), kRows * kRowHeight);
    // An owner destroyed while the drum is open (its panel went away on a
    // timer) ends the choice.
    connect(owner, &QObject::destroyed, this, &CNumericDrum::Cancel);
    // Window systems place a popup relative to the window it belongs to.
    create();
    if (windowHandle() && owner->window()->windowHandle())
        windowHandle()->setTransientParent(owner->window()->windowHandle());
}

CNumericDrum::~CNumericDrum()
{
    if (g_running == this)
        g_running = nullptr;
}

CNumericDrum* CNumericDrum::Running() { return g_running; }

int CNumericDrum::Run()
{
    QEventLoop loop;
    m_loop = &loop;
    m_finished = false;
    m_result = kCancelled;
    CNumericDrum* outer = g_running;
    g_running = this;
    show();
    raise();
    // A popup window takes the mouse and the keyboard while it is shown.
    loop.exec();
    g_running = outer;
    m_loop = nullptr;
    return m_result;
}

void CNumericDrum::Finish(int result)
{
    if (m_finished)
        return;
    m_finished = true;
    m_result = result;
    hide();
    if (m_loop)
        m_loop->quit();
}

void CNumericDrum::Accept() { Finish(CentreIndex()); }

void CNumericDrum::Cancel() { Finish(kCancelled); }

void CNumericDrum::hideEvent(QHideEvent* event)
{
    // Closed by the window system or by Escape: nothing chosen.
    Finish(kCancelled);
    QWidget::hideEvent(event);
}

void CNumericDrum::Roll(int rows)
{
    if (rows == 0)
        return;
    m_first -= rows;
    if (IsListMode())
        m_first = std::clamp(m_first, -kCentreRow, int(m_items.size()) - 1 - kCentreRow);
    update();
}

void CNumericDrum::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The selector itself, the 15 pixels above the drum, counts as inside.
    QRect inside = geometry().adjusted(0, -kRowHeight, 0, 0);
    if (!inside.contains(event->globalPosition().toPoint())) {
        Accept();
        return;
    }
    m_anchor = event->position().toPoint().y();
    m_click = true;
}

void CNumericDrum::mouseMoveEvent(QMouseEvent* event)
{
    int y = event->position().toPoint().y();
    if ((event->buttons() == Qt::NoButton && event->modifiers() == Qt::NoModifier) || y < 0)
        return;
    int rows = (y - m_anchor) / kRowHeight;
    if (rows == 0)
        return;
    Roll(rows);
    m_anchor += rows * kRowHeight;
    m_click = false;
}

void CNumericDrum::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_click)
        Accept();
}

void CNumericDrum::wheelEvent(QWheelEvent* event)
{
    event->accept();
    Roll(event->angleDelta().y() / 100);
}

double CNumericDrum::GridValue(int index, double step, double offset)
{
    double value = index * step + offset;
    return std::fabs(value) < std::fabs(step) * 1e-9 ? 0.0 : value;
}

QString CNumericDrum::RowText(int index) const
{
    if (IsListMode())
        return index >= 0 && index < m_items.size() ? m_items[index] : QString();
    return QString::asprintf("%g", GridValue(index, m_step, m_offset));
}

void CNumericDrum::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int h = height();
    const int fifth = std::max(1, h / 5);
    // Cylinder: dark at both edges, bright in the middle.
    for (int i = 0; i <= h / 2; ++i) {
        QColor shade = QColor::fromRgb(ScaleColor(qRgb(128, 128, 128), double(i) / fifth + 0.5));
        painter.fillRect(0, i, width(), 1, shade);
        painter.fillRect(0, h - i, width(), 1, shade);
    }
    painter.fillRect(0, h / 2 - 5, width(), kRowHeight, QColor(192, 192, 224));

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kRowHeight);
    font.setWeight(QFont::Black);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int x = IsListMode() ? 4 : 2;
    for (int j = 0; j < kRows; ++j) {
        QString text = RowText(m_first + j);
        if (!text.isEmpty())
            painter.drawText(QRect(x, j * kRowHeight, width() - x, kRowHeight),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, h - 1);
}

#include "graphharness.h"

#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "widgets/zoomband.h"
#include "platform/appmessage.h"
#include "context/appcontext.h"
#include "context/windowalpha.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;

double Trace(int slot, double x)
{
    return slot == 0 ? std::sin(2 * kPi * 3 * x) : 0.6 * std::sin(2 * kPi * 5 * x + 1.0);
}
} // namespace

CGraphHarness::CGraphHarness(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(640, 360);
}

QRect CGraphHarness::PlotRect() const
{
    int l = 0, t = 0, r = width(), b = height();
    l += 120;
    r -= 16;
    t += 40;
    b -= 40;
    return QRect(l, t, r - l, b - t);
}

int CGraphHarness::PixelX(double x) const
{
    QRect plot = PlotRect();
    return plot.left() + int(x * (plot.width() - 1));
}

double CGraphHarness::XAt(int pixelX) const
{
    QRect plot = PlotRect();
    return double(pixelX - plot.left()) / (plot.width() - 1);
}

int CGraphHarness::TraceHeight(int slot, double x) const
{
    QRect plot = PlotRect();
    return int((0.5 - 0.45 * Trace(slot, x)) * (plot.height() - 1));
}

CCursorWnd* CGraphHarness::AddCursor(int pixelX)
{
    auto* cursor = new CCursorWnd(int(m_cursors.size()), this);
    cursor->SetPlotRect(PlotRect());
    cursor->SetBackBuffer(&m_backBuffer);
    cursor->SetLabelFraction(0.1 + 0.3 * m_cursors.size());
    m_cursors.push_back(cursor);
    UpdateCursor(cursor, pixelX);
    return cursor;
}

void CGraphHarness::UpdateCursor(CCursorWnd* cursor, int pixelX)
{
    double x = XAt(pixelX);
    cursor->PlaceAt(pixelX);
    cursor->SetXValue(x * 0.02, QStringLiteral("s"));
    cursor->SetSlot(0, true, Trace(0, x) * 0.5, TraceHeight(0, x), QStringLiteral("V"));
    cursor->SetSlot(1, true, Trace(1, x) * 0.5, TraceHeight(1, x), QStringLiteral("V"));
    QRect plot = PlotRect();
    cursor->SetInsidePlot(pixelX >= plot.left() && pixelX <= plot.right());
}

CDeltaBox* CGraphHarness::AddDeltaBox()
{
    auto* box = new CDeltaBox(this);
    QRect plot = PlotRect();
    int right = plot.left() + plot.width();
    int bottom = plot.top() + plot.height();
    box->SetFractions(double(right - 120) / right, double(bottom - 99) / bottom);
    box->Place();
    ToggleWindowAlpha(box, 180);
    return box;
}

CZoomBand* CGraphHarness::AddZoomBand(const QRect& band)
{
    auto* zoom = new CZoomBand(this, band, PlotRect());
    ToggleWindowAlpha(zoom, 100);
    return zoom;
}

bool CGraphHarness::event(QEvent* event)
{
    int number = AppMessage::NumberOf(event);
    if (number < 0)
        return QWidget::event(event);
    auto* message = static_cast<AppMessage*>(event);
    m_messages.push_back({number, qintptr(message->WParam()), message->LParam()});
    if (m_act) {
        int index = int(message->WParam());
        if (number == 102 && index >= 0 && index < int(m_cursors.size()))
            UpdateCursor(m_cursors[index], int(message->LParam()));
        if (number == 103 && message->LParam() == 0 && index >= 0 && index < int(m_cursors.size())) {
            delete m_cursors[index];
            m_cursors.erase(m_cursors.begin() + index);
            for (int i = 0; i < int(m_cursors.size()); ++i)
                m_cursors[i]->SetNumber(i);
        }
    }
    return true;
}

void CGraphHarness::resizeEvent(QResizeEvent*) { Render(); }

void CGraphHarness::Render()
{
    const ColourScheme& colours = Ctx().colours;
    m_backBuffer = QImage(size(), QImage::Format_RGB32);
    m_backBuffer.fill(colours.graphBackground);
    QPainter painter(&m_backBuffer);
    QRect plot = PlotRect();
    QColor grid = colours.graphText;
    grid.setAlpha(60);
    painter.setPen(grid);
    for (int i = 1; i < 10; ++i) {
        int x = plot.left() + i * plot.width() / 10;
        painter.drawLine(x, plot.top(), x, plot.bottom());
    }
    for (int i = 1; i < 8; ++i) {
        int y = plot.top() + i * plot.height() / 8;
        painter.drawLine(plot.left(), y, plot.right(), y);
    }
    painter.setPen(colours.graphText);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor traces[2] = {colours.trace1, colours.trace2};
    for (int slot = 0; slot < 2; ++slot) {
        QPainterPath path;
        for (int px = plot.left(); px <= plot.right(); ++px) {
            QPointF point(px, plot.top() + TraceHeight(slot, XAt(px)));
            if (px == plot.left())
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        painter.setPen(QPen(traces[slot], 1.5));
        painter.drawPath(path);
    }
}

void CGraphHarness::paintEvent(QPaintEvent*)
{
    if (m_backBuffer.size() != size())
        Render();
    QPainter painter(this);
    painter.drawImage(0, 0, m_backBuffer);
}

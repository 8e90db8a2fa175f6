#include "cursorzoom.h"

#include "context/windowalpha.h"
#include "views/plotlayout.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "widgets/zoomband.h"

CursorZoom::CursorZoom(QWidget* window) : m_window(window) {}

CursorZoom::~CursorZoom()
{
    for (int i = 0; i < m_count; ++i)
        delete m_cursors[size_t(i)];
    delete m_deltaBox;
    delete m_rubberBand;
}

CCursorWnd* CursorZoom::At(int index) const
{
    return index >= 0 && index < m_count ? m_cursors[size_t(index)] : nullptr;
}

bool CursorZoom::Add(int pixelX, double xValue, const QString& xUnit, const QImage* backBuffer, const QRect& plot,
                     bool boxShown)
{
    if (m_count >= kMaxCursors)
        return false;
    auto* cursor = new CCursorWnd(m_count, m_window);
    cursor->SetMessageTarget(m_window);
    cursor->setGeometry(pixelX - CCursorWnd::kWidth / 2, 0, CCursorWnd::kWidth, m_window->height());
    cursor->SetXValue(xValue, xUnit);
    cursor->SetPeakTracking(m_initialPeakTracking);
    cursor->SetBackBuffer(backBuffer);
    cursor->SetPlotRect(plot);
    m_cursors[size_t(m_count++)] = cursor;
    if (m_count == 2)
        CreateDeltaBox(plot, boxShown);
    return true;
}

void CursorZoom::CreateDeltaBox(const QRect& plot, bool shown)
{
    if (m_deltaBox)
        return;
    const int right = plot.x() + plot.width(), bottom = plot.y() + plot.height();
    m_deltaBox = new CDeltaBox(m_window);
    m_deltaBox->SetMessageTarget(m_window);
    m_deltaBox->setCursor(Qt::ArrowCursor);
    m_deltaBox->SetFractions(right > 0 ? double(right - 120) / right : 0.0,
                             bottom > 0 ? double(bottom - 99) / bottom : 0.0);
    m_deltaBox->Place();
    ToggleWindowAlpha(m_deltaBox, 180);
    m_deltaBox->setVisible(shown);
}

void CursorZoom::Delete(int index)
{
    // The cursor's own label posted the command: nothing of it is on the stack.
    delete m_cursors[size_t(index)];
    for (int i = index; i + 1 < m_count; ++i) {
        m_cursors[size_t(i)] = m_cursors[size_t(i + 1)];
        m_cursors[size_t(i)]->SetNumber(i);
    }
    m_cursors[size_t(--m_count)] = nullptr;
    if (m_count < 2 && m_deltaBox) {
        delete m_deltaBox;
        m_deltaBox = nullptr;
    }
}

void CursorZoom::SetBackBuffer(const QImage* backBuffer)
{
    for (int i = 0; i < m_count; ++i)
        m_cursors[size_t(i)]->SetBackBuffer(backBuffer);
}

void CursorZoom::HideAll()
{
    for (int i = 0; i < m_count; ++i)
        m_cursors[size_t(i)]->hide();
}

void CursorZoom::ZoomTo(const QRect& band, const QRect& plot, AxisTransform& x, std::array<AxisTransform, 2>& y)
{
    const int left = band.x(), top = band.y(), right = band.x() + band.width(), bottom = band.y() + band.height();
    if (left > plot.x() || right < plot.x() + plot.width()) {
        if (!m_xZoomed)
            m_unzoomedX = {x.min, x.max};
        const double min = x.Value(left), max = x.Value(right);
        x.min = min;
        x.max = max;
        m_xZoomed = true;
    }
    if (top > plot.y() || bottom < plot.y() + plot.height()) {
        for (AxisTransform& axis : y) {
            const double min = axis.Value(bottom), max = axis.Value(top);
            axis.min = min;
            axis.max = max;
        }
        m_yZoomed = true;
    }
}

void CursorZoom::KeepUnzoomedX(const AxisTransform& x)
{
    if (!m_xZoomed)
        m_unzoomedX = {x.min, x.max};
}

void CursorZoom::WheelZoomX(AxisTransform& x, int delta, int pixel)
{
    if (!m_xZoomed) {
        m_unzoomedX = {x.min, x.max};
        m_xZoomed = true;
    }
    x.WheelZoom(delta, x.Value(pixel));
}

bool CursorZoom::ResetX(AxisTransform& x)
{
    if (!m_xZoomed)
        return false;
    x.min = m_unzoomedX[0];
    x.max = m_unzoomedX[1];
    m_xZoomed = false;
    return true;
}

bool CursorZoom::ResetY()
{
    const bool was = m_yZoomed;
    m_yZoomed = false;
    return was;
}

void CursorZoom::Press(const QPoint& point, bool inPlot)
{
    m_press = point;
    m_pressedInPlot = inPlot;
}

bool CursorZoom::TakePressInPlot()
{
    const bool was = m_pressedInPlot;
    m_pressedInPlot = false;
    return was;
}

void CursorZoom::StartRubberBand(const QPoint& mouse, const QRect& plot)
{
    QRect band;
    if (!PlotLayout::RubberBand(m_press, mouse, plot, &band))
        return;
    m_pressedInPlot = false;
    m_rubberBand = new CZoomBand(m_window, band, plot);
    m_rubberBand->SetMessageTarget(m_window);
    ToggleWindowAlpha(m_rubberBand, 100);
    m_rubberBand->show();
    // The band takes over the drag at the handle under the mouse.
    const bool right = mouse.x() >= m_press.x(), down = mouse.y() >= m_press.y();
    int code;
    if (band.height() == plot.height() && band.width() != plot.width())
        code = right ? CZoomBand::Right : CZoomBand::Left;
    else if (band.width() == plot.width() && band.height() != plot.height())
        code = down ? CZoomBand::Bottom : CZoomBand::Top;
    else
        code = right ? (down ? CZoomBand::BottomRight : CZoomBand::TopRight)
                     : (down ? CZoomBand::BottomLeft : CZoomBand::TopLeft);
    m_rubberBand->StartDrag(mouse, code);
}

bool CursorZoom::DropRubberBand()
{
    if (!m_rubberBand)
        return false;
    m_rubberBand->deleteLater();
    m_rubberBand = nullptr;
    return true;
}

bool CursorZoom::FinishRubberBand(QRect& band)
{
    if (!m_rubberBand)
        return false;
    band = m_rubberBand->Band();
    m_rubberBand->hide();
    m_rubberBand->deleteLater();
    m_rubberBand = nullptr;
    return true;
}

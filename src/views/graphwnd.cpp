#include "graphwnd.h"

#include "context/parsewithprefix.h"
#include "platform/textarchive.h"

#include <QPainter>

CGraphWnd::CGraphWnd(MainFrame* frame, QWidget* parent) : QWidget(parent), m_frame(frame) {}
CGraphWnd::~CGraphWnd() = default;
void CGraphWnd::Create() { CreatePanel(); }
int CGraphWnd::CursorMode() { return 0; }
void CGraphWnd::ZoomToRect(int, int, int, int) {}
void CGraphWnd::UpdateCursorReadouts() {}
void CGraphWnd::PlaceCursors() {}
void CGraphWnd::SetCursorX(int, int) {}
void CGraphWnd::Rescale(int) {}
void CGraphWnd::Analyse() {}
void CGraphWnd::Reinit() {}
void CGraphWnd::Tick() {}
void CGraphWnd::DrawXAxis(QPainter&, int, int, int, int, float, float, double, double, const QString&, bool) {}
void CGraphWnd::Show(bool show) { m_active = show; setVisible(show); }
void CGraphWnd::CreatePanel() {}
void CGraphWnd::DrawYAxis(QPainter&, int, int, int, int, float, float, double, double, const QColor&, const QString&,
                          bool, int, int) {}
void CGraphWnd::DrawContent(QPainter&) {}
QRect CGraphWnd::PlotRect() const { return rect(); }
void CGraphWnd::StorePanel(TextArchive&) {}
void CGraphWnd::LoadPanel(TextArchive& archive)
{
    QString line;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {}
}
int CGraphWnd::SlotChannel(int) const { return -1; }
int CGraphWnd::ActiveSlotCount() const { return int(m_slotActive[0]) + int(m_slotActive[1]); }
void CGraphWnd::SetTraceCount(int) {}
void CGraphWnd::SizeDisplay(int points, bool) { m_pointCount = points; }
double CGraphWnd::PeakNearCursor(int, int) { return 0.0; }
QString CGraphWnd::SlotUnit(int) const { return QString(); }
void CGraphWnd::SizeWorkArrays(int, bool, int) {}
void CGraphWnd::FollowMaxima() {}
void CGraphWnd::ClipToPlot(QPainter&, const QRect*) {}
void CGraphWnd::FrameRect(QPainter&, int, int, int, int) {}
double CGraphWnd::ParseWithPrefix(const QString& text) { return ::ParseWithPrefix(text); }
void CGraphWnd::Serialize(TextArchive&) {}
void CGraphWnd::DrawDivisionPlot(QPainter&, const double[2], const double[2], double, double) {}
void CGraphWnd::DrawCascade(QPainter&, const double[2], const double[2], double, double) {}
void CGraphWnd::DrawSpectrogram(QPainter&, const double[2], const double[2], double, double) {}
void CGraphWnd::DrawLegend(QPainter&, bool) {}
void CGraphWnd::DrawResetButtons(QPainter&) {}
void CGraphWnd::RescaleDivisions(const float*, int, double&, double&) {}
QString CGraphWnd::LabelFormat(double) { return QString(); }
int CGraphWnd::DecimateMinMax(const float*, int, int, float*, int) { return -1; }
CCursorWnd* CGraphWnd::Cursor(int) const { return nullptr; }
int CGraphWnd::MouseShapeAt(const QPoint&) const { return 0; }
bool CGraphWnd::event(QEvent* event) { return QWidget::event(event); }
void CGraphWnd::paintEvent(QPaintEvent*) {}
void CGraphWnd::resizeEvent(QResizeEvent*) {}
void CGraphWnd::moveEvent(QMoveEvent*) {}
void CGraphWnd::mousePressEvent(QMouseEvent*) {}
void CGraphWnd::mouseMoveEvent(QMouseEvent*) {}
void CGraphWnd::mouseReleaseEvent(QMouseEvent*) {}
void CGraphWnd::wheelEvent(QWheelEvent*) {}
void CGraphWnd::RenderBackBuffer() {}
void CGraphWnd::SlotRange(int, double, double) {}
QString CGraphWnd::AxisUnit(int) const { return QString(); }
QColor CGraphWnd::SlotColour(int) const { return QColor(); }

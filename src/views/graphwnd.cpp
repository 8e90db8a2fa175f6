#include "graphwnd.h"

#include "analysis/segmentlayout.h"
#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/formatwithprefix.h"
#include "context/mainframe.h"
#include "context/parsewithprefix.h"
#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "views/decimateminmax.h"
#include "views/paneldlg.h"
#include "views/graphcursors.h"
#include "views/peaksearch.h"
#include "views/plotlayout.h"
#include "views/rescaledivisions.h"
#include "views/axislabels.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "context/channelsource.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

using PlotLayout::FromEdges;

CGraphWnd::CGraphWnd(MainFrame* frame, QWidget* parent) : QWidget(parent), m_frame(frame), m_zoom(this)
{
    setObjectName(QStringLiteral("Unit"));
    // Painting copies the whole back buffer: no separate erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    m_font = QFont(QStringLiteral("Arial"), 9);
}

CGraphWnd::~CGraphWnd() { delete m_panel; }

void CGraphWnd::Create()
{
    if (m_frame)
        m_record = &m_frame->Record();
    CreatePanel();
    m_font = QFont(QStringLiteral("Arial"), 9);
    PlacePanel();
}

// ---------------------------------------------------------------------------
// Virtual operations

int CGraphWnd::CursorMode() { return 0; }

void CGraphWnd::ZoomToRect(int left, int top, int right, int bottom)
{
    m_zoom.ZoomTo(FromEdges(left, top, right, bottom), PlotRect(), m_x, m_y);
    update();
}

void CGraphWnd::UpdateCursorReadouts()
{
    const QRect plot = PlotRect();
    // Values of cursors 0 and 1 per slot, for the delta box.
    double values[2][2] = {};
    bool shown[2][2] = {};
    for (int i = 0; i < m_zoom.Count(); ++i) {
        CCursorWnd* cursor = m_zoom.At(i);
        bool moved = false;
        for (int slot = 0; slot < 2; ++slot) {
            if (!m_data.SlotShown(slot) || m_data.PointCount() <= 0) {
                cursor->SetSlot(slot, false, 0.0, 0, QString());
                continue;
            }
            const float* array = m_data.Display(DrawArray(slot));
            double value;
            QString unit;
            if (cursor->PeakTracking() && int(m_data.ArraySize(slot)) >= m_data.PointCount()) {
                value = PeakNearCursor(i, slot);
                moved = true;
            } else {
                const int index
                    = m_data.XStep() != 0.0f ? int((cursor->XValue() - m_data.XStart()) / m_data.XStep()) : -1;
                if (index < 0 || index >= m_data.PointCount()
                    || int(m_data.ArraySize(DrawArray(slot))) < m_data.PointCount()) {
                    cursor->SetSlot(slot, false, 0.0, 0, QString());
                    continue;
                }
                value = array[index];
                unit = SlotUnit(slot);
            }
            const int index
                = std::clamp(m_data.XStep() != 0.0f ? int((cursor->XValue() - m_data.XStart()) / m_data.XStep()) : 0, 0,
                             std::max(0, m_data.PointCount() - 1));
            const double heightValue = cursor->PeakTracking() ? array[index] : value;
            const int height = int(std::clamp(m_y[slot].PixelF(heightValue) - plot.y(), -1e6, 1e6));
            cursor->SetSlot(slot, true, value, height, unit);
            if (i < 2) {
                values[i][slot] = value;
                shown[i][slot] = true;
            }
        }
        cursor->SetAlternativeForm(cursor->PeakTracking());
        cursor->SetXValue(cursor->XValue(), m_data.XUnit());
        if (moved)
            PlaceCursors();
        cursor->update();
    }
    if (!m_zoom.DeltaBox() || m_zoom.Count() < 2)
        return;
    m_zoom.DeltaBox()->SetTitle(QStringLiteral("X")
                                + FormatWithPrefix(m_zoom.At(1)->XValue() - m_zoom.At(0)->XValue(), 5, m_data.XUnit()));
    for (int slot = 0; slot < 2; ++slot) {
        if (!m_data.SlotShown(slot) || !shown[0][slot] || !shown[1][slot]) {
            m_zoom.DeltaBox()->SetSlotTexts(slot, QString(), QString());
            continue;
        }
        const QString text = QStringLiteral("Y") + FormatWithPrefix(values[1][slot] - values[0][slot], 5, SlotUnit(slot));
        m_zoom.DeltaBox()->SetSlotTexts(slot, text, text);
    }
    m_zoom.DeltaBox()->update();
}

void CGraphWnd::PlaceCursors()
{
    const QRect plot = PlotRect();
    for (int i = 0; i < m_zoom.Count(); ++i) {
        CCursorWnd* cursor = m_zoom.At(i);
        const double px = m_x.PixelF(cursor->XValue());
        const int x = int(std::clamp(px, -1e6, 1e6));
        cursor->SetPlotRect(plot);
        cursor->PlaceAt(x);
        cursor->SetInsidePlot(m_active && px >= plot.x() && px <= Right(plot));
    }
    if (m_zoom.DeltaBox())
        m_zoom.DeltaBox()->Place();
}

void CGraphWnd::SetCursorX(int cursor, int pixelX)
{
    if (cursor < 0 || cursor >= m_zoom.Count())
        return;
    m_zoom.At(cursor)->SetXValue(m_x.Value(pixelX), m_data.XUnit());
    UpdateCursorReadouts();
}

void CGraphWnd::Rescale(int slot)
{
    if (slot == -1)
        m_zoom.ResetX(m_x);
    m_zoom.ResetY();
    update();
}

void CGraphWnd::Analyse()
{
    // Hidden views do not analyse; they catch up when shown.
    if (!m_active || !m_panel)
        return;
    AnalysisJob made = MakeAnalysis();
    if (!made)
        return;
    AnalysisJob job = [made = std::move(made)](ViewData& out) {
        out.Begin();
        made(out);
    };
    // A request for the record already asked for comes from a changed
    // setting: results made before it are stale.
    const std::uint64_t record = m_record && m_record->capture ? m_record->capture->sequence : 0;
    if (record == m_requestedRecord)
        ++m_settingsGeneration;
    m_requestedRecord = record;
    const AnalysisTag tag{record, m_settingsGeneration};
    AnalysisPool* workers = m_frame ? m_frame->AnalysisWorkers() : nullptr;
    if (!workers || AnalysesAtOnce()) {
        job(m_inlineData);
        Adopt(m_inlineData, tag);
        return;
    }
    if (!m_lane)
        m_lane = std::make_unique<AnalysisLane<ViewData>>(*workers);
    m_lane->Request(tag, std::move(job));
}

void CGraphWnd::AnalyseAndRescale()
{
    m_rescalePending = true;
    m_rescaleGeneration = 0;
    Analyse();
    if (!Pipelined()) {
        m_rescalePending = false; // adopted (and rescaled) at once, or nothing to analyse
        return;
    }
    m_rescaleGeneration = m_settingsGeneration;
}

AnalysisInput CGraphWnd::Input() const
{
    AnalysisInput input;
    if (!m_record || !m_record->capture)
        return input;
    input.record = m_record->capture;
    input.points = m_record->points;
    input.hop = m_record->hop;
    input.averages = m_record->averages;
    input.channels = {SlotChannel(0), SlotChannel(1)};
    return input;
}

bool CGraphWnd::Pipelined() const { return m_frame && m_frame->AnalysisWorkers(); }

void CGraphWnd::RequestRepaint()
{
    if (Pipelined())
        m_repaintWanted = true;
    else
        update();
}

CGraphWnd::AnalysisJob CGraphWnd::MakeAnalysis() { return {}; }

bool CGraphWnd::AdoptResults()
{
    if (!m_lane)
        return false;
    AnalysisTag tag;
    std::unique_ptr<ViewData> result = m_lane->Take(tag);
    if (!result)
        return false;
    const bool stale = tag.settings < m_settingsGeneration || tag.record < m_adoptedRecord;
    if (!stale)
        Adopt(*result, tag);
    m_lane->Recycle(std::move(result));
    return !stale;
}

void CGraphWnd::Adopt(ViewData& data, AnalysisTag tag)
{
    if (data.outcome == ViewData::Outcome::Unchanged)
        return;
    if (data.outcome == ViewData::Outcome::HideTraces) {
        m_data.SetSlotsShown(false, false);
        RequestRepaint();
        return;
    }
    if (tag.record > m_adoptedRecord || m_analysedRecords == 0)
        ++m_analysedRecords;
    m_adoptedRecord = tag.record;
    AdoptAnalysis(data);
    if (m_rescalePending && tag.settings >= m_rescaleGeneration) {
        m_rescalePending = false;
        Rescale(-1);
    }
}

void CGraphWnd::AdoptAnalysis(ViewData& data) { m_data.Adopt(data); }

bool CGraphWnd::FlushRepaint()
{
    if (!m_repaintWanted)
        return false;
    m_repaintWanted = false;
    update();
    return true;
}

void CGraphWnd::Reinit() {}

void CGraphWnd::Tick() {}

void CGraphWnd::Show(bool show)
{
    m_active = show;
    setVisible(show);
    if (m_panel)
        m_panel->setVisible(show);
    if (show) {
        PlaceCursors();
    } else {
        m_zoom.HideAll();
    }
    if (m_zoom.DeltaBox())
        m_zoom.DeltaBox()->setVisible(show);
}

void CGraphWnd::CreatePanel() {}

void CGraphWnd::DrawContent(QPainter&) {}

QRect CGraphWnd::PlotRect() const { return PlotLayout::Plot(rect(), m_data.Split(), m_data.Cascade()); }

void CGraphWnd::StorePanel(TextArchive&) {}

void CGraphWnd::LoadPanel(TextArchive& archive)
{
    QString line;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {
    }
}

// ---------------------------------------------------------------------------
// Non-virtual operations

int CGraphWnd::SlotChannel(int slot) const
{
    if ((slot != 0 && slot != 1) || !m_frame)
        return -1;
    return m_frame->ChosenChannel(slot);
}

int CGraphWnd::ActiveSlotCount() const { return int(m_data.SlotShown(0)) + int(m_data.SlotShown(1)); }

void CGraphWnd::SetTraceCount(int count)
{
    count = std::clamp(count, 0, kMaxTraces);
    for (int i = 0; i < count; ++i) {
        Trace& trace = m_traces[i];
        if (m_traceCapacity > 0) {
            std::vector<float>().swap(trace.data);
            trace.data.assign(size_t(m_traceCapacity), 0.0f);
            trace.capacity = m_traceCapacity;
        }
        trace.length = 0;
        trace.filled = false;
    }
    m_traceCount = count;
}

void CGraphWnd::SizeDisplay(int points, bool second) { m_data.Size(points, second); }

double CGraphWnd::PeakNearCursor(int cursor, int array)
{
    if (cursor < 0 || cursor >= m_zoom.Count() || array < 0 || array >= kDisplayArrays || m_data.XStep() == 0.0f
        || int(m_data.ArraySize(array)) < m_data.PointCount() || m_data.PointCount() < 2)
        return 0.0;
    CCursorWnd* c = m_zoom.At(cursor);
    const int x = m_x.Pixel(c->XValue());
    int lo = int((m_x.Value(x - 4) - m_data.XStart()) / m_data.XStep());
    int hi = int((m_x.Value(x + 4) - m_data.XStart()) / m_data.XStep());
    PeakSearch::Span(lo, hi, m_data.PointCount());
    const PeakSearch::Peak peak
        = PeakSearch::Find(m_data.Display(array), m_data.PointCount(), lo, hi, m_data.LevelsInDb());
    if (peak.index < 0)
        return 0.0;
    const double peakX = m_data.XStart() + peak.index * double(m_data.XStep());
    c->SetXValue(peakX, m_data.XUnit());
    return PeakSearch::Quality(peakX, m_data.XStep(), peak);
}

QString CGraphWnd::SlotUnit(int slot) const
{
    if (slot < 0 || slot > 3)
        return QString();
    if (!m_data.CustomUnit(slot).isEmpty() || !m_channelUnits)
        return m_data.CustomUnit(slot);
    const int channel = SlotChannel(slot & 1);
    return channel >= 0 ? Channels().UnitText(channel) : QString();
}

void CGraphWnd::SizeWorkArrays(int points, bool second, int factor)
{
    SizeDisplay(points * factor, second);
    m_data.SetRows(factor);
    points = std::max(0, points);
    for (std::vector<float>& work : m_work)
        if (int(work.size()) < points)
            work.assign(size_t(points), 0.0f);
}

void CGraphWnd::FollowMaxima()
{
    if (CursorMode() != 1)
        return;
    for (int slot = 0; slot < 2; ++slot) {
        if (!m_data.SlotShown(slot) || slot >= m_zoom.Count())
            continue;
        const int index = m_data.MaxIndex(slot);
        if (index >= 0)
            m_zoom.At(slot)->SetXValue(m_data.XStart() + index * double(m_data.XStep()), m_data.XUnit());
    }
    PlaceCursors();
    UpdateCursorReadouts();
}

void CGraphWnd::ClipToPlot(QPainter& painter, const QRect* rect)
{
    if (!rect) {
        painter.setClipping(false);
        return;
    }
    painter.setClipRect(rect->adjusted(-1, 0, 1, 1));
}

void CGraphWnd::FrameRect(QPainter& painter, int left, int top, int right, int bottom)
{
    painter.drawLine(left, top, right, top);
    painter.drawLine(right, top, right, bottom);
    painter.drawLine(right, bottom, left, bottom);
    painter.drawLine(left, bottom, left, top);
}

double CGraphWnd::ParseWithPrefix(const QString& text) { return ::ParseWithPrefix(text); }

void CGraphWnd::Serialize(TextArchive& archive)
{
    if (archive.IsStoring()) {
        archive.WriteLine(QString::asprintf("Active:%d", m_active ? 1 : 0));
        archive.WriteLine(QString::asprintf("First:%d", m_first ? 1 : 0));
        StorePanel(archive);
        return;
    }
    // Two lines are taken in any case; a line that is not the expected one
    // leaves its flag as it was.
    auto readFlag = [&archive](const char* key, bool& flag) {
        QString line, value;
        if (archive.ReadLine(line) && TextArchive::MatchKey(line, QString::fromLatin1(key), &value))
            flag = value.trimmed().toInt() != 0;
    };
    readFlag("Active:", m_active);
    readFlag("First:", m_first);
    LoadPanel(archive);
}

CCursorWnd* CGraphWnd::Cursor(int index) const { return m_zoom.At(index); }

int CGraphWnd::MouseShapeAt(const QPoint& point) const
{
    if (m_xScaleStrip.contains(point))
        return kScaleCursor;
    for (const QRect& area : m_colourScaleArea)
        if (area.contains(point))
            return kColourScaleCursor;
    return 0;
}

// ---------------------------------------------------------------------------
// Window behaviour

void CGraphWnd::OnPanelNotify(int) {}

bool CGraphWnd::event(QEvent* event)
{
    const int number = AppMessage::NumberOf(event);
    if (number < 0)
        return QWidget::event(event);
    const auto* message = static_cast<const AppMessage*>(event);
    const int w = int(message->WParam());
    switch (number) {
    case kMsgCursorMoved: SetCursorX(w, int(message->LParam())); break;
    case kMsgCursorCommand: OnCursorCommand(w, int(message->LParam())); break;
    case kMsgZoomDone: OnZoomDone(w == 1); break;
    case kMsgDeltaMode: OnDeltaMode(w); break;
    case WM_PANEL_NOTIFY:
        OnPanelNotify(w);
        update();
        break;
    default: return QWidget::event(event);
    }
    return true;
}

void CGraphWnd::EnsureBackBuffer()
{
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (m_backBuffer.size() == pixels && m_backBuffer.devicePixelRatio() == dpr)
        return;
    m_backBuffer = QImage(pixels.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_backBuffer.setDevicePixelRatio(dpr);
    m_backBuffer.fill(Ctx().colours.graphBackground);
    m_zoom.SetBackBuffer(&m_backBuffer);
}

void CGraphWnd::RenderBackBuffer()
{
    EnsureBackBuffer();
    m_backBuffer.fill(Ctx().colours.graphBackground);
    {
        QPainter painter(&m_backBuffer);
        painter.setFont(m_font);
        DrawContent(painter);
    }
    PlaceCursors();
    UpdateCursorReadouts();
}

void CGraphWnd::paintEvent(QPaintEvent*)
{
    if (!m_active)
        return;
    // Cursor windows show the plot under them from the back buffer: only
    // while there are cursors is the plot drawn there and copied over; else
    // it is drawn straight into the widget, saving a copy of every pixel.
    if (m_zoom.Count() > 0) {
        RenderBackBuffer();
        QPainter painter(this);
        painter.drawImage(0, 0, m_backBuffer);
        return;
    }
    {
        QPainter painter(this);
        // The state a painter on an image starts in, not the widget's palette.
        painter.setPen(QPen());
        painter.setBackground(QBrush(Qt::white));
        painter.fillRect(rect(), Ctx().colours.graphBackground);
        painter.setFont(m_font);
        DrawContent(painter);
    }
    PlaceCursors();
    UpdateCursorReadouts();
}

void CGraphWnd::resizeEvent(QResizeEvent*)
{
    PlacePanel();
    EnsureBackBuffer();
    LayoutLegendStrips();
}

void CGraphWnd::moveEvent(QMoveEvent*) { PlacePanel(); }

void CGraphWnd::PlacePanel()
{
    if (!m_panel)
        return;
    const int panelWidth = Ctx().panelWidth;
    QPoint topLeft(x() - panelWidth, y());
    if (m_panel->parentWidget() != parentWidget()) {
        const QPoint global = mapToGlobal(QPoint(-panelWidth, 0));
        topLeft = m_panel->parentWidget() ? m_panel->parentWidget()->mapFromGlobal(global) : global;
    }
    m_panel->setGeometry(topLeft.x(), topLeft.y(), panelWidth, height() + 28);
}

void CGraphWnd::LayoutLegendStrips()
{
    const auto strips = PlotLayout::LegendStrips(PlotRect());
    m_legendStrip[0] = strips[0];
    m_legendStrip[1] = strips[1];
}

void CGraphWnd::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_zoom.DropRubberBand())
        return;
    if (m_data.PointCount() <= 0)
        return;
    const QPoint pos = event->position().toPoint();
    if (m_showAutoButtons)
        for (int axis = 0; axis < 2; ++axis)
            if (m_autoButton[axis].contains(pos)) {
                Rescale(axis);
                return;
            }
    const QRect plot = PlotRect();
    m_zoom.Press(pos, plot.contains(pos));
    // A press on the x scale keeps the range "X-xpnd" returns to; while
    // zoomed the range to return to is already kept.
    if (pos.y() >= Bottom(plot))
        m_zoom.KeepUnzoomedX(m_x);
}

void CGraphWnd::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    setFocus(Qt::MouseFocusReason);
    UpdateMouseShape(pos);
    if (!(event->buttons() & Qt::LeftButton) || !m_zoom.PressedInPlot() || m_zoom.RubberBand()
        || m_data.PointCount() <= 0)
        return;
    m_zoom.StartRubberBand(pos, PlotRect());
}

void CGraphWnd::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_data.PointCount() <= 0)
        return;
    const QPoint pos = event->position().toPoint();
    const bool pressedInPlot = m_zoom.TakePressInPlot();
    if (m_zoom.XZoomed() && m_resetButton[0].contains(pos)) {
        m_zoom.ResetX(m_x);
        update();
        return;
    }
    if (m_zoom.YZoomed() && m_resetButton[1].contains(pos)) {
        m_zoom.ResetY();
        update();
        return;
    }
    const QPoint press = m_zoom.PressPoint();
    if (pressedInPlot && !m_zoom.RubberBand() && std::abs(pos.x() - press.x()) < 4)
        AddCursor(press.x());
}

void CGraphWnd::wheelEvent(QWheelEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    if (m_xScaleStrip.contains(pos)) {
        m_zoom.WheelZoomX(m_x, delta, pos.x());
        update();
    } else if (m_colourScaleArea[0].contains(pos) || m_colourScaleArea[1].contains(pos)) {
        m_colourMapType = (m_colourMapType + (delta > 0 ? -1 : 1) + 4) % 4;
        Ctx().colours.BuildColourMap(m_colourMapType);
        update();
    }
    event->accept();
}

void CGraphWnd::UpdateMouseShape(const QPoint& point)
{
    const int shape = MouseShapeAt(point);
    if (shape == 0)
        unsetCursor();
    else
        setCursor(GraphCursor(shape));
}

// ---------------------------------------------------------------------------
// Cursors, delta box, zoom band

void CGraphWnd::AddCursor(int pixelX)
{
    if (!m_zoom.Add(pixelX, m_x.Value(pixelX), m_data.XUnit(), &m_backBuffer, PlotRect(), m_active || isVisible()))
        return;
    PlaceCursors();
    UpdateCursorReadouts();
    update();
}

void CGraphWnd::DeleteCursor(int cursor)
{
    m_zoom.Delete(cursor);
    update();
}

void CGraphWnd::OnCursorMoved(int cursor, int pixelX) { SetCursorX(cursor, pixelX); }

void CGraphWnd::OnCursorCommand(int cursor, int command)
{
    if (cursor < 0 || cursor >= m_zoom.Count())
        return;
    CCursorWnd* c = m_zoom.At(cursor);
    // Cursor n searches display array n; from cursor 4 on, or when that
    // array holds nothing, the array of its slot (n & 1).
    int array = cursor < kDisplayArrays ? cursor : (cursor & 1);
    if (int(m_data.ArraySize(array)) < m_data.PointCount())
        array = cursor & 1;
    switch (command) {
    case 0: DeleteCursor(cursor); return;
    case 2:
    case 3: {
        const int index = command == 2 ? m_data.MaxIndex(array) : m_data.MinIndex(array);
        if (index >= 0)
            c->SetXValue(m_data.XStart() + index * double(m_data.XStep()), m_data.XUnit());
        break;
    }
    case 4: c->SetPeakTracking(!c->PeakTracking()); break;
    default: return;
    }
    PlaceCursors();
    UpdateCursorReadouts();
}

void CGraphWnd::OnZoomDone(bool accepted)
{
    QRect band;
    if (m_zoom.FinishRubberBand(band) && accepted)
        ZoomToRect(band.x(), band.y(), Right(band), Bottom(band));
}

void CGraphWnd::OnDeltaMode(int command)
{
    if (command != CDeltaBox::kModeA && command != CDeltaBox::kModeB)
        return;
    if (m_zoom.DeltaBox())
        m_zoom.DeltaBox()->SetMode(command);
    PlaceCursors();
    UpdateCursorReadouts();
}

// ---------------------------------------------------------------------------
// Helpers of the drawing

int CGraphWnd::RecordSegmentCount() const
{
    const CaptureRecord* capture = Capture();
    if (!capture)
        return 1;
    return std::max(1, SegmentCount(capture->length, capture->startOffset, m_record->points, m_record->hop,
                                    m_record->averages));
}

void CGraphWnd::SlotRange(int slot, double division, double offset)
{
    if (m_zoom.YZoomed())
        return;
    m_y[slot].min = -5.0 * division - offset;
    m_y[slot].max = 5.0 * division - offset;
}

QString CGraphWnd::AxisUnit(int slot) const
{
    // The lower split plot shows each slot's second quantity.
    const QString& custom = m_data.CustomUnit(size_t(DrawArray(slot)));
    if (!custom.isEmpty())
        return custom;
    // A combined legend relates the second channel to the first: the
    // channel's own unit would be wrong on that axis.
    if (m_combinedLegend || !m_channelUnits)
        return QString();
    return SlotUnit(slot);
}

QColor CGraphWnd::SlotColour(int slot) const { return slot == 0 ? Ctx().colours.trace1 : Ctx().colours.trace2; }

QString CGraphWnd::LabelFormat(double step) { return AxisLabels::LabelFormat(step); }

void CGraphWnd::RescaleDivisions(const float* values, int count, double& division, double& offset)
{
    ::RescaleDivisions(values, count, division, offset);
}

int CGraphWnd::DecimateMinMax(const float* values, int count, int limit, float* pairs, int columns)
{
    return ::DecimateMinMax(values, count, limit, pairs, columns);
}

// ---------------------------------------------------------------------------
// Plot drawing

namespace {

// A raised three-dimensional edge: white top and left, black bottom and right.
void DrawRaisedEdge(QPainter& painter, const QRect& r)
{
    const int l = r.x(), t = r.y(), rr = r.x() + r.width() - 1, b = r.y() + r.height() - 1;
    painter.setPen(Qt::white);
    painter.drawLine(l, b, l, t);
    painter.drawLine(l, t, rr, t);
    painter.setPen(Qt::black);
    painter.drawLine(rr, t, rr, b);
    painter.drawLine(rr, b, l, b);
}

// Ticks from first while v <= last (with the last tick kept against
// rounding), at most a few thousand.
// trunc(a / b), robust against a quotient that lands a rounding error
// short of a whole number (0.02 / 0.002 gives 9.99999).
double TruncRatio(double a, double b)
{
    const double q = a / b;
    return std::trunc(q + (q >= 0.0 ? 1e-6 : -1e-6));
}

template <typename Fn>
void ForEachTick(double first, double last, double step, Fn fn)
{
    if (!(step > 0.0) || !std::isfinite(first) || !std::isfinite(last) || (last - first) / step > 5000.0)
        return;
    // "v ≤ last × 1.01" for rounding, but never more than half a step past
    // last: on a range far from zero 1 % of last is many steps.
    const double end = last + std::clamp(std::fabs(last) * 0.01, step * 1e-6, step * 0.5);
    for (int i = 0;; ++i) {
        const double v = first + i * step;
        if (v > end)
            break;
        fn(v);
    }
}

} // namespace

void CGraphWnd::DrawAxisLabel(QPainter& painter, const QRect& box, int flags, const QString& text)
{
    if (painter.font() != m_axisLabelFont) {
        m_axisLabels.clear();
        m_axisLabelFont = painter.font();
    }
    auto label = m_axisLabels.constFind(text);
    if (label == m_axisLabels.cend()) {
        if (m_axisLabels.size() >= 512) // zooming makes new labels without end
            m_axisLabels.clear();
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
        laidOut.prepare(QTransform(), m_axisLabelFont);
        label = m_axisLabels.insert(text, laidOut);
    }
    const QSizeF size = label->size();
    qreal x = box.x();
    if (flags & Qt::AlignRight)
        x = box.x() + box.width() - size.width();
    else if (flags & Qt::AlignHCenter)
        x = box.x() + (box.width() - size.width()) / 2.0;
    qreal y = box.y();
    if (flags & Qt::AlignVCenter)
        y = box.y() + (box.height() - size.height()) / 2.0;
    else if (flags & Qt::AlignBottom)
        y = box.y() + box.height() - size.height();
    painter.drawStaticText(QPointF(x, y), *label);
}

const CGraphWnd::CaptionAdvances& CGraphWnd::MeasureCaption(const QString& before, const QString& sub,
                                                             const QString& after)
{
    if (m_captionFont != m_font) {
        m_captionAdvances.clear();
        m_captionFont = m_font;
    }
    // The parts are the caption split at its first "rms": the caption alone
    // determines them.
    const QString key = before + sub + after;
    auto found = m_captionAdvances.constFind(key);
    if (found != m_captionAdvances.cend())
        return *found;
    if (m_captionAdvances.size() >= 64) // units typed in make new captions
        m_captionAdvances.clear();
    const QFontMetrics big(m_captionFont), little(m_captionSmallFont);
    CaptionAdvances advances;
    advances.before = big.horizontalAdvance(before);
    advances.sub = little.horizontalAdvance(sub);
    advances.after = big.horizontalAdvance(after);
    return *m_captionAdvances.insert(key, advances);
}

void CGraphWnd::DrawXAxis(QPainter& painter, int left, int top, int right, int bottom, float xMin, float xMax,
                          double major, double minor, const QString& unit, bool grid)
{
    painter.save();
    painter.setFont(m_font);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QColor text = Ctx().colours.graphText;
    painter.setPen(QPen(text, 1, Qt::SolidLine));
    m_xScaleStrip = FromEdges(left, bottom + 4, right, bottom + 16);

    m_x = AxisTransform::Horizontal(xMin, xMax, left, right);
    painter.drawLine(left, bottom + 2, right, bottom + 2);

    if (major > 0.0 && xMax > xMin) {
        const double first = AxisLabels::RoundTo4(major * TruncRatio(xMin, major));
        const double last = AxisLabels::RoundTo4(major * TruncRatio(xMax, major));
        const double factor = AxisLabels::XLabelFactor(xMax);
        const QString format = AxisLabels::LabelFormat(major * factor);
        const double tolerance = (double(xMax) - xMin) * 1e-6;
        m_tickLines.clear();
        ForEachTick(first, last, major, [&](double v) {
            // Majors outside the range (a zoomed range starts between them) are left out.
            if (v < xMin - tolerance || v > xMax + tolerance)
                return;
            const int x = m_x.Pixel(v);
            m_tickLines.emplace_back(x, bottom + 2, x, bottom + 8);
            if (grid)
                m_tickLines.emplace_back(x, bottom, x, top);
        });
        painter.drawLines(m_tickLines.data(), int(m_tickLines.size()));
        ForEachTick(first, last, major, [&](double v) {
            if (v < xMin - tolerance || v > xMax + tolerance)
                return;
            const int x = m_x.Pixel(v);
            DrawAxisLabel(painter, QRect(x - 60, bottom + 8, 120, 16), Qt::AlignHCenter | Qt::AlignTop,
                          AxisLabels::FormatLabel(format, v * factor));
        });
        DrawAxisLabel(painter, QRect((left + right) / 2 - 150, bottom + 24, 300, 16), Qt::AlignHCenter | Qt::AlignTop,
                      AxisLabels::XLabelPrefix(factor) + unit);
    }
    if (minor > 0.0 && xMax > xMin) {
        m_tickLines.clear();
        ForEachTick(minor * std::ceil(xMin / minor), minor * std::floor(xMax / minor), minor, [&](double v) {
            const int x = m_x.Pixel(v);
            m_tickLines.emplace_back(x, bottom + 2, x, bottom + 5);
        });
        painter.drawLines(m_tickLines.data(), int(m_tickLines.size()));
    }
    painter.restore();
}

void CGraphWnd::DrawYAxis(QPainter& painter, int x, int top, int x2, int bottom, float yMin, float yMax,
                          double major, double minor, const QColor& axisColour, const QString& unit, bool grid,
                          int axis, int flags)
{
    axis &= 1;
    painter.save();
    painter.setFont(m_font);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QColor text = Ctx().colours.graphText;
    const QPen gridPen(QColor(180, 180, 180), 1, Qt::SolidLine);
    const QPen axisPen(axisColour, 1, Qt::SolidLine);
    const bool onRight = flags & kAxisRight;
    const int ax = onRight ? x2 : x;

    m_y[axis] = AxisTransform::Vertical(yMin, yMax, top, bottom);
    if (flags & kAxisLine) {
        painter.setPen(axisPen);
        painter.drawLine(x, top, x, bottom);
    }

    AxisLabels::YPrefix prefix{"", 0, 1.0};
    if (major > 0.0 && yMax > yMin) {
        const double first = major * TruncRatio(yMin * 1.01, major);
        const double last = major * TruncRatio(yMax * 1.01, major);
        if (m_yPrefixes)
            prefix = AxisLabels::ChooseYPrefix(first, last);
        const QString format = AxisLabels::LabelFormat(major * prefix.factor);
        m_tickLines.clear();
        m_gridLines.clear();
        ForEachTick(first, last, major, [&](double v) {
            const int y = m_y[axis].Pixel(v);
            m_tickLines.push_back(onRight ? QLine(ax, y, ax + 6, y) : QLine(ax - 6, y, ax, y));
            if (grid)
                m_gridLines.emplace_back(x, y, x2, y);
        });
        painter.setPen(axisPen);
        painter.drawLines(m_tickLines.data(), int(m_tickLines.size()));
        // Grid lines after the ticks: each crosses its own tick only.
        if (!m_gridLines.empty()) {
            painter.setPen(gridPen);
            painter.drawLines(m_gridLines.data(), int(m_gridLines.size()));
        }
        painter.setPen(text);
        ForEachTick(first, last, major, [&](double v) {
            const int y = m_y[axis].Pixel(v);
            const QString label = AxisLabels::FormatLabel(format, v * prefix.factor);
            if (onRight)
                DrawAxisLabel(painter, QRect(ax + 6, y - 6, 100, 16), Qt::AlignLeft | Qt::AlignTop, label);
            else
                DrawAxisLabel(painter, QRect(ax - 6 - 100, y - 6, 100, 16), Qt::AlignRight | Qt::AlignTop, label);
        });
    }
    if (minor > 0.0 && yMax > yMin) {
        painter.setPen(axisPen);
        m_tickLines.clear();
        ForEachTick(minor * std::trunc(yMin * 1.01 / minor), minor * std::trunc(yMax * 1.01 / minor), minor,
                    [&](double v) {
                        const int y = m_y[axis].Pixel(v);
                        m_tickLines.emplace_back(ax - 3, y, ax, y);
                    });
        painter.drawLines(m_tickLines.data(), int(m_tickLines.size()));
    }

    // The caption above the axis: prefix and unit, "rms" as a subscript.
    painter.setPen(text);
    const QString caption = QString::fromLatin1(prefix.prefix) + unit;
    const QFont& small = m_captionSmallFont;
    if (!unit.isEmpty()) {
        const int rms = caption.indexOf(QStringLiteral("rms"));
        const QString before = rms >= 0 ? caption.left(rms) : caption;
        const QString sub = rms >= 0 ? QStringLiteral("rms") : QString();
        const QString after = rms >= 0 ? caption.mid(rms + 3) : QString();
        const CaptionAdvances& advances = MeasureCaption(before, sub, after);
        const int width = advances.before + advances.sub + advances.after;
        int cx = x - width / 2;
        DrawAxisLabel(painter, QRect(cx, top - 6 - 20, 400, 20), Qt::AlignLeft | Qt::AlignBottom, before);
        cx += advances.before;
        if (!sub.isEmpty()) {
            painter.setFont(small);
            painter.drawText(QRect(cx, top - 2 - 20, 400, 20), Qt::AlignLeft | Qt::AlignBottom, sub);
            cx += advances.sub;
            painter.setFont(m_font);
            DrawAxisLabel(painter, QRect(cx, top - 6 - 20, 400, 20), Qt::AlignLeft | Qt::AlignBottom, after);
        }
    } else if (prefix.exponent != 0) {
        painter.drawText(QRect(x - 50, top - 4 - 20, 100, 20), Qt::AlignHCenter | Qt::AlignBottom,
                         QStringLiteral("*10"));
        painter.setFont(small);
        painter.drawText(QRect(x + 16 - 50, top - 12 - 20, 100, 20), Qt::AlignHCenter | Qt::AlignBottom,
                         QString::asprintf("%d", prefix.exponent));
        painter.setFont(m_font);
    }

    if (m_showAutoButtons) {
        const QRect button = PlotLayout::AutoButton(x);
        m_autoButton[axis] = button;
        painter.fillRect(button, QColor(128, 255, 255));
        DrawRaisedEdge(painter, button);
        painter.setPen(Qt::black);
        painter.drawText(button, Qt::AlignCenter, QStringLiteral("A"));
    } else {
        m_autoButton[axis] = QRect();
    }
    painter.restore();
}

void CGraphWnd::DrawSlotAxes(QPainter& painter, const QRect& plot, const double divisions[2],
                             const double offsets[2])
{
    for (int slot = 0; slot < 2; ++slot)
        if (m_data.SlotShown(slot))
            SlotRange(slot, divisions[slot], offsets[slot]);
    const int l = plot.x(), t = plot.y(), r = Right(plot), b = Bottom(plot);
    if (m_data.SlotShown(0) && m_data.SlotShown(1) && m_y[0].min == m_y[1].min && m_y[0].max == m_y[1].max) {
        DrawYAxis(painter, l - 4, t, r, b, float(m_y[1].min), float(m_y[1].max), divisions[1], divisions[1] * 0.1,
                  Ctx().colours.graphText, AxisUnit(1), false, 1, kAxisLine);
        m_y[0] = m_y[1];
        return;
    }
    for (int slot = 0; slot < 2; ++slot)
        if (m_data.SlotShown(slot))
            DrawYAxis(painter, slot == 0 ? l - 64 : l - 4, t, r, b, float(m_y[slot].min), float(m_y[slot].max),
                      divisions[slot], divisions[slot] * 0.1, SlotColour(slot), AxisUnit(slot), false, slot,
                      kAxisLine);
}

void CGraphWnd::DrawTrace(QPainter& painter, int slot, const float* values, int count, const QRect& plot)
{
    const int n
        = m_polyline.Build(values, count, m_data.XStart(), m_data.XStep(), m_x, m_y[slot], plot.x(), Right(plot));
    if (n < 1)
        return;
    painter.setPen(QPen(SlotColour(slot), 1, Qt::SolidLine));
    m_polyline.Draw(painter);
}

void CGraphWnd::DrawDivisionPlot(QPainter& painter, const double divisions[2], const double offsets[2],
                                 double xStart, double xPerDivision)
{
    if (m_data.Cascade()) {
        DrawCascade(painter, divisions, offsets, xStart, xPerDivision);
        return;
    }
    if (m_data.ColourMap()) {
        DrawSpectrogram(painter, divisions, offsets, xStart, xPerDivision);
        return;
    }
    if (ActiveSlotCount() == 0)
        return;
    const QRect plot = PlotRect();
    DrawSlotAxes(painter, plot, divisions, offsets);
    if (!m_zoom.XZoomed()) {
        m_x.min = xStart;
        m_x.max = xStart + 10.0 * xPerDivision;
    }
    DrawXAxis(painter, plot.x(), plot.y(), Right(plot), Bottom(plot), float(m_x.min), float(m_x.max), xPerDivision,
              xPerDivision * 0.1, m_data.XUnit(), false);

    painter.save();
    ClipToPlot(painter, &plot);
    for (int slot = 0; slot < 2; ++slot) {
        const int array = DrawArray(slot);
        if (m_data.SlotShown(slot) && int(m_data.ArraySize(array)) >= m_data.PointCount())
            DrawTrace(painter, slot, m_data.Display(array), m_data.PointCount(), plot);
    }
    ClipToPlot(painter, nullptr);
    painter.restore();
    DrawLegend(painter, false);
    DrawResetButtons(painter);
}

void CGraphWnd::DrawCascade(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                            double xPerDivision)
{
    if (ActiveSlotCount() == 0)
        return;
    const int segments = m_data.Rows();
    const QRect front = PlotRect();
    DrawSlotAxes(painter, front, divisions, offsets);
    if (!m_zoom.XZoomed()) {
        m_x.min = xStart;
        m_x.max = xStart + 10.0 * xPerDivision;
    }
    DrawXAxis(painter, front.x(), front.y(), Right(front), Bottom(front), float(m_x.min), float(m_x.max),
              10.0 * xPerDivision * 0.1, 10.0 * xPerDivision * 0.01, QStringLiteral("Hz"), false);

    const QRect back = PlotLayout::CascadeSegment(front, segments - 1, segments);
    const QPoint fbl(front.x(), Bottom(front)), fbr(Right(front), Bottom(front)), ftl(front.x(), front.y());
    const QPoint rbl(back.x(), Bottom(back)), rbr(Right(back), Bottom(back)), rtl(back.x(), back.y()),
        rtr(Right(back), back.y());
    painter.save();
    painter.setPen(QPen(QColor(96, 96, 96), 1, Qt::SolidLine));
    painter.drawPolyline(QPolygon({fbl, rbl, rbr, fbr}));
    painter.drawLine(rbl, rtl);
    painter.drawLine(rbr, rtr);
    painter.drawPolyline(QPolygon({ftl, rtl, rtr}));

    const AxisTransform frontX = m_x;
    const std::array<AxisTransform, 2> frontY = m_y;
    for (int slot = 0; slot < 2; ++slot) {
        const int array = DrawArray(slot);
        if (!m_data.SlotShown(slot) || m_data.PointCount() <= 0
            || m_data.ArraySize(array) < size_t(segments) * size_t(m_data.PointCount()))
            continue;
        for (int j = 0; j < segments; ++j) {
            const QRect segment = PlotLayout::CascadeSegment(front, j, segments);
            ClipToPlot(painter, &segment);
            m_x = AxisTransform::Horizontal(frontX.min, frontX.max, segment.x(), Right(segment));
            m_y[slot] = AxisTransform::Vertical(frontY[slot].min, frontY[slot].max, segment.y(), Bottom(segment));
            DrawTrace(painter, slot, m_data.Display(array) + size_t(j) * m_data.PointCount(), m_data.PointCount(),
                      segment);
        }
    }
    // Cursors and zoom work on the front plot.
    m_x = frontX;
    m_y = frontY;
    ClipToPlot(painter, nullptr);
    painter.restore();
    DrawLegend(painter, false);
}

void CGraphWnd::DrawSpectrogram(QPainter& painter, const double divisions[2], const double offsets[2],
                                double xStart, double xPerDivision)
{
    if (ActiveSlotCount() == 0)
        return;
    const bool two = m_data.SlotShown(0) && m_data.SlotShown(1);
    const QRect plot = PlotRect();
    const int segments = m_data.Rows();
    const double segmentTime = Capture() ? m_record->hop * Capture()->sampleInterval : 0.0;
    const double duration = segmentTime * segments;
    if (!m_zoom.XZoomed()) {
        m_x.min = xStart;
        m_x.max = xStart + 10.0 * xPerDivision;
    }
    // The frequency range stays in the x transform's range (zoom, wheel); the
    // time scale only borrows the transform while it is drawn.
    const double fMin = m_x.min, fMax = m_x.max;
    const ColourScheme& colours = Ctx().colours;
    for (int slot = 0; slot < 2; ++slot) {
        m_colourScaleArea[slot] = QRect();
        if (!m_data.SlotShown(slot))
            continue;
        const QRect part = PlotLayout::SpectrogramPart(plot, two ? slot : 0, two);
        m_legendStrip[slot] = PlotLayout::SpectrogramLegend(part);
        const double levelMin = -5.0 * divisions[slot] - offsets[slot];
        const double levelMax = 5.0 * divisions[slot] - offsets[slot];
        const int l = part.x(), t = part.y(), r = Right(part), b = Bottom(part);
        DrawYAxis(painter, l - 4, t, r, b, float(fMin), float(fMax), xPerDivision, xPerDivision * 0.1,
                  colours.graphText, QStringLiteral("Hz"), false, slot, kAxisLine);
        const AxisTransform frequency = m_y[slot];
        if (duration > 0.0)
            DrawXAxis(painter, l, t, r, b, 0.0f, float(duration), duration * 0.1, duration * 0.01,
                      QStringLiteral("sec"), false);

        const int array = DrawArray(slot);
        if (m_data.PointCount() > 0 && m_data.ArraySize(array) >= size_t(segments) * size_t(m_data.PointCount())) {
            ColourMapImage::Input input;
            input.values = m_data.Display(array);
            input.segments = segments;
            input.bins = m_data.PointCount();
            input.binStart = m_data.XStart();
            input.binStep = m_data.XStep();
            input.levelMin = levelMin;
            input.levelMax = levelMax;
            input.frequency = frequency;
            input.generation = m_data.Generation();
            const QImage& image = m_spectrogram[slot].Render(input, part, painter.device()->devicePixelRatioF(),
                                                             colours.colourMap, colours.colourMapCount,
                                                             colours.graphBackground);
            painter.drawImage(part.topLeft(), image);
        }

        // The colour scale beside the part, bottom (entry 0) to top.
        const QRect area = PlotLayout::ColourScale(part);
        m_colourScaleArea[slot] = area;
        const int height = std::max(1, area.height());
        for (int y = Bottom(area); y > area.y(); --y) {
            painter.setPen(colours.MapColour(int(double(Bottom(area) - y) * colours.colourMapCount / height)));
            painter.drawLine(area.x(), y, Right(area) - 1, y);
        }
        DrawYAxis(painter, area.x(), area.y(), Right(area), Bottom(area), float(levelMin), float(levelMax),
                  divisions[slot], 0.0, colours.graphText, SlotUnit(slot), false, slot, kAxisRight);
    }
    m_x.min = fMin;
    m_x.max = fMax;
    DrawLegend(painter, true);
}

void CGraphWnd::DrawLegend(QPainter& painter, bool centred)
{
    if (ActiveSlotCount() == 0)
        return;
    auto legendText = [this](int slot) {
        const int channel = SlotChannel(slot);
        if (channel < 0)
            return QString();
        return QStringLiteral("[%1] %2 %3")
            .arg(Channels().ChannelNumber(channel))
            .arg(Channels().NameText(channel), Channels().UnitText(channel));
    };
    painter.save();
    painter.setFont(m_font);
    painter.setBackgroundMode(Qt::TransparentMode);
    // In the combined form the second channel stands left, over the first.
    const int leftSlot = m_combinedLegend ? 1 : 0;
    for (int strip = 0; strip < 2; ++strip) {
        const int slot = strip == 0 ? leftSlot : 1 - leftSlot;
        if (!m_data.SlotShown(slot))
            continue;
        const Qt::Alignment horizontal = centred ? Qt::AlignHCenter : (strip == 0 ? Qt::AlignRight : Qt::AlignLeft);
        painter.setPen(SlotColour(slot));
        DrawAxisLabel(painter, m_legendStrip[strip], horizontal | Qt::AlignVCenter, legendText(slot));
    }
    if (m_combinedLegend && m_data.SlotShown(0) && m_data.SlotShown(1)) {
        const int l = Right(m_legendStrip[0]), r = m_legendStrip[1].x();
        painter.setPen(Ctx().colours.graphText);
        painter.drawText(FromEdges(l, m_legendStrip[0].y(), r, Bottom(m_legendStrip[0])), Qt::AlignCenter,
                         QStringLiteral("/"));
    }
    painter.restore();
}

void CGraphWnd::DrawResetButtons(QPainter& painter)
{
    const QRect plot = PlotRect();
    const bool zoomed[2] = {m_zoom.XZoomed(), m_zoom.YZoomed()};
    const QString texts[2] = {QStringLiteral("X-xpnd"), QStringLiteral("Y-xpnd")};
    painter.save();
    painter.setFont(m_font);
    for (int which = 0; which < 2; ++which) {
        if (!zoomed[which]) {
            m_resetButton[which] = QRect();
            continue;
        }
        const QRect button = PlotLayout::ResetButton(plot, which);
        m_resetButton[which] = button;
        painter.fillRect(button, QColor(105, 136, 115));
        DrawRaisedEdge(painter, button);
        painter.setPen(Qt::white);
        painter.drawText(button.adjusted(3, 0, 0, -1), Qt::AlignLeft | Qt::AlignBottom, texts[which]);
    }
    painter.restore();
}

void CGraphWnd::RescaleFirstOrRepaint()
{
    if (m_first) {
        Rescale(-1);
        m_first = false;
    } else {
        RequestRepaint();
    }
}

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
#include "views/viewexport.h"
#include "views/axislabels.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "context/channelsource.h"

#include <QContextMenuEvent>
#include <QMenu>
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
    m_renderer.SetFont(QFont(QStringLiteral("Arial"), 9));
}

CGraphWnd::~CGraphWnd() { delete m_panel; }

void CGraphWnd::Create()
{
    if (m_frame)
        m_record = &m_frame->Record();
    CreatePanel();
    m_renderer.SetFont(QFont(QStringLiteral("Arial"), 9));
    PlacePanel();
}

// ---------------------------------------------------------------------------
// Virtual operations

int CGraphWnd::CursorMode() { return 0; }

void CGraphWnd::ZoomToRect(int left, int top, int right, int bottom)
{
    m_zoom.ZoomTo(FromEdges(left, top, right, bottom), PlotRect(), m_renderer.X(), m_renderer.Y());
    update();
}

void CGraphWnd::UpdateCursorReadouts()
{
    // Values of cursors 0 and 1 per slot, for the delta box.
    CursorValues values;
    for (int i = 0; i < m_zoom.Count(); ++i) {
        if (m_data.ColourMap())
            ReadSegment(i, values);
        else
            ReadPoint(i, values);
        m_zoom.At(i)->update();
    }
    if (!m_zoom.DeltaBox() || m_zoom.Count() < 2)
        return;
    m_zoom.DeltaBox()->SetTitle(QStringLiteral("X")
                                + FormatWithPrefix(m_zoom.At(1)->XValue() - m_zoom.At(0)->XValue(), 5, CursorUnit()));
    for (int slot = 0; slot < 2; ++slot) {
        if (!m_data.SlotShown(slot) || !values.shown[0][slot] || !values.shown[1][slot]) {
            m_zoom.DeltaBox()->SetSlotTexts(slot, QString(), QString());
            continue;
        }
        const QString text
            = QStringLiteral("Y") + FormatWithPrefix(values.value[1][slot] - values.value[0][slot], 5, SlotUnit(slot));
        m_zoom.DeltaBox()->SetSlotTexts(slot, text, text);
    }
    m_zoom.DeltaBox()->update();
}

int CGraphWnd::NearestIndex(double x) const
{
    if (m_data.XStep() == 0.0f || m_data.PointCount() <= 0)
        return -1;
    const double k = std::round((x - m_data.XStart()) / m_data.XStep());
    return k >= 0.0 && k < m_data.PointCount() ? int(k) : -1;
}

void CGraphWnd::ReadPoint(int i, CursorValues& values)
{
    CCursorWnd* cursor = m_zoom.At(i);
    const QRect plot = PlotRect();
    const bool tracking = cursor->PeakTracking();
    for (int slot = 0; slot < 2; ++slot) {
        const int array = DrawArray(slot);
        if (!m_data.SlotShown(slot) || m_data.PointCount() <= 0 || !m_data.Holds(array)) {
            cursor->SetSlot(slot, false, 0.0, 0, QString());
            continue;
        }
        // A tracking cursor first moves onto the peak near it and reads its quality.
        const double quality = tracking ? PeakNearCursor(i, array) : 0.0;
        const int index = NearestIndex(cursor->XValue());
        const float level = index >= 0 ? m_data.Display(array)[index] : 0.0f;
        // An undefined value (a gap in the trace) has nothing to read.
        if (index < 0 || std::isnan(level)) {
            cursor->SetSlot(slot, false, 0.0, 0, QString());
            continue;
        }
        const double value = tracking ? quality : double(level);
        const int height = int(std::clamp(m_renderer.Y()[slot].PixelF(level) - plot.y(), -1e6, 1e6));
        cursor->SetSlot(slot, true, value, height, tracking ? QString() : SlotUnit(slot));
        if (i < 2) {
            values.value[i][slot] = value;
            values.shown[i][slot] = true;
        }
    }
    cursor->SetAlternativeForm(tracking);
    // The x shown is that of the values read: the cursor stands on their point.
    const int index = NearestIndex(cursor->XValue());
    cursor->SetXValue(index >= 0 ? m_data.XAt(index) : cursor->XValue(), m_data.XUnit());
    if (tracking || index >= 0)
        PlaceCursor(i);
}

int CGraphWnd::SegmentAt(double time) const
{
    const AxisTransform& axis = m_renderer.Time();
    const int rows = m_data.Rows();
    const double segment = (axis.max - axis.min) / rows;
    if (!(segment > 0.0))
        return -1;
    return std::clamp(int(std::floor((time - axis.min) / segment)), 0, rows - 1);
}

double CGraphWnd::SegmentTime(int segment) const
{
    const AxisTransform& axis = m_renderer.Time();
    return axis.min + (segment + 0.5) * (axis.max - axis.min) / m_data.Rows();
}

void CGraphWnd::ReadSegment(int i, CursorValues& values)
{
    CCursorWnd* cursor = m_zoom.At(i);
    const int segment = SegmentAt(cursor->XValue());
    const int bins = m_data.PointCount();
    const int top = PlotRect().y();
    for (int slot = 0; slot < 2; ++slot) {
        const int array = DrawArray(slot);
        if (segment < 0 || !m_data.SlotShown(slot) || bins <= 0 || !m_data.Holds(array, m_data.Rows())) {
            cursor->SetSlot(slot, false, 0.0, 0, QString());
            continue;
        }
        // The strongest bin of the segment within the frequencies shown,
        // with its frequency.
        const AxisTransform& frequency = m_renderer.Frequency(slot);
        const double step = m_data.XStep();
        const int lo = std::clamp(int(std::ceil((frequency.min - m_data.XStart()) / step)), 0, bins - 1);
        const int hi = std::clamp(int(std::floor((frequency.max - m_data.XStart()) / step)), lo, bins - 1);
        const float* row = m_data.Display(array) + size_t(segment) * size_t(bins);
        const int best = int(std::max_element(row + lo, row + hi + 1) - row);
        const double f = m_data.XAt(best);
        const int height = int(std::clamp(frequency.PixelF(f) - top, -1e6, 1e6));
        cursor->SetSlot(slot, true, row[best], height, SlotUnit(slot));
        cursor->SetSlotNote(slot, QStringLiteral("@ ") + FormatWithPrefix(f, 4, m_data.XUnit()));
        if (i < 2) {
            values.value[i][slot] = row[best];
            values.shown[i][slot] = true;
        }
    }
    cursor->SetAlternativeForm(false);
    if (segment >= 0) {
        cursor->SetXValue(SegmentTime(segment), CursorUnit());
        PlaceCursor(i);
    }
}

QString CGraphWnd::CursorUnit() const { return m_data.ColourMap() ? QStringLiteral("sec") : m_data.XUnit(); }

const AxisTransform& CGraphWnd::CursorAxis() const
{
    // The colour map runs time across: its cursors stand on segments.
    return m_data.ColourMap() ? m_renderer.Time() : m_renderer.X();
}

void CGraphWnd::PlaceCursor(int i)
{
    const QRect plot = PlotRect();
    CCursorWnd* cursor = m_zoom.At(i);
    const double px = CursorAxis().PixelF(cursor->XValue());
    cursor->SetPlotRect(plot);
    cursor->PlaceAt(int(std::clamp(std::round(px), -1e6, 1e6)));
    cursor->SetInsidePlot(m_active && px >= plot.x() && px <= Right(plot));
}

void CGraphWnd::PlaceCursors()
{
    for (int i = 0; i < m_zoom.Count(); ++i)
        PlaceCursor(i);
    if (m_zoom.DeltaBox())
        m_zoom.DeltaBox()->Place();
}

void CGraphWnd::SetCursorX(int cursor, int pixelX)
{
    if (cursor < 0 || cursor >= m_zoom.Count())
        return;
    m_zoom.At(cursor)->SetXValue(CursorAxis().Value(pixelX), CursorUnit());
    UpdateCursorReadouts();
}

void CGraphWnd::Rescale(int slot)
{
    if (slot == -1)
        m_zoom.ResetX(m_renderer.X());
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
    if (data.outcome == ViewData::Outcome::Unavailable) {
        m_data.AdoptUnavailable(data);
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
    const int x = CursorAxis().Pixel(c->XValue());
    int lo = int((CursorAxis().Value(x - 4) - m_data.XStart()) / m_data.XStep());
    int hi = int((CursorAxis().Value(x + 4) - m_data.XStart()) / m_data.XStep());
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
    // On the colour map the cursors stand on segments, not on frequencies.
    if (CursorMode() != 1 || m_data.ColourMap())
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
    if (XScaleStrip().contains(point))
        return kScaleCursor;
    for (int slot = 0; slot < 2; ++slot)
        if (ColourScaleArea(slot).contains(point))
            return kColourScaleCursor;
    return 0;
}

// ---------------------------------------------------------------------------
// Window behaviour

void CGraphWnd::OnPanelNotify(int) {}

ViewTable CGraphWnd::ExportTable() const { return ViewTable::FromDisplay(*this); }

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
        painter.setFont(m_renderer.Font());
        DrawContent(painter);
        DrawNotice(painter);
    }
    DrawHarmonicMarkers();
    PlaceCursors();
    UpdateCursorReadouts();
}

void CGraphWnd::DrawNotice(QPainter& painter)
{
    if (!m_data.Notice().isEmpty())
        m_renderer.DrawNotice(painter, PlotRect(), m_data.Notice(), m_data.Stale());
}

void CGraphWnd::ClearDisplay(const QString& notice)
{
    m_data.Clear(notice);
    m_first = true;
    RequestRepaint();
}

void CGraphWnd::SetSourceNotice(const QString& notice)
{
    if (m_data.SetSourceNotice(notice))
        RequestRepaint();
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
        painter.setFont(m_renderer.Font());
        DrawContent(painter);
        DrawNotice(painter);
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
    SetLegendStrips({strips[0], strips[1]});
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
    if (m_renderer.ShowsAutoButtons())
        for (int axis = 0; axis < 2; ++axis)
            if (AutoButton(axis).contains(pos)) {
                Rescale(axis);
                return;
            }
    const QRect plot = PlotRect();
    m_zoom.Press(pos, plot.contains(pos));
    // A press on the x scale keeps the range "X-xpnd" returns to; while
    // zoomed the range to return to is already kept.
    if (pos.y() >= Bottom(plot))
        m_zoom.KeepUnzoomedX(m_renderer.X());
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
    if (m_zoom.XZoomed() && ResetButton(0).contains(pos)) {
        m_zoom.ResetX(m_renderer.X());
        update();
        return;
    }
    if (m_zoom.YZoomed() && ResetButton(1).contains(pos)) {
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
    if (XScaleStrip().contains(pos)) {
        m_zoom.WheelZoomX(m_renderer.X(), delta, pos.x());
        update();
    } else if (ColourScaleArea(0).contains(pos) || ColourScaleArea(1).contains(pos)) {
        m_colourMapType = (m_colourMapType + (delta > 0 ? -1 : 1) + 4) % 4;
        Ctx().colours.BuildColourMap(m_colourMapType);
        update();
    }
    event->accept();
}

void CGraphWnd::contextMenuEvent(QContextMenuEvent* event)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    ViewExport::AddActions(*menu, *this);
    menu->popup(event->globalPos());
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
    if (!m_zoom.Add(pixelX, CursorAxis().Value(pixelX), CursorUnit(), &m_backBuffer, PlotRect(),
                    m_active || isVisible()))
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
        if (m_data.ColourMap()) {
            // The segment that holds the largest (smallest) level.
            const int segment = ExtremeSegment(array, command == 2);
            if (segment >= 0)
                c->SetXValue(SegmentTime(segment), CursorUnit());
            break;
        }
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

std::vector<double> CGraphWnd::HarmonicsShown(double fundamental) const
{
    std::vector<double> harmonics;
    const AxisTransform& x = m_renderer.X();
    // Markers closer than a few pixels would only fill the plot.
    if (!(fundamental > 0.0) || fundamental * std::fabs(x.scale) < kHarmonicSpacing)
        return harmonics;
    // A harmonic on the axis' end is still on it, float rounding aside.
    const double tolerance = (x.max - x.min) * 1e-6;
    for (int k = 2; k * fundamental <= x.max + tolerance; ++k)
        if (k * fundamental >= x.min - tolerance)
            harmonics.push_back(k * fundamental);
    return harmonics;
}

void CGraphWnd::DrawHarmonicMarkers()
{
    if (CursorMode() != 2 || m_data.ColourMap() || m_zoom.Count() == 0 || m_backBuffer.isNull())
        return;
    const QRect plot = PlotRect();
    const qreal dpr = m_backBuffer.devicePixelRatio();
    const int top = int(plot.y() * dpr), bottom = std::min(int(Bottom(plot) * dpr), m_backBuffer.height());
    const int thickness = std::max(1, int(dpr));
    const QRgb background = Ctx().colours.graphBackground.rgb() | 0xFF000000u;
    const QRgb red = CCursorWnd::kLineColour.rgb();
    QPainter painter(&m_backBuffer);
    painter.setFont(m_renderer.Font());
    painter.setPen(CCursorWnd::kLineColour);
    for (int i = 0; i < m_zoom.Count(); ++i) {
        const double fundamental = m_zoom.At(i)->XValue();
        const bool labelled = fundamental * std::fabs(m_renderer.X().scale) >= kHarmonicLabelSpacing;
        for (double f : HarmonicsShown(fundamental)) {
            const double x = m_renderer.X().PixelF(f);
            const int column = int(std::round(x * dpr));
            // Dashes of four pixels in two, set only where the graph left its
            // background: the trace at a harmonic stays on top of its mark.
            for (int y = std::max(0, top); y < bottom; ++y) {
                if (int((y - top) / dpr) % 6 >= 4)
                    continue;
                auto* row = reinterpret_cast<QRgb*>(m_backBuffer.scanLine(y));
                for (int c = column; c < column + thickness && c < m_backBuffer.width(); ++c)
                    if (c >= 0 && (row[c] | 0xFF000000u) == background)
                        row[c] = red;
            }
            if (labelled)
                painter.drawText(QRect(int(std::round(x)) + 2, plot.y() + 1, 40, 14), Qt::AlignLeft | Qt::AlignTop,
                                 QString::number(int(std::lround(f / fundamental))));
        }
    }
}

int CGraphWnd::ExtremeSegment(int array, bool largest) const
{
    const size_t count = size_t(m_data.Rows()) * size_t(m_data.PointCount());
    if (count == 0 || !m_data.Holds(array, m_data.Rows()))
        return -1;
    const float* values = m_data.Display(array);
    const float* found
        = largest ? std::max_element(values, values + count) : std::min_element(values, values + count);
    return int(size_t(found - values) / size_t(m_data.PointCount()));
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

QString CGraphWnd::AxisUnit(int slot) const
{
    // The lower split plot shows each slot's second quantity.
    const QString& custom = m_data.CustomUnit(size_t(DrawArray(slot)));
    if (!custom.isEmpty())
        return custom;
    // A combined legend relates the second channel to the first: the
    // channel's own unit would be wrong on that axis.
    if (m_renderer.CombinedLegend() || !m_channelUnits)
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

void CGraphWnd::DrawXAxis(QPainter& painter, int left, int top, int right, int bottom, float xMin, float xMax,
                          double major, double minor, const QString& unit, bool grid)
{
    m_renderer.DrawXAxis(painter, left, top, right, bottom, xMin, xMax, major, minor, unit, grid);
}

void CGraphWnd::DrawYAxis(QPainter& painter, int x, int top, int x2, int bottom, float yMin, float yMax,
                          double major, double minor, const QColor& axisColour, const QString& unit, bool grid,
                          int axis, int flags)
{
    m_renderer.DrawYAxis(painter, x, top, x2, bottom, yMin, yMax, major, minor, axisColour, unit, grid, axis, flags);
}

void CGraphWnd::DrawDivisionPlot(QPainter& painter, const double divisions[2], const double offsets[2],
                                 double xStart, double xPerDivision)
{
    m_renderer.DrawDivisionPlot(painter, divisions, offsets, xStart, xPerDivision);
}

void CGraphWnd::DrawCascade(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                            double xPerDivision)
{
    m_renderer.DrawCascade(painter, divisions, offsets, xStart, xPerDivision);
}

void CGraphWnd::DrawSpectrogram(QPainter& painter, const double divisions[2], const double offsets[2],
                                double xStart, double xPerDivision)
{
    m_renderer.DrawSpectrogram(painter, divisions, offsets, xStart, xPerDivision);
}

void CGraphWnd::DrawLegend(QPainter& painter, bool centred) { m_renderer.DrawLegend(painter, centred); }

void CGraphWnd::DrawAxisLabel(QPainter& painter, const QRect& box, int flags, const QString& text)
{
    m_renderer.DrawAxisLabel(painter, box, flags, text);
}

void CGraphWnd::DrawResetButtons(QPainter& painter) { m_renderer.DrawResetButtons(painter); }

void CGraphWnd::SlotRange(int slot, double division, double offset) { m_renderer.SlotRange(slot, division, offset); }

void CGraphWnd::DrawSlotAxes(QPainter& painter, const QRect& plot, const double divisions[2], const double offsets[2])
{
    m_renderer.DrawSlotAxes(painter, plot, divisions, offsets);
}

void CGraphWnd::DrawTrace(QPainter& painter, int slot, const float* values, int count, const QRect& plot)
{
    m_renderer.DrawTrace(painter, slot, values, count, plot);
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

#include "timeview.h"

#include "capture/captureengine.h"
#include "context/formatwithprefix.h"
#include "context/mainframe.h"
#include "platform/appmessage.h"
#include "views/timepanel.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "widgets/selectorbutton.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

CTimeView::CTimeView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    Data().SetXUnit(QStringLiteral("sec"));
}

CTimePanel* CTimeView::TimePanel() const { return static_cast<CTimePanel*>(m_panel); }

void CTimeView::CreatePanel() { m_panel = new CTimePanel(this); }

void CTimeView::StorePanel(TextArchive& archive) { TimePanel()->SerializePanel(archive); }

void CTimeView::LoadPanel(TextArchive& archive) { TimePanel()->SerializePanel(archive); }

// ---------------------------------------------------------------------------
// Panel values

int CTimeView::CursorMode() { return TimePanel() ? TimePanel()->Selector(CTimePanel::IdCursor)->CurrentKey() : 0; }

int CTimeView::TriggerMode() const { return TimePanel()->Selector(CTimePanel::IdTrg)->CurrentKey(); }

int CTimeView::TriggerSource() const { return TimePanel()->Selector(CTimePanel::IdTrgSrc)->CurrentKey(); }

int CTimeView::TriggerSlope() const { return TimePanel()->Selector(CTimePanel::IdSlope)->CurrentKey(); }

double CTimeView::TimePerDivision() const
{
    return ParseWithPrefix(TimePanel()->Selector(CTimePanel::IdXDiv)->CurrentText());
}

int CTimeView::TriggerPercent() const
{
    QString text = TimePanel()->Selector(CTimePanel::IdPos)->CurrentText();
    text.chop(1); // "%"
    return std::clamp(text.toInt(), 0, 100);
}

double CTimeView::Division(int slot) const
{
    const int id = slot == 0 ? CTimePanel::IdYDiv1 : CTimePanel::IdYDiv2;
    return ParseWithPrefix(TimePanel()->Selector(id)->CurrentText());
}

double CTimeView::Offset(int slot) const
{
    const CSelectorButton* offset = TimePanel()->Selector(slot == 0 ? CTimePanel::IdOff1 : CTimePanel::IdOff2);
    return offset->IsNumeric() ? offset->NumericValue() : 0.0;
}

int CTimeView::TriggerSlot() const
{
    const int source = TriggerSource();
    for (int slot = 0; slot < 2; ++slot)
        if (source >= 0 && SlotChannel(slot) == source)
            return slot;
    return -1;
}

// Level step 0.2 and window step 0.05 of a division: of trace 1 for trigger
// source key 0, of trace 2 for key 1, else of the trace showing the trigger
// channel (trace 1 when none does).
void CTimeView::RecomputeTriggerSteps()
{
    const int source = TriggerSource();
    int slot = source == 0 ? 0 : source == 1 ? 1 : std::max(0, TriggerSlot());
    const double division = Division(slot);
    CSelectorButton* level = TimePanel()->Selector(CTimePanel::IdLevel);
    CSelectorButton* window = TimePanel()->Selector(CTimePanel::IdWindow);
    level->SetNumeric(0.2 * division, level->NumericValue());
    window->SetNumeric(0.05 * division, window->IsNumeric() ? window->NumericValue() : 0.0);
    level->update();
    window->update();
}

void CTimeView::ClampTriggerLevel()
{
    m_levelLines = true;
    const int mode = TriggerMode();
    if (mode != CTimePanel::TriggerNone && mode != CTimePanel::TriggerLevel)
        return;
    const int slot = TriggerSlot();
    if (slot < 0)
        return;
    CSelectorButton* level = TimePanel()->Selector(CTimePanel::IdLevel);
    const double step = level->Step() > 0.0 ? level->Step() : 0.05;
    const double bottom = -5.0 * Division(slot) - Offset(slot);
    const double top = 5.0 * Division(slot) - Offset(slot);
    const double value = level->NumericValue();
    if (value < bottom)
        level->SetNumeric(step, std::trunc(bottom / step) * step);
    else if (value > top)
        level->SetNumeric(step, std::trunc(top / step) * step);
    level->update();
}

void CTimeView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelOffset1:
    case PanelOffset2: break;
    case PanelTriggerSource: RecomputeTriggerSteps(); break;
    case PanelTriggerSlope:
    case PanelTriggerPos: break;
    case PanelYDiv1:
    case PanelYDiv2: {
        const int slot = code == PanelYDiv1 ? 0 : 1;
        CSelectorButton* offset = TimePanel()->Selector(slot == 0 ? CTimePanel::IdOff1 : CTimePanel::IdOff2);
        offset->SetNumeric(Division(slot), Offset(slot));
        offset->update();
        RecomputeTriggerSteps();
        break;
    }
    case PanelCoupling:
    case 27:
        if (m_frame)
            m_frame->NotifyAnalysis();
        break;
    case PanelCursorMode: FollowMaxima(); break;
    case PanelTrigger: ClampTriggerLevel(); break;
    default: break;
    }
    update();
}

void CTimeView::RefreshChannelList() { TimePanel()->RefillTriggerSources(); }

CaptureSettings CTimeView::CaptureSettingsNow() const
{
    CaptureSettings settings;
    settings.trigger = TriggerMode();
    settings.source = TriggerSource();
    settings.slope = TriggerSlope();
    settings.level = TimePanel()->Selector(CTimePanel::IdLevel)->NumericValue();
    const CSelectorButton* window = TimePanel()->Selector(CTimePanel::IdWindow);
    settings.halfWindow = window->IsNumeric() ? window->NumericValue() : 0.0;
    settings.timePerDivision = TimePerDivision();
    settings.triggerPercent = TriggerPercent();
    return settings;
}

// ---------------------------------------------------------------------------
// Display

CGraphWnd::AnalysisJob CTimeView::MakeAnalysis()
{
    const AnalysisInput input = Input();
    if (!input.record || input.record->length == 0)
        return {};
    // A record of another length than the time base gives now (the base
    // changed since it was captured) shows as much as the base holds.
    const int expected = CCaptureEngine::RecordLengthFor(TimePerDivision(), input.record->sampleInterval);
    return [input, expected](ViewData& out) {
        const CaptureRecord& record = *input.record;
        const int count = std::min(expected > 0 ? expected : record.length, record.length);
        out.Size(count, false);
        for (int slot = 0; slot < 2; ++slot) {
            const float* samples = input.Samples(slot);
            out.slotActive[size_t(slot)] = samples != nullptr;
            if (!samples)
                continue;
            out.slotNames[size_t(slot)] = record.Name(input.channels[size_t(slot)]);
            std::memcpy(out.display[size_t(slot)].data(), samples, size_t(count) * sizeof(float));
        }
        out.pointCount = count;
        out.xStep = float(record.sampleInterval);
        out.xStart = -record.startOffset * double(out.xStep);
        out.outcome = ViewData::Outcome::Made;
    };
}

void CTimeView::AdoptAnalysis(ViewData& data)
{
    CGraphWnd::AdoptAnalysis(data);
    FollowMaxima();
    RescaleFirstOrRepaint();
}

void CTimeView::Rescale(int slot)
{
    for (int s = 0; s < 2; ++s) {
        if ((slot != -1 && slot != s) || !Data().SlotShown(s) || Data().PointCount() <= 0)
            continue;
        double division = Division(s);
        double offset = Offset(s);
        RescaleDivisions(Data().Display(s), Data().PointCount(), division, offset);
        CSelectorButton* yDiv = TimePanel()->Selector(s == 0 ? CTimePanel::IdYDiv1 : CTimePanel::IdYDiv2);
        yDiv->SelectNearest(division);
        yDiv->update();
        CSelectorButton* off = TimePanel()->Selector(s == 0 ? CTimePanel::IdOff1 : CTimePanel::IdOff2);
        off->SetNumeric(Division(s), offset);
        off->update();
    }
    RecomputeTriggerSteps();
    CGraphWnd::Rescale(slot);
}

void CTimeView::DrawContent(QPainter& painter)
{
    if (!TimePanel())
        return;
    const double perDivision = TimePerDivision();
    const double xStart = -(TriggerPercent() * 10.0 * perDivision * 0.01);
    const double divisions[2] = {Division(0), Division(1)};
    const double offsets[2] = {Offset(0), Offset(1)};
    DrawDivisionPlot(painter, divisions, offsets, xStart, perDivision);
    if (ActiveSlotCount() == 0)
        return;
    const QRect plot = PlotRect();
    painter.save();
    ClipToPlot(painter, &plot);
    DrawTriggerLine(painter, plot);
    DrawSegmentBars(painter, plot);
    DrawSampleMarks(painter, plot);
    DrawLevelLines(painter, plot);
    ClipToPlot(painter, nullptr);
    painter.restore();
}

void CTimeView::DrawTriggerLine(QPainter& painter, const QRect& plot)
{
    if (TriggerMode() == CTimePanel::TriggerNone)
        return;
    const int x = XTransform().Pixel(0.0);
    painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DotLine));
    painter.drawLine(x, plot.y(), x, Bottom(plot) - 1);
}

void CTimeView::DrawSegmentBars(QPainter& painter, const QRect& plot)
{
    if (!Capture())
        return;
    const double dt = Data().XStep();
    const int segments = RecordSegmentCount();
    const int hop = std::max(1, m_record->hop);
    const int top = Bottom(plot) - 8;
    painter.setPen(QPen(QColor(200, 200, 200), 1, Qt::SolidLine));
    painter.setBrush(QColor(120, 120, 120));
    for (int j = 0; j < segments; ++j) {
        const int left = std::max(plot.x(), XTransform().Pixel(double(j) * hop * dt));
        const int right = std::min(Right(plot) - 1, XTransform().Pixel((double(j) * hop + m_record->points) * dt));
        if (right <= left)
            continue;
        painter.drawRect(left, top, right - left, 7);
    }
    painter.setBrush(Qt::NoBrush);
}

// Squares on the samples when one sample spans more than 8 pixels.
void CTimeView::DrawSampleMarks(QPainter& painter, const QRect& plot)
{
    if (Data().PointCount() <= 1
        || XTransform().PixelF(Data().XStart() + Data().XStep()) - XTransform().PixelF(Data().XStart()) <= 8.0)
        return;
    for (int slot = 0; slot < 2; ++slot) {
        if (!Data().SlotShown(slot))
            continue;
        const QColor colour = SlotColour(slot);
        const float* values = Data().Display(slot);
        for (int i = 0; i < Data().PointCount(); ++i) {
            const double px = XTransform().PixelF(Data().XStart() + i * double(Data().XStep()));
            if (px < plot.x() - 2 || px > Right(plot) + 2)
                continue;
            const int x = int(px), y = YTransform(slot).Pixel(values[i]);
            painter.fillRect(x - 2, y - 2, 5, 5, colour);
        }
    }
}

void CTimeView::DrawLevelLines(QPainter& painter, const QRect& plot)
{
    const int mode = TriggerMode();
    if (!m_levelLines || (mode != CTimePanel::TriggerNone && mode != CTimePanel::TriggerLevel))
        return;
    const int slot = TriggerSlot();
    if (slot < 0)
        return;
    const double level = TimePanel()->Selector(CTimePanel::IdLevel)->NumericValue();
    const CSelectorButton* window = TimePanel()->Selector(CTimePanel::IdWindow);
    const double halfWidth = window->IsNumeric() ? window->NumericValue() : 0.0;
    painter.setPen(QPen(SlotColour(slot), 1, Qt::DotLine));
    for (double y : {level + halfWidth, level - halfWidth}) {
        const int py = YTransform(slot).Pixel(y);
        painter.drawLine(plot.x(), py, Right(plot) - 1, py);
    }
}

// ---------------------------------------------------------------------------
// Cursors

void CTimeView::UpdateCursorReadouts()
{
    CGraphWnd::UpdateCursorReadouts();
    if (!DeltaBox() || CursorCount() < 2 || Data().PointCount() <= 0 || Data().XStep() <= 0.0f)
        return;
    const double x0 = Cursor(0)->XValue(), x1 = Cursor(1)->XValue();
    DeltaBox()->SetTitle(QStringLiteral("x ") + FormatWithPrefix(x1 - x0, 5, QStringLiteral("s")));
    auto index
        = [this](double x) { return std::clamp(int(std::lround((x - Data().XStart()) / Data().XStep())), 0, Data().PointCount()); };
    const int first = std::min(index(x0), index(x1));
    const int last = std::max(index(x0), index(x1));
    for (int slot = 0; slot < 2; ++slot) {
        if (!Data().SlotShown(slot))
            continue;
        const float* values = Data().Display(slot);
        const double difference = values[std::min(index(x1), Data().PointCount() - 1)]
            - values[std::min(index(x0), Data().PointCount() - 1)];
        const QString unit = SlotUnit(slot);
        m_cursorRms[size_t(slot)] = RmsBetween(values, first, last);
        DeltaBox()->SetSlotTexts(slot, QStringLiteral("y ") + FormatWithPrefix(difference, 5, unit),
                                 QStringLiteral("rms ") + FormatWithPrefix(m_cursorRms[size_t(slot)], 5, unit));
    }
    DeltaBox()->update();
}

double CTimeView::RmsBetween(const float* values, int first, int last)
{
    if (last <= first)
        return 0.0;
    double sum = 0.0;
    for (int i = first; i < last; ++i)
        sum += double(values[i]) * values[i];
    return std::sqrt(sum / (last - first));
}

#include "timeview.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/formatwithprefix.h"
#include "context/mainframe.h"
#include "platform/appmessage.h"
#include "platform/messagebox.h"
#include "views/timepanel.h"
#include "widgets/cursorwnd.h"
#include "widgets/deltabox.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>

CTimeView::CTimeView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    m_xUnit = QStringLiteral("sec");
}

CTimeView::~CTimeView()
{
    // The record must not keep pointing into this view's arrays.
    if (!m_record)
        return;
    bool ours = false;
    for (int c = 0; c < kMaxTraces; ++c)
        ours = ours || (m_record->captureArea[c] && m_record->captureArea[c] == m_capture[size_t(c)].data());
    if (!ours)
        return;
    for (float*& area : m_record->captureArea)
        area = nullptr;
    m_record->captureLength = 0;
    m_record->captureChannels = 0;
}

CTimePanel* CTimeView::TimePanel() const { return static_cast<CTimePanel*>(m_panel); }

void CTimeView::CreatePanel()
{
    m_panel = new CTimePanel(this);
    Reinit();
}

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
    case PanelTriggerSource:
        RecomputeTriggerSteps();
        m_slopeState = 0;
        break;
    case PanelTriggerSlope: m_slopeState = 0; break;
    case PanelTriggerPos:
        Reinit();
        m_slopeState = 0;
        break;
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
    default: Reinit(); break;
    }
    update();
}

// ---------------------------------------------------------------------------
// Rings and the slope machine

bool CTimeView::SlopeStep(int slope, float g, float lo, float hi, int& state)
{
    switch (slope) {
    case 1: // rising
        if (state == 0) {
            if (g < lo)
                state = 1;
        } else if (state == 1) {
            if (g > lo)
                state = 2;
        } else if (g < lo) {
            state = 1;
        } else if (g > hi) {
            return true;
        }
        return false;
    case 0: // falling
        if (state == 0) {
            if (g > hi)
                state = 1;
        } else if (state == 1) {
            if (g < hi)
                state = 2;
        } else if (g > hi) {
            state = 1;
        } else if (g < lo) {
            return true;
        }
        return false;
    default: // leaving the window
        if (state == 0) {
            if (lo < g && g < hi)
                state = 1;
            return false;
        }
        return g <= lo || g >= hi;
    }
}

void CTimeView::RingAppend(Trace& ring, const float* values, int k)
{
    const int m = ring.capacity;
    if (k <= 0 || m <= 0)
        return;
    float* data = ring.data.data();
    if (k > m) {
        std::memcpy(data, values + (k - m), size_t(m) * sizeof(float));
        ring.length = 0;
        ring.filled = true;
        return;
    }
    const int first = std::min(k, m - ring.length);
    std::memcpy(data + ring.length, values, size_t(first) * sizeof(float));
    if (first < k) {
        std::memcpy(data, values + first, size_t(k - first) * sizeof(float));
        ring.length = k - first;
        ring.filled = true;
        return;
    }
    ring.length += first;
    if (ring.length == m) {
        ring.length = 0;
        ring.filled = true;
    }
}

void CTimeView::RingReadLast(const Trace& ring, float* out, int k)
{
    const int p = ring.length;
    const float* data = ring.data.data();
    const int older = k - p; // from the end of the array
    if (older > 0) {
        std::memcpy(out, data + (ring.capacity - older), size_t(older) * sizeof(float));
        std::memcpy(out + older, data, size_t(p) * sizeof(float));
    } else {
        std::memcpy(out, data + (p - k), size_t(k) * sizeof(float));
    }
}

// ---------------------------------------------------------------------------
// Capture

void CTimeView::Reinit()
{
    const int channels = std::clamp(ZQ_GetNrOfChan(), 0, int(kMaxTraces));
    const double dt = channels > 0 ? ZQ_GetChanClkrate(0) : 0.0;
    // Truncated, but a quotient a rounding error short of a whole number
    // (0.01 s / 2e-5 s) counts as that number.
    const double samples = dt > 0.0 ? 10.0 * TimePerDivision() / dt : 0.0;
    m_recordLength = int(samples * (1.0 + 1e-9));
    m_preTrigger = int(TriggerPercent() * m_recordLength * 0.01);
    m_postTrigger = m_recordLength - m_preTrigger;
    m_traceCapacity = m_recordLength;
    SetTraceCount(channels);
    m_countdown = -1;
}

void CTimeView::RefreshChannelList()
{
    m_traceCapacity = m_recordLength;
    SetTraceCount(std::clamp(ZQ_GetNrOfChan(), 0, int(kMaxTraces)));
    m_countdown = -1;
    TimePanel()->RefillTriggerSources();
}

const float* CTimeView::ReadChannel(int channel, int n)
{
    float* buffer = Ctx().readBuffer.data();
    ZQ_ReadChan(kClient, channel, reinterpret_cast<unsigned char*>(buffer), n);
    return buffer;
}

void CTimeView::ReadChannelInto(int channel, int n)
{
    Trace& ring = m_traces[size_t(channel)];
    ZQ_ReadChan(kClient, channel, reinterpret_cast<unsigned char*>(ring.data.data() + ring.length), n);
    ring.length += n;
    if (ring.length == ring.capacity) {
        ring.length = 0;
        ring.filled = true;
    }
}

void CTimeView::Tick()
{
    if (!m_record || !m_record->run)
        return;
    const int channels = std::min(ZQ_GetNrOfChan(), int(kMaxTraces));
    if (channels <= 0)
        return;
    const double dt = ZQ_GetChanClkrate(0);
    if (dt != m_lastDt || m_recordLength == 0 || channels != m_traceCount)
        Reinit();
    m_lastDt = dt;
    if (m_recordLength <= 0)
        return;
    int n = ZQ_CheckChan(kClient, 0);
    if (n <= 0)
        return;
    n = std::min({n, int(kMaxRead), int(Ctx().readBuffer.size())});

    if (TriggerMode() == CTimePanel::TriggerNone)
        CaptureFreeRunning(n);
    else if (m_countdown < 0)
        CaptureArmed(n);
    else
        CaptureCollect(n);
}

// Records follow each other without a gap: the samples of a block behind a
// finished record start the next one.
void CTimeView::CaptureFreeRunning(int n)
{
    const double dt = m_lastDt;
    int start = 0;
    while (start < n) {
        const int take = std::min(n - start, m_recordLength - Valid(m_traces[0]));
        const bool completes = Valid(m_traces[0]) + take >= m_recordLength;
        if (completes)
            EnsureCapture(m_recordLength, m_traceCount);
        for (int c = 0; c < m_traceCount; ++c) {
            Trace& ring = m_traces[size_t(c)];
            if (start == 0 && take == n && !ring.filled && ring.length + n <= ring.capacity)
                ReadChannelInto(c, n); // the whole block fits: no staging copy
            else
                RingAppend(ring, ReadChannel(c, n) + start, take);
            if (completes) {
                CopyToCapture(c);
                RingEmpty(m_traces[size_t(c)]);
            }
        }
        start += take;
        if (!completes)
            return;
        FinishRecord(dt);
        // A single shot stops after its record; the rest of the block stays unread.
        if (!m_record->run)
            return;
    }
}

void CTimeView::CaptureArmed(int n)
{
    const int source = std::clamp(TriggerSource(), 0, m_traceCount - 1);
    Trace& ring = m_traces[size_t(source)];
    const float* block = ReadChannel(source, n);
    const int valid = Valid(ring);
    const int slope = TriggerSlope();
    int trigger = -1;
    for (int i = 0; i < n; ++i) {
        if (m_preTrigger >= i + valid)
            continue;
        if (SlopeStep(slope, block[i], m_lowerLevel, m_upperLevel, m_slopeState)) {
            trigger = i;
            m_slopeState = 0;
            break;
        }
    }

    if (TriggerMode() == CTimePanel::TriggerAuto) {
        if (valid > m_recordLength / 2) {
            const float* data = ring.data.data();
            const auto [lo, hi] = std::minmax_element(data, data + valid);
            if (m_lowerLevel < *lo || m_lowerLevel > *hi)
                m_lowerLevel = (*lo + *hi) / 2.0f;
            // A band of no width at the middle: "+" and "-" trigger where
            // the signal crosses it, whatever "Level" mode left behind.
            m_upperLevel = m_lowerLevel;
        }
    } else {
        const double level = TimePanel()->Selector(CTimePanel::IdLevel)->NumericValue();
        const CSelectorButton* window = TimePanel()->Selector(CTimePanel::IdWindow);
        const double halfWidth = window->IsNumeric() ? window->NumericValue() : 0.0;
        m_lowerLevel = float(level - halfWidth);
        m_upperLevel = float(level + halfWidth);
    }

    int taken = n;
    if (trigger >= 0) {
        m_countdown = trigger + m_postTrigger - n;
        if (m_countdown < 0) {
            m_countdown = 0;
            taken = trigger + m_postTrigger;
        }
    }
    RingAppend(ring, block, taken);
    for (int c = 0; c < m_traceCount; ++c)
        if (c != source)
            RingAppend(m_traces[size_t(c)], ReadChannel(c, n), taken);
}

void CTimeView::CaptureCollect(int n)
{
    if (n < m_countdown) {
        for (int c = 0; c < m_traceCount; ++c)
            RingAppend(m_traces[size_t(c)], ReadChannel(c, n), n);
        m_countdown -= n;
        return;
    }
    EnsureCapture(m_preTrigger + m_postTrigger, m_traceCount);
    for (int c = 0; c < m_traceCount; ++c) {
        RingAppend(m_traces[size_t(c)], ReadChannel(c, n), m_countdown);
        CopyToCapture(c);
        RingEmpty(m_traces[size_t(c)]);
    }
    m_countdown = -1;
    FinishRecord(m_lastDt);
}

void CTimeView::EnsureCapture(int length, int channels)
{
    if (m_record->captureLength == length && m_record->captureChannels == channels
        && m_record->captureArea[0] == m_capture[0].data())
        return;
    for (int c = 0; c < kMaxTraces; ++c) {
        std::vector<float>& area = m_capture[size_t(c)];
        if (c < channels) {
            area.assign(size_t(length), 0.0f);
            m_record->captureArea[c] = area.data();
        } else {
            std::vector<float>().swap(area);
            m_record->captureArea[c] = nullptr;
        }
    }
    m_record->captureLength = length;
    m_record->captureChannels = channels;
}

void CTimeView::CopyToCapture(int channel)
{
    Trace& ring = m_traces[size_t(channel)];
    std::vector<float>& capture = m_capture[size_t(channel)];
    // A ring filled exactly to its end holds the record in order: it becomes
    // the capture area, and the previous area is the ring's store for the
    // next record (it is emptied before it is written again).
    if (ring.filled && ring.length == 0 && ring.capacity == m_record->captureLength
        && ring.data.size() == capture.size() && capture.size() == size_t(m_record->captureLength)
        && m_record->captureArea[channel] == capture.data()) {
        ring.data.swap(capture);
        m_record->captureArea[channel] = capture.data();
        return;
    }
    const int length = std::min(m_record->captureLength, Valid(ring));
    float* area = m_record->captureArea[channel];
    // A ring short of a full record (never after a complete capture) leaves
    // zeros in front.
    std::fill(area, area + (m_record->captureLength - length), 0.0f);
    RingReadLast(ring, area + (m_record->captureLength - length), length);
}

void CTimeView::FinishRecord(double dt)
{
    m_record->captureTime = dt;
    m_record->captureWord = m_preTrigger;
    m_shownCount = m_preTrigger + m_postTrigger;
    if (m_record->single && m_frame)
        m_frame->RunStop();
    if (TriggerMode() != CTimePanel::TriggerNone && m_record->recording)
        SaveTriggerRecord();
    if (m_frame)
        m_frame->NotifyAnalysis();
}

void CTimeView::SaveTriggerRecord()
{
    const int channels = m_record->captureChannels;
    const int length = m_record->captureLength;
    if (!m_triggerFile.Prepare(channels, length))
        return;
    for (int c = 0; c < channels; ++c)
        m_triggerFile.DefineChannel(c, ZQ_GetChanPChan(c), QString::fromUtf8(ZQ_GetChanName(c)),
                                    QString::fromUtf8(ZQ_GetChanUnit(c)), m_record->captureTime);
    const QString path = m_triggerFile.MakeFileName(true);
    if (!m_triggerFile.Open(path)) {
        // The record still goes to the analysis; the user hears of the
        // failure once, and again only after a later save has worked. The
        // box is shown after the tick, not inside the capture step.
        if (!m_openFailureTold) {
            m_openFailureTold = true;
            QWidget* parent = m_frame ? m_frame->Window() : this;
            QTimer::singleShot(0, parent, [parent, path] {
                ShowMessageBox(parent, QStringLiteral("Cannot open the trigger recording file\n%1").arg(path),
                               QString(), MsgIcon::Error);
            });
        }
        return;
    }
    m_openFailureTold = false;
    for (int c = 0; c < channels; ++c)
        m_triggerFile.WriteChannelBlock(m_record->captureArea[c], length);
    m_triggerFile.Close();
}

// ---------------------------------------------------------------------------
// Display

void CTimeView::Analyse()
{
    if (!m_active || !m_record || m_record->captureLength == 0)
        return;
    const int count = std::min(m_recordLength > 0 ? m_recordLength : m_record->captureLength,
                               m_record->captureLength);
    SizeDisplay(count, false);
    for (int slot = 0; slot < 2; ++slot) {
        const int channel = SlotChannel(slot);
        m_slotActive[size_t(slot)] = channel >= 0 && channel < m_record->captureChannels
                                     && m_record->captureArea[channel] != nullptr;
        if (!m_slotActive[size_t(slot)])
            continue;
        m_slotName[size_t(slot)] = QString::fromUtf8(ZQ_GetChanName(channel));
        std::memcpy(m_display[size_t(slot)].data(), m_record->captureArea[channel], size_t(count) * sizeof(float));
    }
    m_xStep = float(ZQ_GetNrOfChan() > 0 ? ZQ_GetChanClkrate(0) : m_record->captureTime);
    m_xStart = -m_record->captureWord * double(m_xStep);
    MarkDisplayChanged();
    FollowMaxima();
    RescaleFirstOrRepaint();
}

void CTimeView::Rescale(int slot)
{
    for (int s = 0; s < 2; ++s) {
        if ((slot != -1 && slot != s) || !m_slotActive[size_t(s)] || m_pointCount <= 0)
            continue;
        double division = Division(s);
        double offset = Offset(s);
        RescaleDivisions(m_display[size_t(s)].data(), m_pointCount, division, offset);
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
    const int x = m_x.Pixel(0.0);
    painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DotLine));
    painter.drawLine(x, plot.y(), x, Bottom(plot) - 1);
}

void CTimeView::DrawSegmentBars(QPainter& painter, const QRect& plot)
{
    if (!m_record || m_record->captureLength == 0)
        return;
    const double dt = m_xStep;
    const int segments = RecordSegmentCount();
    const int hop = std::max(1, m_record->hop);
    const int top = Bottom(plot) - 8;
    painter.setPen(QPen(QColor(200, 200, 200), 1, Qt::SolidLine));
    painter.setBrush(QColor(120, 120, 120));
    for (int j = 0; j < segments; ++j) {
        const int left = std::max(plot.x(), m_x.Pixel(double(j) * hop * dt));
        const int right = std::min(Right(plot) - 1, m_x.Pixel((double(j) * hop + m_record->points) * dt));
        if (right <= left)
            continue;
        painter.drawRect(left, top, right - left, 7);
    }
    painter.setBrush(Qt::NoBrush);
}

// Squares on the samples when one sample spans more than 8 pixels.
void CTimeView::DrawSampleMarks(QPainter& painter, const QRect& plot)
{
    if (m_pointCount <= 1 || m_x.PixelF(m_xStart + m_xStep) - m_x.PixelF(m_xStart) <= 8.0)
        return;
    for (int slot = 0; slot < 2; ++slot) {
        if (!m_slotActive[size_t(slot)])
            continue;
        const QColor colour = SlotColour(slot);
        const float* values = m_display[size_t(slot)].data();
        for (int i = 0; i < m_pointCount; ++i) {
            const double px = m_x.PixelF(m_xStart + i * double(m_xStep));
            if (px < plot.x() - 2 || px > Right(plot) + 2)
                continue;
            const int x = int(px), y = m_y[size_t(slot)].Pixel(values[i]);
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
        const int py = m_y[size_t(slot)].Pixel(y);
        painter.drawLine(plot.x(), py, Right(plot) - 1, py);
    }
}

// ---------------------------------------------------------------------------
// Cursors

void CTimeView::UpdateCursorReadouts()
{
    CGraphWnd::UpdateCursorReadouts();
    if (!m_deltaBox || m_cursorCount < 2 || m_pointCount <= 0 || m_xStep <= 0.0f)
        return;
    const double x0 = m_cursors[0]->XValue(), x1 = m_cursors[1]->XValue();
    m_deltaBox->SetTitle(QStringLiteral("x ") + FormatWithPrefix(x1 - x0, 5, QStringLiteral("s")));
    auto index = [this](double x) { return std::clamp(int((x - m_xStart) / m_xStep), 0, m_pointCount); };
    const int first = std::min(index(x0), index(x1));
    const int last = std::max(index(x0), index(x1));
    for (int slot = 0; slot < 2; ++slot) {
        if (!m_slotActive[size_t(slot)])
            continue;
        const float* values = m_display[size_t(slot)].data();
        const double difference = values[std::min(index(x1), m_pointCount - 1)]
                                  - values[std::min(index(x0), m_pointCount - 1)];
        const QString unit = SlotUnit(slot);
        m_cursorRms[size_t(slot)] = RmsBetween(values, first, last);
        m_deltaBox->SetSlotTexts(slot, QStringLiteral("y ") + FormatWithPrefix(difference, 5, unit),
                                 QStringLiteral("rms ") + FormatWithPrefix(m_cursorRms[size_t(slot)], 5, unit));
    }
    m_deltaBox->update();
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

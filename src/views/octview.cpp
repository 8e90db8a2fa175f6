#include "views/octview.h"

#include "analysis/octaveanalyser.h"
#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "views/octpanel.h"
#include "views/strokeaxisaligned.h"

#include "context/channelsource.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace {

OctaveAnalyser::Weighting ToWeighting(int key)
{
    return static_cast<OctaveAnalyser::Weighting>(std::clamp(key, 0, 3));
}

// A level as a pixel row, held a pixel outside the plot so that levels far
// off the scale (a silent band reads −300 dB) stay drawable.
double LevelY(const AxisTransform& y, double level, const QRect& plot)
{
    const double pixel = level * y.scale + y.offset;
    return std::clamp(pixel, double(plot.y()) - 1.0, double(plot.y() + plot.height()) + 1.0);
}

} // namespace

COctView::COctView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    setObjectName(QStringLiteral("OCT"));
    Data().SetLevelsInDb(true);
    // Two analysers of about 80 KB each: on the heap, made once.
    m_worker = std::make_unique<OctaveWorker>();
    m_centres.reserve(OctaveAnalyser::kMaxBands);
}

COctView::~COctView() = default;

const OctaveAnalyser& COctView::Analyser(int trace) const { return m_worker->Analyser(trace); }

template <class Change> void COctView::ChangeAnalysers(Change change)
{
    for (int trace = 0; trace < 2; ++trace)
        change(m_worker->Analyser(trace));
    m_worker->PublishLevels();
}

void COctView::CreatePanel()
{
    m_octPanel = new COctPanel(this);
    m_panel = m_octPanel;
}

void COctView::StorePanel(TextArchive& archive) { m_octPanel->SerializePanel(archive); }

void COctView::LoadPanel(TextArchive& archive) { m_octPanel->SerializePanel(archive); }

ViewTable COctView::ExportTable() const
{
    ViewTable table;
    if (!m_octPanel || !m_designed || m_bandCount <= 0)
        return table;
    const auto weighting = ToWeighting(m_octPanel->Weighting());
    const QString weightedUnit = QString::fromUtf8(OctaveAnalyser::WeightingUnit(weighting).data());
    OctaveWorker::Levels levels[2];
    QStringList columns{ViewTable::Heading(QStringLiteral("centre"), QStringLiteral("Hz"))};
    std::vector<int> traces;
    for (int trace = 0; trace < 2; ++trace) {
        if (!Data().SlotShown(trace))
            continue;
        m_worker->CopyLevels(trace, levels[trace]);
        traces.push_back(trace);
        const QString name = ViewTable::SlotTitle(*this, trace);
        columns << ViewTable::Heading(name + QStringLiteral(" level"), QStringLiteral("dB"))
                << ViewTable::Heading(name + QStringLiteral(" weighted level"), weightedUnit);
    }
    table.SetColumns(columns);
    for (int band = 0; band < m_bandCount; ++band) {
        // The analyser's band levels carry the weighting; the unweighted
        // level takes its gain at the centre back out.
        const double gainDb = 20.0 * std::log10(OctaveAnalyser::WeightingGain(weighting, m_centres[size_t(band)]));
        QStringList row{ViewTable::Number(m_centres[size_t(band)])};
        for (int trace : traces) {
            const bool has = band < levels[trace].bandCount;
            const double weighted = has ? levels[trace].bands[size_t(band)] : std::nan("");
            row << ViewTable::Number(weighted - gainDb) << ViewTable::Number(weighted);
        }
        table.AddRow(row);
    }
    QStringList overall{QStringLiteral("OASPL")};
    for (int trace : traces)
        overall << ViewTable::Number(levels[trace].unweightedTotal) << ViewTable::Number(levels[trace].weightedTotal);
    table.AddRow(overall);
    return table;
}

void COctView::Reinit()
{
    if (!m_octPanel || Channels().ChannelCount() == 0)
        return;
    const double dt = Channels().SampleInterval(0);
    if (dt <= 0.0)
        return;
    const OctaveAnalyser::Weighting weighting = ToWeighting(m_octPanel->Weighting());
    ChangeAnalysers([&](OctaveAnalyser& analyser) {
        analyser.Design(m_octPanel->BandsPerOctave(), weighting, m_octPanel->LowHz(), m_octPanel->HighHz(), dt);
    });
    m_designed = true;
    m_designDt = dt;
    KeepBandLayout();
    ApplyTimeWeighting();
    UpdateSlots();
}

void COctView::KeepBandLayout()
{
    const OctaveAnalyser& analyser = m_worker->Analyser(0);
    m_bandCount = analyser.BandCount();
    m_firstIndex = analyser.FirstIndex();
    m_bandsPerOctave = analyser.BandsPerOctave();
    m_centres.clear();
    for (int j = 0; j < m_bandCount; ++j)
        m_centres.push_back(analyser.Centre(j));
}

void COctView::ApplyTimeWeighting()
{
    ChangeAnalysers([&](OctaveAnalyser& analyser) { analyser.SetTimeWeighting(m_octPanel->TimeConstant()); });
}

void COctView::UpdateSlots()
{
    for (int slot = 0; slot < 2; ++slot)
        Data().SetSlotShown(slot, SlotChannel(slot) >= 0);
}

void COctView::Show(bool show)
{
    CGraphWnd::Show(show);
    Reinit();
}

void COctView::Tick()
{
    if (!m_active || Channels().ChannelCount() == 0)
        return;
    // A new channel set-up with another sample interval needs new filters.
    if (!m_designed || Channels().SampleInterval(0) != m_designDt)
        Reinit();
    if (!m_designed)
        return;
    const int channels[2] = {SlotChannel(0), SlotChannel(1)};
    UpdateSlots();
    if (channels[0] < 0 && channels[1] < 0)
        return;
    int n = Channels().Available(kClient, channels[0] >= 0 ? channels[0] : channels[1]);
    if (n <= 0)
        return;
    std::vector<float>& buffer = Ctx().readBuffer;
    n = std::min(n, int(buffer.size()));
    // Every channel is read (also those not shown), so that each keeps pace.
    const int count = Channels().ChannelCount();
    for (int r = 0; r < count; ++r) {
        const int read = Channels().Read(kClient, r, buffer.data(), n);
        if (read <= 0)
            continue;
        for (int trace = 0; trace < 2; ++trace)
            if (channels[trace] == r)
                m_worker->Submit(trace, buffer.data(), read);
    }
    RequestRepaint();
}

void COctView::OnPanelNotify(int code)
{
    switch (code) {
    case PanelWeighting:
        ChangeAnalysers([&](OctaveAnalyser& analyser) { analyser.SetWeighting(ToWeighting(m_octPanel->Weighting())); });
        break;
    case PanelBandwidth:
    case PanelLowBand:
    case PanelHighBand:
        Reinit();
        break;
    case PanelTimeWeighting:
        if (Channels().ChannelCount() > 0)
            ApplyTimeWeighting();
        break;
    case PanelYDiv1:
        m_octPanel->RegridOffset();
        break;
    default:
        break;
    }
    update();
}

QRect COctView::PlotRect() const
{
    QRect plot = CGraphWnd::PlotRect();
    plot.setHeight(std::max(0, plot.height() - kLabelRoom));
    // The OASPL texts stand right of the plot; the base leaves too little room.
    if (m_octPanel && m_octPanel->OasplOn())
        plot.setWidth(std::max(0, plot.width() - kOasplRoom));
    return plot;
}

double COctView::OverallWidth(const QRect& plot) const
{
    if (!m_octPanel->OasplOn())
        return 0.0;
    return double(plot.width()) / (m_bandCount + 2);
}

double COctView::BandWidth(const QRect& plot) const
{
    return (plot.width() - OverallWidth(plot)) / (m_bandCount + 1);
}

void COctView::DrawContent(QPainter& painter)
{
    if (!m_octPanel)
        return;
    const QRect plot = PlotRect();
    const int l = plot.x(), t = plot.y(), r = Right(plot), b = Bottom(plot);
    const auto weighting = ToWeighting(m_octPanel->Weighting());
    const QString unit = QString::fromUtf8(OctaveAnalyser::WeightingUnit(weighting).data());
    const double div = m_octPanel->YDiv(), offset = m_octPanel->YOffset();
    DrawYAxis(painter, l - 4, t, r, b, float(offset - 5 * div), float(offset + 5 * div), div, div * 0.1,
              Ctx().colours.graphText, unit, true, 0, kAxisLine);
    // The horizontal axis only carries the transform and its line; the band
    // labels take the place of numbers.
    DrawXAxis(painter, l, t, r, b, 0.0f, 10.0f, 0.0, 0.0, QStringLiteral("Hz"), false);
    painter.save();
    painter.setPen(QPen(QColor(180, 180, 180), 1));
    painter.drawLine(r, t, r, b);
    painter.restore();

    for (int trace = 0; trace < 2; ++trace)
        m_worker->CopyLevels(trace, m_shown[trace]);
    if (m_designed && m_bandCount > 0) {
        painter.save();
        ClipToPlot(painter, &plot);
        for (int trace = 0; trace < 2; ++trace)
            if (Data().SlotShown(trace))
                DrawTraceLevels(painter, plot, trace);
        ClipToPlot(painter, nullptr);
        painter.restore();
        DrawBandLabels(painter, plot);
    }
    DrawLegend(painter, false);

    if (!m_octPanel->OasplOn())
        return;
    painter.save();
    painter.setPen(Ctx().colours.graphText);
    const int x = r + 4;
    painter.drawText(QRect(x, t, kOasplRoom + 12, 15), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("OASPL"));
    int y = t + 15;
    for (int trace = 0; trace < 2; ++trace) {
        if (!Data().SlotShown(trace))
            continue;
        const OctaveWorker::Levels& levels = m_shown[trace];
        painter.setPen(SlotColour(trace));
        painter.drawText(QRect(x, y, kOasplRoom + 12, 15), Qt::AlignLeft | Qt::AlignTop,
                         QString::asprintf("%4.1f dB", levels.unweightedTotal));
        painter.drawText(QRect(x, y + 15, kOasplRoom + 12, 15), Qt::AlignLeft | Qt::AlignTop,
                         QString::asprintf("%4.1f %s", levels.weightedTotal, unit.toUtf8().constData()));
        y += 30;
    }
    painter.restore();
}

void COctView::DrawTraceLevels(QPainter& painter, const QRect& plot, int trace)
{
    const OctaveWorker::Levels& shown = m_shown[trace];
    // Levels published before a redesign may have another band count.
    const int bands = std::min(m_bandCount, shown.bandCount);
    const auto& levels = shown.bands;
    const double w = BandWidth(plot);
    const double left = plot.x(), bottom = Bottom(plot);
    const AxisTransform& y = YTransform(0);
    const QColor colour = SlotColour(trace);
    auto bandLeft = [&](int j) { return left + w * (j + 1) - 0.5 * w; };

    switch (m_octPanel->DisplayStyle()) {
    case COctPanel::DisplayLine: {
        QPointF* line = m_linePoints.data();
        int n = 0;
        line[n++] = QPointF(bandLeft(0), bottom);
        for (int j = 0; j < bands; ++j) {
            const double level = LevelY(y, levels[j], plot);
            line[n++] = QPointF(bandLeft(j), level);
            line[n++] = QPointF(bandLeft(j) + w, level);
        }
        StrokeAxisAligned(painter, {line, std::size_t(n)}, kLineWidth, colour);
        break;
    }
    case COctPanel::DisplayBar: {
        const double inset = 0.15 * w + 2 * trace;
        for (int j = 0; j < bands; ++j) {
            const double level = LevelY(y, levels[j], plot);
            const double x0 = bandLeft(j) + inset, x1 = bandLeft(j) + w - inset;
            StrokeBarOutline(painter, x0, x1, level, bottom, kLineWidth, colour);
        }
        break;
    }
    default:
        for (int j = 0; j < bands; ++j) {
            const double level = LevelY(y, levels[j], plot);
            painter.fillRect(QRectF(bandLeft(j) + 1 + 0.4 * w * trace, level + 1, 0.4 * w - 1, bottom - level - 1),
                             colour);
        }
        break;
    }

    if (m_octPanel->OasplOn()) {
        const double column = Right(plot) - OverallWidth(plot);
        const double level = LevelY(y, shown.weightedTotal, plot);
        painter.fillRect(QRectF(column + 0.15 * w + 0.4 * w * trace, level, 0.4 * w - 1, bottom - level), colour);
    }
}

void COctView::DrawBandLabels(QPainter& painter, const QRect& plot)
{
    const int n = m_bandsPerOctave;
    const double w = BandWidth(plot);
    const int b = Bottom(plot);
    painter.save();
    painter.setPen(Ctx().colours.graphText);
    for (int j = 0; j < m_bandCount; ++j) {
        const int index = m_firstIndex + j;
        if (((index % n) + n) % n != 0)
            continue;
        const int x = int(plot.x() + w * (j + 1));
        painter.drawLine(x, b + 2, x, b + 6);
        painter.drawText(QRect(x - 40, b + 8, 80, 16), Qt::AlignHCenter | Qt::AlignTop,
                         QString::asprintf("%g", m_centres[size_t(j)]));
    }
    if (m_octPanel->OasplOn()) {
        const int x = int(Right(plot) - 0.5 * OverallWidth(plot));
        painter.drawText(QRect(x - 40, b + 8, 80, 16), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("OASPL"));
    }
    painter.drawText(QRect((plot.x() + Right(plot)) / 2 - 150, b + 26, 300, 16), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("Hz"));
    painter.restore();
}

#include "views/dmmview.h"

#include "analysis/multimeterstatistic.h"
#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "views/dmmpanel.h"
#include "views/plotlayout.h"

#include "context/channelsource.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

CDmmView::CDmmView(MainFrame* frame, QWidget* parent) : CGraphWnd(frame, parent)
{
    setObjectName(QStringLiteral("DMM"));
}

CDmmView::~CDmmView() = default;

void CDmmView::CreatePanel()
{
    m_dmmPanel = new CDmmPanel(this);
    m_panel = m_dmmPanel;
}

void CDmmView::StorePanel(TextArchive& archive) { m_dmmPanel->SerializePanel(archive); }

void CDmmView::LoadPanel(TextArchive& archive) { m_dmmPanel->SerializePanel(archive); }

ViewTable CDmmView::ExportTable() const
{
    ViewTable table;
    if (!m_dmmPanel)
        return table;
    const auto statistic = static_cast<MultimeterStatistic>(m_dmmPanel->Statistic());
    const QString name = QString::fromUtf8(MultimeterStatisticText(statistic).data(),
                                           qsizetype(MultimeterStatisticText(statistic).size()));
    table.SetColumns({QStringLiteral("channel"), QStringLiteral("statistic"), QStringLiteral("value"),
                      QStringLiteral("unit")});
    for (int slot = 0; slot < 2; ++slot) {
        const int channel = SlotChannel(slot);
        if (!Data().SlotShown(slot) || channel < 0)
            continue;
        table.AddRow({Channels().NameText(channel), name, ViewTable::Number(Value(channel)),
                      Channels().UnitText(channel)});
    }
    return table;
}

double CDmmView::Value(int channel) const
{
    return channel >= 0 && channel < int(m_values.size()) ? m_values[size_t(channel)] : 0.0;
}

void CDmmView::Reinit()
{
    const int channels = Channels().ChannelCount();
    if (!m_dmmPanel || channels <= 0)
        return;
    m_lastDt = Channels().SampleInterval(0);
    m_window = MultimeterWindow(m_dmmPanel->WindowSeconds(), m_lastDt);
    // Sizes settle here; the tick only appends and evaluates.
    m_rings.resize(size_t(channels));
    m_values.resize(size_t(channels), 0.0);
    for (SampleRing& ring : m_rings)
        ring.SetCapacity(m_window);
    m_evaluations = 0;
}

void CDmmView::Tick()
{
    if (!m_active)
        return;
    const int channels = Channels().ChannelCount();
    if (channels == 0)
        return;
    const double dt = Channels().SampleInterval(0);
    if (dt != m_lastDt || m_rings.size() != size_t(channels) || m_rings[0].Capacity() == 0)
        Reinit();
    if (m_window == 0)
        Reinit();
    if (m_window == 0)
        return;
    const int slotChannels[2] = {SlotChannel(0), SlotChannel(1)};
    for (int slot = 0; slot < 2; ++slot)
        Data().SetSlotShown(slot, slotChannels[slot] >= 0);
    if (slotChannels[0] < 0 && slotChannels[1] < 0)
        return;
    int n = Channels().Available(kClient, slotChannels[0] >= 0 ? slotChannels[0] : slotChannels[1]);
    if (n <= 0)
        return;
    std::vector<float>& buffer = Ctx().readBuffer;
    n = std::min(n, int(buffer.size()));
    for (int i = 0; i < channels; ++i) {
        const int read = Channels().Read(kClient, i, buffer.data(), n);
        if (read > 0)
            m_rings[size_t(i)].Append(buffer.data(), read);
    }
    if (m_rings[0].ValidCount() < m_window)
        return;
    Evaluate();
    RequestRepaint();
}

void CDmmView::Evaluate()
{
    const auto statistic = static_cast<MultimeterStatistic>(m_dmmPanel->Statistic());
    for (size_t i = 0; i < m_rings.size(); ++i) {
        m_values[i] = ComputeStatistic(m_rings[i], m_window, statistic);
        m_rings[i].Clear();
    }
    ++m_evaluations;
}

void CDmmView::OnPanelNotify(int code)
{
    if (code == PanelTimeConstant)
        Reinit();
}

void CDmmView::DrawContent(QPainter& painter)
{
    const QRect client = rect();
    const int left = client.x(), top = client.y(), right = Right(client), bottom = Bottom(client);
    const int mid = (top + bottom) / 2;
    const int rowTop[2] = {top + 16, mid + 24};
    // Character cell height from the client size; the glyphs take about four
    // fifths of the cell.
    const int h = std::max(1, std::min(2 * ((right - left) / 7), (mid - 8) - (top + 16)));
    QString values[2], units[2];
    for (int slot = 0; slot < 2; ++slot) {
        const int channel = SlotChannel(slot);
        if (!Data().SlotShown(slot) || channel < 0)
            continue;
        values[slot] = QString::asprintf("%7.3f", Value(channel));
        units[slot] = Channels().UnitText(channel);
    }
    QFont digits(QStringLiteral("Arial"));
    int pixels = std::max(1, h * 4 / 5);
    digits.setPixelSize(pixels);
    // The unit follows the number; a narrow view makes the digits smaller
    // rather than cut the unit off.
    const int room = std::max(1, right - left - 32);
    for (int slot = 0; slot < 2; ++slot) {
        const QFontMetrics metrics(digits);
        const int needed = metrics.horizontalAdvance(values[slot] + QLatin1Char(' ') + units[slot]);
        if (needed > room) {
            pixels = std::max(1, int(pixels * double(room) / needed));
            digits.setPixelSize(pixels);
        }
    }
    painter.save();
    painter.setFont(digits);
    const QFontMetrics metrics(digits);
    for (int slot = 0; slot < 2; ++slot) {
        if (values[slot].isEmpty())
            continue;
        painter.setPen(SlotColour(slot));
        const int unitX = left + 16 + metrics.horizontalAdvance(values[slot] + QLatin1Char(' '));
        painter.drawText(QRect(left + 16, rowTop[slot], right - left, h), Qt::AlignLeft | Qt::AlignTop, values[slot]);
        painter.drawText(QRect(unitX, rowTop[slot], std::max(0, right - unitX), h), Qt::AlignLeft | Qt::AlignTop,
                         units[slot]);
    }
    painter.restore();
    // The legend stands in the strip above the first row.
    const auto strips = PlotLayout::LegendStrips(PlotLayout::FromEdges(left, top + 20, right, bottom));
    SetLegendStrips({strips[0], strips[1]});
    DrawLegend(painter, false);
}

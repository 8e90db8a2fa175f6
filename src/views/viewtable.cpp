#include "viewtable.h"

#include "context/capturerecord.h"
#include "context/channelsource.h"
#include "views/graphwnd.h"

#include <cmath>

namespace {

QString CsvCell(const QString& cell)
{
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) && !cell.contains(QLatin1Char('\n'))
        && !cell.contains(QLatin1Char('\r')))
        return cell;
    QString quoted = cell;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString XName(const QString& unit) { return unit == QLatin1String("Hz") ? QStringLiteral("f") : QStringLiteral("t"); }

} // namespace

QString ViewTable::SlotTitle(const CGraphWnd& view, int slot)
{
    const QString& name = view.Data().SlotName(slot);
    if (!name.isEmpty())
        return name;
    const int channel = view.SlotChannel(slot);
    return channel >= 0 ? Channels().NameText(channel) : QStringLiteral("ch%1").arg(slot + 1);
}

QString ViewTable::Number(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(value, 'g', 9);
}

QString ViewTable::Heading(const QString& name, const QString& unit)
{
    return unit.isEmpty() ? name : name + QStringLiteral(" [") + unit + QLatin1Char(']');
}

QString ViewTable::ToCsv() const
{
    QString text;
    for (const QString& line : m_comments)
        text += QStringLiteral("# ") + line + QLatin1Char('\n');
    auto appendRow = [&text](const QStringList& cells) {
        for (int i = 0; i < cells.size(); ++i) {
            if (i > 0)
                text += QLatin1Char(',');
            text += CsvCell(cells[i]);
        }
        text += QLatin1Char('\n');
    };
    appendRow(m_columns);
    for (const QStringList& row : m_rows)
        appendRow(row);
    return text;
}

ViewTable ViewTable::FromDisplay(const CGraphWnd& view)
{
    ViewTable table;
    const ViewDisplay& data = view.Data();
    if (data.PointCount() <= 0 || data.ShownSlotCount() == 0)
        return table;
    if (data.Cascade() || data.ColourMap())
        AddSegmentRows(table, view);
    else
        AddLines(table, view);
    return table;
}

void ViewTable::AddLines(ViewTable& table, const CGraphWnd& view)
{
    const ViewDisplay& data = view.Data();
    const int points = data.PointCount();
    // Per shown slot its array and, where the analysis gave one a unit of
    // its own, the second quantity that a split view draws below.
    std::vector<int> arrays;
    QStringList columns{Heading(XName(data.XUnit()), data.XUnit())};
    for (int slot = 0; slot < 2; ++slot) {
        if (!data.SlotShown(slot))
            continue;
        for (int array : {slot, slot + 2}) {
            if (!data.Holds(array) || (array >= 2 && data.CustomUnit(array).isEmpty()))
                continue;
            arrays.push_back(array);
            columns.append(Heading(SlotTitle(view, slot), view.SlotUnit(array)));
        }
    }
    table.SetColumns(columns);
    for (int i = 0; i < points; ++i) {
        QStringList row{Number(data.XAt(i))};
        for (int array : arrays)
            row.append(Number(data.Display(array)[i]));
        table.AddRow(row);
    }
}

void ViewTable::AddSegmentRows(ViewTable& table, const CGraphWnd& view)
{
    const ViewDisplay& data = view.Data();
    const int bins = data.PointCount();
    const int rows = data.Rows();
    // Segment j starts j hops after the first; without a record the rows
    // are numbered.
    const CaptureRecord* capture = view.Capture();
    const double hopSeconds = capture && view.Record() ? view.Record()->hop * capture->sampleInterval : 0.0;
    QStringList columns{QStringLiteral("channel"), hopSeconds > 0 ? Heading(QStringLiteral("t"), QStringLiteral("s"))
                                                                  : QStringLiteral("segment")};
    for (int bin = 0; bin < bins; ++bin)
        columns.append(Heading(Number(data.XAt(bin)), data.XUnit()));
    table.SetColumns(columns);
    for (int slot = 0; slot < 2; ++slot) {
        if (!data.SlotShown(slot) || !data.Holds(slot, rows))
            continue;
        const QString title = Heading(SlotTitle(view, slot), view.SlotUnit(slot));
        for (int row = 0; row < rows; ++row) {
            QStringList cells{title, hopSeconds > 0 ? Number(row * hopSeconds) : QString::number(row)};
            const float* levels = data.Display(slot) + size_t(row) * size_t(bins);
            for (int bin = 0; bin < bins; ++bin)
                cells.append(Number(levels[bin]));
            table.AddRow(cells);
        }
    }
}

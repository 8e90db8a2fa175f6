#include "plotrenderer.h"

#include "context/appcontext.h"
#include "context/channelsource.h"
#include "context/formatwithprefix.h"
#include "context/mainframe.h"
#include "views/axislabels.h"
#include "views/graphwnd.h"
#include "views/labelstep.h"
#include "views/plotlayout.h"
#include "views/rescaledivisions.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

using PlotLayout::FromEdges;
constexpr int kAxisRight = CGraphWnd::kAxisRight;
constexpr int kAxisLine = CGraphWnd::kAxisLine;

int Right(const QRect& r) { return CGraphWnd::Right(r); }
int Bottom(const QRect& r) { return CGraphWnd::Bottom(r); }
void ClipToPlot(QPainter& painter, const QRect* rect) { CGraphWnd::ClipToPlot(painter, rect); }

} // namespace

PlotRenderer::PlotRenderer(CGraphWnd& graph) : m_graph(graph), m_font(QStringLiteral("Arial"), 9) {}

void PlotRenderer::SlotRange(int slot, double division, double offset)
{
    if (m_graph.YZoomed())
        return;
    m_y[slot].min = -5.0 * division - offset;
    m_y[slot].max = 5.0 * division - offset;
}

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

template <typename Fn> void ForEachTick(double first, double last, double step, Fn fn)
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

void PlotRenderer::DrawAxisLabel(QPainter& painter, const QRect& box, int flags, const QString& text)
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

const PlotRenderer::CaptionAdvances& PlotRenderer::MeasureCaption(const QString& before, const QString& sub,
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

void PlotRenderer::DrawXAxis(QPainter& painter, int left, int top, int right, int bottom, float xMin, float xMax,
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

void PlotRenderer::DrawYAxis(QPainter& painter, int x, int top, int x2, int bottom, float yMin, float yMax,
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
            prefix = AxisLabels::ChooseYPrefix(first, last, unit);
        const QString format = AxisLabels::LabelFormat(major * prefix.factor);
        // Majors outside the range (a zoomed range starts between them) are left out.
        const double tolerance = (double(yMax) - yMin) * 1e-6;
        auto outside = [&](double v) { return v < yMin - tolerance || v > yMax + tolerance; };
        m_tickLines.clear();
        m_gridLines.clear();
        ForEachTick(first, last, major, [&](double v) {
            if (outside(v))
                return;
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
            if (outside(v))
                return;
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
    const QString caption = PrefixedUnit(prefix.prefix, unit);
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

void PlotRenderer::DrawSlotAxes(QPainter& painter, const QRect& plot, const double divisions[2],
                                const double offsets[2])
{
    for (int slot = 0; slot < 2; ++slot)
        if (m_graph.Data().SlotShown(slot))
            SlotRange(slot, divisions[slot], offsets[slot]);
    const int l = plot.x(), t = plot.y(), r = Right(plot), b = Bottom(plot);
    // A zoomed range is gridded afresh, so that it shows labelled divisions.
    double majors[2] = {divisions[0], divisions[1]};
    if (m_graph.YZoomed())
        for (int slot = 0; slot < 2; ++slot)
            majors[slot] = ZoomedMajor(m_y[slot].max - m_y[slot].min, divisions[slot]);
    if (m_graph.Data().SlotShown(0) && m_graph.Data().SlotShown(1) && m_y[0].min == m_y[1].min
        && m_y[0].max == m_y[1].max) {
        m_graph.DrawYAxis(painter, l - 4, t, r, b, float(m_y[1].min), float(m_y[1].max), majors[1],
                          majors[1] * 0.1, Ctx().colours.graphText, m_graph.AxisUnit(1), false, 1, kAxisLine);
        m_y[0] = m_y[1];
        return;
    }
    for (int slot = 0; slot < 2; ++slot)
        if (m_graph.Data().SlotShown(slot))
            m_graph.DrawYAxis(painter, slot == 0 ? l - 64 : l - 4, t, r, b, float(m_y[slot].min), float(m_y[slot].max),
                              majors[slot], majors[slot] * 0.1, m_graph.SlotColour(slot), m_graph.AxisUnit(slot),
                              false, slot, kAxisLine);
}

void PlotRenderer::DrawTrace(QPainter& painter, int slot, const float* values, int count, const QRect& plot)
{
    const int n = m_polyline.Build(values, count, m_graph.Data().XStart(), m_graph.Data().XStep(), m_x, m_y[slot],
                                   plot.x(), Right(plot));
    if (n < 1)
        return;
    painter.setPen(QPen(m_graph.SlotColour(slot), 1, Qt::SolidLine));
    m_polyline.Draw(painter);
}

double PlotRenderer::XMajor(double major) const
{
    return m_graph.XZoomed() ? ZoomedMajor(m_x.max - m_x.min, major) : major;
}

void PlotRenderer::DrawDivisionPlot(QPainter& painter, const double divisions[2], const double offsets[2],
                                    double xStart, double xPerDivision)
{
    if (m_graph.Data().Cascade()) {
        DrawCascade(painter, divisions, offsets, xStart, xPerDivision);
        return;
    }
    if (m_graph.Data().ColourMap()) {
        DrawSpectrogram(painter, divisions, offsets, xStart, xPerDivision);
        return;
    }
    if (m_graph.ActiveSlotCount() == 0)
        return;
    const QRect plot = m_graph.PlotRect();
    DrawSlotAxes(painter, plot, divisions, offsets);
    if (!m_graph.XZoomed()) {
        m_x.min = xStart;
        m_x.max = xStart + 10.0 * xPerDivision;
    }
    const double major = XMajor(xPerDivision);
    m_graph.DrawXAxis(painter, plot.x(), plot.y(), Right(plot), Bottom(plot), float(m_x.min), float(m_x.max),
                      major, major * 0.1, m_graph.Data().XUnit(), false);

    painter.save();
    ClipToPlot(painter, &plot);
    for (int slot = 0; slot < 2; ++slot) {
        const int array = m_graph.Data().DrawArray(slot);
        if (m_graph.Data().SlotShown(slot) && int(m_graph.Data().ArraySize(array)) >= m_graph.Data().PointCount())
            DrawTrace(painter, slot, m_graph.Data().Display(array), m_graph.Data().PointCount(), plot);
    }
    ClipToPlot(painter, nullptr);
    painter.restore();
    DrawLegend(painter, false);
    DrawResetButtons(painter);
}

void PlotRenderer::DrawCascade(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                               double xPerDivision)
{
    if (m_graph.ActiveSlotCount() == 0)
        return;
    const int segments = m_graph.Data().Rows();
    const QRect front = m_graph.PlotRect();
    DrawSlotAxes(painter, front, divisions, offsets);
    if (!m_graph.XZoomed()) {
        m_x.min = xStart;
        m_x.max = xStart + 10.0 * xPerDivision;
    }
    const double major = XMajor(10.0 * xPerDivision * 0.1);
    m_graph.DrawXAxis(painter, front.x(), front.y(), Right(front), Bottom(front), float(m_x.min), float(m_x.max),
                      major, major * 0.1, QStringLiteral("Hz"), false);

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
        const int array = m_graph.Data().DrawArray(slot);
        if (!m_graph.Data().SlotShown(slot) || m_graph.Data().PointCount() <= 0
            || m_graph.Data().ArraySize(array) < size_t(segments) * size_t(m_graph.Data().PointCount()))
            continue;
        for (int j = 0; j < segments; ++j) {
            const QRect segment = PlotLayout::CascadeSegment(front, j, segments);
            ClipToPlot(painter, &segment);
            m_x = AxisTransform::Horizontal(frontX.min, frontX.max, segment.x(), Right(segment));
            m_y[slot] = AxisTransform::Vertical(frontY[slot].min, frontY[slot].max, segment.y(), Bottom(segment));
            DrawTrace(painter, slot, m_graph.Data().Display(array) + size_t(j) * m_graph.Data().PointCount(),
                      m_graph.Data().PointCount(), segment);
        }
    }
    // Cursors and zoom work on the front plot.
    m_x = frontX;
    m_y = frontY;
    ClipToPlot(painter, nullptr);
    painter.restore();
    DrawLegend(painter, false);
}

void PlotRenderer::DrawSpectrogram(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                                   double xPerDivision)
{
    if (m_graph.ActiveSlotCount() == 0)
        return;
    const bool two = m_graph.Data().SlotShown(0) && m_graph.Data().SlotShown(1);
    const QRect plot = m_graph.PlotRect();
    const int segments = m_graph.Data().Rows();
    const double segmentTime = m_graph.Capture() ? m_graph.Record()->hop * m_graph.Capture()->sampleInterval : 0.0;
    const double duration = segmentTime * segments;
    if (!m_graph.XZoomed()) {
        m_x.min = xStart;
        m_x.max = xStart + 10.0 * xPerDivision;
    }
    // The frequency range stays in the x transform's range (zoom, wheel); the
    // time scale only borrows the transform while it is drawn.
    const double fMin = m_x.min, fMax = m_x.max;
    const double fMajor = XMajor(xPerDivision);
    const ColourScheme& colours = Ctx().colours;
    for (int slot = 0; slot < 2; ++slot) {
        m_colourScaleArea[slot] = QRect();
        if (!m_graph.Data().SlotShown(slot))
            continue;
        const QRect part = PlotLayout::SpectrogramPart(plot, two ? slot : 0, two);
        m_legendStrip[slot] = PlotLayout::SpectrogramLegend(part);
        const double levelMin = -5.0 * divisions[slot] - offsets[slot];
        const double levelMax = 5.0 * divisions[slot] - offsets[slot];
        const int l = part.x(), t = part.y(), r = Right(part), b = Bottom(part);
        // Small parts label every second, fifth, ... division, so that the
        // labels never run into each other.
        const QFontMetrics metrics(m_font);
        const double labelRows = metrics.height() + 2;
        const double fStep = LegibleStep(fMajor, double(b - t) / (fMax - fMin), labelRows);
        m_graph.DrawYAxis(painter, l - 4, t, r, b, float(fMin), float(fMax), fStep, fMajor * 0.1, colours.graphText,
                          QStringLiteral("Hz"), false, slot, kAxisLine);
        const AxisTransform frequency = m_y[slot];
        m_frequency[slot] = frequency;
        m_spectrogramPart[slot] = part;
        if (duration > 0.0) {
            const double labelWidth = metrics.horizontalAdvance(QStringLiteral("00.000")) + 8;
            // A tenth of the duration, or the round step the labels need.
            const double pixelsPerSecond = double(r - l) / duration;
            double tStep = duration * 0.1;
            if (tStep * pixelsPerSecond < labelWidth)
                tStep = NiceStep(labelWidth / pixelsPerSecond);
            m_graph.DrawXAxis(painter, l, t, r, b, 0.0f, float(duration), tStep, duration * 0.01,
                              QStringLiteral("sec"), false);
            m_time = m_x;
        }

        const int array = m_graph.Data().DrawArray(slot);
        if (m_graph.Data().PointCount() > 0
            && m_graph.Data().ArraySize(array) >= size_t(segments) * size_t(m_graph.Data().PointCount())) {
            ColourMapImage::Input input;
            input.values = m_graph.Data().Display(array);
            input.segments = segments;
            input.bins = m_graph.Data().PointCount();
            input.binStart = m_graph.Data().XStart();
            input.binStep = m_graph.Data().XStep();
            input.levelMin = levelMin;
            input.levelMax = levelMax;
            input.frequency = frequency;
            input.generation = m_graph.Data().Generation();
            const QImage& image
                = m_spectrogram[slot].Render(input, part, painter.device()->devicePixelRatioF(), colours.colourMap,
                                             colours.colourMapCount, colours.graphBackground);
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
        const double levelStep
            = LegibleStep(divisions[slot], double(area.height()) / (levelMax - levelMin), labelRows);
        m_graph.DrawYAxis(painter, area.x(), area.y(), Right(area), Bottom(area), float(levelMin), float(levelMax),
                          levelStep, 0.0, colours.graphText, m_graph.SlotUnit(slot), false, slot, kAxisRight);
    }
    m_x.min = fMin;
    m_x.max = fMax;
    DrawLegend(painter, true);
}

void PlotRenderer::DrawLegend(QPainter& painter, bool centred)
{
    if (m_graph.ActiveSlotCount() == 0)
        return;
    auto legendText = [this](int slot) {
        const int channel = m_graph.SlotChannel(slot);
        // A source that ended has no channels left to name.
        if (channel < 0 || channel >= Channels().ChannelCount())
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
        if (!m_graph.Data().SlotShown(slot))
            continue;
        const Qt::Alignment horizontal = centred ? Qt::AlignHCenter : (strip == 0 ? Qt::AlignRight : Qt::AlignLeft);
        painter.setPen(m_graph.SlotColour(slot));
        DrawAxisLabel(painter, m_legendStrip[strip], horizontal | Qt::AlignVCenter, legendText(slot));
    }
    if (m_combinedLegend && m_graph.Data().SlotShown(0) && m_graph.Data().SlotShown(1)) {
        const int l = Right(m_legendStrip[0]), r = m_legendStrip[1].x();
        painter.setPen(Ctx().colours.graphText);
        painter.drawText(FromEdges(l, m_legendStrip[0].y(), r, Bottom(m_legendStrip[0])), Qt::AlignCenter,
                         QStringLiteral("/"));
    }
    painter.restore();
}

void PlotRenderer::DrawResetButtons(QPainter& painter)
{
    const QRect plot = m_graph.PlotRect();
    const bool zoomed[2] = {m_graph.XZoomed(), m_graph.YZoomed()};
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

void PlotRenderer::DrawNotice(QPainter& painter, const QRect& plot, const QString& text, bool stale)
{
    const QColor background = Ctx().colours.graphBackground;
    painter.save();
    if (stale) {
        QColor veil = background;
        veil.setAlpha(150);
        painter.fillRect(plot.adjusted(1, 1, 0, 0), veil);
    }
    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(0, plot.width() - 12));
    // Only the text's own box is cleared, so that traces beside it stay seen.
    const QRect line(plot.x() + 4, plot.y() + 4, metrics.horizontalAdvance(shown) + 4, metrics.height() + 2);
    // Amber on dark schemes, a dark red on light ones: away from both trace colours.
    const QColor ink = background.lightness() < 128 ? QColor(255, 190, 60) : QColor(170, 30, 0);
    painter.fillRect(line, background);
    painter.setPen(ink);
    painter.drawText(line.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, shown);
    painter.restore();
}

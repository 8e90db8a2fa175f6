#pragma once
// The drawing of a graph view's plot: the x and y scales with their
// transforms, the division plot with its traces, the cascade and the
// colour-map (spectrogram) plots, the legends and the reset and automatic
// buttons, with the layouts and images kept between paints (axis labels,
// caption advances, tick buffers, colour-map images). It reads the view's
// data, zoom state, slots and units from its graph window and draws the
// scales through the window's DrawXAxis and DrawYAxis. UI thread only.
//
// Coordinates: client (logical) pixels, rectangles with exclusive right and
// bottom edges as in CGraphWnd.

#include "views/axistransform.h"
#include "views/colourmapimage.h"
#include "views/tracepolyline.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QLine>
#include <QRect>
#include <QStaticText>
#include <QString>
#include <array>
#include <vector>

class CGraphWnd;
class QPainter;

class PlotRenderer {
public:
    explicit PlotRenderer(CGraphWnd& graph);

    // The 9-point font of scales and legends.
    const QFont& Font() const { return m_font; }
    void SetFont(const QFont& font) { m_font = font; }

    // The transforms the last drawing set (zooming changes their ranges).
    AxisTransform& X() { return m_x; }
    const AxisTransform& X() const { return m_x; }
    std::array<AxisTransform, 2>& Y() { return m_y; }
    const std::array<AxisTransform, 2>& Y() const { return m_y; }

    // The colour-map form's time axis (across) and, per slot, its part of
    // the plot and frequency axis (upward), as the last drawing set them:
    // the cursors stand on segments there.
    const AxisTransform& Time() const { return m_time; }
    const QRect& SpectrogramPart(int slot) const { return m_spectrogramPart[size_t(slot & 1)]; }
    const AxisTransform& Frequency(int slot) const { return m_frequency[size_t(slot & 1)]; }

    // Areas the last drawing laid out, for the mouse.
    const QRect& XScaleStrip() const { return m_xScaleStrip; }
    const QRect& ColourScaleArea(int slot) const { return m_colourScaleArea[size_t(slot & 1)]; }
    const QRect& LegendStrip(int slot) const { return m_legendStrip[size_t(slot & 1)]; }
    void SetLegendStrips(const std::array<QRect, 2>& strips) { m_legendStrip = strips; }
    const QRect& ResetButton(int which) const { return m_resetButton[size_t(which & 1)]; }
    const QRect& AutoButton(int axis) const { return m_autoButton[size_t(axis & 1)]; }
    bool ShowsAutoButtons() const { return m_showAutoButtons; }

    // The combined legend relates the second channel to the first ("ch2 /
    // ch1"): the second stands left and the axes show no channel unit.
    bool CombinedLegend() const { return m_combinedLegend; }
    void SetCombinedLegend(bool on) { m_combinedLegend = on; }

    // See the operations of the same names in CGraphWnd.
    void DrawXAxis(QPainter& painter, int left, int top, int right, int bottom, float xMin, float xMax, double major,
                   double minor, const QString& unit, bool grid);
    void DrawYAxis(QPainter& painter, int x, int top, int x2, int bottom, float yMin, float yMax, double major,
                   double minor, const QColor& axisColour, const QString& unit, bool grid, int axis, int flags);
    void DrawDivisionPlot(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                          double xPerDivision);
    void DrawCascade(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                     double xPerDivision);
    void DrawSpectrogram(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                         double xPerDivision);
    void DrawLegend(QPainter& painter, bool centred);
    void DrawAxisLabel(QPainter& painter, const QRect& box, int flags, const QString& text);
    void DrawResetButtons(QPainter& painter);
    // One line of notice at the top of the plot; with stale, the plot under
    // it is first veiled in the background colour, so that a picture that
    // no longer holds reads as such.
    void DrawNotice(QPainter& painter, const QRect& plot, const QString& text, bool stale);
    void SlotRange(int slot, double division, double offset);
    void DrawSlotAxes(QPainter& painter, const QRect& plot, const double divisions[2], const double offsets[2]);
    void DrawTrace(QPainter& painter, int slot, const float* values, int count, const QRect& plot);

private:
    // The x major step: the given one, or while x is zoomed one fitted to
    // the zoomed range.
    double XMajor(double major) const;
    // Advances of a y-axis caption's parts ("rms" in the small font), per
    // caption, measured in m_captionFont.
    struct CaptionAdvances {
        int before = 0, sub = 0, after = 0;
    };
    const CaptionAdvances& MeasureCaption(const QString& before, const QString& sub, const QString& after);

    CGraphWnd& m_graph;
    QFont m_font;
    AxisTransform m_x;
    std::array<AxisTransform, 2> m_y;
    std::array<QRect, 2> m_legendStrip;
    QRect m_xScaleStrip;
    std::array<QRect, 2> m_autoButton;
    std::array<QRect, 2> m_resetButton; // 0 "X-xpnd", 1 "Y-xpnd"
    std::array<QRect, 2> m_colourScaleArea;
    bool m_showAutoButtons = false;
    bool m_yPrefixes = true;
    bool m_combinedLegend = false;
    TracePolyline m_polyline;
    // Laid-out axis labels in m_axisLabelFont; see DrawAxisLabel.
    QHash<QString, QStaticText> m_axisLabels;
    // Tick marks of one pen, collected to be drawn in one call.
    std::vector<QLine> m_tickLines, m_gridLines;
    QFont m_axisLabelFont;
    QHash<QString, CaptionAdvances> m_captionAdvances;
    QFont m_captionFont;
    QFont m_captionSmallFont{QStringLiteral("Arial"), 6};
    std::array<ColourMapImage, 2> m_spectrogram;
    AxisTransform m_time;
    std::array<QRect, 2> m_spectrogramPart;
    std::array<AxisTransform, 2> m_frequency;
};

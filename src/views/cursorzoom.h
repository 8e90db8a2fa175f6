#pragma once
// The measurement cursors of a graph view with their delta box, the
// rubber band, the zoom state and the mouse press they start from. The
// cursor pop-ups, the box and the band are child windows of the graph
// window, which receives their messages. The x and y transforms stay with
// the drawing; zooming changes the ranges of those handed in. UI thread
// only.

#include "views/axistransform.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <array>

class CCursorWnd;
class CDeltaBox;
class CZoomBand;
class QImage;
class QWidget;

class CursorZoom {
public:
    static constexpr int kMaxCursors = 100;

    explicit CursorZoom(QWidget* window);
    ~CursorZoom();
    CursorZoom(const CursorZoom&) = delete;
    CursorZoom& operator=(const CursorZoom&) = delete;

    // ---- Cursors ----
    int Count() const { return m_count; }
    // The cursor at index; nullptr outside 0 .. Count() - 1.
    CCursorWnd* At(int index) const;
    CDeltaBox* DeltaBox() const { return m_deltaBox; }
    // A cursor at pixel column pixelX showing xValue; false when there are
    // kMaxCursors already. The second cursor brings the delta box, shown
    // when boxShown.
    bool Add(int pixelX, double xValue, const QString& xUnit, const QImage* backBuffer, const QRect& plot,
             bool boxShown);
    // Removes a cursor (renumbering those after it); the box goes with the
    // second last cursor.
    void Delete(int index);
    void SetBackBuffer(const QImage* backBuffer);
    void HideAll();
    // Cursors made from now on track the nearby peak.
    void SetInitialPeakTracking(bool on) { m_initialPeakTracking = on; }

    // ---- Zoom ----
    bool XZoomed() const { return m_xZoomed; }
    bool YZoomed() const { return m_yZoomed; }
    double UnzoomedXMin() const { return m_unzoomedX[0]; }
    double UnzoomedXMax() const { return m_unzoomedX[1]; }
    // Zooms x to the band's columns when it is narrower than the plot and
    // y to its rows when it is lower.
    void ZoomTo(const QRect& band, const QRect& plot, AxisTransform& x, std::array<AxisTransform, 2>& y);
    // Keeps x's range as the one "X-xpnd" returns to, unless x is zoomed
    // (the range to return to is kept already).
    void KeepUnzoomedX(const AxisTransform& x);
    // The wheel over the x scale: zooms about the value at pixel.
    void WheelZoomX(AxisTransform& x, int delta, int pixel);
    // Back to the kept x range; false when x was not zoomed.
    bool ResetX(AxisTransform& x);
    // y follows the slots' divisions again; false when y was not zoomed.
    bool ResetY();

    // ---- Mouse press and rubber band ----
    void Press(const QPoint& point, bool inPlot);
    const QPoint& PressPoint() const { return m_press; }
    bool PressedInPlot() const { return m_pressedInPlot; }
    // Whether the press was in the plot; a later call says no.
    bool TakePressInPlot();
    CZoomBand* RubberBand() const { return m_rubberBand; }
    // A band from the press to mouse over plot, dragged on at the handle
    // under the mouse; nothing when the drag is too short.
    void StartRubberBand(const QPoint& mouse, const QRect& plot);
    // Drops the band; false when there was none.
    bool DropRubberBand();
    // Takes the finished band's rectangle and drops it; false when there
    // was none.
    bool FinishRubberBand(QRect& band);

private:
    void CreateDeltaBox(const QRect& plot, bool shown);

    QWidget* m_window;
    std::array<CCursorWnd*, kMaxCursors> m_cursors{};
    int m_count = 0;
    CDeltaBox* m_deltaBox = nullptr;
    bool m_initialPeakTracking = false;
    CZoomBand* m_rubberBand = nullptr;
    QPoint m_press;
    bool m_pressedInPlot = false;
    std::array<double, 2> m_unzoomedX{};
    bool m_xZoomed = false;
    bool m_yZoomed = false;
};

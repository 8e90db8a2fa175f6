#pragma once
// The rubber band that selects a rectangle to zoom into: a light green child
// window over the graph with eight grey handles and an accept disc in its
// centre. Dragging a handle moves that corner or edge, dragging elsewhere
// moves the band; the mouse is held inside the plot rectangle and the band
// is kept normalised (dragging an edge past the opposite one flips the band
// and the drag goes on with the opposite handle). Releasing the button on the
// accept disc posts the graph WM_USER + 104 with 1. Its creator makes it
// translucent (ToggleWindowAlpha(100)). UI thread only.

#include <QPointer>
#include <QRect>
#include <QWidget>

class CZoomBand : public QWidget {
    Q_OBJECT
public:
    // Grab codes: which part of the band a drag moves.
    enum Code { Move = 0, TopLeft, Top, TopRight, Right, BottomRight, Bottom, BottomLeft, Left };
    static constexpr int kAcceptDiameter = 16;

    // band and plot in graph coordinates.
    CZoomBand(QWidget* graph, const QRect& band, const QRect& plot);

    // Where 104 goes; the parent graph unless set.
    void SetMessageTarget(QObject* target) { m_target = target; }
    QObject* MessageTarget() const { return m_target ? m_target.data() : parentWidget(); }

    void SetPlotRect(const QRect& plot) { m_plot = plot; }
    // The band in graph coordinates.
    QRect Band() const { return geometry(); }
    // Starts a drag from the graph: the pointer goes 2 pixels left of and 2
    // below the graph point, the band takes the mouse with the code.
    void StartDrag(const QPoint& graphPoint, int code);
    int GrabCode() const { return m_code; }

    // Hit code of a point in band coordinates, and the parts it is made of.
    int HitCode(const QPoint& point) const;
    QRect HandleRect(int code) const;
    QRect AcceptRect() const;

    // One drag step to a graph point (already in graph coordinates).
    void DragTo(const QPoint& graphPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ReleaseGrab();

    QRect m_plot;
    QPoint m_grab; // graph coordinates
    int m_code = Move;
    bool m_grabbed = false;
    bool m_dragging = false;
    QPointer<QObject> m_target;
};

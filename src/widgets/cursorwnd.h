#pragma once
// A measurement cursor over a graph: an 8-pixel-wide child window of the
// graph with a dotted red line down its middle and, per shown channel slot,
// a circle at the slot's value; what the graph drew under it stays on top of
// these marks. Its label box (CCursorLabel) shows the
// values beside it. Dragging with the left button moves the cursor inside
// the plot rectangle and sends the graph WM_USER + 102 (cursor number, graph
// x). The label's button clicks reach the graph as WM_USER + 103 (cursor
// number, code); the label's drags set the label's height here. UI thread
// only.

#include "cursorlabel.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>

class QPainter;

class CCursorWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 8;
    // The colour of the cursor line (dotted).
    static inline const QColor kLineColour{255, 0, 0};

    // graph: the parent, which receives the messages. Created visible, as
    // high as the graph; when the left button is still held (the press that
    // made the cursor), it takes the mouse so that the drag goes on.
    CCursorWnd(int number, QWidget* graph);
    ~CCursorWnd() override;

    // Where 102 and 103 go; the parent graph unless set.
    void SetMessageTarget(QObject* target) { m_target = target; }
    QObject* MessageTarget() const { return m_target ? m_target.data() : parentWidget(); }

    void SetNumber(int number) { m_number = number; }
    int Number() const { return m_number; }

    // The x value and its unit, for the label's title "x <value>".
    void SetXValue(double x, const QString& unit);
    double XValue() const { return m_x; }
    // Per slot 0 / 1: shown, value, its height in pixels from the cursor's
    // top, and the unit.
    void SetSlot(int slot, bool shown, double value, int pixelHeight, const QString& unit);
    // A note after the slot's value ("@ 1.000 kHz"); SetSlot clears it.
    void SetSlotNote(int slot, const QString& note);
    // The "Q" form of the slot lines ("%4.1f", for a peak's quality).
    void SetAlternativeForm(bool alternative);
    void SetPeakTracking(bool on);
    bool PeakTracking() const { return m_peakTracking; }
    void OfferPeakTracking(bool offered);

    // The graph's back buffer, painted under the line; without one the
    // graph itself shows through.
    void SetBackBuffer(const QImage* backBuffer) { m_backBuffer = backBuffer; }
    // Drag limits in graph coordinates.
    void SetPlotRect(const QRect& plot) { m_plot = plot; }
    const QRect& PlotRect() const { return m_plot; }
    // Centres the line at the graph x, spanning the plot's height.
    void PlaceAt(int graphX);
    // Hides the cursor and its label while its x lies outside the plot.
    void SetInsidePlot(bool inside);

    // The label's top as a fraction of the cursor's height.
    double LabelFraction() const { return m_labelFraction; }
    void SetLabelFraction(double fraction);
    CCursorLabel* Label() const { return m_label; }

    // Takes the mouse until the left button is released.
    void StartDrag();
    bool IsDragging() const { return m_dragging; }

    // The label's texts as they are made from the values.
    QString TitleText() const;
    QString SlotText(int slot) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Slot {
        bool shown = false;
        double value = 0.0;
        int pixelHeight = 0;
        QString unit;
        QString note;
    };

    // The dotted line and the circles at the values.
    void PaintMarks(QPainter& painter) const;
    void DragTo(const QPoint& graphPoint);
    void PlaceLabel();
    void UpdateLabelTexts();
    void StopDrag();

    int m_number;
    double m_x = 0.0;
    QString m_xUnit;
    std::array<Slot, 2> m_slots;
    bool m_alternative = false;
    bool m_peakTracking = false;
    const QImage* m_backBuffer = nullptr;
    QRect m_plot;
    double m_labelFraction = 0.0;
    bool m_dragging = false;
    bool m_grabbed = false;
    QPointer<CCursorLabel> m_label;
    QPointer<QObject> m_target;
};

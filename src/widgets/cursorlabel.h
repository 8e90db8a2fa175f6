#pragma once
// The value box of a measurement cursor: 64 pixels high and 80 wide, or as
// wide as its longest text needs, beside the cursor line, translucent (alpha 180), with the x value, one line per shown
// channel slot and a row of buttons along its top edge: delete, minimum,
// maximum and, when offered, peak tracking. A click on a button posts its
// cursor window WM_USER + 103 with the button's code; dragging below the
// button row moves the box vertically and posts WM_USER + 106 with its new
// top. Lives as a child of the graph, beside its cursor. UI thread only.

#include <QString>
#include <QWidget>
#include <array>

class CCursorLabel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 80; // the narrowest; longer texts widen the box
    static constexpr int kHeight = 64;
    // Button codes, as carried by WM_USER + 103.
    enum Code { Delete = 0, Maximum = 2, Minimum = 3, PeakTracking = 4 };

    // cursor: the window the messages go to; graph: the parent widget.
    CCursorLabel(QObject* cursor, QWidget* graph);

    void SetTitle(const QString& title);
    // An empty text hides the slot's line.
    void SetSlotText(int slot, const QString& text);
    void OfferPeakTracking(bool offered);
    void SetPeakTrackingOn(bool on);

    const QString& Title() const { return m_title; }
    const QString& SlotText(int slot) const { return m_slotText[slot]; }
    // The button of a code, in widget coordinates; empty when not offered.
    QRect ButtonRect(int code) const;
    // The code of the button under a point, or -1.
    int ButtonAt(const QPoint& point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FitToTexts();

    QObject* m_cursor;
    QString m_title;
    std::array<QString, 2> m_slotText;
    bool m_peakOffered = true;
    bool m_peakOn = false;
    bool m_dragging = false;
};

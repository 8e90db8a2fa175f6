#pragma once
// A stand-in for a graph view: a back buffer with a frame, a grid and two
// sine traces, a plot rectangle laid out as a graph's, and a record of every
// private message its pop-ups send it. Tests and the gallery put cursors,
// the delta box and the zoom band over it. UI thread only.

#include <QImage>
#include <QWidget>
#include <vector>

class CCursorWnd;
class CDeltaBox;
class CZoomBand;

class CGraphHarness : public QWidget {
    Q_OBJECT
public:
    struct Message {
        int number;
        qintptr wParam;
        qintptr lParam;
    };

    explicit CGraphHarness(QWidget* parent = nullptr);

    // Client rectangle less 120 on the left, 16 on the right, 40 above and below.
    QRect PlotRect() const;
    const QImage& BackBuffer() const { return m_backBuffer; }

    // Graph x of a trace's abscissa 0 .. 1, and the traces' pixel heights
    // from the plot top.
    int PixelX(double x) const;
    double XAt(int pixelX) const;
    int TraceHeight(int slot, double x) const;

    // A cursor at a graph x with readouts of both traces, placed like a
    // graph places its cursors.
    CCursorWnd* AddCursor(int pixelX);
    // Moves the cursor to a graph x and refreshes its readouts.
    void UpdateCursor(CCursorWnd* cursor, int pixelX);
    CDeltaBox* AddDeltaBox();
    CZoomBand* AddZoomBand(const QRect& band);

    const std::vector<Message>& Messages() const { return m_messages; }
    void ClearMessages() { m_messages.clear(); }
    // When set, 102 moves the cursor and 103 with 0 deletes it, like a graph.
    void SetActLikeGraph(bool act) { m_act = act; }
    const std::vector<CCursorWnd*>& Cursors() const { return m_cursors; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Render();

    QImage m_backBuffer;
    std::vector<Message> m_messages;
    std::vector<CCursorWnd*> m_cursors;
    bool m_act = false;
};

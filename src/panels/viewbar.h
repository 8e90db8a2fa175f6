#pragma once
// One page of the main window: the strip of view tabs along the bottom of
// the page's tile, and the owner of the page's analysis views.

#include <QRect>
#include <QWidget>

class MainFrame;

class CViewBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStripHeight = 28;

    CViewBar(MainFrame* frame, QWidget* parent);

    // Places the page in its tile (main-window client coordinates): the
    // strip at the bottom right of the panel column, the views above it.
    void LayoutViews(int x, int y, int w, int h);
    // The main tick for page pageIndex: views that read the service themselves.
    void TickViews(int pageIndex);
    // New data or a new channel choice: the record-based views analyse.
    void RecomputeViews();
    // The channel set changed.
    void ChannelsChanged();

    QRect Tile() const { return m_tile; }
    QRect ViewArea() const { return m_viewArea; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MainFrame* m_frame;
    QRect m_tile;
    QRect m_viewArea;
};

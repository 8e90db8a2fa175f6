#pragma once
// The drum chooser of a value selector: seven rows of 15 pixels right under
// the selector, the current item in the centre row. Dragging rolls the drum
// by rows, the wheel rolls it too, a click anywhere (or outside) accepts the
// centre row, Escape cancels. Run() blocks in a nested event loop that keeps
// delivering every event of the application (timers, paints), while the
// popup takes all mouse and keyboard input. UI thread only.

#include <QStringList>
#include <QWidget>
#include <climits>

class QEventLoop;

class CNumericDrum : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 15;
    static constexpr int kRows = 7;
    static constexpr int kCentreRow = 3;
    // The result of a cancelled choice: below 0 and below -1000000.
    static constexpr int kCancelled = INT_MIN;

    // List mode when items is not empty: rows show the item texts and the
    // centre never leaves the list. Otherwise numeric mode: row j shows
    // (first visible + j) x step + offset. current: index of the centre row.
    CNumericDrum(QWidget* selector, const QStringList& items, int current, double step, double offset);
    // A drum under a rectangle of owner (a grid cell), as wide as it.
    CNumericDrum(QWidget* owner, const QRect& area, const QStringList& items, int current, double step,
                 double offset);
    ~CNumericDrum() override;

    // Shows the drum under the selector and returns the index in the centre
    // row when it closes, or kCancelled.
    int Run();
    // Ends Run with the centre index.
    void Accept();
    void Cancel();

    int FirstVisible() const { return m_first; }
    int CentreIndex() const { return m_first + kCentreRow; }
    bool IsListMode() const { return !m_items.isEmpty(); }
    // Rolls the drum by rows: positive moves the list down, to smaller indexes.
    void Roll(int rows);

    // index x step + offset, with the rounding residue of a grid point that
    // is zero (3 x 0.1 - 0.3) made exactly zero, so that it reads "0".
    static double GridValue(int index, double step, double offset);

    // The drum that is running now, if any; tests reach it through this.
    static CNumericDrum* Running();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void PlaceBelow(QWidget* owner, const QRect& area);
    void Finish(int result);
    QString RowText(int index) const;

    QWidget* m_selector;
    QStringList m_items;
    double m_step;
    double m_offset;
    int m_first;
    int m_anchor = 0;
    bool m_click = false;
    int m_result = kCancelled;
    bool m_finished = false;
    QEventLoop* m_loop = nullptr;
};

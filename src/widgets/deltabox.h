#pragma once
// The box of differences between cursor 0 and cursor 1: 64 pixels high and
// 80 wide, or as wide as its longest text needs, over the graph, with a title line, one line per shown slot in the text of the
// current display mode, and the mode buttons 6 (in the corner) and, when
// offered, 5. A click on a mode button posts the graph WM_USER + 107 with 5
// or 6; the graph then selects the mode (SetMode) and refreshes the texts.
// Dragging below the button row moves the box, kept as fractions of the
// graph's size. Its creator makes it translucent (ToggleWindowAlpha(180)).
// UI thread only.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>

class CDeltaBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 80; // the narrowest; longer texts widen the box
    static constexpr int kHeight = 64;
    static constexpr int kModeA = 5;
    static constexpr int kModeB = 6;

    explicit CDeltaBox(QWidget* graph);

    // Where 107 goes; the parent graph unless set.
    void SetMessageTarget(QObject* target) { m_target = target; }
    QObject* MessageTarget() const { return m_target ? m_target.data() : parentWidget(); }

    void SetTitle(const QString& title);
    // The slot's text in mode 5 and in mode 6; empty texts hide the line.
    void SetSlotTexts(int slot, const QString& modeA, const QString& modeB);
    // 5 or 6; other numbers are ignored.
    void SetMode(int mode);
    int Mode() const { return m_modeA ? kModeA : kModeB; }
    void OfferModeA(bool offered);

    // Top-left corner as fractions of the graph's client width and height.
    void SetFractions(double xFraction, double yFraction);
    double XFraction() const { return m_xFraction; }
    double YFraction() const { return m_yFraction; }
    // Moves the box to its fractions of the graph's size, keeping its size.
    void Place();

    const QString& Title() const { return m_title; }
    QString SlotText(int slot) const;
    QRect ButtonRect(int mode) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int ModeButtonAt(const QPoint& point) const;
    void FitToTexts();

    QString m_title;
    std::array<std::array<QString, 2>, 2> m_texts; // [slot][mode A, mode B]
    bool m_modeA = false;
    bool m_modeAOffered = true;
    double m_xFraction = 0.0;
    double m_yFraction = 0.0;
    bool m_dragging = false;
    QPointer<QObject> m_target;
};

#pragma once
// The shaded push button of the view tabs and the main bar. The owner sets
// its on/off state; a click only notifies the owner (clicked()). Options: a
// Run/Stop caption that follows the state, and a red lamp disc shown while
// off. UI thread only.

#include <QColor>
#include <QPushButton>

class CToggleButton : public QPushButton {
    Q_OBJECT
public:
    explicit CToggleButton(QWidget* parent = nullptr);
    explicit CToggleButton(const QString& caption, QWidget* parent = nullptr);

    void SetColors(const QColor& offFace, const QColor& offText, const QColor& onFace, const QColor& onText);
    // Sets the state and repaints at once.
    void SetState(bool on);
    bool State() const { return m_on; }
    // Set by the owner before the first paint.
    void SetRunStopCaption(bool runStop) { m_runStopCaption = runStop; }
    void SetLamp(bool lamp) { m_lamp = lamp; }

    // What the button shows: "Stop"/"Run" in Run/Stop mode, else its text.
    QString Caption() const;
    // Where the caption is centred: the whole button, moved right by the
    // button's height in lamp mode whatever the state, so it never jumps.
    QRect CaptionRect() const;
    // Where the lamp disc is drawn while off.
    QRect LampRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QColor m_offFace{180, 180, 180};
    QColor m_offText{Qt::black};
    QColor m_onFace{180, 180, 180};
    QColor m_onText{Qt::black};
    bool m_on = false;
    bool m_runStopCaption = false;
    bool m_lamp = false;
};

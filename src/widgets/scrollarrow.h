#pragma once
// The flat arrow strip that scrolls a panel's controls or a page's tabs:
// the scheme's panel fill with a triangle in the panel line colour (dimmed
// while there is nothing more to that side). It repeats while held. It
// takes no focus, so that the keys stay with the window. UI thread only.

#include <QAbstractButton>

class CScrollArrow : public QAbstractButton {
    Q_OBJECT
public:
    CScrollArrow(Qt::ArrowType direction, QWidget* parent);

    Qt::ArrowType Direction() const { return m_direction; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::ArrowType m_direction;
};

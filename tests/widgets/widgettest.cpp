#include "widgettest.h"

#include "widgets/numericdrum.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

namespace WidgetTest {

void Wheel(QWidget* widget, int delta, QPoint pos)
{
    if (pos == QPoint(-1, -1))
        pos = widget->rect().center();
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void Move(QWidget* widget, QPoint pos, bool leftHeld)
{
    Qt::MouseButtons buttons = leftHeld ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(QEvent::MouseMove, QPointF(pos), QPointF(widget->mapToGlobal(pos)), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

DrumResult WithDrum(const std::function<void()>& open, const std::function<void(CNumericDrum*)>& act)
{
    DrumResult result;
    bool fired = false;
    QTimer::singleShot(0, [&] {
        fired = true;
        CNumericDrum* drum = CNumericDrum::Running();
        if (!drum)
            return;
        result.opened = true;
        result.firstVisible = drum->FirstVisible();
        act(drum);
        if (CNumericDrum::Running() == drum)
            drum->Cancel();
    });
    open();
    while (!fired)
        QApplication::processEvents();
    return result;
}

} // namespace WidgetTest

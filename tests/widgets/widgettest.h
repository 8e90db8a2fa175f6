#pragma once
// Input helpers for the widget tests: wheel turns and mouse moves delivered
// to a widget as the window system would, and a way to act on a drum chooser
// while its own event loop runs.

#include <QPoint>
#include <functional>

class QWidget;
class CNumericDrum;

namespace WidgetTest {
// A wheel turn of delta (120 per notch, positive away from the user).
void Wheel(QWidget* widget, int delta, QPoint pos = QPoint(-1, -1));
// A mouse move with the buttons held.
void Move(QWidget* widget, QPoint pos, bool leftHeld);

struct DrumResult {
    bool opened = false;
    int firstVisible = 0;
};
// Runs open() (which should open a drum) and, inside the drum's loop, act on
// it; a drum that act leaves open is cancelled.
DrumResult WithDrum(const std::function<void()>& open, const std::function<void(CNumericDrum*)>& act);
} // namespace WidgetTest

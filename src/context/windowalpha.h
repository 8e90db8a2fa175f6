#pragma once
// Translucency of windows drawn over graphs. A top-level window gets the
// window opacity; a child widget (the pop-ups over a graph are children of
// the main window) keeps the alpha as a property and paints with it, see
// PaintOpacity. UI thread only.

class QWidget;

// Flips the widget's translucent state (on if it was off, off if it was on)
// and sets its constant opacity to alpha (0 .. 255, clamped).
void ToggleWindowAlpha(QWidget* window, int alpha);
// Sets the opacity of a widget that is already translucent; otherwise nothing.
void SetWindowAlpha(QWidget* window, int alpha);
// Whether the widget is translucent, and its alpha (255 when it is not).
bool IsWindowTranslucent(const QWidget* window);
int WindowAlpha(const QWidget* window);
// The opacity a child widget paints its own content with: alpha / 255.
double PaintOpacity(const QWidget* window);

#pragma once
// The main window's placement in the profile, section "Window size":
// "Rechteck" the normal (restored) rectangle as "%04d %04d %04d %04d" (left,
// top, right, bottom), "icon" 1 when minimised, "maximized" 1 when maximised
// or minimised from maximised. Restored once after creation, saved when the
// window is destroyed. Works on any top-level widget. UI thread only.

#include <QRect>
#include <QString>

class QWidget;

struct WindowPlacement {
    // Right and bottom are exclusive: width = right - left.
    int left = 10, top = 10, right = 500, bottom = 400;
    bool icon = false;
    bool maximized = true;

    QRect NormalRect() const { return QRect(left, top, right - left, bottom - top); }
    bool operator==(const WindowPlacement&) const = default;
};

// "Rechteck" text to numbers: decimals starting at positions 0, 5, 10 and 15;
// an empty text gives the default rectangle 10, 10, 500, 400.
WindowPlacement ParsePlacementRect(const QString& text);
QString FormatPlacementRect(const WindowPlacement& placement);

// The stored placement, with the defaults for what is absent.
WindowPlacement ReadWindowPlacement();
void WriteWindowPlacement(const WindowPlacement& placement);

// The widget's placement now: its normal geometry, minimised and maximised
// state (a window minimised from maximised keeps maximized set).
WindowPlacement PlacementOf(const QWidget* window);
// A normal rectangle on no screen moves to the primary screen's top left.
QRect KeptOnScreen(const QRect& normal);
// Shows the window in the placement: normal geometry first, then minimised
// (without activating it) and/or maximised, so that restoring a window that
// was minimised from maximised maximises it again.
void ApplyPlacement(QWidget* window, const WindowPlacement& placement);

// The handler of the placement request posted after creation, and the
// save at destruction.
void RestoreWindowPlacement(QWidget* window);
void SaveWindowPlacement(const QWidget* window);

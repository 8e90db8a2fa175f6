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
// state (a window minimised from maximised keeps maximized set; one that
// sized itself to the screen in place of being maximised counts as maximised).
WindowPlacement PlacementOf(const QWidget* window);
// A normal rectangle on no screen moves to the primary screen's top left.
QRect KeptOnScreen(const QRect& normal);
// Shows the window in the placement: normal geometry first, then minimised
// (without activating it) and/or maximised, so that restoring a window that
// was minimised from maximised maximises it again. A maximised placement is
// checked once the window system had time to act on it (FillScreenIfNotMaximised).
// minimumWidth: the narrowest the window may be sized to when it fills the screen.
void ApplyPlacement(QWidget* window, const WindowPlacement& placement, int minimumWidth = 0);

// Where a window goes that was asked to be maximised but that nothing
// maximised (an X display without a window manager): the available area of
// its screen, at least minimumWidth wide.
QRect ScreenFill(const QRect& available, int minimumWidth);
// True when the window's frame covers the available area of its screen,
// give or take the decorations a window manager adds or leaves out.
bool CoversScreen(const QRect& frame, const QRect& available);
// For a window that asks to be maximised but does not cover its screen:
// sizes it to ScreenFill. As long as it keeps that geometry, PlacementOf
// reports it maximised over the normal rectangle it had, so that what is
// stored stays as it was. True when it sized the window.
bool FillScreenIfNotMaximised(QWidget* window, int minimumWidth);

// The handler of the placement request posted after creation, and the
// save at destruction.
void RestoreWindowPlacement(QWidget* window, int minimumWidth = 0);
void SaveWindowPlacement(const QWidget* window);

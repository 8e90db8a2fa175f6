#pragma once
// The main window's keys: Space run/stop, S single shot, R record, A
// automatic scaling, Ctrl+1, 2, 3, 4 and 6 the page count, the arrows and
// PageUp/PageDown one wheel notch on the selector under the mouse, F1 the
// list of keys. They act through the main bar's own handlers.
//
// Selectors and toggles take the focus when the mouse passes over them, so
// the keys are taken window-wide, ahead of the focused control: an
// application event filter catches them for every widget of the main
// window, and Space never reaches the focused button. No key acts while a
// dialog, a message box, a menu or the drum chooser is open. UI thread only.

#include <QObject>
#include <QPointer>

class CSelectorButton;
class CWndKRV;
class QKeyEvent;

class CKeyShortcuts : public QObject {
    Q_OBJECT
public:
    // Filters the application's events for window until destroyed.
    explicit CKeyShortcuts(CWndKRV* window);
    ~CKeyShortcuts() override;

    // The text of the F1 box.
    static QString KeyList();
    // True while something other than the main window takes the keys.
    static bool Blocked();

    // The selector under the mouse, as the enter, leave and move events
    // told; null when the mouse is over none.
    CSelectorButton* HoveredSelector() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the key is one of the window's and was handled.
    bool HandleKey(const QKeyEvent& key);
    // One wheel notch up (+1) or down (-1) on the selector under the mouse.
    void StepHoveredSelector(int direction);
    void TrackMouse(QObject* watched, QEvent* event);
    bool InWindow(QObject* watched) const;

    CWndKRV* m_window;
    QPointer<CSelectorButton> m_hovered;
};

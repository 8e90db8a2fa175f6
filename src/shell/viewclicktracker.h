#pragma once
// Remembers the graph view the user last pressed a mouse button in (on its
// plot, a cursor or a pop-up of it), so that the main menu's export items
// act on that view. Watches the application's events without taking any.
// UI thread only.

#include <QObject>
#include <QPointer>

class CGraphWnd;
class QWidget;

class ViewClickTracker : public QObject {
    Q_OBJECT
public:
    // Tracks presses inside the window (its descendants); owned by it.
    explicit ViewClickTracker(QWidget* window);
    ~ViewClickTracker() override;

    // The view last clicked while it is still shown; null otherwise.
    CGraphWnd* LastView() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QPointer<CGraphWnd> m_last;
};

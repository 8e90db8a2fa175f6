#include "keyshortcuts.h"

#include "panels/controlbar.h"
#include "platform/messagebox.h"
#include "shell/wndkrv.h"
#include "widgets/numericdrum.h"
#include "widgets/selectorbutton.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QWheelEvent>

namespace {
// One notch of a mouse wheel.
constexpr int kWheelNotch = 120;

bool IsStepKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return true;
    default: return false;
    }
}

// Up, right and PageUp turn the wheel up: the next item, the larger value.
int StepDirection(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_PageUp ? 1 : -1;
}

// Ctrl+digit: the page count it chooses, or 0.
int PageCountKey(int key)
{
    switch (key) {
    case Qt::Key_1: return 1;
    case Qt::Key_2: return 2;
    case Qt::Key_3: return 3;
    case Qt::Key_4: return 4;
    case Qt::Key_6: return 6;
    default: return 0;
    }
}
} // namespace

CKeyShortcuts::CKeyShortcuts(CWndKRV* window) : QObject(window), m_window(window)
{
    qApp->installEventFilter(this);
}

CKeyShortcuts::~CKeyShortcuts()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

QString CKeyShortcuts::KeyList()
{
    return QStringLiteral("Space\tRun / Stop\n"
                          "S\tSingle shot\n"
                          "R\tRecord on / off\n"
                          "A\tAutoscale all views\n"
                          "Ctrl+1, 2, 3, 4, 6\tViews: number of pages\n"
                          "Arrows, PgUp, PgDn\tstep the selector under the mouse\n"
                          "F1\tthis list");
}

bool CKeyShortcuts::Blocked()
{
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || CNumericDrum::Running())
        return true;
    // A modeless dialog counts as well: its keys are not the main window's.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && qobject_cast<QDialog*>(top))
            return true;
    }
    return false;
}

CSelectorButton* CKeyShortcuts::HoveredSelector() const
{
    if (!m_hovered || !m_hovered->isVisible() || !m_hovered->underMouse())
        return nullptr;
    return m_hovered;
}

bool CKeyShortcuts::InWindow(QObject* watched) const
{
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && widget->window() == m_window;
}

bool CKeyShortcuts::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::MouseMove: TrackMouse(watched, event); break;
    case QEvent::KeyPress:
        if (InWindow(watched) && !Blocked())
            return HandleKey(*static_cast<QKeyEvent*>(event));
        break;
    default: break;
    }
    return false;
}

void CKeyShortcuts::TrackMouse(QObject* watched, QEvent* event)
{
    auto* selector = qobject_cast<CSelectorButton*>(watched);
    if (!selector || !InWindow(watched))
        return;
    if (event->type() == QEvent::Leave) {
        if (m_hovered == selector)
            m_hovered = nullptr;
        return;
    }
    m_hovered = selector;
}

bool CKeyShortcuts::HandleKey(const QKeyEvent& key)
{
    CControlBar* bar = m_window->Bar();
    if (!bar)
        return false;
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier) {
        const int pages = PageCountKey(key.key());
        if (pages == 0)
            return false;
        if (!key.isAutoRepeat())
            bar->ChoosePageCount(pages);
        return true;
    }
    if (modifiers & ~Qt::ShiftModifier)
        return false;
    if (IsStepKey(key.key())) {
        // Held down, it steps on like a turning wheel.
        StepHoveredSelector(StepDirection(key.key()));
        return true;
    }
    int control = 0;
    switch (key.key()) {
    case Qt::Key_Space: control = CControlBar::IdRun; break;
    case Qt::Key_S: control = CControlBar::IdSingle; break;
    case Qt::Key_R: control = CControlBar::IdRec; break;
    case Qt::Key_A: control = CControlBar::IdAuto; break;
    case Qt::Key_F1:
        if (!key.isAutoRepeat())
            ShowMessageBox(m_window, KeyList(), QStringLiteral("Keys"), MsgIcon::Information);
        return true;
    default: return false;
    }
    // A held key acts once; its repeats are swallowed, so that they do not
    // reach the focused button either.
    if (!key.isAutoRepeat())
        bar->Press(control);
    return true;
}

void CKeyShortcuts::StepHoveredSelector(int direction)
{
    CSelectorButton* selector = HoveredSelector();
    if (!selector)
        return;
    const QPointF centre = QRectF(selector->rect()).center();
    QWheelEvent notch(centre, selector->mapToGlobal(centre), QPoint(), QPoint(0, direction * kWheelNotch),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(selector, &notch);
}

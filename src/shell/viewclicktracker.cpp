#include "viewclicktracker.h"

#include "views/graphwnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

ViewClickTracker::ViewClickTracker(QWidget* window) : QObject(window), m_window(window)
{
    QCoreApplication::instance()->installEventFilter(this);
}

ViewClickTracker::~ViewClickTracker()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

CGraphWnd* ViewClickTracker::LastView() const { return m_last && m_last->isVisible() ? m_last.data() : nullptr; }

bool ViewClickTracker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress || !watched->isWidgetType())
        return false;
    for (QWidget* widget = static_cast<QWidget*>(watched); widget; widget = widget->parentWidget()) {
        if (auto* view = qobject_cast<CGraphWnd*>(widget)) {
            if (m_window->isAncestorOf(view))
                m_last = view;
            break;
        }
        if (widget == m_window)
            break;
    }
    return false;
}

#include "appmessage.h"

#include <QCoreApplication>
#include <QObject>

AppMessage::AppMessage(int number, quintptr wParam, qintptr lParam)
    : QEvent(TypeFor(number)), m_number(number), m_wParam(wParam), m_lParam(lParam)
{
}

int AppMessage::NumberOf(const QEvent* event)
{
    auto* message = dynamic_cast<const AppMessage*>(event);
    return message ? message->Number() : -1;
}

void PostAppMessage(QObject* target, int number, quintptr wParam, qintptr lParam)
{
    if (target)
        QCoreApplication::postEvent(target, new AppMessage(number, wParam, lParam));
}

qintptr SendAppMessage(QObject* target, int number, quintptr wParam, qintptr lParam)
{
    if (!target)
        return 0;
    AppMessage message(number, wParam, lParam);
    QCoreApplication::sendEvent(target, &message);
    return message.Result();
}

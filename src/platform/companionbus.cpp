#include "companionbus.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QWidget>

namespace {
constexpr int kFirstMessageId = 0xC000;
const char* const kPath = "/org/zentrik/companion";
const char* const kInterface = "org.zentrik.Companion";
const char* const kSignal = "Message";
} // namespace

CompanionMessage::CompanionMessage(int messageId, quintptr wParam, qintptr lParam)
    : QEvent(EventType()), m_messageId(messageId), m_wParam(wParam), m_lParam(lParam)
{
}

QEvent::Type CompanionMessage::EventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

CompanionBus& CompanionBus::Instance()
{
    static CompanionBus bus;
    return bus;
}

int CompanionBus::RegisterMessage(const QString& name)
{
    ConnectBus();
    qsizetype index = m_names.indexOf(name);
    if (index < 0) {
        m_names.append(name);
        index = m_names.size() - 1;
    }
    return kFirstMessageId + int(index);
}

void CompanionBus::ConnectBus()
{
    if (m_triedBus)
        return;
    m_triedBus = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_onBus = bus.connect(QString(), kPath, kInterface, kSignal, this,
                          SLOT(OnBusSignal(QString, qulonglong, qlonglong)));
}

void CompanionBus::Broadcast(int messageId, quintptr wParam, qintptr lParam)
{
    DeliverInProcess(messageId, wParam, lParam);
    qsizetype index = messageId - kFirstMessageId;
    if (!m_onBus || index < 0 || index >= m_names.size())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, kSignal);
    signal << m_names[index] << qulonglong(wParam) << qlonglong(lParam);
    QDBusConnection::sessionBus().send(signal);
}

void CompanionBus::OnBusSignal(const QString& name, qulonglong wParam, qlonglong lParam)
{
    // Our own broadcasts were already delivered in-process.
    if (calledFromDBus() && message().service() == connection().baseService())
        return;
    qsizetype index = m_names.indexOf(name);
    if (index < 0)
        return;
    DeliverInProcess(kFirstMessageId + int(index), quintptr(wParam), qintptr(lParam));
}

void CompanionBus::DeliverInProcess(int messageId, quintptr wParam, qintptr lParam)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        QCoreApplication::postEvent(widget, new CompanionMessage(messageId, wParam, lParam));
}

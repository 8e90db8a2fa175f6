#include "companionbus.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QWidget>

namespace {
constexpr int kFirstMessageId = 0xC000;
const char* const kPath = "/org/zentrik/companion";
const char* const kInterface = "org.zentrik.Companion";
const char* const kSignal = "Message";

// Whether a session bus can be found: its address in the environment, or the
// socket the D-Bus library looks for in the runtime folder. Without either,
// asking for the session bus would only start the library's connection
// thread (and perhaps an attempt to launch a bus) for nothing.
bool SessionBusConfigured()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}
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
    if (!SessionBusConfigured())
        return;
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

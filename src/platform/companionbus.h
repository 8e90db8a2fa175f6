#pragma once
// The system-wide companion message ("Ostrane"): a broadcast that every KRV
// and companion program receives. It travels as a D-Bus session-bus signal
// between processes and is always delivered in-process, to every top-level
// widget, as a CompanionMessage event. Without a session bus it stays
// in-process.

#include <QDBusContext>
#include <QEvent>
#include <QObject>
#include <QString>

// First parameters of the companion message. A companion program that
// changed the channels sends kCompanionChannelsChanged. After its own
// hardware setup KRV announces it with the four codes of kSetupAnnouncement,
// in that order; kCompanionSetupChannels among them also makes every KRV
// re-read its channel list.
// What 10, 12 and 13 mean is the companions' business: KRV only sends them.
enum CompanionCode : quintptr {
    kCompanionChannelsChanged = 1,
    kCompanionSetupFirst = 10,
    kCompanionSetupChannels = 11,
    kCompanionSetupThird = 12,
    kCompanionSetupLast = 13,
};
inline constexpr CompanionCode kSetupAnnouncement[] = {kCompanionSetupFirst, kCompanionSetupChannels,
                                                       kCompanionSetupThird, kCompanionSetupLast};

class CompanionMessage : public QEvent {
public:
    CompanionMessage(int messageId, quintptr wParam, qintptr lParam);
    // The event type of all companion messages.
    static QEvent::Type EventType();

    int MessageId() const { return m_messageId; }
    quintptr WParam() const { return m_wParam; }
    qintptr LParam() const { return m_lParam; }

private:
    int m_messageId;
    quintptr m_wParam;
    qintptr m_lParam;
};

class CompanionBus : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    static CompanionBus& Instance();

    // Registers the message name and returns its identifier, the same for
    // the same name (from 0xC000 up, like registered window messages).
    // Starts listening on the session bus. UI thread only.
    int RegisterMessage(const QString& name);

    // Posts the message to every top-level widget of this process and sends
    // it to the other processes. UI thread only.
    void Broadcast(int messageId, quintptr wParam, qintptr lParam);

    bool HasSessionBus() const { return m_onBus; }

private slots:
    void OnBusSignal(const QString& name, qulonglong wParam, qlonglong lParam);

private:
    CompanionBus() = default;
    void DeliverInProcess(int messageId, quintptr wParam, qintptr lParam);
    void ConnectBus();

    QStringList m_names;
    bool m_triedBus = false;
    bool m_onBus = false;
};

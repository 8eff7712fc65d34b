#pragma once

#include "mqtt/chostlookup.h"
#include "mqtt/ctlscontext.h"
#include "mqtt/qmqttclient.h"
#include "mqtt/qmqttmessage.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QVector>
#include <deque>
#include <memory>

struct mosquitto;
struct mosquitto_message;

// The engine behind QMqttClient: owns one libmosquitto handle per connection attempt, feeds it from the
// event loop and turns what its callbacks recorded into the client's and the subscriptions' signals.
class QMqttClient::Private
{
public:
    explicit Private(QMqttClient* pClient);
    ~Private();

    // sPeerName is the name the broker's certificate must carry (encrypted connections only).
    void Connect(bool bEncrypted, const QString& sPeerName);
    void Disconnect();
    QMqttSubscription* Subscribe(const QMqttTopicFilter& filter, quint8 nQoS);
    void Unsubscribe(const QMqttTopicFilter& filter);
    qint32 Publish(const QMqttTopicName& topic, const QByteArray& payload, quint8 nQoS, bool bRetain);
    void ForgetSubscription(QMqttSubscription* pSubscription);
    // Ends the connection without signals (the client is going away) and hands back its subscriptions.
    QVector<QMqttSubscription*> Shutdown();

    QString m_sHostname;
    quint16 m_nPort = 1883;
    QString m_sClientId;
    quint16 m_nKeepAlive = 60;
    QString m_sWillTopic;
    QByteArray m_willMessage;
    quint8 m_nWillQoS = 0;
    bool m_bWillRetain = false;
    QString m_sUsername;
    QString m_sPassword;
    QString m_sCaCertificatesFile;
    ClientState m_state = Disconnected;
    ClientError m_error = NoError;
    QString m_sErrorString;

private:
    // What a libmosquitto callback saw; dispatched once the library call has returned.
    struct Event
    {
        enum Kind
        {
            ConnAck,
            Lost,
            Message,
            SubAck,
            UnsubAck
        };
        Kind kind;
        int nCode = 0;
        int nMid = 0;
        QMqttMessage message;
        // The message's topic as it came off the wire (UTF-8), for matching against the filters.
        QByteArray topic;
    };

    static void OnConnect(mosquitto* pMosq, void* pObj, int nCode);
    static void OnDisconnect(mosquitto* pMosq, void* pObj, int nCode);
    static void OnMessage(mosquitto* pMosq, void* pObj, const mosquitto_message* pMessage);
    static void OnSubscribe(mosquitto* pMosq, void* pObj, int nMid, int nCount, const int* pGranted);
    static void OnUnsubscribe(mosquitto* pMosq, void* pObj, int nMid);
    static void OnLog(mosquitto* pMosq, void* pObj, int nLevel, const char* sText);

    void StartAttempt();
    void HostLookedUp(const QList<QHostAddress>& addresses);
    void ConnectNextAddress();
    bool OpenHandle(const QHostAddress& address);
    bool SetUpTls(mosquitto* pMosq);
    void ForgetTls();
    bool IsHandshaking() const;
    void FailLater(ClientError error);
    void CloseHandle(bool bSayGoodbye);
    void TearDown(bool bSayGoodbye);

    void ReadSocket();
    void WriteSocket();
    void RunHousekeeping();
    // These two tell whether the client survived the signals they emitted.
    bool AfterLibraryCall();
    void UpdateWriteInterest();
    bool DispatchEvents();
    bool Dispatch(const Event& event);
    bool HandleConnAck(int nCode);
    bool HandleLost(int nCode);
    bool HandleMessage(const QMqttMessage& message, const QByteArray& topic);
    bool HandleAck(int nMid, QMqttSubscription::SubscriptionState state);

    bool EnterConnected();
    bool EnterDisconnected(ClientError error);
    template<typename Emit>
    bool Notify(Emit emitSignal);

    QMqttSubscription* Find(const QMqttTopicFilter& filter) const;
    void ExpectAck(int nMid, QMqttSubscription* pSubscription);
    void SetSubscriptionState(QMqttSubscription* pSubscription, QMqttSubscription::SubscriptionState state);

    QMqttClient* q;
    mosquitto* m_pMosq = nullptr;
    std::unique_ptr<QSocketNotifier> m_pReadNotifier;
    std::unique_ptr<QSocketNotifier> m_pWriteNotifier;
    QTimer m_housekeeping;
    bool m_bEncrypted = false;
    QString m_sPeerName;
    // The OpenSSL context of the open handle of an encrypted connection, and the last error libmosquitto
    // logged for it: together they tell why the connection failed.
    std::unique_ptr<CTlsContext> m_pTls;
    QString m_sTlsError;
    std::unique_ptr<CHostLookup> m_pLookup;
    QList<QHostAddress> m_addresses;
    int m_nNextAddress = 0;
    bool m_bLostQueued = false;
    // Bumped when an attempt ends: deferred failures of older attempts are ignored.
    quint64 m_nAttempt = 0;
    // Bumped for every libmosquitto handle opened.
    quint64 m_nHandle = 0;
    // Bumped on every state change: a follow-up signal is dropped once a slot has moved the state on.
    quint64 m_nTransition = 0;
    std::deque<Event> m_events;
    QVector<QMqttSubscription*> m_subscriptions;
    QHash<int, QMqttSubscription*> m_pendingAcks;
};

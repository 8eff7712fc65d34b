#include "mqtt/qmqttclientprivate.h"

#include "mqtt/mqtttopiccheck.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <QVarLengthArray>
#include <mosquitto.h>
#include <utility>
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#else
#include <sys/ioctl.h>
#endif

namespace {

constexpr int kHousekeepingIntervalMs = 1000;
constexpr int kClientIdLength = 23;
// libmosquitto refuses keep-alive intervals from 1 to 4 seconds.
constexpr quint16 kShortestKeepAlive = 5;
// Longest time one readable-socket notification spends reading and dispatching. Whatever has arrived is
// handled in few passes of the event loop (each pass may end in a repaint), and the loop still gets back
// to painting and timers often enough during a flood.
constexpr qint64 kReadBudgetNs = 8 * 1000 * 1000;

// libmosquitto keeps process-wide state; it is set up with the first client and released at exit.
class LibraryScope
{
public:
    LibraryScope() { mosquitto_lib_init(); }
    ~LibraryScope() { mosquitto_lib_cleanup(); }
};

void EnsureLibrary() { static LibraryScope s_library; }

QString RandomClientId()
{
    static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QString sId;
    sId.reserve(kClientIdLength);
    for (int i = 0; i < kClientIdLength; ++i)
        sId += QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof(kAlphabet) - 1))]);
    return sId;
}

QMqttClient::ClientError ErrorForRefusal(int nReturnCode)
{
    if (nReturnCode >= QMqttClient::InvalidProtocolVersion && nReturnCode <= QMqttClient::NotAuthorized)
        return QMqttClient::ClientError(nReturnCode);
    return QMqttClient::ProtocolViolation;
}

QMqttClient::ClientError ErrorForLoss(int nCode)
{
    switch (nCode) {
    case MOSQ_ERR_PROTOCOL:
    case MOSQ_ERR_MALFORMED_PACKET:
    case MOSQ_ERR_MALFORMED_UTF8:
        return QMqttClient::ProtocolViolation;
    default:
        return QMqttClient::TransportInvalid;
    }
}

// Bytes that have arrived on the socket and wait to be read.
int PendingBytes(int nSocket)
{
#ifdef Q_OS_WIN
    u_long nBytes = 0;
    return nSocket >= 0 && ioctlsocket(SOCKET(nSocket), FIONREAD, &nBytes) == 0 ? int(nBytes) : 0;
#else
    int nBytes = 0;
    return nSocket >= 0 && ioctl(nSocket, FIONREAD, &nBytes) == 0 ? nBytes : 0;
#endif
}

bool IsActive(const QMqttSubscription* pSubscription)
{
    return pSubscription->state() == QMqttSubscription::SubscriptionPending
        || pSubscription->state() == QMqttSubscription::Subscribed;
}

} // namespace

QMqttClient::Private::Private(QMqttClient* pClient)
    : m_sClientId(RandomClientId())
    , q(pClient)
{
    EnsureLibrary();
    m_housekeeping.setInterval(kHousekeepingIntervalMs);
    QObject::connect(&m_housekeeping, &QTimer::timeout, q, [this] { RunHousekeeping(); });
}

QMqttClient::Private::~Private() { TearDown(false); }

// ---- callbacks: record only, never call back into the library or emit ----

void QMqttClient::Private::OnConnect(mosquitto*, void* pObj, int nCode)
{
    static_cast<Private*>(pObj)->m_events.push_back({ Event::ConnAck, nCode, 0, {}, {} });
}

void QMqttClient::Private::OnDisconnect(mosquitto*, void* pObj, int nCode)
{
    auto* pThis = static_cast<Private*>(pObj);
    pThis->m_events.push_back({ Event::Lost, nCode, 0, {}, {} });
    pThis->m_bLostQueued = true;
}

void QMqttClient::Private::OnMessage(mosquitto*, void* pObj, const mosquitto_message* pMessage)
{
    const QByteArray payload(static_cast<const char*>(pMessage->payload), pMessage->payloadlen);
    const QMqttMessage message(
        QMqttTopicName(QString::fromUtf8(pMessage->topic)), payload, quint8(pMessage->qos), pMessage->retain);
    static_cast<Private*>(pObj)->m_events.push_back({ Event::Message, 0, 0, message, pMessage->topic });
}

void QMqttClient::Private::OnSubscribe(mosquitto*, void* pObj, int nMid, int nCount, const int* pGranted)
{
    // 0x80 (or anything beyond QoS 2) is the broker's refusal.
    const int nGranted = nCount > 0 ? pGranted[0] : 0x80;
    static_cast<Private*>(pObj)->m_events.push_back({ Event::SubAck, nGranted, nMid, {}, {} });
}

void QMqttClient::Private::OnUnsubscribe(mosquitto*, void* pObj, int nMid)
{
    static_cast<Private*>(pObj)->m_events.push_back({ Event::UnsubAck, 0, nMid, {}, {} });
}

// Set for encrypted connections only: libmosquitto logs why OpenSSL gave up, as in "OpenSSL Error[0]:
// error:0A000126:SSL routines::unexpected eof while reading". The reason is what follows the last colon.
void QMqttClient::Private::OnLog(mosquitto*, void* pObj, int nLevel, const char* sText)
{
    if (nLevel & MOSQ_LOG_ERR)
        static_cast<Private*>(pObj)->m_sTlsError
            = QString::fromUtf8(sText).section(QLatin1Char(':'), -1).trimmed();
}

// ---- connecting and disconnecting ----

void QMqttClient::Private::Connect(bool bEncrypted, const QString& sPeerName)
{
    if (m_state != Disconnected)
        return;
    m_error = NoError;
    m_sErrorString.clear();
    m_sTlsError.clear();
    m_bEncrypted = bEncrypted;
    m_sPeerName = sPeerName;
    m_state = Connecting;
    ++m_nTransition;
    StartAttempt();
    Notify([this] { emit q->stateChanged(Connecting); });
}

void QMqttClient::Private::Disconnect()
{
    if (m_state == Disconnected)
        return;
    TearDown(m_state == Connected);
    EnterDisconnected(m_error);
}

void QMqttClient::Private::StartAttempt()
{
    if (!m_sWillTopic.isEmpty() && !QMqttTopicName(m_sWillTopic).isValid()) {
        FailLater(ProtocolViolation);
        return;
    }
    // Numeric addresses skip the resolver; names are resolved off the GUI thread and the answer comes
    // back through the event loop. The connect that follows is non-blocking either way.
    QHostAddress address;
    if (address.setAddress(m_sHostname)) {
        m_addresses = { address };
        ConnectNextAddress();
        return;
    }
    m_pLookup = std::make_unique<CHostLookup>(
        m_sHostname, [this](const QList<QHostAddress>& addresses) { HostLookedUp(addresses); });
}

// Runs inside the lookup object's slot: it stays alive until the attempt ends.
void QMqttClient::Private::HostLookedUp(const QList<QHostAddress>& addresses)
{
    m_addresses = addresses;
    m_nNextAddress = 0;
    ConnectNextAddress();
}

void QMqttClient::Private::ConnectNextAddress()
{
    while (m_nNextAddress < m_addresses.size()) {
        if (OpenHandle(m_addresses.at(m_nNextAddress++)))
            return;
    }
    FailLater(TransportInvalid);
}

bool QMqttClient::Private::OpenHandle(const QHostAddress& address)
{
    mosquitto* pMosq = mosquitto_new(m_sClientId.toUtf8().constData(), true, this);
    if (!pMosq)
        return false;
    mosquitto_int_option(pMosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Edits go out as small messages, one at a time: Nagle's algorithm would hold each one back until the
    // broker has acknowledged the one before (up to its delayed-ACK time of 40 ms).
    mosquitto_int_option(pMosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(pMosq, &Private::OnConnect);
    mosquitto_disconnect_callback_set(pMosq, &Private::OnDisconnect);
    mosquitto_message_callback_set(pMosq, &Private::OnMessage);
    mosquitto_subscribe_callback_set(pMosq, &Private::OnSubscribe);
    mosquitto_unsubscribe_callback_set(pMosq, &Private::OnUnsubscribe);
    if (!m_sWillTopic.isEmpty())
        mosquitto_will_set(pMosq, m_sWillTopic.toUtf8().constData(), m_willMessage.size(),
            m_willMessage.constData(), m_nWillQoS, m_bWillRetain);
    if (!m_sUsername.isEmpty())
        mosquitto_username_pw_set(pMosq, m_sUsername.toUtf8().constData(),
            m_sPassword.isEmpty() ? nullptr : m_sPassword.toUtf8().constData());
    if (m_bEncrypted && !SetUpTls(pMosq)) {
        mosquitto_destroy(pMosq);
        return false;
    }

    const int nKeepAlive = m_nKeepAlive == 0 ? 0 : qMax(m_nKeepAlive, kShortestKeepAlive);
    const int nResult = mosquitto_connect_bind_async(
        pMosq, address.toString().toUtf8().constData(), m_nPort, nKeepAlive, nullptr);
    const int nSocket = mosquitto_socket(pMosq);
    if (nResult != MOSQ_ERR_SUCCESS || nSocket < 0) {
        mosquitto_destroy(pMosq);
        ForgetTls();
        return false;
    }

    m_pMosq = pMosq;
    ++m_nHandle;
    m_bLostQueued = false;
    m_pReadNotifier = std::make_unique<QSocketNotifier>(nSocket, QSocketNotifier::Read);
    QObject::connect(m_pReadNotifier.get(), &QSocketNotifier::activated, q, [this] { ReadSocket(); });
    m_pWriteNotifier = std::make_unique<QSocketNotifier>(nSocket, QSocketNotifier::Write);
    QObject::connect(m_pWriteNotifier.get(), &QSocketNotifier::activated, q, [this] { WriteSocket(); });
    UpdateWriteInterest();
    m_housekeeping.start();
    return true;
}

bool QMqttClient::Private::SetUpTls(mosquitto* pMosq)
{
    m_pTls = CTlsContext::Create(m_sPeerName, m_sCaCertificatesFile, &m_sTlsError);
    if (!m_pTls)
        return false;
    mosquitto_log_callback_set(pMosq, &Private::OnLog);
    // The context is used as it is: libmosquitto adds neither CA settings nor a host check of its own, which
    // would check the numeric address it was handed.
    mosquitto_int_option(pMosq, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
    mosquitto_void_option(pMosq, MOSQ_OPT_SSL_CTX, m_pTls->Handle());
    return true;
}

// Keeps why the certificate was rejected, if it was, and drops the context; libmosquitto's handle is gone.
void QMqttClient::Private::ForgetTls()
{
    if (m_pTls && !m_pTls->VerifyError().isEmpty())
        m_sTlsError = QStringLiteral("certificate verify failed: ") + m_pTls->VerifyError();
    m_pTls.reset();
}

bool QMqttClient::Private::IsHandshaking() const { return m_pTls && m_pTls->IsHandshaking(); }

// Failures found while starting an attempt are reported from the event loop, never from connectToHost().
void QMqttClient::Private::FailLater(ClientError error)
{
    const quint64 nAttempt = m_nAttempt;
    QTimer::singleShot(0, q, [this, nAttempt, error] {
        if (nAttempt != m_nAttempt)
            return;
        TearDown(false);
        EnterDisconnected(error);
    });
}

void QMqttClient::Private::CloseHandle(bool bSayGoodbye)
{
    m_housekeeping.stop();
    // The notifiers go before libmosquitto closes the socket they watch.
    m_pReadNotifier.reset();
    m_pWriteNotifier.reset();
    if (m_pMosq) {
        if (bSayGoodbye)
            mosquitto_disconnect(m_pMosq);
        mosquitto_destroy(m_pMosq);
        m_pMosq = nullptr;
    }
    ForgetTls();
    m_events.clear();
    m_pendingAcks.clear();
    m_bLostQueued = false;
}

void QMqttClient::Private::TearDown(bool bSayGoodbye)
{
    ++m_nAttempt;
    m_pLookup.reset();
    CloseHandle(bSayGoodbye);
    m_addresses.clear();
    m_nNextAddress = 0;
}

QVector<QMqttSubscription*> QMqttClient::Private::Shutdown()
{
    TearDown(m_state == Connected);
    m_state = Disconnected;
    return std::exchange(m_subscriptions, {});
}

// ---- driving the library from the event loop ----

// libmosquitto reads one packet per call. Packets that have already arrived are read and dispatched in the
// same pass, in arrival order, until the socket is drained or the pass has used its time budget; the
// notifier brings the loop back for the rest.
//
// A readable socket with nothing to read has been closed. libmosquitto notices that itself, except during
// a TLS handshake, which it then takes for one that is not ready yet (a refused TCP connect would spin).
void QMqttClient::Private::ReadSocket()
{
    const bool bClosed = PendingBytes(mosquitto_socket(m_pMosq)) == 0;
    const quint64 nHandle = m_nHandle;
    QElapsedTimer budget;
    budget.start();
    do {
        mosquitto_loop_read(m_pMosq, 1);
        if (!AfterLibraryCall())
            return;
    } while (m_pMosq && m_pReadNotifier && PendingBytes(mosquitto_socket(m_pMosq)) > 0
        && budget.nsecsElapsed() < kReadBudgetNs);
#ifdef Q_OS_WIN
    // Windows' event dispatcher hands out socket notifications ahead of timers and posted events, paints
    // among them: while a flood keeps the socket readable they would wait until it is drained. A pass that
    // used up its budget leaves the rest to a zero-time timer, which queues behind them.
    if (m_pMosq && m_pReadNotifier && nHandle == m_nHandle && PendingBytes(mosquitto_socket(m_pMosq)) > 0) {
        m_pReadNotifier->setEnabled(false);
        QTimer::singleShot(0, q, [this, nHandle] {
            if (nHandle != m_nHandle || !m_pReadNotifier)
                return;
            m_pReadNotifier->setEnabled(true);
            ReadSocket();
        });
    }
#endif
    if (bClosed && nHandle == m_nHandle && m_pMosq && IsHandshaking()) {
        if (m_sTlsError.isEmpty())
            m_sTlsError = QStringLiteral("connection closed before the TLS handshake completed");
        OnDisconnect(m_pMosq, this, MOSQ_ERR_CONN_LOST);
        DispatchEvents();
    }
}

// libmosquitto advances a TLS handshake from mosquitto_loop_read only, and writes nothing before it is done.
void QMqttClient::Private::WriteSocket()
{
    if (IsHandshaking())
        mosquitto_loop_read(m_pMosq, 1);
    else
        mosquitto_loop_write(m_pMosq, 1);
    AfterLibraryCall();
}

void QMqttClient::Private::RunHousekeeping()
{
    if (!m_pMosq)
        return;
    mosquitto_loop_misc(m_pMosq);
    AfterLibraryCall();
}

bool QMqttClient::Private::AfterLibraryCall()
{
    if (mosquitto_socket(m_pMosq) < 0) {
        // libmosquitto has closed the socket; make sure the loss is reported even without a callback.
        m_pReadNotifier.reset();
        m_pWriteNotifier.reset();
        if (!m_bLostQueued)
            OnDisconnect(m_pMosq, this, MOSQ_ERR_CONN_LOST);
    } else {
        UpdateWriteInterest();
    }
    return DispatchEvents();
}

// The write notifier runs only while libmosquitto has something queued; otherwise it would fire forever.
// During a TLS handshake the queued CONNECT waits, and only what OpenSSL waits for counts.
void QMqttClient::Private::UpdateWriteInterest()
{
    if (m_pWriteNotifier)
        m_pWriteNotifier->setEnabled(IsHandshaking() ? m_pTls->WantsWrite() : mosquitto_want_write(m_pMosq));
}

bool QMqttClient::Private::DispatchEvents()
{
    // A handler may tear the handle down (which empties the queue) or delete the client (then stop).
    while (!m_events.empty()) {
        const Event event = std::move(m_events.front());
        m_events.pop_front();
        if (!Dispatch(event))
            return false;
    }
    return true;
}

bool QMqttClient::Private::Dispatch(const Event& event)
{
    switch (event.kind) {
    case Event::ConnAck:
        return HandleConnAck(event.nCode);
    case Event::Lost:
        return HandleLost(event.nCode);
    case Event::Message:
        return HandleMessage(event.message, event.topic);
    case Event::SubAck:
        return HandleAck(
            event.nMid, event.nCode > 2 ? QMqttSubscription::Error : QMqttSubscription::Subscribed);
    case Event::UnsubAck:
        return HandleAck(event.nMid, QMqttSubscription::Unsubscribed);
    }
    return true;
}

bool QMqttClient::Private::HandleConnAck(int nCode)
{
    if (m_state != Connecting)
        return true;
    if (nCode == 0)
        return EnterConnected();
    TearDown(false);
    return EnterDisconnected(ErrorForRefusal(nCode));
}

bool QMqttClient::Private::HandleLost(int nCode)
{
    // A host name may stand for several addresses (IPv6 and IPv4 for "localhost"): try them in turn.
    if (m_state == Connecting && m_nNextAddress < m_addresses.size()) {
        CloseHandle(false);
        ConnectNextAddress();
        return true;
    }
    TearDown(false);
    return EnterDisconnected(ErrorForLoss(nCode));
}

// The topic is matched as libmosquitto delivered it (UTF-8 it has checked) against each filter's UTF-8
// form, kept since the filter was subscribed: no conversions per message and subscription.
bool QMqttClient::Private::HandleMessage(const QMqttMessage& message, const QByteArray& topic)
{
    QVarLengthArray<QPointer<QMqttSubscription>, 8> receivers;
    for (QMqttSubscription* pSubscription : qAsConst(m_subscriptions)) {
        bool bMatches = false;
        if (pSubscription->state() == QMqttSubscription::Subscribed
            && mosquitto_topic_matches_sub2(pSubscription->m_filterUtf8.constData(),
                   size_t(pSubscription->m_filterUtf8.size()), topic.constData(), size_t(topic.size()),
                   &bMatches)
                == MOSQ_ERR_SUCCESS
            && bMatches)
            receivers.append(pSubscription);
    }
    const quint64 nAttempt = m_nAttempt;
    for (const QPointer<QMqttSubscription>& pSubscription : qAsConst(receivers)) {
        // A slot may have unsubscribed, deleted or disconnected in the meantime.
        if (!pSubscription || pSubscription->state() != QMqttSubscription::Subscribed)
            continue;
        if (!Notify([&] { emit pSubscription->messageReceived(message); }))
            return false;
    }
    if (nAttempt != m_nAttempt)
        return true;
    return Notify([&] { emit q->messageReceived(message.payload(), message.topic()); });
}

bool QMqttClient::Private::HandleAck(int nMid, QMqttSubscription::SubscriptionState state)
{
    QMqttSubscription* pSubscription = m_pendingAcks.take(nMid);
    if (!pSubscription)
        return true;
    return Notify([&] { SetSubscriptionState(pSubscription, state); });
}

// ---- state reports ----

bool QMqttClient::Private::EnterConnected()
{
    m_state = Connected;
    const quint64 nTransition = ++m_nTransition;
    if (!Notify([this] { emit q->stateChanged(Connected); }))
        return false;
    return nTransition != m_nTransition || Notify([this] { emit q->connected(); });
}

// Called with the handle already gone. The subscriptions drop to Unsubscribed before anything is emitted,
// so every slot sees a consistent client; their own notifications follow the client's.
bool QMqttClient::Private::EnterDisconnected(ClientError error)
{
    QVector<QPointer<QMqttSubscription>> dropped;
    for (QMqttSubscription* pSubscription : qAsConst(m_subscriptions)) {
        if (pSubscription->state() != QMqttSubscription::Unsubscribed) {
            pSubscription->m_state = QMqttSubscription::Unsubscribed;
            dropped.append(pSubscription);
        }
    }
    const bool bErrorChanged = error != m_error;
    m_error = error;
    m_sErrorString = error == NoError ? QString() : m_sTlsError;
    m_state = Disconnected;
    const quint64 nTransition = ++m_nTransition;

    if (!Notify([this] { emit q->stateChanged(Disconnected); }))
        return false;
    if (nTransition == m_nTransition && !Notify([this] { emit q->disconnected(); }))
        return false;
    if (bErrorChanged && nTransition == m_nTransition
        && !Notify([this, error] { emit q->errorChanged(error); }))
        return false;
    for (const QPointer<QMqttSubscription>& pSubscription : qAsConst(dropped)) {
        if (!pSubscription || pSubscription->state() != QMqttSubscription::Unsubscribed)
            continue;
        if (!Notify([&] { emit pSubscription->stateChanged(QMqttSubscription::Unsubscribed); }))
            return false;
    }
    return true;
}

// Emits through emitSignal and tells whether the client survived the slots. When it did not, the caller
// must return at once without touching any member.
template<typename Emit>
bool QMqttClient::Private::Notify(Emit emitSignal)
{
    const QPointer<QMqttClient> guard(q);
    emitSignal();
    return !guard.isNull();
}

// ---- subscriptions and publishing ----

QMqttSubscription* QMqttClient::Private::Subscribe(const QMqttTopicFilter& filter, quint8 nQoS)
{
    if (m_state != Connected || !m_pMosq || nQoS > 2 || !filter.isValid())
        return nullptr;
    QMqttSubscription* pSubscription = Find(filter);
    if (pSubscription && IsActive(pSubscription))
        return pSubscription;

    int nMid = 0;
    if (mosquitto_subscribe(m_pMosq, &nMid, filter.filter().toUtf8().constData(), nQoS) != MOSQ_ERR_SUCCESS)
        return nullptr;
    UpdateWriteInterest();
    // An inactive object of the same filter is reused, so reconnects do not pile up objects.
    if (!pSubscription) {
        pSubscription = new QMqttSubscription(filter, nQoS, q);
        m_subscriptions.append(pSubscription);
    }
    pSubscription->m_qos = nQoS;
    ExpectAck(nMid, pSubscription);
    const QPointer<QMqttSubscription> guard(pSubscription);
    SetSubscriptionState(pSubscription, QMqttSubscription::SubscriptionPending);
    return guard.data();
}

void QMqttClient::Private::Unsubscribe(const QMqttTopicFilter& filter)
{
    QMqttSubscription* pSubscription = Find(filter);
    if (!pSubscription || !IsActive(pSubscription))
        return;
    int nMid = 0;
    if (m_pMosq
        && mosquitto_unsubscribe(m_pMosq, &nMid, filter.filter().toUtf8().constData()) == MOSQ_ERR_SUCCESS) {
        UpdateWriteInterest();
        ExpectAck(nMid, pSubscription);
        SetSubscriptionState(pSubscription, QMqttSubscription::UnsubscriptionPending);
        return;
    }
    ExpectAck(-1, pSubscription);
    SetSubscriptionState(pSubscription, QMqttSubscription::Unsubscribed);
}

qint32 QMqttClient::Private::Publish(
    const QMqttTopicName& topic, const QByteArray& payload, quint8 nQoS, bool bRetain)
{
    if (m_state != Connected || !m_pMosq || nQoS > 2)
        return -1;
    // Every edit of the panel comes this way: the topic is converted once, for the check and the wire.
    const QByteArray topicUtf8 = topic.name().toUtf8();
    if (!MqttTopicCheck::IsAcceptableUtf8(topicUtf8, mosquitto_pub_topic_check))
        return -1;
    int nMid = 0;
    if (mosquitto_publish(
            m_pMosq, &nMid, topicUtf8.constData(), payload.size(), payload.constData(), nQoS, bRetain)
        != MOSQ_ERR_SUCCESS)
        return -1;
    UpdateWriteInterest();
    return nQoS == 0 ? 0 : nMid;
}

void QMqttClient::Private::ForgetSubscription(QMqttSubscription* pSubscription)
{
    m_subscriptions.removeAll(pSubscription);
    ExpectAck(-1, pSubscription);
}

QMqttSubscription* QMqttClient::Private::Find(const QMqttTopicFilter& filter) const
{
    for (QMqttSubscription* pSubscription : m_subscriptions) {
        if (pSubscription->topic() == filter)
            return pSubscription;
    }
    return nullptr;
}

// Only the newest request of a subscription counts; an acknowledgement of an older one is ignored.
// A negative id just forgets the pending request.
void QMqttClient::Private::ExpectAck(int nMid, QMqttSubscription* pSubscription)
{
    for (auto it = m_pendingAcks.begin(); it != m_pendingAcks.end();) {
        it = it.value() == pSubscription ? m_pendingAcks.erase(it) : std::next(it);
    }
    if (nMid >= 0)
        m_pendingAcks.insert(nMid, pSubscription);
}

void QMqttClient::Private::SetSubscriptionState(
    QMqttSubscription* pSubscription, QMqttSubscription::SubscriptionState state)
{
    pSubscription->setState(state);
}

#include "mqtt/qmqttclient.h"

#include "mqtt/qmqttclientprivate.h"

namespace {

void RegisterClientMetaTypes()
{
    qRegisterMetaType<QMqttClient::ClientState>();
    qRegisterMetaType<QMqttClient::ClientError>();
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(RegisterClientMetaTypes)

QMqttClient::QMqttClient(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{ }

QMqttClient::~QMqttClient()
{
    // The subscriptions are children of the client, but they must go while the client is still whole.
    for (QMqttSubscription* pSubscription : d->Shutdown()) {
        pSubscription->m_client = nullptr;
        delete pSubscription;
    }
}

void QMqttClient::setHostname(const QString& hostname) { d->m_sHostname = hostname; }

QString QMqttClient::hostname() const { return d->m_sHostname; }

void QMqttClient::setPort(quint16 port) { d->m_nPort = port; }

quint16 QMqttClient::port() const { return d->m_nPort; }

void QMqttClient::setClientId(const QString& clientId) { d->m_sClientId = clientId; }

QString QMqttClient::clientId() const { return d->m_sClientId; }

void QMqttClient::setKeepAlive(quint16 keepAlive) { d->m_nKeepAlive = keepAlive; }

quint16 QMqttClient::keepAlive() const { return d->m_nKeepAlive; }

void QMqttClient::setWillTopic(const QString& willTopic) { d->m_sWillTopic = willTopic; }

QString QMqttClient::willTopic() const { return d->m_sWillTopic; }

void QMqttClient::setWillMessage(const QByteArray& willMessage) { d->m_willMessage = willMessage; }

QByteArray QMqttClient::willMessage() const { return d->m_willMessage; }

void QMqttClient::setWillQoS(quint8 willQoS) { d->m_nWillQoS = qMin<quint8>(willQoS, 2); }

quint8 QMqttClient::willQoS() const { return d->m_nWillQoS; }

void QMqttClient::setWillRetain(bool willRetain) { d->m_bWillRetain = willRetain; }

bool QMqttClient::willRetain() const { return d->m_bWillRetain; }

void QMqttClient::setUsername(const QString& username) { d->m_sUsername = username; }

QString QMqttClient::username() const { return d->m_sUsername; }

void QMqttClient::setPassword(const QString& password) { d->m_sPassword = password; }

QString QMqttClient::password() const { return d->m_sPassword; }

void QMqttClient::setCaCertificatesFile(const QString& caCertificatesFile)
{
    d->m_sCaCertificatesFile = caCertificatesFile;
}

QString QMqttClient::caCertificatesFile() const { return d->m_sCaCertificatesFile; }

QMqttClient::ClientState QMqttClient::state() const { return d->m_state; }

QMqttClient::ClientError QMqttClient::error() const { return d->m_error; }

QString QMqttClient::errorString() const { return d->m_sErrorString; }

QMqttSubscription* QMqttClient::subscribe(const QMqttTopicFilter& topic, quint8 qos)
{
    return d->Subscribe(topic, qos);
}

void QMqttClient::unsubscribe(const QMqttTopicFilter& topic) { d->Unsubscribe(topic); }

qint32 QMqttClient::publish(const QMqttTopicName& topic, const QByteArray& message, quint8 qos, bool retain)
{
    return d->Publish(topic, message, qos, retain);
}

void QMqttClient::connectToHost() { d->Connect(false, QString()); }

void QMqttClient::connectToHostEncrypted(const QString& sslPeerName)
{
    d->Connect(true, sslPeerName.isEmpty() ? d->m_sHostname : sslPeerName);
}

void QMqttClient::disconnectFromHost() { d->Disconnect(); }

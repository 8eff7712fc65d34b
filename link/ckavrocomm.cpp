#include "link/ckavrocomm.h"

#include "link/ckavrosubscription.h"
#include "model/ckavroparam.h"
#include "mqtt/qmqttclient.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMetaMethod>
#include <QTimer>
#include <memory>
#include <utility>

namespace {

const int kDeviceCheckDelayMs = 100;
const quint16 kKeepAliveSeconds = 60;

const QString kPlainScheme = QStringLiteral("mqtt://");
const QString kTlsScheme = QStringLiteral("mqtts://");

void ReadTopicTable(const QJsonObject& table, QMap<QString, QString>& topics)
{
    for (auto it = table.constBegin(); it != table.constEnd(); ++it)
        topics.insert(it.key(), it.value().toString());
}

} // namespace

CKavroComm::CKavroComm(QObject* parent)
    : QObject(parent)
{ }

CKavroComm::~CKavroComm()
{
    // Nothing is reported while the link goes away: its receivers may be half destroyed by now.
    blockSignals(true);
    m_bCheckPending = false;
    ClearSubscriptions();
    m_bBrokerConnected = false;
    m_bDeviceConnected = false;
    DeleteClient();
    qDebug() << "KavroComm: Disconnect: Done.";
}

void CKavroComm::Connect(QString sUrl, quint16 nPort)
{
    m_bUserDisconnect = false;
    if (m_pClient)
        m_pClient->disconnectFromHost();
    if (!m_pClient)
        CreateClient();

    m_lastError = QMqttClient::NoError;
    m_sLastErrorString.clear();
    const bool bEncrypted = sUrl.startsWith(kTlsScheme, Qt::CaseInsensitive);
    if (bEncrypted)
        sUrl.remove(0, kTlsScheme.size());
    else if (sUrl.startsWith(kPlainScheme, Qt::CaseInsensitive))
        sUrl.remove(0, kPlainScheme.size());

    m_pClient->setHostname(sUrl);
    m_pClient->setPort(nPort);
    m_pClient->setKeepAlive(kKeepAliveSeconds);
    m_pClient->setUsername(m_sUserName);
    m_pClient->setPassword(m_sPassword);
    m_pClient->setCaCertificatesFile(m_sCaFile);
    if (bEncrypted)
        m_pClient->connectToHostEncrypted();
    else
        m_pClient->connectToHost();

    m_bCheckPending = true;
    const int nAttempt = ++m_nConnectAttempt;
    QTimer::singleShot(m_nConnectTimeout, Qt::PreciseTimer, this, [this, nAttempt] {
        if (nAttempt == m_nConnectAttempt)
            ConnectionTimer();
    });
}

void CKavroComm::Disconnect(bool bUserRequest)
{
    m_bCheckPending = false;
    DropConnection(bUserRequest);
}

void CKavroComm::SetCredentials(const QString& sUserName, const QString& sPassword)
{
    m_sUserName = sUserName;
    m_sPassword = sPassword;
}

void CKavroComm::SetCaFile(const QString& sCaFile) { m_sCaFile = sCaFile; }

void CKavroComm::ReadTopicConfig(const QJsonObject& mqttConfig)
{
    const QMap<QString, QMap<QString, QString>*> tables {
        { QStringLiteral("subscribe_topics"), &m_subscribeTopics },
        { QStringLiteral("subscribe_topics_raw"), &m_subscribeTopicsRaw },
        { QStringLiteral("publish_topics"), &m_publishTopics },
    };
    for (auto it = mqttConfig.constBegin(); it != mqttConfig.constEnd(); ++it) {
        if (QMap<QString, QString>* pTable = tables.value(it.key())) {
            ReadTopicTable(it.value().toObject(), *pTable);
        } else if (it.key() == QLatin1String("device_state_info")) {
            const QJsonObject info = it.value().toObject();
            m_sDeviceStateTopic = info.value(QLatin1String("topic_name")).toString();
            m_sDisconnectedValue = info.value(QLatin1String("disconnected_value")).toString();
        }
    }
}

void CKavroComm::UpdateMQTTStateChange()
{
    if (!m_pClient)
        return;
    QString sStatus;
    switch (m_pClient->state()) {
    case QMqttClient::Connecting:
        m_bBrokerConnected = false;
        m_bDeviceConnected = false;
        sStatus = QStringLiteral("Connecting to MQTT broker");
        break;
    case QMqttClient::Connected:
        m_bBrokerConnected = true;
        sStatus = QStringLiteral("Connected to MQTT broker");
        SubscribeAll();
        break;
    case QMqttClient::Disconnected:
        m_lastError = m_pClient->error();
        m_sLastErrorString = m_pClient->errorString();
        if (m_bBrokerConnected) {
            BrokerLost();
            sStatus = QStringLiteral("Disconnected from MQTT broker");
        }
        break;
    }
    emit ConnectionStatusUpdate(m_bBrokerConnected, sStatus);
}

void CKavroComm::BrokerDisconnected()
{
    // After the state change has reported the loss, the flag is clear and nothing is repeated.
    if (!m_bBrokerConnected)
        return;
    BrokerLost();
    emit ConnectionStatusUpdate(false, QStringLiteral("Disconnected from MQTT broker"));
}

void CKavroComm::ConnectionTimer()
{
    if (!m_bCheckPending)
        return;
    m_bCheckPending = false;
    if (m_bBrokerConnected && m_bDeviceConnected)
        return;
    // The panel learns of the end through the client's state change, with an empty status.
    DropConnection(false);
}

void CKavroComm::DeviceDisconnected()
{
    // Several device reports within the delay drop the connection once.
    if (!m_bBrokerConnected)
        return;
    Disconnect(false);
    ClearSubscriptions();
    emit ConnectionStatusUpdate(false, QStringLiteral("Device unavailable; Disconnected from MQTT broker"));
}

// A leave report belongs to the connection attempt it arrived in. Every later connection starts with a new
// Connect, so a check left from an earlier one stays idle instead of dropping the next connection.
void CKavroComm::SetDeviceState(bool bConnected)
{
    m_bDeviceConnected = bConnected;
    if (bConnected)
        return;
    m_bCheckPending = true;
    const int nAttempt = m_nConnectAttempt;
    QTimer::singleShot(kDeviceCheckDelayMs, this, [this, nAttempt] {
        if (nAttempt == m_nConnectAttempt)
            DeviceDisconnected();
    });
}

void CKavroComm::ReceiveSubscriptionStatus(QString topicName, QString topic, QString state)
{
    emit SubscriptionStatusUpdate(topicName, topic, state);
}

void CKavroComm::ReceiveSubscriptionMessage(
    QString topicName, QString topic, QString subtopic, QByteArray msgData, bool bRawMessage)
{
    if (bRawMessage) {
        emit MessageUpdate(topicName, topic, subtopic, msgData, QString());
        return;
    }

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(msgData, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        emit MessageUpdate(topicName, topic, subtopic, msgData, parseError.errorString());
        return;
    }

    // An array document has no root object and so no parameters.
    const QJsonObject root = document.object();
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (it.value().isObject()) {
            EmitParam(topicName, topic, subtopic, it.key(), it.value().toObject());
        } else {
            const QString sText = it.key() + QLatin1String(" : ") + it.value().toVariant().toString();
            emit MessageUpdate(topicName, topic, subtopic, sText.toUtf8(), QString());
        }
    }
}

void CKavroComm::SetParam(QString topicName, QString paramName, CKavroParam* pParamData)
{
    // Owned from here on, also when ToJson throws on a value that does not convert.
    const std::unique_ptr<CKavroParam> pRecord(pParamData);
    if (!pRecord)
        return;
    QJsonObject body;
    body.insert(paramName, pRecord->ToJson());
    Publish(topicName, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void CKavroComm::SendData(QString topicName, QByteArray msgData) { Publish(topicName, msgData); }

void CKavroComm::CreateClient()
{
    m_pClient = new QMqttClient(this);
    connect(m_pClient, &QMqttClient::stateChanged, this, &CKavroComm::UpdateMQTTStateChange);
    connect(m_pClient, &QMqttClient::disconnected, this, &CKavroComm::BrokerDisconnected);
}

void CKavroComm::DeleteClient()
{
    if (!m_pClient)
        return;
    m_pClient->disconnectFromHost();
    // The subscriptions never outlive the client they were made on.
    ClearSubscriptionsDetached();
    delete std::exchange(m_pClient, nullptr);
}

void CKavroComm::DropConnection(bool bUserRequest)
{
    // The flags are cleared first, so the client's Disconnected state reports an empty status.
    m_bUserDisconnect = bUserRequest;
    m_bBrokerConnected = false;
    m_bDeviceConnected = false;
    DeleteClient();
    qDebug() << "KavroComm: Disconnect: Done.";
}

void CKavroComm::BrokerLost()
{
    m_bBrokerConnected = false;
    m_bDeviceConnected = false;
    ClearSubscriptions();
}

void CKavroComm::SubscribeAll()
{
    const QMap<QString, QString> jsonTopics = m_subscribeTopics;
    for (auto it = jsonTopics.constBegin(); it != jsonTopics.constEnd(); ++it)
        AddSubscription(it.key(), it.value(), false);
    const QMap<QString, QString> rawTopics = m_subscribeTopicsRaw;
    for (auto it = rawTopics.constBegin(); it != rawTopics.constEnd(); ++it)
        AddSubscription(it.key(), it.value(), true);
}

void CKavroComm::AddSubscription(QString topicName, QString topic, bool bRawMessages)
{
    if (!m_bBrokerConnected)
        return;
    auto* pSubscription = new CKavroSubscription;
    m_subscriptions.append(pSubscription);
    connect(
        pSubscription, &CKavroSubscription::SubscriptionStatus, this, &CKavroComm::ReceiveSubscriptionStatus);
    connect(pSubscription, &CKavroSubscription::SubscriptionMessage, this,
        &CKavroComm::ReceiveSubscriptionMessage);
    pSubscription->Subscribe(topicName, topic, m_pClient, bRawMessages);
}

void CKavroComm::ClearSubscriptions() { DeleteSubscriptions(!m_pClient); }

void CKavroComm::ClearSubscriptionsDetached() { DeleteSubscriptions(true); }

void CKavroComm::DeleteSubscriptions(bool bDetach)
{
    const QList<CKavroSubscription*> subscriptions = std::exchange(m_subscriptions, {});
    for (CKavroSubscription* pSubscription : subscriptions) {
        if (bDetach)
            pSubscription->Detach();
        delete pSubscription;
    }
}

void CKavroComm::EmitParam(const QString& topicName, const QString& topic, const QString& subtopic,
    const QString& paramName, const QJsonObject& attributes)
{
    // The receiver deletes the record; without one it would be lost.
    if (!isSignalConnected(QMetaMethod::fromSignal(&CKavroComm::DataUpdate)))
        return;
    auto* pParamData = new CKavroParam;
    pParamData->FromJson(attributes);
    emit DataUpdate(topicName, topic, subtopic, paramName, pParamData);
}

void CKavroComm::Publish(const QString& topicName, const QByteArray& msgData)
{
    // An unknown name gives the empty topic, which the client refuses.
    const QString sTopic = m_publishTopics.value(topicName);
    if (m_pClient)
        m_pClient->publish(QMqttTopicName(sTopic), msgData, 0, false);
}

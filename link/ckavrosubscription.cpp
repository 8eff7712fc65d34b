#include "link/ckavrosubscription.h"

#include "mqtt/qmqttclient.h"

namespace {

QString StateText(QMqttSubscription::SubscriptionState state)
{
    switch (state) {
    case QMqttSubscription::Unsubscribed:
        return QStringLiteral("Unsubscribed");
    case QMqttSubscription::SubscriptionPending:
        return QStringLiteral("Pending");
    case QMqttSubscription::Subscribed:
        return QStringLiteral("Subscribed");
    case QMqttSubscription::Error:
        return QStringLiteral("Error");
    default:
        return QStringLiteral("--Unknown subscription state--");
    }
}

} // namespace

CKavroSubscription::CKavroSubscription() { qRegisterMetaType<QMqttMessage>(); }

CKavroSubscription::~CKavroSubscription()
{
    if (m_pSubscription && m_pClient && m_pClient->state() == QMqttClient::Connected) {
        // Nothing is reported from an object that is going away.
        m_pSubscription->disconnect(this);
        m_pSubscription->unsubscribe();
    }
    Detach();
}

void CKavroSubscription::Subscribe(QString topicName, QString topic, QMqttClient* pClient, bool bRawMessages)
{
    m_bRawMessages = bRawMessages;
    m_sTopic = topic;
    m_sTopicPrefix = topic.endsWith(QLatin1String("/#")) ? topic.chopped(2) : QString();
    m_sTopicName = topicName;
    m_pClient = pClient;
    if (!m_pClient)
        return;

    m_pSubscription = m_pClient->subscribe(QMqttTopicFilter(m_sTopic), 0);
    if (!m_pSubscription)
        return;
    ReceiveSubscriptionStatus(m_pSubscription->state());
    connect(m_pSubscription, &QMqttSubscription::messageReceived, this,
        &CKavroSubscription::ReceiveSubscriptionMessage);
    connect(m_pSubscription, &QMqttSubscription::stateChanged, this,
        &CKavroSubscription::ReceiveSubscriptionStatus);
}

void CKavroSubscription::Detach()
{
    // The subscription may already be gone with its client: it is only forgotten, never touched.
    m_pSubscription = nullptr;
    m_pClient = nullptr;
}

void CKavroSubscription::ReceiveSubscriptionStatus(QMqttSubscription::SubscriptionState state)
{
    emit SubscriptionStatus(m_sTopicName, m_sTopic, StateText(state));
}

void CKavroSubscription::ReceiveSubscriptionMessage(QMqttMessage msg)
{
    const QString sName = msg.topic().name();
    const int nPrefix = m_sTopicPrefix.length();
    const bool bBelowPrefix = nPrefix > 0 && nPrefix < sName.length() && sName.at(nPrefix) == QLatin1Char('/')
        && sName.startsWith(m_sTopicPrefix);
    const QString sTopic = bBelowPrefix ? m_sTopicPrefix : sName;
    const QString sSubtopic = bBelowPrefix ? sName.mid(m_sTopicPrefix.length() + 1) : QString();
    emit SubscriptionMessage(m_sTopicName, sTopic, sSubtopic, msg.payload(), m_bRawMessages);
}

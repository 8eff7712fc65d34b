#include "mqtt/qmqttsubscription.h"

#include "mqtt/qmqttclient.h"
#include "mqtt/qmqttclientprivate.h"

namespace {

void RegisterSubscriptionStateMetaType() { qRegisterMetaType<QMqttSubscription::SubscriptionState>(); }

} // namespace

Q_CONSTRUCTOR_FUNCTION(RegisterSubscriptionStateMetaType)

QMqttSubscription::QMqttSubscription(const QMqttTopicFilter& topic, quint8 qos, QMqttClient* client)
    : QObject(client)
    , m_topic(topic)
    , m_filterUtf8(topic.filter().toUtf8())
    , m_qos(qos)
    , m_client(client)
{ }

QMqttSubscription::~QMqttSubscription()
{
    if (m_client)
        m_client->d->ForgetSubscription(this);
}

void QMqttSubscription::unsubscribe()
{
    if (m_client)
        m_client->unsubscribe(m_topic);
}

void QMqttSubscription::setState(SubscriptionState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

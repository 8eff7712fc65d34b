#include "mqtt/qmqttmessage.h"

namespace {

// Lets the type travel in queued connections and signal spies as soon as the program starts.
void RegisterQMqttMessageMetaType() { qRegisterMetaType<QMqttMessage>(); }

} // namespace

Q_CONSTRUCTOR_FUNCTION(RegisterQMqttMessageMetaType)

QMqttMessage::QMqttMessage(const QMqttTopicName& topic, const QByteArray& payload, quint8 qos, bool retain)
    : m_topic(topic)
    , m_payload(payload)
    , m_qos(qos)
    , m_retain(retain)
{ }

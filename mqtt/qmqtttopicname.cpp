#include "mqtt/qmqtttopicname.h"

#include "mqtt/mqtttopiccheck.h"

#include <mosquitto.h>

namespace {

// Lets the type travel in queued connections and signal spies as soon as the program starts.
void RegisterQMqttTopicNameMetaType() { qRegisterMetaType<QMqttTopicName>(); }

} // namespace

Q_CONSTRUCTOR_FUNCTION(RegisterQMqttTopicNameMetaType)

QMqttTopicName::QMqttTopicName(const QString& name)
    : m_name(name)
{ }

QMqttTopicName::QMqttTopicName(const QLatin1String& name)
    : m_name(name)
{ }

bool QMqttTopicName::isValid() const
{
    return MqttTopicCheck::IsAcceptable(m_name, mosquitto_pub_topic_check);
}

int QMqttTopicName::levelCount() const { return m_name.isEmpty() ? 0 : m_name.count(QLatin1Char('/')) + 1; }

QStringList QMqttTopicName::levels() const
{
    return m_name.isEmpty() ? QStringList() : m_name.split(QLatin1Char('/'));
}

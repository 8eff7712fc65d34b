#include "mqtt/qmqtttopicfilter.h"

#include "mqtt/mqtttopiccheck.h"

#include <mosquitto.h>

namespace {

// Lets the type travel in queued connections and signal spies as soon as the program starts.
void RegisterQMqttTopicFilterMetaType() { qRegisterMetaType<QMqttTopicFilter>(); }

} // namespace

Q_CONSTRUCTOR_FUNCTION(RegisterQMqttTopicFilterMetaType)

QMqttTopicFilter::QMqttTopicFilter(const QString& filter)
    : m_filter(filter)
{ }

QMqttTopicFilter::QMqttTopicFilter(const QLatin1String& filter)
    : m_filter(filter)
{ }

bool QMqttTopicFilter::isValid() const
{
    return MqttTopicCheck::IsAcceptable(m_filter, mosquitto_sub_topic_check);
}

bool QMqttTopicFilter::match(const QMqttTopicName& name) const
{
    if (!isValid() || !name.isValid())
        return false;
    const QByteArray filter = m_filter.toUtf8();
    const QByteArray topic = name.name().toUtf8();
    bool bMatches = false;
    return mosquitto_topic_matches_sub2(
               filter.constData(), size_t(filter.size()), topic.constData(), size_t(topic.size()), &bMatches)
        == MOSQ_ERR_SUCCESS
        && bMatches;
}

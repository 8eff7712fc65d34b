#include "mqtt/mqtttopiccheck.h"

#include <mosquitto.h>

namespace MqttTopicCheck {

bool IsAcceptable(const QString& sTopic, Checker pCheck) { return IsAcceptableUtf8(sTopic.toUtf8(), pCheck); }

bool IsAcceptableUtf8(const QByteArray& topicUtf8, Checker pCheck)
{
    if (topicUtf8.isEmpty() || topicUtf8.size() > 65535 || topicUtf8.contains('\0'))
        return false;
    return mosquitto_validate_utf8(topicUtf8.constData(), topicUtf8.size()) == MOSQ_ERR_SUCCESS
        && pCheck(topicUtf8.constData()) == MOSQ_ERR_SUCCESS;
}

} // namespace MqttTopicCheck

#include "mqtt/mqtttopiccheck.h"

#include <mosquitto.h>

namespace MqttTopicCheck {

bool IsAcceptable(const QString& sTopic, Checker pCheck)
{
    if (sTopic.isEmpty())
        return false;
    const QByteArray utf8 = sTopic.toUtf8();
    if (utf8.size() > 65535 || utf8.contains('\0'))
        return false;
    return mosquitto_validate_utf8(utf8.constData(), utf8.size()) == MOSQ_ERR_SUCCESS
        && pCheck(utf8.constData()) == MOSQ_ERR_SUCCESS;
}

} // namespace MqttTopicCheck

#pragma once

#include "mqtt/qmqtttopicname.h"

#include <QByteArray>
#include <QMetaType>

// One message as the broker delivered it.
class QMqttMessage
{
public:
    QMqttMessage() = default;
    QMqttMessage(const QMqttTopicName& topic, const QByteArray& payload, quint8 qos = 0, bool retain = false);

    QMqttTopicName topic() const { return m_topic; }
    QByteArray payload() const { return m_payload; }
    quint8 qos() const { return m_qos; }
    bool retain() const { return m_retain; }

private:
    QMqttTopicName m_topic;
    QByteArray m_payload;
    quint8 m_qos = 0;
    bool m_retain = false;
};

Q_DECLARE_METATYPE(QMqttMessage)

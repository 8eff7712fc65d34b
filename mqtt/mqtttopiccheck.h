#pragma once

#include <QByteArray>
#include <QString>

// The rules a topic name or filter must meet before it goes on the wire: not empty, valid UTF-8 without
// the characters MQTT forbids (a broker drops a client that sends them), and the wildcard rules that
// libmosquitto checks for names or for filters.
namespace MqttTopicCheck {

using Checker = int (*)(const char* pTopic);

bool IsAcceptable(const QString& sTopic, Checker pCheck);
// The same rules for a topic already converted to UTF-8, as it goes on the wire.
bool IsAcceptableUtf8(const QByteArray& topicUtf8, Checker pCheck);

} // namespace MqttTopicCheck

#include "panelclient.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

bool PanelClient::Connect(quint16 nPort)
{
    m_client.setHostname(QStringLiteral("127.0.0.1"));
    m_client.setPort(nPort);
    m_client.connectToHost();
    if (!QTest::qWaitFor([this] { return m_client.state() == QMqttClient::Connected; }, 10000))
        return false;
    QMqttSubscription* pSubscription = m_client.subscribe(QMqttTopicFilter(QStringLiteral("/hdr/#")));
    if (!pSubscription)
        return false;
    connect(pSubscription, &QMqttSubscription::messageReceived, this, [this](const QMqttMessage& msg) {
        m_messages.append({ msg.topic().name(), msg.payload(), msg.retain() });
    });
    return QTest::qWaitFor(
        [pSubscription] { return pSubscription->state() == QMqttSubscription::Subscribed; }, 10000);
}

void PanelClient::Send(const QString& sTopic, const QByteArray& payload)
{
    m_client.publish(QMqttTopicName(sTopic), payload);
}

bool PanelClient::Sync()
{
    const QString sTopic = QStringLiteral("/hdr/test/sync");
    const int nSeen = Count(sTopic);
    Send(sTopic, QByteArray::number(++m_nSync));
    return WaitFor(sTopic, nSeen + 1);
}

QStringList PanelClient::Topics(const QString& sPrefix) const
{
    QStringList topics;
    for (const SMessage& message : m_messages) {
        if (message.sTopic.startsWith(sPrefix))
            topics << message.sTopic;
    }
    return topics;
}

int PanelClient::Count(const QString& sTopic) const
{
    return int(std::count_if(m_messages.cbegin(), m_messages.cend(),
        [&sTopic](const SMessage& message) { return message.sTopic == sTopic; }));
}

QByteArray PanelClient::Last(const QString& sTopic) const
{
    for (auto it = m_messages.crbegin(); it != m_messages.crend(); ++it) {
        if (it->sTopic == sTopic)
            return it->payload;
    }
    return QByteArray();
}

bool PanelClient::WaitFor(const QString& sTopic, int nCount, int nTimeoutMs)
{
    return QTest::qWaitFor([&] { return Count(sTopic) >= nCount; }, nTimeoutMs);
}

QString PanelClient::StatusValueText(const QString& sName) const
{
    static const QRegularExpression valueMember(QStringLiteral("\"value\":([^,}]*)"));
    return valueMember.match(QString::fromUtf8(Last(QStringLiteral("/hdr/status/parameters/") + sName)))
        .captured(1);
}

QJsonValue PanelClient::StatusValue(const QString& sName) const
{
    const QJsonObject message
        = QJsonDocument::fromJson(Last(QStringLiteral("/hdr/status/parameters/") + sName)).object();
    return message.value(sName).toObject().value(QStringLiteral("value"));
}

#pragma once

#include "mqtt/qmqttclient.h"

#include <QJsonValue>
#include <QList>
#include <QObject>

// Plays the control panel in the tests: one MQTT client on 127.0.0.1 that subscribes to everything under
// /hdr and records what arrives, in order.
class PanelClient : public QObject
{
    Q_OBJECT

public:
    struct SMessage
    {
        QString sTopic;
        QByteArray payload;
        bool bRetain;
    };

    // Connects and subscribes; true once the broker has confirmed the subscription.
    bool Connect(quint16 nPort);
    void Send(const QString& sTopic, const QByteArray& payload);
    // Waits until the broker has delivered everything it queued for this client before the call.
    bool Sync();
    void Clear() { m_messages.clear(); }

    const QList<SMessage>& Messages() const { return m_messages; }
    QStringList Topics(const QString& sPrefix) const;
    int Count(const QString& sTopic) const;
    QByteArray Last(const QString& sTopic) const;
    bool WaitFor(const QString& sTopic, int nCount = 1, int nTimeoutMs = 10000);

    // The value of a parameter's last status record as it stands in the payload, e.g. 16.66 or true.
    QString StatusValueText(const QString& sName) const;
    QJsonValue StatusValue(const QString& sName) const;

private:
    QMqttClient m_client;
    QList<SMessage> m_messages;
    int m_nSync = 0;
};

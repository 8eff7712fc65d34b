#pragma once

#include "mqtt/qmqttmessage.h"
#include "mqtt/qmqtttopicfilter.h"

#include <QObject>

class QMqttClient;

// One subscribed filter. Made and owned by QMqttClient::subscribe(); stays valid while the client exists.
class QMqttSubscription : public QObject
{
    Q_OBJECT

public:
    enum SubscriptionState
    {
        Unsubscribed = 0,
        SubscriptionPending,
        Subscribed,
        UnsubscriptionPending,
        Error,
    };
    Q_ENUM(SubscriptionState)

    ~QMqttSubscription() override;

    SubscriptionState state() const { return m_state; }
    QMqttTopicFilter topic() const { return m_topic; }
    quint8 qos() const { return m_qos; }

public slots:
    void unsubscribe();

signals:
    void stateChanged(QMqttSubscription::SubscriptionState state);
    void messageReceived(QMqttMessage msg);

private:
    friend class QMqttClient;
    QMqttSubscription(const QMqttTopicFilter& topic, quint8 qos, QMqttClient* client);
    void setState(SubscriptionState state);

    QMqttTopicFilter m_topic;
    // The filter as libmosquitto matches it, converted once.
    QByteArray m_filterUtf8;
    quint8 m_qos = 0;
    SubscriptionState m_state = Unsubscribed;
    QMqttClient* m_client = nullptr;
};

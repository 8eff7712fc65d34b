#pragma once

#include "mqtt/qmqttmessage.h"
#include "mqtt/qmqttsubscription.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QMqttClient;

// One subscribed topic filter of the link. It remembers the configured name the filter was subscribed
// under (params_config, log_data, ...) and whether its payloads are raw, and turns every delivered message
// into the topic name, topic and subtopic the application routes on: below a filter "<prefix>/#" the topic
// is the prefix and the subtopic the rest of the message's topic; otherwise the topic is the message's own
// and the subtopic is empty.
class CKavroSubscription : public QObject
{
    Q_OBJECT

public:
    CKavroSubscription();
    // Unsubscribes the filter when the client is still connected.
    ~CKavroSubscription() override;

    void Subscribe(QString topicName, QString topic, QMqttClient* pClient, bool bRawMessages);
    // Forgets the subscription and the client; used before the client itself is deleted.
    void Detach();

signals:
    void SubscriptionStatus(QString topicName, QString topic, QString state);
    void SubscriptionMessage(
        QString topicName, QString topic, QString subtopic, QByteArray msgData, bool bRawMessages = false);

private slots:
    void ReceiveSubscriptionStatus(QMqttSubscription::SubscriptionState state);
    void ReceiveSubscriptionMessage(QMqttMessage msg);

private:
    QString m_sTopicName;
    QString m_sTopic;
    QString m_sTopicPrefix;
    QMqttSubscription* m_pSubscription = nullptr;
    QMqttClient* m_pClient = nullptr;
    bool m_bRawMessages = false;
};

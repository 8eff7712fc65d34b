#pragma once

#include "mqtt/qmqttclient.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class CKavroParam;
class CKavroSubscription;

// The application's one link to the camera device, through an MQTT broker. It owns the client, subscribes
// the configured topics once the broker accepts the connection, splits inbound JSON payloads into one
// CKavroParam per parameter (DataUpdate) or forwards them as they are (MessageUpdate), and publishes
// parameter records and raw data. A connection counts as established only once the device has reported
// itself through SetDeviceState; a connection that is not established 5000 ms after Connect is dropped,
// and a device report of "not connected" drops it 100 ms later.
// An address written "mqtts://host" connects with TLS (the certificate checked against "host"); one without
// a scheme, or with "mqtt://", connects over plain TCP. Credentials and a CA file given beforehand go with
// every following Connect.
//
// Records handed over with DataUpdate belong to the receiver; SetParam deletes the record it is given.
class CKavroComm : public QObject
{
    Q_OBJECT

public:
    explicit CKavroComm(QObject* parent = nullptr);
    ~CKavroComm() override;

    void Connect(QString sUrl, quint16 nPort);
    void Disconnect(bool bUserRequest);
    // Empty texts connect without credentials, or trust the system's CA store only.
    void SetCredentials(const QString& sUserName, const QString& sPassword);
    void SetCaFile(const QString& sCaFile);
    // How the client's last connection ended: the error (NotAuthorized for a broker that refused the
    // credentials) and, for an encrypted one, why TLS failed. Reset by Connect.
    QMqttClient::ClientError LastError() const { return m_lastError; }
    QString LastErrorString() const { return m_sLastErrorString; }
    // Fills the topic tables from the "mqtt_config" object of the configuration.
    void ReadTopicConfig(const QJsonObject& mqttConfig);

    // The last disconnect was asked for by the user; the window chooses its message by it.
    bool m_bUserDisconnect = false;
    // The device has reported itself connected since the last reset.
    bool m_bDeviceConnected = false;

signals:
    void ConnectionStatusUpdate(bool bConnected, QString connectionStatus);
    void SubscriptionStatusUpdate(QString topicName, QString topic, QString subscriptionStatus);
    void DataUpdate(
        QString topicName, QString topic, QString subtopic, QString paramName, CKavroParam* pParamData);
    void MessageUpdate(
        QString topicName, QString topic, QString subtopic, QByteArray msgData, QString jsonError);

private slots:
    void UpdateMQTTStateChange();
    void BrokerDisconnected();
    void ConnectionTimer();
    void DeviceDisconnected();
    void SetDeviceState(bool bConnected);

public slots:
    void ReceiveSubscriptionStatus(QString topicName, QString topic, QString state);
    void ReceiveSubscriptionMessage(
        QString topicName, QString topic, QString subtopic, QByteArray msgData, bool bRawMessage);
    void SetParam(QString topicName, QString paramName, CKavroParam* pParamData);
    void SendData(QString topicName, QByteArray msgData);

private:
    void CreateClient();
    void DeleteClient();
    void DropConnection(bool bUserRequest);
    void BrokerLost();

    void SubscribeAll();
    void AddSubscription(QString topicName, QString topic, bool bRawMessages);
    void ClearSubscriptions();
    void ClearSubscriptionsDetached();
    void DeleteSubscriptions(bool bDetach);

    void EmitParam(const QString& topicName, const QString& topic, const QString& subtopic,
        const QString& paramName, const QJsonObject& attributes);
    void Publish(const QString& topicName, const QByteArray& msgData);

    const int m_nConnectTimeout = 5000;
    // Counts Connect calls, so that a connection or device check scheduled in an earlier attempt stays idle.
    int m_nConnectAttempt = 0;
    bool m_bCheckPending = false;
    bool m_bBrokerConnected = false;
    QMqttClient* m_pClient = nullptr;
    QMap<QString, QString> m_subscribeTopics;
    QMap<QString, QString> m_subscribeTopicsRaw;
    QMap<QString, QString> m_publishTopics;
    QList<CKavroSubscription*> m_subscriptions;
    QString m_sDeviceStateTopic;
    QString m_sDisconnectedValue;
    QString m_sUserName;
    QString m_sPassword;
    QString m_sCaFile;
    QMqttClient::ClientError m_lastError = QMqttClient::NoError;
    QString m_sLastErrorString;
};

#pragma once

#include "mqtt/qmqttsubscription.h"
#include "mqtt/qmqtttopicfilter.h"
#include "mqtt/qmqtttopicname.h"

#include <QObject>
#include <memory>

// An MQTT 3.1.1 client with the API of the Qt MQTT classes this project uses, built on libmosquitto and
// driven by the event loop of the thread it lives in; there are no threads. Socket notifiers call
// mosquitto_loop_read/mosquitto_loop_write (the write notifier only while the library has data queued) and
// a one-second timer calls mosquitto_loop_misc for keep-alive pings and time-outs. The libmosquitto
// callbacks only append to an event queue; once the library call has returned, the queue is turned into
// the signals of the client and its subscriptions. So a slot may call back into the client or delete it;
// the client checks that it still exists after every emission.
//
// Signal timing: connectToHost() reports Connecting before it returns, Connected (then connected()) only
// after the broker's CONNACK, and a failed attempt, a lost broker or a keep-alive time-out Disconnected
// (then disconnected()) later from the event loop. disconnectFromHost() reports Disconnected before it
// returns. connected()/disconnected() are left out when a slot of stateChanged() has already moved the
// state on. Each attempt uses a fresh libmosquitto handle, so nothing of an earlier connection is resent.
// An encrypted connection hands libmosquitto an OpenSSL context of the adapter's own (CTlsContext), which
// checks the certificate against the name the user gave.
class QMqttClient : public QObject
{
    Q_OBJECT

public:
    enum ClientState
    {
        Disconnected = 0,
        Connecting,
        Connected,
    };
    Q_ENUM(ClientState)

    enum ClientError
    {
        NoError = 0,
        InvalidProtocolVersion = 1,
        IdRejected = 2,
        ServerUnavailable = 3,
        BadUsernameOrPassword = 4,
        NotAuthorized = 5,
        TransportInvalid = 256,
        ProtocolViolation,
        UnknownError,
    };
    Q_ENUM(ClientError)

    explicit QMqttClient(QObject* parent = nullptr);
    ~QMqttClient() override;

    void setHostname(const QString& hostname);
    QString hostname() const;
    void setPort(quint16 port);
    quint16 port() const;
    void setClientId(const QString& clientId);
    QString clientId() const;
    void setKeepAlive(quint16 keepAlive);
    quint16 keepAlive() const;

    // Last will, sent by the broker when the connection drops without a DISCONNECT. None by default.
    void setWillTopic(const QString& willTopic);
    QString willTopic() const;
    void setWillMessage(const QByteArray& willMessage);
    QByteArray willMessage() const;
    void setWillQoS(quint8 willQoS);
    quint8 willQoS() const;
    void setWillRetain(bool willRetain);
    bool willRetain() const;

    // Credentials sent with CONNECT; none by default. A password is only sent with a user name.
    void setUsername(const QString& username);
    QString username() const;
    void setPassword(const QString& password);
    QString password() const;

    // PEM file of the CA certificates that encrypted connections trust instead of the system's CA store. Qt
    // MQTT takes these from a QSslConfiguration; the adapter does its TLS work in libmosquitto and OpenSSL.
    void setCaCertificatesFile(const QString& caCertificatesFile);
    QString caCertificatesFile() const;

    ClientState state() const;
    ClientError error() const;
    // Why the last encrypted connection failed, as OpenSSL tells it ("certificate verify failed: hostname
    // mismatch"); empty when it did not fail or was not encrypted. Set when error() changes.
    QString errorString() const;

    // Null unless Connected or when the filter is invalid; the same object while that filter is active.
    QMqttSubscription* subscribe(const QMqttTopicFilter& topic, quint8 qos = 0);
    void unsubscribe(const QMqttTopicFilter& topic);
    // -1 unless Connected or for an invalid topic; otherwise the message id (0 for QoS 0).
    qint32 publish(const QMqttTopicName& topic, const QByteArray& message = QByteArray(), quint8 qos = 0,
        bool retain = false);

public slots:
    void connectToHost();
    // Connects with TLS. The broker's certificate must be made out to sslPeerName, or to hostname() when
    // that is empty, also when the host name was resolved to an address first.
    void connectToHostEncrypted(const QString& sslPeerName = QString());
    void disconnectFromHost();

signals:
    void connected();
    void disconnected();
    void messageReceived(const QByteArray& message, const QMqttTopicName& topic = QMqttTopicName());
    void stateChanged(QMqttClient::ClientState state);
    void errorChanged(QMqttClient::ClientError error);

private:
    friend class QMqttSubscription;
    class Private;
    std::unique_ptr<Private> d;
};

#pragma once

#include "mqtt/qmqttclient.h"

#include <QObject>
#include <QTimer>

class CSimDevice;

// The camera's link to the broker. It connects with the last will "offline" on the connection status,
// retries every second while the broker is away, announces the device on every (re)connect, feeds the
// device the messages of its command topics, publishes what the device says and ticks its log stream and,
// when asked for, a stream of status reports.
class CSimConnection : public QObject
{
    Q_OBJECT

public:
    CSimConnection(CSimDevice* pDevice, const QString& sHost, quint16 nPort, int nLogIntervalMs,
        int nStatusIntervalMs = 0, QObject* pParent = nullptr);

    // From the next connect on: TLS (the certificate checked against the broker address, the CA file trusted
    // instead of the system's store) and credentials; empty texts leave them out.
    void SetSecurity(bool bTls, const QString& sCaFile, const QString& sUserName, const QString& sPassword);
    void Start();
    // Reports "offline", leaves the broker and then emits Finished; at once when not connected.
    void Shutdown();

signals:
    void Finished();

private slots:
    void Retry();
    void OnStateChanged(QMqttClient::ClientState eState);
    void OnMessage(const QByteArray& payload, const QMqttTopicName& topic);
    void Publish(const QString& sTopic, const QByteArray& payload, bool bRetain);

private:
    void OnConnected();
    void Connect();
    void Finish();

    CSimDevice* m_pDevice;
    QMqttClient m_client;
    QTimer m_retryTimer;
    QTimer m_logTimer;
    QTimer m_statusTimer;
    QTimer m_goodbyeTimer;
    bool m_bTls = false;
    bool m_bShuttingDown = false;
    bool m_bFinished = false;
    bool m_bReportedAway = false;
};

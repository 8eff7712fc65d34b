#include "csimconnection.h"

#include "csimdevice.h"

#include <QMetaEnum>
#include <QTextStream>
#include <QtDebug>

namespace {

constexpr int kRetryIntervalMs = 1000;
// How long a clean exit waits for the broker to see the DISCONNECT.
constexpr int kGoodbyeTimeoutMs = 2000;

} // namespace

CSimConnection::CSimConnection(CSimDevice* pDevice, const QString& sHost, quint16 nPort, int nLogIntervalMs,
    int nStatusIntervalMs, QObject* pParent)
    : QObject(pParent)
    , m_pDevice(pDevice)
{
    m_client.setHostname(sHost);
    m_client.setPort(nPort);
    m_client.setKeepAlive(60);
    m_client.setWillTopic(CSimDevice::ConnectionStatusTopic());
    m_client.setWillMessage(CSimDevice::ConnectionStatusMessage(QStringLiteral("offline")));
    m_client.setWillQoS(0);
    m_client.setWillRetain(true);

    m_retryTimer.setInterval(kRetryIntervalMs);
    m_logTimer.setInterval(nLogIntervalMs);
    m_statusTimer.setInterval(nStatusIntervalMs);
    m_statusTimer.setTimerType(Qt::PreciseTimer);
    m_goodbyeTimer.setSingleShot(true);
    m_goodbyeTimer.setInterval(kGoodbyeTimeoutMs);

    connect(&m_retryTimer, &QTimer::timeout, this, &CSimConnection::Retry);
    connect(&m_logTimer, &QTimer::timeout, m_pDevice, &CSimDevice::PublishLogLine);
    connect(&m_statusTimer, &QTimer::timeout, m_pDevice, &CSimDevice::PublishNextStatus);
    connect(&m_goodbyeTimer, &QTimer::timeout, this, &CSimConnection::Finish);
    connect(&m_client, &QMqttClient::stateChanged, this, &CSimConnection::OnStateChanged);
    connect(&m_client, &QMqttClient::messageReceived, this, &CSimConnection::OnMessage);
    connect(m_pDevice, &CSimDevice::Publish, this, &CSimConnection::Publish);
}

void CSimConnection::SetSecurity(
    bool bTls, const QString& sCaFile, const QString& sUserName, const QString& sPassword)
{
    m_bTls = bTls;
    m_client.setCaCertificatesFile(sCaFile);
    m_client.setUsername(sUserName);
    m_client.setPassword(sPassword);
}

void CSimConnection::Start()
{
    m_retryTimer.start();
    Connect();
}

void CSimConnection::Connect()
{
    if (m_bTls)
        m_client.connectToHostEncrypted();
    else
        m_client.connectToHost();
}

void CSimConnection::Retry()
{
    if (m_client.state() != QMqttClient::Disconnected)
        return;
    if (!m_bReportedAway) {
        m_bReportedAway = true;
        const QString sError = QMetaEnum::fromType<QMqttClient::ClientError>().valueToKey(m_client.error());
        qWarning().noquote() << QStringLiteral(
            "no connection to the broker at %1:%2 (%3), retrying every second")
                                    .arg(m_client.hostname())
                                    .arg(m_client.port())
                                    .arg(m_client.errorString().isEmpty() ? sError : m_client.errorString());
    }
    Connect();
}

void CSimConnection::OnStateChanged(QMqttClient::ClientState eState)
{
    if (eState == QMqttClient::Connected) {
        OnConnected();
        return;
    }
    if (eState != QMqttClient::Disconnected)
        return;
    m_logTimer.stop();
    m_statusTimer.stop();
    if (m_bShuttingDown)
        Finish();
}

void CSimConnection::OnConnected()
{
    m_bReportedAway = false;
    for (const QString& sTopic : CSimDevice::CommandTopics()) {
        if (!m_client.subscribe(QMqttTopicFilter(sTopic)))
            qWarning().noquote() << QStringLiteral("could not subscribe to %1").arg(sTopic);
    }
    m_pDevice->Announce();
    if (m_logTimer.interval() > 0)
        m_logTimer.start();
    if (m_statusTimer.interval() > 0)
        m_statusTimer.start();
    // Scripts wait for this line; by now the device has sent its description and values.
    QTextStream(stdout) << QStringLiteral("kavro-camera-sim: connected to %1:%2")
                               .arg(m_client.hostname())
                               .arg(m_client.port())
                        << Qt::endl;
}

void CSimConnection::OnMessage(const QByteArray& payload, const QMqttTopicName& topic)
{
    m_pDevice->HandleMessage(topic.name(), payload);
}

void CSimConnection::Publish(const QString& sTopic, const QByteArray& payload, bool bRetain)
{
    if (m_client.publish(QMqttTopicName(sTopic), payload, 0, bRetain) < 0)
        qWarning().noquote() << QStringLiteral("could not publish on %1").arg(sTopic);
}

void CSimConnection::Shutdown()
{
    if (m_bShuttingDown)
        return;
    m_bShuttingDown = true;
    m_retryTimer.stop();
    m_logTimer.stop();
    m_statusTimer.stop();
    if (m_client.state() != QMqttClient::Connected) {
        QTimer::singleShot(0, this, &CSimConnection::Finish);
        return;
    }
    // A clean DISCONNECT makes the broker drop the will, so the camera says goodbye itself.
    m_pDevice->PublishOffline();
    m_goodbyeTimer.start();
    m_client.disconnectFromHost();
}

void CSimConnection::Finish()
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    m_goodbyeTimer.stop();
    emit Finished();
}

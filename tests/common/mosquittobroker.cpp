#include "mosquittobroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

quint16 FreeLoopbackPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

} // namespace

MosquittoBroker::MosquittoBroker()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

QString MosquittoBroker::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                          { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                            QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/local/bin") });
}

bool MosquittoBroker::start()
{
    if (isRunning())
        return true;
    if (!m_dir.isValid()) {
        m_sError = QStringLiteral("cannot create a temporary folder for the broker");
        return false;
    }
    if (executable().isEmpty()) {
        m_sError = QStringLiteral("mosquitto is not installed (scripts/install-deps installs it)");
        return false;
    }
    if (m_nPort != 0)
        return startOnPort(m_nPort);
    for (int nAttempt = 0; nAttempt < 5; ++nAttempt) {
        if (startOnPort(FreeLoopbackPort()))
            return true;
    }
    return false;
}

bool MosquittoBroker::startOnPort(quint16 nPort)
{
    if (nPort == 0) {
        m_sError = QStringLiteral("no free port on 127.0.0.1");
        return false;
    }
    const QString sConfigPath = m_dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile config(sConfigPath);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_sError = config.errorString();
        return false;
    }
    config.write(QStringLiteral("listener %1 127.0.0.1\n"
                                "allow_anonymous true\n"
                                "persistence false\n"
                                "log_dest stdout\n"
                                "log_type error\nlog_type warning\nlog_type notice\n")
                     .arg(nPort)
                     .toUtf8());
    config.close();

    m_process.start(executable(), { QStringLiteral("-c"), sConfigPath });
    if (!m_process.waitForStarted(5000)) {
        m_sError = QStringLiteral("mosquitto did not start: ") + m_process.errorString();
        return false;
    }
    m_nPort = nPort;
    if (waitUntilListening(10000))
        return true;
    m_sError = QStringLiteral("mosquitto is not listening on port %1: %2").arg(nPort).arg(log());
    stop();
    return false;
}

bool MosquittoBroker::waitUntilListening(int nTimeoutMs) const
{
    QDeadlineTimer deadline(nTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running)
            return false;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_nPort);
        if (probe.waitForConnected(200)) {
            probe.disconnectFromHost();
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

void MosquittoBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void MosquittoBroker::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool MosquittoBroker::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QString MosquittoBroker::log()
{
    m_log += m_process.readAll();
    return QString::fromUtf8(m_log);
}

// The broker run by ombix-broker-host on the Linux side: the implementation for Windows builds under Wine.
// One connection to the host stands for one broker; the host stops it when the connection closes.
#include "mosquittobroker.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>

namespace {

// Generous for a broker that starts under a loaded machine; the host itself gives up after 50 s.
constexpr int kAnswerTimeoutMs = 60000;

} // namespace

MosquittoBroker::MosquittoBroker() = default;

MosquittoBroker::~MosquittoBroker() { stop(); }

// A request is a command and its percent-encoded argument on one line. The answer is one line too:
// success (0 or 1), the broker's port, whether it runs, and a percent-encoded text (the error, a log or a
// path).
bool MosquittoBroker::call(const QByteArray& command, const QByteArray& argument)
{
    if (m_host.state() != QAbstractSocket::ConnectedState) {
        const quint16 nHostPort = quint16(qEnvironmentVariableIntValue("OMBIX_BROKER_HOST_PORT"));
        m_host.connectToHost(QHostAddress::LocalHost, nHostPort);
        if (nHostPort == 0 || !m_host.waitForConnected(5000)) {
            m_sError = QString("no broker host on port %1 (OMBIX_BROKER_HOST_PORT): %2")
                           .arg(nHostPort)
                           .arg(m_host.errorString());
            m_host.abort();
            return false;
        }
    }
    m_host.write(command + ' ' + argument.toPercentEncoding() + '\n');
    for (QDeadlineTimer deadline(kAnswerTimeoutMs); !m_host.canReadLine();) {
        if (deadline.hasExpired() || !m_host.waitForReadyRead(int(deadline.remainingTime()))) {
            m_sError = "no answer from the broker host: " + m_host.errorString();
            return false;
        }
    }
    const QList<QByteArray> fields = m_host.readLine().trimmed().split(' ');
    if (fields.size() < 3) {
        m_sError = "unexpected answer from the broker host";
        return false;
    }
    m_nPort = quint16(fields.at(1).toUInt());
    m_bRunning = fields.at(2) == "1";
    m_answer = QByteArray::fromPercentEncoding(fields.value(3));
    if (fields.at(0) != "1")
        m_sError = QString::fromUtf8(m_answer);
    return fields.at(0) == "1";
}

QString MosquittoBroker::writeFile(const QString& sName, const QByteArray& content)
{
    return call("file", sName.toUtf8().toPercentEncoding() + ' ' + content.toPercentEncoding())
        ? QString::fromUtf8(m_answer)
        : QString();
}

bool MosquittoBroker::start() { return call("config", m_sExtraConfig.toUtf8()) && call("start"); }

void MosquittoBroker::stop()
{
    if (m_bRunning)
        call("stop");
}

void MosquittoBroker::kill() { call("kill"); }

void MosquittoBroker::pause() { call("pause"); }

void MosquittoBroker::resume() { call("resume"); }

bool MosquittoBroker::isRunning() const { return m_bRunning; }

QString MosquittoBroker::log() { return call("log") ? QString::fromUtf8(m_answer) : QString(); }

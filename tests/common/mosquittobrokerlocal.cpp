// The broker as a child process: the implementation everywhere but on Windows.
#include "mosquittobroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// True once this mosquitto reports in its log that its listener is up; false when it ends or 10 s pass
// first. A connection to the port would not do: when another broker has taken the port, this one ends with
// "Address already in use" while the other one answers. What it writes is appended to log.
bool WaitUntilListening(QProcess& process, QByteArray& log)
{
    const int nStart = log.size();
    for (QDeadlineTimer deadline(10000); log.indexOf(" running", nStart) < 0;) {
        if (!process.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 0))))
            return false;
        log += process.readAll();
    }
    return true;
}

} // namespace

MosquittoBroker::MosquittoBroker() { m_process.setProcessChannelMode(QProcess::MergedChannels); }

MosquittoBroker::~MosquittoBroker() { stop(); }

QString MosquittoBroker::executable()
{
    return QStandardPaths::findExecutable(
        "mosquitto", { "/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin" });
}

bool MosquittoBroker::start()
{
    resume();
    if (isRunning())
        return true;
    if (executable().isEmpty()) {
        m_sError = "mosquitto is not installed (scripts/install-deps installs it)";
        return false;
    }
    // A port found free may be taken by someone else before mosquitto binds it: a few tries. The log goes
    // to stderr, which mosquitto does not buffer.
    for (int nAttempt = 0; nAttempt < 5; ++nAttempt) {
        const quint16 nPort = m_nPort != 0 ? m_nPort : freePort();
        const QString sConfig = QString("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n"
                                        "log_dest stderr\nlog_type error\nlog_type warning\nlog_type notice\n"
                                        "log_type information\n%2\n")
                                    .arg(nPort)
                                    .arg(m_sExtraConfig);
        m_process.start(executable(), { "-c", writeFile("mosquitto.conf", sConfig.toUtf8()) });
        if (m_process.waitForStarted(5000) && WaitUntilListening(m_process, m_log)) {
            m_nPort = nPort;
            return true;
        }
        m_sError = QString("mosquitto did not come up on port %1: %2").arg(nPort).arg(log());
        stop();
    }
    return false;
}

QString MosquittoBroker::writeFile(const QString& sName, const QByteArray& content)
{
    // mosquitto started by root reads its files as the user "mosquitto".
    QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFileDevice::ExeOther);
    QFile file(m_dir.filePath(sName));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size()
        && file.setPermissions(file.permissions() | QFileDevice::ReadOther))
        return file.fileName();
    m_sError = file.errorString();
    return QString();
}

void MosquittoBroker::stop()
{
    if (!isRunning())
        return;
    resume();
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        kill();
}

void MosquittoBroker::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

void MosquittoBroker::pause() { sendSignal(SIGSTOP); }

void MosquittoBroker::resume() { sendSignal(SIGCONT); }

bool MosquittoBroker::isRunning() const { return m_process.state() == QProcess::Running; }

QString MosquittoBroker::log() { return QString::fromUtf8(m_log += m_process.readAll()); }

// Runs in the child before mosquitto starts. Out of the test's group, the broker no longer ends with the
// test on a terminal's Ctrl+C; it is ended when the test process ends instead (unless mosquitto, started by
// root, changes to its own user, which clears that setting).
void MosquittoBroker::Process::setupChildProcess()
{
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void MosquittoBroker::sendSignal(int nSignal)
{
    if (isRunning())
        ::kill(pid_t(m_process.processId()), nSignal);
}

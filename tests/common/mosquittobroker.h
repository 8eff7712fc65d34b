#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <signal.h>

// A private mosquitto broker for one test: listens on a free port of 127.0.0.1 only, keeps nothing on disk
// and is stopped when the object goes away. start() fails (it never skips) when mosquitto cannot run.
class MosquittoBroker
{
public:
    MosquittoBroker() { m_process.setProcessChannelMode(QProcess::MergedChannels); }
    ~MosquittoBroker() { stop(); }

    // Configuration lines added to the defaults from the next start() on (allow_anonymous false, acl_file).
    void setExtraConfig(const QString& sLines) { m_sExtraConfig = sLines; }
    // Writes a file into the broker's private folder (an ACL or a password file) and returns its path.
    QString writeFile(const QString& sName, const QByteArray& content);

    // Starts the broker on a free port (or on the port it used before, after stop()) and waits until the
    // port accepts connections. Returns false with errorString() set when it does not come up.
    bool start();
    // Ends the broker with SIGTERM and waits for it.
    void stop();
    // Ends the broker with SIGKILL: clients see the connection drop without a DISCONNECT.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // Freezes the broker: connections stay open and nothing is answered until resume() (or start()).
    void pause() { SendSignal(SIGSTOP); }
    void resume() { SendSignal(SIGCONT); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    quint16 port() const { return m_nPort; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString errorString() const { return m_sError; }
    // What the broker has written to its log so far.
    QString log() { return QString::fromUtf8(m_log += m_process.readAll()); }

    static QString executable();
    // A port of 127.0.0.1 that nothing listens on at the moment.
    static quint16 freePort();

private:
    bool WaitUntilListening();
    void SendSignal(int nSignal);

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_sExtraConfig;
    quint16 m_nPort = 0;
    QString m_sError;
    QByteArray m_log;
};

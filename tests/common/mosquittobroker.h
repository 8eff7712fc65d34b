#pragma once

#include <QByteArray>
#include <QString>

#ifdef Q_OS_WIN
#include <QTcpSocket>
#else
#include <QProcess>
#include <QTemporaryDir>
#endif

// A private mosquitto broker for one test: listens on a free port of 127.0.0.1 only, keeps nothing on disk
// and is stopped when the object goes away. start() fails (it never skips) when mosquitto cannot run.
//
// Built for Windows, the tests run under Wine, which can neither start nor signal the Linux mosquitto: there
// the broker is run by ombix-broker-host on the Linux side (its port in OMBIX_BROKER_HOST_PORT), and every
// call below is forwarded to it over a loopback connection.
class MosquittoBroker
{
public:
    MosquittoBroker();
    ~MosquittoBroker();

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
    void kill();
    // Freezes the broker: connections stay open and nothing is answered until resume() (or start()).
    void pause();
    void resume();
    bool isRunning() const;

    quint16 port() const { return m_nPort; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString errorString() const { return m_sError; }
    // What the broker has written to its log so far.
    QString log();

    // A port of 127.0.0.1 that nothing listens on at the moment.
    static quint16 freePort();

private:
    QString m_sExtraConfig;
    quint16 m_nPort = 0;
    QString m_sError;

#ifdef Q_OS_WIN
    // Sends one request to the broker host and reads its answer into the members; false when it fails.
    bool call(const QByteArray& command, const QByteArray& argument = QByteArray());

    QTcpSocket m_host;
    bool m_bRunning = false;
    QByteArray m_answer;
#else
    // mosquitto in a process group of its own: what is sent to the test's group does not reach it. When the
    // shell that started a test run goes away first, the group is sent SIGHUP and SIGCONT, which would wake a
    // paused broker.
    class Process : public QProcess
    {
    protected:
        void setupChildProcess() override;
    };

    void sendSignal(int nSignal);
    static QString executable();

    QTemporaryDir m_dir;
    Process m_process;
    QByteArray m_log;
#endif
};

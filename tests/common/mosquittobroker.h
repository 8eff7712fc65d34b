#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private mosquitto broker for one test: listens on a free port of 127.0.0.1 only, keeps nothing on disk
// and is stopped when the object goes away. start() fails (it never skips) when mosquitto cannot run.
class MosquittoBroker
{
public:
    MosquittoBroker();
    ~MosquittoBroker();

    // Starts the broker on a free port (or on the port it used before, after stop()) and waits until the
    // port accepts connections. Returns false with errorString() set when it does not come up.
    bool start();
    // Ends the broker with SIGTERM and waits for it.
    void stop();
    // Ends the broker with SIGKILL: clients see the connection drop without a DISCONNECT.
    void kill();
    bool isRunning() const;

    quint16 port() const { return m_nPort; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString errorString() const { return m_sError; }
    // What the broker has written to its log so far.
    QString log();

    static QString executable();

private:
    bool startOnPort(quint16 nPort);
    bool waitUntilListening(int nTimeoutMs) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_nPort = 0;
    QString m_sError;
    QByteArray m_log;
};

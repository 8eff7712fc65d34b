#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal. The handler only writes the signal number into a socket pair;
// the event loop reads it and emits Triggered. One instance per process.
class CSimSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit CSimSignalWatcher(QObject* pParent = nullptr);
    ~CSimSignalWatcher() override;

    // False when the socket pair or the handlers could not be set up.
    bool IsActive() const { return m_pNotifier != nullptr; }

signals:
    void Triggered(int nSignal);

private slots:
    void ReadSignal();

private:
    static void Handler(int nSignal);

    static int s_nWriteFd;
    int m_nReadFd = -1;
    QSocketNotifier* m_pNotifier = nullptr;
};

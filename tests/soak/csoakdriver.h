#pragma once

#include "modalboxcloser.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

class MainWindow;

// Drives a real main window through a long run against a broker and the simulated camera: it connects,
// and once per cycle disconnects and connects again; at the start, once per report interval and at the end
// it prints the elapsed minutes, the resident set size, the bytes in live allocations (AddressSanitizer's
// count in a sanitizer build), the lines of the message pane and the connections made so far. The message
// pane keeps every line by design: at the end the memory is reported once more with the pane emptied, and
// once the window is closed. The message boxes the window opens are closed as a user would close them.
class CSoakDriver : public QObject
{
    Q_OBJECT

public:
    CSoakDriver(
        const QString& sHost, quint16 nPort, double dMinutes, double dCycleSeconds, double dReportMinutes);
    ~CSoakDriver() override;

    void Start();

signals:
    void Finished();

private:
    void Cycle();
    void Report(const QString& sWhen);
    void Finish();
    QString ButtonText() const;

    std::unique_ptr<MainWindow> m_pWindow;
    ModalBoxCloser m_closer;
    QTimer m_cycleTimer;
    QTimer m_reportTimer;
    QTimer m_endTimer;
    QElapsedTimer m_clock;
    int m_nConnections = 0;
    int m_nMissedConnections = 0;
};

#pragma once

#include "cpaintwatch.h"
#include "mqtt/qmqttclient.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class MainWindow;
class QProcess;

// The panel side of the benchmarks: one MainWindow, offscreen, connected to the benchmark's broker with
// a stand-in device in the same process that reports "active" and enables the controls used. Each mode
// measures one thing and prints it as a "result key=value ..." line on stdout; "ready" says that the
// window is connected and the driver may start its part.
class CPanelBench : public QObject
{
public:
    struct Options
    {
        QString sMode;
        quint16 nPort = 0;
        // The flood file; for the capture, the folder the files are written to.
        QString sFloodFile;
        int nCount = 0;
        int nIntervalMs = 0;
        int nSeconds = 0;
        QString sLastLine;
    };

    explicit CPanelBench(const Options& options);
    ~CPanelBench() override;

    // Starts the mode; the application quits when the mode has printed its result.
    void Start();

private:
    bool Connect();
    void StartFlood(const QString& sTopic);
    void FloodValueShown(qint64 nNs);
    void FloodLogShown(qint64 nNs);
    void FinishFlood(qint64 nDoneNs, bool bShown);
    void StartEdits();
    void EditStep();
    void StartCapture();
    void StartIdle();
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void PrintLine(const QString& sLine);
    void Fail(const QString& sWhy);

    Options m_options;
    std::unique_ptr<MainWindow> m_pWindow;
    std::unique_ptr<CPaintWatch> m_pPaintWatch;
    QMqttClient m_device;
    QProcess* m_pPublisher = nullptr;

    // Floods: start, the last value seen, paint passes and the event loop's longest stall.
    qint64 m_nStartNs = 0;
    qint64 m_nFirstValueNs = 0;
    qint64 m_nLastPaintNs = 0;
    qint64 m_nLongestPaintGapNs = 0;
    qint64 m_nLastTickNs = 0;
    qint64 m_nLongestStallNs = 0;
    qint64 m_nStartRssKiB = 0;
    int m_nStartBlocks = 0;
    int m_nValuesSeen = 0;
    bool m_bLastValueSet = false;
    bool m_bFinished = false;

    // Edits: the send time of each edit, the panel's first and the bare client's after it.
    int m_nStep = 0;
    int m_nSliderMoves = 0;
    qint64 m_nIdleKiB = 0;
    QStringList m_sentLines;
};

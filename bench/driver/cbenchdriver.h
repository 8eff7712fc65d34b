#pragma once

#include "cresulttable.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs the benchmarks B1-B6 against one private mosquitto on a free loopback port: each run measures the
// panel (ombix-bench-panel, a separate process) and then its baseline in the same conditions, and the
// figures of all runs end up in one table. The driver's own MQTT client plays the camera where the
// panel's figure starts with the device's first byte.
class CBenchDriver
{
public:
    struct Options
    {
        int nRuns = 5;
        int nIdleRuns = 3;
        int nIdleSeconds = 60;
        int nFloodCount = 100000;
        int nEdits = 1000;
        QStringList only;
        QString sBinDir;
    };

    explicit CBenchDriver(const Options& options);

    // Runs every benchmark that is asked for, prints the table; false when the set-up failed.
    bool Run();

private:
    bool Wanted(const QString& sName) const;
    bool ConnectDevice();
    void RunStatusFlood();
    void RunEdits();
    void RunCapture();
    void RunStartup();
    // Process start to the first painted frame of one start-up program.
    double StartupMs(const QString& sProgram, const QStringList& arguments);
    void RunLogFlood();
    void RunIdle();

    // mosquitto_sub receiving the flood file, from the publisher's start to its last message; NaN when
    // it did not get them all within the time-out.
    double BaselineFloodSeconds(const QString& sTopic, const QString& sFloodFile);
    bool WaitForSubscription(const QString& sClientId, const QString& sTopic);
    QString NextClientId();
    QString WriteFloodFile(const QString& sName, const QStringList& lines);
    void PublishCapture();
    QMap<QString, QString> RunPanel(const QStringList& arguments, int nTimeoutMs);
    QString Program(const QString& sName) const;
    void Progress(const QString& sText) const;

    Options m_options;
    QTemporaryDir m_dir;
    MosquittoBroker m_broker;
    QString m_sBrokerLog;
    QMqttClient m_device;
    CResultTable m_table;
    int m_nClientIds = 0;
};

#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// A benchmark program started by the driver: its stdout is read line by line while the driver's own
// event loop keeps running (the driver's MQTT client plays the device meanwhile).
class CWorkerProcess
{
public:
    CWorkerProcess(const QString& sProgram, const QStringList& arguments, const QString& sHome);
    ~CWorkerProcess();

    // The next line that starts with sPrefix, or an empty text when the program ends or the time is up.
    // Lines that start with "error" end the wait too and are returned.
    QString WaitForLine(const QString& sPrefix, int nTimeoutMs);
    // Every line read so far.
    QStringList Lines() const { return m_lines; }
    // The key=value pairs of a result line.
    static QMap<QString, QString> Fields(const QString& sLine);

private:
    void ReadLines();

    QProcess m_process;
    QStringList m_lines;
    int m_nNextLine = 0;
    QByteArray m_partial;
};

#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

class CKavroParam;

// The device's log records in the application folder, one file per local calendar day:
// "<folder>/<application name>_Log_<yyyy-MM-dd>.log". Each record opens the file of its day, appends its
// lines as UTF-8 and closes it again; the files are never truncated, rotated or deleted.
class CLogFile
{
public:
    CLogFile(const QString& sFolder, const QString& sAppName);

    // Opens the file of now's day for appending. False when it does not open; ErrorString() says why.
    bool Open(const QDateTime& now);
    // Appends the lines, each ended by a line feed, in one write. False when the write fails.
    bool Append(const QStringList& lines);
    QString FileName() const;
    QString ErrorString() const;

    // A record's lines: one per attribute, in key order, each "time\tparameter\tattribute\ttext" with the
    // same local time for all of them.
    static QStringList Lines(const QDateTime& now, const QString& sParamName, const CKavroParam& record);

private:
    QString m_sFolder;
    QString m_sAppName;
    QFile m_file;
};

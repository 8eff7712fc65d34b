#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>

// A file that one upload of the device replaces whole: the parameter upload the user asked for with Save,
// or one buffer of a still-frame capture. The bytes go beside the old file, which they replace only when
// every one of them is written, so a failure (a folder that is not there, a full disk) leaves the old file
// as it was.
class CUploadFile
{
public:
    explicit CUploadFile(const QString& sFileName);

    // False when the file cannot be opened, written or put in place; ErrorString() then says why.
    bool Write(const QByteArray& data);
    QString ErrorString() const;

    // Writes all of data to an unbuffered file. A short write is followed by another, so that the cause of
    // the failure (disk full, file too large) is what the file's error string reports.
    static bool WriteAll(QFileDevice& file, const QByteArray& data);

private:
    QSaveFile m_file;
};

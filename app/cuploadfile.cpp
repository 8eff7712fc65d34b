#include "app/cuploadfile.h"

CUploadFile::CUploadFile(const QString& sFileName)
    : m_file(sFileName)
{ }

// Unbuffered: a buffered QSaveFile loses the error of its final flush and would commit a short file.
bool CUploadFile::Write(const QByteArray& data)
{
    return m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && WriteAll(m_file, data)
        && m_file.commit();
}

QString CUploadFile::ErrorString() const { return m_file.errorString(); }

bool CUploadFile::WriteAll(QFileDevice& file, const QByteArray& data)
{
    for (qint64 nWritten = 0; nWritten < data.size();) {
        const qint64 nChunk = file.write(data.constData() + nWritten, data.size() - nWritten);
        if (nChunk <= 0)
            return false;
        nWritten += nChunk;
    }
    return true;
}

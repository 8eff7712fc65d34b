#include "app/clogfile.h"

#include "app/cuploadfile.h"
#include "model/ckavroparam.h"

#include <QLocale>

CLogFile::CLogFile(const QString& sFolder, const QString& sAppName)
    : m_sFolder(sFolder)
    , m_sAppName(sAppName)
{ }

bool CLogFile::Open(const QDateTime& now)
{
    m_file.setFileName(QStringLiteral("%1/%2_Log_%3.log")
                           .arg(m_sFolder, m_sAppName, now.toString(QStringLiteral("yyyy-MM-dd"))));
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

bool CLogFile::Append(const QStringList& lines)
{
    QString sText;
    for (const QString& sLine : lines)
        sText += sLine + QLatin1Char('\n');
    return CUploadFile::WriteAll(m_file, sText.toUtf8());
}

QString CLogFile::FileName() const { return m_file.fileName(); }

QString CLogFile::ErrorString() const { return m_file.errorString(); }

QStringList CLogFile::Lines(const QDateTime& now, const QString& sParamName, const CKavroParam& record)
{
    const QString sTime = QLocale::system().toString(now, QStringLiteral("dd-MMM-yyyy HH:mm:ss.zzz"));
    QStringList lines;
    for (auto it = record.constBegin(); it != record.constEnd(); ++it)
        lines << QStringLiteral("%1\t%2\t%3\t%4").arg(sTime, sParamName, it.key(), it.value()->ToString());
    return lines;
}

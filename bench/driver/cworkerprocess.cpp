#include "cworkerprocess.h"

#include "benchsystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcessEnvironment>

CWorkerProcess::CWorkerProcess(const QString& sProgram, const QStringList& arguments, const QString& sHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), sHome);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    m_process.setProcessEnvironment(environment);
    // The panel's debug lines are kept beside the other files of the run, out of the table's way.
    m_process.setStandardErrorFile(
        QDir(sHome).filePath(QStringLiteral("panel-stderr.log")), QIODevice::Append);
    m_process.start(sProgram, arguments);
}

CWorkerProcess::~CWorkerProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString CWorkerProcess::WaitForLine(const QString& sPrefix, int nTimeoutMs)
{
    QString sFound;
    BenchSystem::WaitFor(
        [&] {
            ReadLines();
            while (sFound.isEmpty() && m_nNextLine < m_lines.size()) {
                const QString sLine = m_lines.at(m_nNextLine++);
                if (sLine.startsWith(sPrefix) || sLine.startsWith(QLatin1String("error")))
                    sFound = sLine;
            }
            return !sFound.isEmpty() || m_process.state() == QProcess::NotRunning;
        },
        nTimeoutMs);
    return sFound;
}

QMap<QString, QString> CWorkerProcess::Fields(const QString& sLine)
{
    QMap<QString, QString> fields;
    for (const QString& sField : sLine.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int nEquals = sField.indexOf(QLatin1Char('='));
        if (nEquals > 0)
            fields.insert(sField.left(nEquals), sField.mid(nEquals + 1));
    }
    return fields;
}

void CWorkerProcess::ReadLines()
{
    m_partial += m_process.readAllStandardOutput();
    for (int nEnd = m_partial.indexOf('\n'); nEnd >= 0; nEnd = m_partial.indexOf('\n')) {
        m_lines << QString::fromUtf8(m_partial.left(nEnd));
        m_partial.remove(0, nEnd + 1);
    }
}

#include "csoakdriver.h"

#include "app/mainwindow.h"
#include "windowtest.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextStream>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

double ResidentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

QString AllocatedMiB()
{
#if defined(__SANITIZE_ADDRESS__)
    return QString::number(double(__sanitizer_get_current_allocated_bytes()) / 1048576.0, 'f', 1);
#else
    return QStringLiteral("-");
#endif
}

} // namespace

CSoakDriver::CSoakDriver(
    const QString& sHost, quint16 nPort, double dMinutes, double dCycleSeconds, double dReportMinutes)
    : m_pWindow(std::make_unique<MainWindow>())
{
    m_pWindow->findChild<QLineEdit*>(QStringLiteral("leBrokerURL"))->setText(sHost);
    m_pWindow->findChild<QLineEdit*>(QStringLiteral("leBrokerPort"))->setText(QString::number(nPort));
    m_cycleTimer.setInterval(int(dCycleSeconds * 1000));
    m_reportTimer.setInterval(int(dReportMinutes * 60000));
    m_endTimer.setInterval(int(dMinutes * 60000));
    m_endTimer.setSingleShot(true);
    connect(&m_cycleTimer, &QTimer::timeout, this, &CSoakDriver::Cycle);
    connect(&m_reportTimer, &QTimer::timeout, this, [this] { Report(QStringLiteral("running")); });
    connect(&m_endTimer, &QTimer::timeout, this, &CSoakDriver::Finish);
}

CSoakDriver::~CSoakDriver() = default;

void CSoakDriver::Start()
{
    m_pWindow->show();
    m_clock.start();
    Report(QStringLiteral("start"));
    m_pWindow->findChild<QPushButton*>(QStringLiteral("btnConnect"))->click();
    m_cycleTimer.start();
    m_reportTimer.start();
    m_endTimer.start();
}

QString CSoakDriver::ButtonText() const
{
    return m_pWindow->findChild<QPushButton*>(QStringLiteral("btnConnect"))->text();
}

// A cycle that does not find the connection established counts as missed; the panel is connected anew
// either way.
void CSoakDriver::Cycle()
{
    auto* pButton = m_pWindow->findChild<QPushButton*>(QStringLiteral("btnConnect"));
    if (ButtonText() == QLatin1String("Disconnect"))
        ++m_nConnections;
    else
        ++m_nMissedConnections;
    if (ButtonText() != QLatin1String("Connect"))
        pButton->click();
    pButton->click();
}

void CSoakDriver::Report(const QString& sWhen)
{
    const int nPaneLines = m_pWindow
        ? m_pWindow->findChild<QPlainTextEdit*>(QStringLiteral("teMessages"))->document()->blockCount()
        : 0;
    QTextStream(stdout) << QStringLiteral("soak %1: %2 min, RSS %3 MiB, allocated %4 MiB, pane %5 lines, "
                                          "connections %6 established, %7 missed")
                               .arg(sWhen)
                               .arg(double(m_clock.elapsed()) / 60000.0, 0, 'f', 1)
                               .arg(ResidentMiB(), 0, 'f', 1)
                               .arg(AllocatedMiB())
                               .arg(nPaneLines)
                               .arg(m_nConnections)
                               .arg(m_nMissedConnections)
                        << Qt::endl;
}

void CSoakDriver::Finish()
{
    m_cycleTimer.stop();
    m_reportTimer.stop();
    Report(QStringLiteral("end"));
    EmptyTextView(m_pWindow->findChild<QPlainTextEdit*>(QStringLiteral("teMessages")));
    Report(QStringLiteral("pane emptied"));
    m_pWindow.reset();
    Report(QStringLiteral("window closed"));
    emit Finished();
}

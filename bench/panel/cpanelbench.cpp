#include "cpanelbench.h"

#include "app/mainwindow.h"
#include "benchsystem.h"
#include "model/ckavroparam.h"
#include "tools/camera-sim/kavrotopics.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSlider>
#include <QTextBlock>
#include <QTimer>
#include <cstdio>

namespace {

// The flood's last value; every earlier one lies below it and differs from the one before (and the first
// from the control's value before the flood).
constexpr double kFinalFloodValue = 4095;
constexpr int kFloodTimeoutMs = 60000;
constexpr int kStallTickMs = 5;
// An edit goes out through the widget, through the window's slot and through a bare client.
constexpr int kEditWays = 3;
constexpr qint64 kCapturePayloadBytes = 16 * 1024 * 1024;

template<typename T>
T* Widget(QWidget* pWindow, const char* sName)
{
    return pWindow->findChild<T*>(QLatin1String(sName));
}

QString Ms(qint64 nNs) { return QString::number(nNs / 1e6, 'f', 3); }

} // namespace

CPanelBench::CPanelBench(const Options& options)
    : m_options(options)
{ }

CPanelBench::~CPanelBench() = default;

void CPanelBench::Start()
{
    if (m_options.sMode == QLatin1String("startup")) {
        m_pWindow = std::make_unique<MainWindow>();
        m_pPaintWatch = std::make_unique<CPaintWatch>(m_pWindow.get());
        m_pPaintWatch->m_onFirstFrame = [this](qint64 nNs) {
            PrintLine(QStringLiteral("result painted_ns=%1").arg(nNs));
            qApp->quit();
        };
        m_pWindow->show();
        return;
    }
    // The capture dialog names its files in the folder current when it is made.
    if (m_options.sMode == QLatin1String("capture"))
        QDir::setCurrent(m_options.sFloodFile);
    m_pWindow = std::make_unique<MainWindow>();
    m_pPaintWatch = std::make_unique<CPaintWatch>(m_pWindow.get());
    m_pWindow->show();
    if (!Connect())
        return Fail(QStringLiteral("the window did not connect"));

    if (m_options.sMode == QLatin1String("status-flood"))
        StartFlood(kStatusPrefix + QStringLiteral("yNoiseThresh"));
    else if (m_options.sMode == QLatin1String("log-flood"))
        StartFlood(kLogTopic);
    else if (m_options.sMode == QLatin1String("edits"))
        StartEdits();
    else if (m_options.sMode == QLatin1String("capture"))
        StartCapture();
    else if (m_options.sMode == QLatin1String("idle"))
        StartIdle();
    else
        Fail(QStringLiteral("unknown mode ") + m_options.sMode);
}

// Presses Connect and plays the device until the window says it is connected; then describes the two
// controls the edits use, so that they are enabled.
bool CPanelBench::Connect()
{
    Widget<QLineEdit>(m_pWindow.get(), "leBrokerURL")->setText(QStringLiteral("127.0.0.1"));
    Widget<QLineEdit>(m_pWindow.get(), "leBrokerPort")->setText(QString::number(m_options.nPort));
    auto* pConnect = Widget<QAbstractButton>(m_pWindow.get(), "btnConnect");
    pConnect->click();

    m_device.setHostname(QStringLiteral("127.0.0.1"));
    m_device.setPort(m_options.nPort);
    m_device.connectToHost();
    if (!BenchSystem::WaitFor([this] { return m_device.state() == QMqttClient::Connected; }, 5000))
        return false;
    QTimer announce;
    QObject::connect(&announce, &QTimer::timeout, [this] {
        m_device.publish(kStatusPrefix + QStringLiteral("connection_status"),
            R"({"connection_status":{"value":"active"}})");
    });
    announce.start(100);
    if (!BenchSystem::WaitFor([pConnect] { return pConnect->text() == QLatin1String("Disconnect"); }, 10000))
        return false;
    announce.stop();

    m_device.publish(kConfigTopic, R"({"midBoost":{},"yNoiseThresh":{"max-value":4095,"min-value":0}})");
    auto* pSpinBox = Widget<QDoubleSpinBox>(m_pWindow.get(), "yThreshSpinBox");
    auto* pCheckBox = Widget<QCheckBox>(m_pWindow.get(), "midBoostCB");
    return BenchSystem::WaitFor([=] { return pSpinBox->isEnabled() && pCheckBox->isEnabled(); }, 5000);
}

// ---- floods (status values and log lines) ----

void CPanelBench::StartFlood(const QString& sTopic)
{
    auto* pSpinBox = Widget<QDoubleSpinBox>(m_pWindow.get(), "yThreshSpinBox");
    auto* pPane = Widget<QPlainTextEdit>(m_pWindow.get(), "teMessages");
    const bool bStatus = sTopic.startsWith(kStatusPrefix);
    if (bStatus) {
        // Every report the link hands to the window counts; the spin box shows the latest once per pass.
        QObject::connect(m_pWindow->findChild<CKavroComm*>(), &CKavroComm::DataUpdate, this,
            [this](QString, QString, QString, QString sParamName) {
                if (sParamName == QLatin1String("yNoiseThresh") && m_nValuesSeen++ == 0)
                    m_nFirstValueNs = BenchSystem::MonotonicNs();
            });
        QObject::connect(pSpinBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this](double d) { m_bLastValueSet = d == kFinalFloodValue; });
        m_pPaintWatch->m_onRepaint = [this](qint64 nNs) { FloodValueShown(nNs); };
    } else {
        // The message pane is in the advanced panel: opened, as a user watching the log would.
        Widget<QAbstractButton>(m_pWindow.get(), "resizeButton")->click();
        m_nStartBlocks = pPane->document()->blockCount();
        m_pPaintWatch->m_onRepaint = [this](qint64 nNs) { FloodLogShown(nNs); };
    }

    auto* pTicker = new QTimer(this);
    pTicker->setTimerType(Qt::PreciseTimer);
    QObject::connect(pTicker, &QTimer::timeout, this, [this] {
        const qint64 nNow = BenchSystem::MonotonicNs();
        m_nLongestStallNs = qMax(m_nLongestStallNs, nNow - m_nLastTickNs);
        m_nLastTickNs = nNow;
    });
    QTimer::singleShot(kFloodTimeoutMs, this, [this] { FinishFlood(BenchSystem::MonotonicNs(), false); });

    m_pPublisher = new QProcess(this);
    m_pPublisher->setStandardInputFile(m_options.sFloodFile);
    m_pPublisher->setStandardOutputFile(QProcess::nullDevice());
    m_nStartRssKiB = BenchSystem::RssKiB();
    m_nStartNs = BenchSystem::MonotonicNs();
    m_nLastTickNs = m_nStartNs;
    pTicker->start(kStallTickMs);
    m_pPublisher->start(QStringLiteral("mosquitto_pub"),
        { "-h", "127.0.0.1", "-p", QString::number(m_options.nPort), "-t", sTopic, "-l" });
}

void CPanelBench::FloodValueShown(qint64 nNs)
{
    if (m_nFirstValueNs != 0) {
        m_nLongestPaintGapNs = qMax(m_nLongestPaintGapNs, nNs - qMax(m_nLastPaintNs, m_nFirstValueNs));
        m_nLastPaintNs = nNs;
    }
    if (m_bLastValueSet)
        FinishFlood(nNs, true);
}

void CPanelBench::FloodLogShown(qint64 nNs)
{
    QPlainTextEdit* pPane = Widget<QPlainTextEdit>(m_pWindow.get(), "teMessages");
    m_nValuesSeen = pPane->document()->blockCount() - m_nStartBlocks;
    if (m_nFirstValueNs == 0 && m_nValuesSeen > 0)
        m_nFirstValueNs = nNs;
    else if (m_nFirstValueNs != 0)
        m_nLongestPaintGapNs = qMax(m_nLongestPaintGapNs, nNs - qMax(m_nLastPaintNs, m_nFirstValueNs));
    m_nLastPaintNs = nNs;
    if (pPane->document()->lastBlock().text() == m_options.sLastLine)
        FinishFlood(nNs, true);
}

void CPanelBench::FinishFlood(qint64 nDoneNs, bool bShown)
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    PrintLine(QStringLiteral("result shown=%1 ms=%2 received=%3 paint_gap_ms=%4 stall_ms=%5 rss_start_kib=%6 "
                             "rss_end_kib=%7")
                  .arg(bShown ? 1 : 0)
                  .arg(Ms(nDoneNs - m_nStartNs))
                  .arg(m_nValuesSeen)
                  .arg(Ms(m_nLongestPaintGapNs))
                  .arg(Ms(m_nLongestStallNs))
                  .arg(m_nStartRssKiB)
                  .arg(BenchSystem::RssKiB()));
    m_pPublisher->kill();
    m_pPublisher->waitForFinished(5000);
    qApp->quit();
}

// ---- edits: slider releases and check-box clicks, then the same bodies through a bare client ----

void CPanelBench::StartEdits()
{
    // The form's spin box rounds the slider's value to whole numbers and then sends the rounded value as
    // an edit of its own, delayed; with more decimals it keeps the slider's value and stays silent, so
    // that every message on the wire belongs to one edit of this benchmark.
    Widget<QDoubleSpinBox>(m_pWindow.get(), "yThreshSpinBox")->setDecimals(6);
    auto* pTimer = new QTimer(this);
    pTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(pTimer, &QTimer::timeout, this, [this] { EditStep(); });
    pTimer->start(m_options.nIntervalMs);
}

// Each edit goes out three ways in turn, so that all meet the same machine: a panel edit through its widget
// (a slider release or a check-box click, in turns), then the same value handed straight to the window's
// ValueChanged slot (the panel's own path, without the widgets' update), then the same body through the
// stand-in device's client. Every line says when a message left.
void CPanelBench::EditStep()
{
    auto* pSlider = Widget<QSlider>(m_pWindow.get(), "yThreshSlider");
    auto* pSpinBox = Widget<QDoubleSpinBox>(m_pWindow.get(), "yThreshSpinBox");
    auto* pCheckBox = Widget<QCheckBox>(m_pWindow.get(), "midBoostCB");
    if (m_nStep == kEditWays * m_options.nCount) {
        for (const QString& sLine : qAsConst(m_sentLines))
            PrintLine(sLine);
        PrintLine(QStringLiteral("result sent=%1").arg(m_sentLines.size()));
        qApp->quit();
        return;
    }

    const int nWay = m_nStep % kEditWays;
    const bool bSlider = (m_nStep / kEditWays) % 2 == 0;
    const QString sParam = bSlider ? QStringLiteral("yNoiseThresh") : QStringLiteral("midBoost");
    qint64 nSentNs = 0;
    if (nWay == 0 && bSlider) {
        const int nPosition = 1 + m_nSliderMoves++ % qMax(1, pSlider->maximum() - 1);
        const double dBefore = pSpinBox->value();
        pSlider->setSliderDown(true);
        pSlider->setSliderPosition(nPosition == pSlider->value() ? nPosition + 1 : nPosition);
        nSentNs = BenchSystem::RealtimeNs();
        pSlider->setSliderDown(false);
        // A release onto the value the control already holds sends nothing; the next tick tries again.
        if (pSpinBox->value() == dBefore)
            return;
    } else if (nWay == 0) {
        nSentNs = BenchSystem::RealtimeNs();
        pCheckBox->click();
    } else if (nWay == 1 && bSlider) {
        nSentNs = BenchSystem::RealtimeNs();
        QMetaObject::invokeMethod(m_pWindow.get(), "ValueChanged", Q_ARG(QString, sParam),
            Q_ARG(double, pSpinBox->value()), Q_ARG(bool, false));
    } else if (nWay == 1) {
        nSentNs = BenchSystem::RealtimeNs();
        QMetaObject::invokeMethod(
            m_pWindow.get(), "ValueChanged", Q_ARG(QString, sParam), Q_ARG(bool, pCheckBox->isChecked()));
    } else {
        const QJsonObject body { { sParam,
            QJsonObject { { QStringLiteral("value"),
                bSlider ? QJsonValue(pSpinBox->value()) : QJsonValue(pCheckBox->isChecked()) } } } };
        const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
        nSentNs = BenchSystem::RealtimeNs();
        m_device.publish(kParamsSetTopic, bytes);
    }
    static const char* const kWayNames[kEditWays] = { "panel", "slot", "bare" };
    m_sentLines << QStringLiteral("sent %1 %2 %3")
                       .arg(kWayNames[nWay])
                       .arg(bSlider ? "slider" : "checkbox")
                       .arg(nSentNs);
    ++m_nStep;
}

// ---- capture: the driver publishes the buffers; done when the window says "Capture Complete" ----

void CPanelBench::StartCapture()
{
    m_nIdleKiB = BenchSystem::RssKiB();
    qApp->installEventFilter(this);
    PrintLine(QStringLiteral("ready"));
}

// The completion box comes up once the four files have been written.
bool CPanelBench::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    auto* pBox = qobject_cast<QMessageBox*>(pWatched);
    if (pEvent->type() != QEvent::Show || !pBox)
        return false;
    const qint64 nDoneNs = BenchSystem::MonotonicNs();
    const QStringList files { "capture_T1.tiff", "capture_T2.tiff", "capture_T3.tiff", "capture_META.json" };
    qint64 nImageBytes = 0;
    for (const QString& sName : files.mid(0, 3))
        nImageBytes += QFileInfo(sName).size();
    const bool bComplete = pBox->text() == QLatin1String("Capture Complete")
        && nImageBytes == 3 * kCapturePayloadBytes && QFileInfo::exists(files.last());
    PrintLine(QStringLiteral("result done_ns=%1 complete=%2 idle_kib=%3 peak_kib=%4")
                  .arg(nDoneNs)
                  .arg(bComplete ? 1 : 0)
                  .arg(m_nIdleKiB)
                  .arg(BenchSystem::PeakRssKiB()));
    for (const QString& sName : files)
        QFile::remove(sName);
    QTimer::singleShot(0, pBox, &QMessageBox::accept);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return false;
}

// ---- idle: CPU time and wake-ups while the device sends one log line a second ----

void CPanelBench::StartIdle()
{
    PrintLine(QStringLiteral("ready"));
    const qint64 nSettleMs = 2000;
    QTimer::singleShot(nSettleMs, this, [this] {
        const qint64 nCpuNs = BenchSystem::CpuNs();
        const qint64 nWakeups = BenchSystem::MainThreadWakeups();
        const qint64 nStartNs = BenchSystem::MonotonicNs();
        auto* pPane = Widget<QPlainTextEdit>(m_pWindow.get(), "teMessages");
        const int nBlocks = pPane->document()->blockCount();
        QTimer::singleShot(m_options.nSeconds * 1000, this, [=] {
            const double dSeconds = (BenchSystem::MonotonicNs() - nStartNs) / 1e9;
            PrintLine(QStringLiteral("result cpu_pct=%1 wakeups_per_s=%2 lines=%3")
                          .arg((BenchSystem::CpuNs() - nCpuNs) / 1e9 / dSeconds * 100, 0, 'f', 3)
                          .arg((BenchSystem::MainThreadWakeups() - nWakeups) / dSeconds, 0, 'f', 2)
                          .arg(pPane->document()->blockCount() - nBlocks));
            qApp->quit();
        });
    });
}

void CPanelBench::PrintLine(const QString& sLine)
{
    std::printf("%s\n", qPrintable(sLine));
    std::fflush(stdout);
}

void CPanelBench::Fail(const QString& sWhy)
{
    PrintLine(QStringLiteral("error ") + sWhy);
    QTimer::singleShot(0, qApp, [] { qApp->exit(1); });
}

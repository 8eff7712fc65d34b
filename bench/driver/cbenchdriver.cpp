#include "cbenchdriver.h"

#include "benchsystem.h"
#include "cworkerprocess.h"
#include "tools/camera-sim/kavrotopics.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <cmath>
#include <cstdio>

namespace {

// Where the panel's flood goes (bench/panel): the baseline subscriber takes the same topic.
const QString kFloodStatusTopic = kStatusPrefix + QStringLiteral("yNoiseThresh");
constexpr int kCaptureBytes = 16 * 1024 * 1024;
constexpr int kFloodTimeoutMs = 60000;
constexpr int kEditIntervalMs = 3;
// The panel side sends each edit three ways: through the widget, the window's slot and a bare client.
constexpr int kEditWays = 3;
constexpr double kMiB = 1024.0 * 1024.0;

// A finished process, stamped by the driver's clock the moment its end is seen.
qint64 WaitForExit(QProcess& process, int nTimeoutMs)
{
    qint64 nEndNs = 0;
    QObject::connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
        [&nEndNs] { nEndNs = BenchSystem::MonotonicNs(); });
    BenchSystem::WaitFor([&] { return nEndNs != 0; }, nTimeoutMs);
    return nEndNs;
}

void Stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(3000);
}

double Number(const QMap<QString, QString>& fields, const QString& sKey)
{
    bool bOk = false;
    const double d = fields.value(sKey).toDouble(&bOk);
    return bOk ? d : std::nan("");
}

bool AtLeast(double d, double dLimit) { return d >= dLimit; }

bool AtMost(double d, double dLimit) { return d <= dLimit; }

} // namespace

CBenchDriver::CBenchDriver(const Options& options)
    : m_options(options)
{
    // The broker's log file tells when a baseline subscriber has subscribed. mosquitto, started by root,
    // writes it as its own user.
    m_sBrokerLog = m_broker.writeFile(QStringLiteral("broker.log"), QByteArray());
    QFile::setPermissions(m_sBrokerLog, QFile::permissions(m_sBrokerLog) | QFileDevice::WriteOther);
    m_broker.setExtraConfig(QStringLiteral("log_dest file %1\nlog_type subscribe").arg(m_sBrokerLog));
}

bool CBenchDriver::Run()
{
    if (!m_dir.isValid() || !m_broker.start()) {
        std::printf("mosquitto did not start: %s\n", qPrintable(m_broker.errorString()));
        return false;
    }
    if (!ConnectDevice()) {
        std::printf("the driver's client did not connect to the broker\n");
        return false;
    }
    Progress(QStringLiteral("broker on 127.0.0.1:%1, %2 runs").arg(m_broker.port()).arg(m_options.nRuns));
    if (Wanted("B1"))
        RunStatusFlood();
    if (Wanted("B2"))
        RunEdits();
    if (Wanted("B3"))
        RunCapture();
    if (Wanted("B4"))
        RunStartup();
    if (Wanted("B5"))
        RunLogFlood();
    if (Wanted("B6"))
        RunIdle();
    m_table.Print();
    return true;
}

bool CBenchDriver::Wanted(const QString& sName) const
{
    return m_options.only.isEmpty() || m_options.only.contains(sName, Qt::CaseInsensitive);
}

bool CBenchDriver::ConnectDevice()
{
    m_device.setHostname(m_broker.host());
    m_device.setPort(m_broker.port());
    m_device.connectToHost();
    return BenchSystem::WaitFor([this] { return m_device.state() == QMqttClient::Connected; }, 5000);
}

// ---- B1: one-parameter status messages until the last value is shown ----

void CBenchDriver::RunStatusFlood()
{
    const int nCount = m_options.nFloodCount;
    QStringList lines;
    for (int i = 0; i < nCount - 1; ++i)
        lines << QStringLiteral(R"({"yNoiseThresh":{"value":%1}})").arg(1 + (i * 7) % 4000);
    lines << QStringLiteral(R"({"yNoiseThresh":{"value":4095}})");
    const QString sFile = WriteFloodFile(QStringLiteral("status-flood.txt"), lines);

    auto& rate
        = m_table.Add(QStringLiteral("B1 inbound status, msg/s"), QStringLiteral(">= 0.5 x baseline"), 0);
    rate.met = [](double d, double dBase) { return AtLeast(d, 0.5 * dBase); };
    auto& shown
        = m_table.Add(QStringLiteral("B1 last value shown, share of runs"), QStringLiteral("all runs"), 2);
    shown.met = [](double d, double) { return d == 1; };
    auto& applied = m_table.Add(QStringLiteral("B1 messages applied"), QStringLiteral("all, none lost"), 0);
    applied.met = [nCount](double d, double) { return d == nCount; };
    auto& gap = m_table.Add(QStringLiteral("B1 longest paint gap, ms"), QStringLiteral("<= 50 ms"), 1);
    gap.met = [](double d, double) { return AtMost(d, 50); };

    double dShownRuns = 0;
    for (int nRun = 0; nRun < m_options.nRuns; ++nRun) {
        const auto result = RunPanel({ "status-flood", "--file", sFile }, kFloodTimeoutMs + 30000);
        const bool bShown = result.value("shown") == QLatin1String("1");
        dShownRuns += bShown ? 1 : 0;
        rate.panel << (bShown ? nCount / (Number(result, "ms") / 1000) : 0);
        applied.panel << Number(result, "received");
        gap.panel << Number(result, "paint_gap_ms");
        rate.baseline << nCount / BaselineFloodSeconds(kFloodStatusTopic, sFile);
        Progress(QStringLiteral("B1 run %1: panel %2 msg/s, baseline %3 msg/s")
                     .arg(nRun + 1)
                     .arg(rate.panel.last(), 0, 'f', 0)
                     .arg(rate.baseline.last(), 0, 'f', 0));
    }
    shown.panel << dShownRuns / m_options.nRuns;
}

// ---- B2: slider releases and check-box clicks, from the widget's signal to a subscriber process ----

void CBenchDriver::RunEdits()
{
    auto& p50
        = m_table.Add(QStringLiteral("B2 edit to wire p50, ms"), QStringLiteral("<= 1.5 x baseline"), 3);
    p50.met = [](double d, double dBase) { return AtMost(d, 1.5 * dBase); };
    auto& p99 = m_table.Add(QStringLiteral("B2 edit to wire p99, ms"), QStringLiteral("<= 2 ms"), 3);
    p99.met = [](double d, double) { return AtMost(d, 2); };
    auto& slot = m_table.Add(
        QStringLiteral("B2 reference: window slot to wire p50, ms"), QStringLiteral("reported"), 3);

    const int nEdits = m_options.nEdits;
    for (int nRun = 0; nRun < m_options.nRuns; ++nRun) {
        const QString sId = NextClientId();
        const QString sArrivals = m_dir.filePath(QStringLiteral("arrivals.txt"));
        QProcess subscriber;
        subscriber.setStandardOutputFile(sArrivals);
        subscriber.start(QStringLiteral("mosquitto_sub"),
            { "-h", m_broker.host(), "-p", QString::number(m_broker.port()), "-t", kParamsSetTopic, "-C",
                QString::number(kEditWays * nEdits), "-F", "%U %p", "-i", sId });
        if (!WaitForSubscription(sId, kParamsSetTopic))
            continue;

        CWorkerProcess panel(Program(QStringLiteral("ombix-bench-panel")),
            { "edits", "--port", QString::number(m_broker.port()), "--count", QString::number(nEdits),
                "--interval-ms", QString::number(kEditIntervalMs) },
            m_dir.path());
        const QString sResult
            = panel.WaitForLine(QStringLiteral("result"), kEditWays * nEdits * kEditIntervalMs * 4 + 30000);
        WaitForExit(subscriber, 10000);
        Stop(subscriber);

        QStringList sent;
        for (const QString& sLine : panel.Lines()) {
            if (sLine.startsWith(QLatin1String("sent ")))
                sent << sLine;
        }
        QFile file(sArrivals);
        file.open(QIODevice::ReadOnly);
        const QList<QByteArray> arrivals = file.readAll().split('\n');
        QMap<QString, QVector<double>> ms; // by way: "panel", "slot", "bare"
        for (int i = 0; i < sent.size() && i < arrivals.size(); ++i) {
            const QList<QByteArray> stamp = arrivals.at(i).split(' ').value(0).split('.');
            const qint64 nArrivedNs = stamp.value(0).toLongLong() * 1000000000 + stamp.value(1).toLongLong();
            const QStringList parts = sent.at(i).split(QLatin1Char(' '));
            ms[parts.value(1)] << (nArrivedNs - parts.value(3).toLongLong()) / 1e6;
        }
        const QVector<double> panelMs = ms.value(QStringLiteral("panel"));
        const QVector<double> bareMs = ms.value(QStringLiteral("bare"));
        const QVector<double> slotMs = ms.value(QStringLiteral("slot"));
        if (sResult.isEmpty() || panelMs.size() != nEdits || bareMs.size() != nEdits
            || slotMs.size() != nEdits) {
            Progress(QStringLiteral("B2 run %1: incomplete (%2 panel, %3 slot, %4 bare arrivals)")
                         .arg(nRun + 1)
                         .arg(panelMs.size())
                         .arg(slotMs.size())
                         .arg(bareMs.size()));
            continue;
        }
        p50.panel << CResultTable::Percentile(panelMs, 0.5);
        p50.baseline << CResultTable::Percentile(bareMs, 0.5);
        p99.panel << CResultTable::Percentile(panelMs, 0.99);
        p99.baseline << CResultTable::Percentile(bareMs, 0.99);
        slot.panel << CResultTable::Percentile(slotMs, 0.5);
        slot.baseline << p50.baseline.last();
        Progress(
            QStringLiteral("B2 run %1: p50 %2 ms (window slot %6 ms, bare %3 ms), p99 %4 ms (bare %5 ms)")
                .arg(nRun + 1)
                .arg(p50.panel.last(), 0, 'f', 3)
                .arg(p50.baseline.last(), 0, 'f', 3)
                .arg(p99.panel.last(), 0, 'f', 3)
                .arg(p99.baseline.last(), 0, 'f', 3)
                .arg(slot.panel.last(), 0, 'f', 3));
    }
}

// ---- B3: three 16 MiB images and the metadata, from the first byte to the four files ----

void CBenchDriver::RunCapture()
{
    auto& rate
        = m_table.Add(QStringLiteral("B3 capture upload, MiB/s"), QStringLiteral(">= 0.8 x baseline"), 0);
    rate.met = [](double d, double dBase) { return AtLeast(d, 0.8 * dBase); };
    const double dPayloadMiB = 3 * kCaptureBytes / kMiB;
    auto& memory = m_table.Add(QStringLiteral("B3 peak RSS above idle, MiB"),
        QStringLiteral("<= 2 x payloads (%1 MiB)").arg(2 * dPayloadMiB, 0, 'f', 0), 0);
    memory.met = [dPayloadMiB](double d, double) { return AtMost(d, 2 * dPayloadMiB); };
    auto& complete
        = m_table.Add(QStringLiteral("B3 files complete, share of runs"), QStringLiteral("all runs"), 2);
    complete.met = [](double d, double) { return d == 1; };

    const QString sFolder = m_dir.filePath(QStringLiteral("capture"));
    QDir().mkpath(sFolder);
    double dComplete = 0;
    for (int nRun = 0; nRun < m_options.nRuns; ++nRun) {
        CWorkerProcess panel(Program(QStringLiteral("ombix-bench-panel")),
            { "capture", "--port", QString::number(m_broker.port()), "--file", sFolder }, m_dir.path());
        if (panel.WaitForLine(QStringLiteral("ready"), 30000) != QLatin1String("ready"))
            continue;
        const qint64 nStartNs = BenchSystem::MonotonicNs();
        PublishCapture();
        const auto result = CWorkerProcess::Fields(panel.WaitForLine(QStringLiteral("result"), 60000));
        const double dSeconds = (Number(result, "done_ns") - nStartNs) / 1e9;
        rate.panel << dPayloadMiB / dSeconds;
        memory.panel << (Number(result, "peak_kib") - Number(result, "idle_kib")) / 1024;
        dComplete += result.value("complete") == QLatin1String("1") ? 1 : 0;

        const QString sId = NextClientId();
        QProcess subscriber;
        subscriber.setStandardOutputFile(m_dir.filePath(QStringLiteral("capture/baseline.bin")));
        subscriber.start(QStringLiteral("mosquitto_sub"),
            { "-h", m_broker.host(), "-p", QString::number(m_broker.port()), "-t", kCapturePrefix + "#", "-C",
                "4", "-N", "-i", sId });
        if (!WaitForSubscription(sId, kCapturePrefix + "#"))
            continue;
        const qint64 nBaselineStartNs = BenchSystem::MonotonicNs();
        PublishCapture();
        const qint64 nEndNs = WaitForExit(subscriber, 60000);
        Stop(subscriber);
        rate.baseline << (nEndNs ? dPayloadMiB / ((nEndNs - nBaselineStartNs) / 1e9) : std::nan(""));
        QFile::remove(m_dir.filePath(QStringLiteral("capture/baseline.bin")));
        Progress(QStringLiteral("B3 run %1: panel %2 MiB/s, baseline %3 MiB/s, peak RSS +%4 MiB")
                     .arg(nRun + 1)
                     .arg(rate.panel.last(), 0, 'f', 0)
                     .arg(rate.baseline.last(), 0, 'f', 0)
                     .arg(memory.panel.last(), 0, 'f', 0));
    }
    complete.panel << dComplete / m_options.nRuns;
}

// The device's part of a capture: it starts the capture, uploads three images and the metadata, then
// reports the capture done. The figure starts with the first image.
void CBenchDriver::PublishCapture()
{
    m_device.publish(kStatusPrefix + "capture", R"({"capture":{"value":1}})");
    for (const char* sName : { "t1", "t2", "t3" })
        m_device.publish(kCapturePrefix + sName, QByteArray(kCaptureBytes, sName[1]));
    m_device.publish(kCapturePrefix + "meta", R"({"exposure":12.5,"gain":3,"frames":3})");
    m_device.publish(kStatusPrefix + "capture", R"({"capture":{"value":0}})");
}

// ---- B4: process start to the first painted frame ----

void CBenchDriver::RunStartup()
{
    auto& startup
        = m_table.Add(QStringLiteral("B4 start-up to first paint, ms"), QStringLiteral("<= 2 x baseline"), 1);
    startup.met = [](double d, double dBase) { return AtMost(d, 2 * dBase); };
    // What any window with text pays on top of the empty one, set against the same baseline.
    auto& text
        = m_table.Add(QStringLiteral("B4 reference: group box and label, ms"), QStringLiteral("reported"), 1);
    const QString sEmptyWindow = QStringLiteral("ombix-bench-emptywindow");
    for (int nRun = 0; nRun < m_options.nRuns; ++nRun) {
        startup.panel << StartupMs(QStringLiteral("ombix-bench-panel"), { "startup" });
        startup.baseline << StartupMs(sEmptyWindow, {});
        text.panel << StartupMs(sEmptyWindow, { "text" });
        text.baseline << startup.baseline.last();
        Progress(QStringLiteral("B4 run %1: panel %2 ms, empty window %3 ms, window with text %4 ms")
                     .arg(nRun + 1)
                     .arg(startup.panel.last(), 0, 'f', 1)
                     .arg(startup.baseline.last(), 0, 'f', 1)
                     .arg(text.panel.last(), 0, 'f', 1));
    }
}

double CBenchDriver::StartupMs(const QString& sProgram, const QStringList& arguments)
{
    const qint64 nStartNs = BenchSystem::MonotonicNs();
    CWorkerProcess process(Program(sProgram), arguments, m_dir.path());
    const auto result = CWorkerProcess::Fields(process.WaitForLine(QStringLiteral("result"), 30000));
    return (Number(result, "painted_ns") - nStartNs) / 1e6;
}

// ---- B5: log lines into the message pane ----

void CBenchDriver::RunLogFlood()
{
    const int nCount = m_options.nFloodCount;
    QStringList lines;
    for (int i = 1; i <= nCount; ++i)
        lines << QStringLiteral("camera log %1: exposure settled at 12.5 ms, gain 3 dB, sensor 41 C").arg(i);
    const QString sFile = WriteFloodFile(QStringLiteral("log-flood.txt"), lines);

    auto& rate
        = m_table.Add(QStringLiteral("B5 log stream, lines/s"), QStringLiteral(">= 0.3 x baseline"), 0);
    rate.met = [](double d, double dBase) { return AtLeast(d, 0.3 * dBase); };
    auto& shown
        = m_table.Add(QStringLiteral("B5 last line shown, share of runs"), QStringLiteral("all runs"), 2);
    shown.met = [](double d, double) { return d == 1; };
    auto& stall
        = m_table.Add(QStringLiteral("B5 longest event-loop stall, ms"), QStringLiteral("<= 100 ms"), 1);
    stall.met = [](double d, double) { return AtMost(d, 100); };
    auto& gap = m_table.Add(QStringLiteral("B5 longest paint gap, ms"), QStringLiteral("<= 50 ms"), 1);
    gap.met = [](double d, double) { return AtMost(d, 50); };
    auto& memory = m_table.Add(QStringLiteral("B5 RSS per 10,000 lines, MiB"), QStringLiteral("reported"), 2);

    double dShownRuns = 0;
    for (int nRun = 0; nRun < m_options.nRuns; ++nRun) {
        const auto result
            = RunPanel({ "log-flood", "--file", sFile, "--last", lines.last() }, kFloodTimeoutMs + 30000);
        const bool bShown = result.value("shown") == QLatin1String("1");
        dShownRuns += bShown ? 1 : 0;
        rate.panel << (bShown ? nCount / (Number(result, "ms") / 1000) : 0);
        stall.panel << Number(result, "stall_ms");
        gap.panel << Number(result, "paint_gap_ms");
        const double dLines = qMax(1.0, Number(result, "received"));
        memory.panel << (Number(result, "rss_end_kib") - Number(result, "rss_start_kib")) / 1024
                / (dLines / 10000);
        rate.baseline << nCount / BaselineFloodSeconds(kLogTopic, sFile);
        Progress(QStringLiteral("B5 run %1: panel %2 lines/s (%3 shown), baseline %4 lines/s, stall %5 ms")
                     .arg(nRun + 1)
                     .arg(rate.panel.last(), 0, 'f', 0)
                     .arg(result.value("received"))
                     .arg(rate.baseline.last(), 0, 'f', 0)
                     .arg(stall.panel.last(), 0, 'f', 1));
    }
    shown.panel << dShownRuns / m_options.nRuns;
}

// ---- B6: connected and idle, one log line a second ----

void CBenchDriver::RunIdle()
{
    auto& cpu = m_table.Add(QStringLiteral("B6 idle CPU, % of one core"), QStringLiteral("<= 1 %"), 3);
    cpu.met = [](double d, double) { return AtMost(d, 1); };
    // One housekeeping tick and one log line a second; a keep-alive ping once a minute.
    auto& wakeups = m_table.Add(
        QStringLiteral("B6 idle wake-ups per second"), QStringLiteral("timer + socket only (<= 2.1/s)"), 2);
    wakeups.met = [](double d, double) { return AtMost(d, 2.1); };

    for (int nRun = 0; nRun < m_options.nIdleRuns; ++nRun) {
        CWorkerProcess panel(Program(QStringLiteral("ombix-bench-panel")),
            { "idle", "--port", QString::number(m_broker.port()), "--seconds",
                QString::number(m_options.nIdleSeconds) },
            m_dir.path());
        if (panel.WaitForLine(QStringLiteral("ready"), 30000) != QLatin1String("ready"))
            continue;
        int nLine = 0;
        QTimer camera;
        QObject::connect(&camera, &QTimer::timeout, [this, &nLine] {
            m_device.publish(
                kLogTopic, QStringLiteral("camera log %1: temperature 41 C").arg(++nLine).toUtf8());
        });
        camera.start(1000);
        const auto result = CWorkerProcess::Fields(
            panel.WaitForLine(QStringLiteral("result"), (m_options.nIdleSeconds + 30) * 1000));
        cpu.panel << Number(result, "cpu_pct");
        wakeups.panel << Number(result, "wakeups_per_s");
        Progress(QStringLiteral("B6 run %1: CPU %2 %, %3 wake-ups/s, %4 lines")
                     .arg(nRun + 1)
                     .arg(cpu.panel.last(), 0, 'f', 3)
                     .arg(wakeups.panel.last(), 0, 'f', 2)
                     .arg(result.value("lines")));
    }
}

// ---- helpers ----

double CBenchDriver::BaselineFloodSeconds(const QString& sTopic, const QString& sFloodFile)
{
    const QString sId = NextClientId();
    QProcess subscriber;
    subscriber.setStandardOutputFile(QProcess::nullDevice());
    subscriber.start(QStringLiteral("mosquitto_sub"),
        { "-h", m_broker.host(), "-p", QString::number(m_broker.port()), "-t", sTopic, "-C",
            QString::number(m_options.nFloodCount), "-i", sId });
    if (!WaitForSubscription(sId, sTopic))
        return std::nan("");
    QProcess publisher;
    publisher.setStandardInputFile(sFloodFile);
    const qint64 nStartNs = BenchSystem::MonotonicNs();
    publisher.start(QStringLiteral("mosquitto_pub"),
        { "-h", m_broker.host(), "-p", QString::number(m_broker.port()), "-t", sTopic, "-l" });
    const qint64 nEndNs = WaitForExit(subscriber, kFloodTimeoutMs);
    Stop(subscriber);
    Stop(publisher);
    return nEndNs ? (nEndNs - nStartNs) / 1e9 : std::nan("");
}

bool CBenchDriver::WaitForSubscription(const QString& sClientId, const QString& sTopic)
{
    const QString sLine = sClientId + QStringLiteral(" 0 ") + sTopic;
    QFile log(m_sBrokerLog);
    log.open(QIODevice::ReadOnly);
    QString sLog;
    const bool bSubscribed = BenchSystem::WaitFor(
        [&] {
            sLog += QString::fromUtf8(log.readAll());
            return sLog.contains(sLine);
        },
        10000);
    if (!bSubscribed)
        Progress(QStringLiteral("subscriber %1 did not subscribe").arg(sClientId));
    return bSubscribed;
}

QString CBenchDriver::NextClientId() { return QStringLiteral("ombix-bench-sub-%1").arg(++m_nClientIds); }

QString CBenchDriver::WriteFloodFile(const QString& sName, const QStringList& lines)
{
    QFile file(m_dir.filePath(sName));
    file.open(QIODevice::WriteOnly);
    file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return file.fileName();
}

QMap<QString, QString> CBenchDriver::RunPanel(const QStringList& arguments, int nTimeoutMs)
{
    CWorkerProcess panel(Program(QStringLiteral("ombix-bench-panel")),
        QStringList { arguments.first(), "--port", QString::number(m_broker.port()) } + arguments.mid(1),
        m_dir.path());
    const QString sLine = panel.WaitForLine(QStringLiteral("result"), nTimeoutMs);
    if (!sLine.startsWith(QLatin1String("result")))
        Progress(QStringLiteral("%1: %2").arg(arguments.first(), sLine.isEmpty() ? "no result" : sLine));
    return CWorkerProcess::Fields(sLine);
}

QString CBenchDriver::Program(const QString& sName) const
{
    return m_options.sBinDir + QLatin1Char('/') + sName;
}

void CBenchDriver::Progress(const QString& sText) const
{
    std::fprintf(stderr, "%s\n", qPrintable(sText));
    std::fflush(stderr);
}

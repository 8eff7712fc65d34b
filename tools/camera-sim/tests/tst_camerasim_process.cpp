#include "mosquittobroker.h"
#include "panelclient.h"

#include <QBuffer>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {

const QString sConfigTopic = QStringLiteral("/hdr/config/parameters");
const QString sStatusPrefix = QStringLiteral("/hdr/status/parameters/");
const QString sConnectionStatus = sStatusPrefix + QStringLiteral("connection_status");
const QString sCaptureStatus = sStatusPrefix + QStringLiteral("capture");
const QString sCapturePrefix = QStringLiteral("/hdr/capture/upload/");

// The parameters the panel registers, with the kind of value it expects: a flag, an integral option or a
// number.
const QVector<QPair<QString, char>> panelParameters {
    { "tmEnable", 'b' },
    { "midBoost", 'b' },
    { "autoEVsEnable", 'b' },
    { "autoCCMEnable", 'b' },
    { "awbUnity", 'b' },
    { "freq", 'i' },
    { "autoGainEnable", 'b' },
    { "flipXY", 'b' },
    { "aroGlobalGain", 'd' },
    { "manualTAms", 'd' },
    { "brightness", 'd' },
    { "gamma", 'd' },
    { "detail", 'd' },
    { "saturation", 'd' },
    { "blue/yellow", 'd' },
    { "green/red", 'd' },
    { "blackfix", 'd' },
    { "vgComp", 'd' },
    { "aeSpeed", 'd' },
    { "awbEn", 'b' },
    { "highlightMode", 'i' },
    { "autoExpEnable", 'b' },
    { "longExpEnable", 'b' },
    { "lfmExpEnable", 'b' },
    { "awbDeltaMax", 'd' },
    { "awbWhiteLevel", 'd' },
    { "awbBlackLevel", 'd' },
    { "DenoiseEn", 'i' },
    { "yNoiseThresh", 'd' },
    { "crcbNoiseThresh", 'd' },
    { "osdhist", 'i' },
    { "osdcolor", 'i' },
    { "osdfoi", 'i' },
    { "osdloc", 'i' },
    { "w", 'd' },
    { "blackLevel", 'd' },
};

// The executable, with its output collected as it comes.
class SimProcess
{
public:
    explicit SimProcess(const QStringList& args)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
            [this] { m_out += m_process.readAllStandardOutput(); });
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
            [this] { m_err += m_process.readAllStandardError(); });
        m_process.start(QStringLiteral(KAVRO_CAMERA_SIM), args);
    }
    ~SimProcess()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool WaitForOutput(const QByteArray& text, int nCount = 1, int nTimeoutMs = 15000)
    {
        return QTest::qWaitFor([&] { return (m_out + m_err).count(text) >= nCount; }, nTimeoutMs);
    }
    bool WaitConnected(quint16 nPort, int nCount = 1)
    {
        return WaitForOutput(
            "kavro-camera-sim: connected to 127.0.0.1:" + QByteArray::number(nPort) + "\n", nCount);
    }
    void Signal(int nSignal) { ::kill(pid_t(m_process.processId()), nSignal); }
    bool WaitForExit()
    {
        return QTest::qWaitFor([this] { return m_process.state() == QProcess::NotRunning; }, 15000);
    }

    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

QString ConnectionStatus(const PanelClient& panel)
{
    return panel.StatusValue(QStringLiteral("connection_status")).toString();
}

} // namespace

// The real kavro-camera-sim process against a private broker, watched by a client that plays the panel.
class TestCameraSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lateSubscriberGetsTheWholeDevice();
    void logLinesStream();
    void captureUploadsBuffersThenResult_data();
    void captureUploadsBuffersThenResult();
    void endingReportsOffline_data();
    void endingReportsOffline();
    void retriesUntilTheBrokerIsBack();
    void commandLine_data();
    void commandLine();

private:
    bool StartSim(const QStringList& args);
    bool ConnectPanel(PanelClient* pPanel);

    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<SimProcess> m_pSim;
};

void TestCameraSimProcess::init()
{
    m_pBroker = std::make_unique<MosquittoBroker>();
    QVERIFY2(m_pBroker->start(), qPrintable(m_pBroker->errorString()));
}

void TestCameraSimProcess::cleanup()
{
    if (QTest::currentTestFailed() && m_pSim)
        qInfo().noquote() << "camera output:\n" << m_pSim->m_out << m_pSim->m_err;
    m_pSim.reset();
    m_pBroker.reset();
}

bool TestCameraSimProcess::StartSim(const QStringList& args)
{
    m_pSim
        = std::make_unique<SimProcess>(QStringList { "--port", QString::number(m_pBroker->port()) } + args);
    return m_pSim->WaitConnected(m_pBroker->port());
}

bool TestCameraSimProcess::ConnectPanel(PanelClient* pPanel)
{
    return pPanel->Connect(m_pBroker->port()) && pPanel->WaitFor(sConnectionStatus) && pPanel->Sync();
}

void TestCameraSimProcess::lateSubscriberGetsTheWholeDevice()
{
    QVERIFY(StartSim({ "--log-interval-ms", "0" }));
    PanelClient earlyPanel;
    QVERIFY(ConnectPanel(&earlyPanel));
    PanelClient panel;
    QVERIFY(ConnectPanel(&panel));

    QCOMPARE(ConnectionStatus(panel), QStringLiteral("active"));
    const QJsonObject description = QJsonDocument::fromJson(panel.Last(sConfigTopic)).object();
    QCOMPARE(description.size(), panelParameters.size() + 4);
    for (const auto& [sName, cKind] : panelParameters) {
        const QJsonObject record = description.value(sName).toObject();
        QVERIFY2(!record.value("description").toString().isEmpty(), qPrintable(sName));
        QVERIFY2(record.value("read-only").isBool() && record.value("disabled").isBool(), qPrintable(sName));
        if (cKind == 'd')
            QVERIFY2(record.value("min-value").toDouble() < record.value("max-value").toDouble(),
                qPrintable(sName));

        const QString sValue = panel.StatusValueText(sName);
        const QString sPattern = cKind == 'b' ? "true|false" : cKind == 'i' ? "\\d+" : "-?\\d+(\\.\\d+)?";
        QVERIFY2(QRegularExpression("^(" + sPattern + ")$").match(sValue).hasMatch(),
            qPrintable(sName + ": " + sValue));
    }
    QVERIFY(description.value("osdhist").toObject().value("read-only").toBool());
    QVERIFY(description.value("tmEnable").toObject().value("read-only").toBool());
    QCOMPARE(description.value("sensor_type").toObject().value("model").toString(), QStringLiteral("AR0239"));
    const QVector<QPair<QString, QStringList>> info { { "fpga", { "date", "version" } },
        { "software_version", { "date", "version" } }, { "board_type", { "type", "version" } },
        { "sensor_type", { "manufacturer", "model" } } };
    for (const auto& [sName, keys] : info)
        QCOMPARE(description.value(sName).toObject().keys(), keys);

    for (const PanelClient::SMessage& message : panel.Messages()) {
        if (message.sTopic.startsWith(QStringLiteral("/hdr/status/")) || message.sTopic == sConfigTopic)
            QVERIFY2(message.bRetain, qPrintable(message.sTopic));
    }
}

void TestCameraSimProcess::logLinesStream()
{
    QVERIFY(StartSim({ "--log-interval-ms", "50" }));
    PanelClient panel;
    QVERIFY(ConnectPanel(&panel));
    const QString sLogTopic = QStringLiteral("/hdr/status/logs");
    QVERIFY(panel.WaitFor(sLogTopic, 3));

    const QRegularExpression line("^kavro: exposure 1\\.00 ms, gain 1\\.00, temperature \\d+\\.\\d C$");
    for (const PanelClient::SMessage& message : panel.Messages()) {
        if (message.sTopic != sLogTopic)
            continue;
        QVERIFY2(line.match(QString::fromUtf8(message.payload)).hasMatch(), message.payload.constData());
        QVERIFY(!message.bRetain);
    }
}

void TestCameraSimProcess::captureUploadsBuffersThenResult_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("mux");
    QTest::addColumn<QStringList>("buffers");
    QTest::addColumn<QString>("result");

    QTest::newRow("sensor path") << QStringList() << 1 << QStringList { "t1", "t2", "t3", "meta" } << "0";
    QTest::newRow("HDMI path") << QStringList() << 2 << QStringList { "hdmi", "meta" } << "0";
    QTest::newRow("sensor path, AR0233")
        << QStringList { "--sensor-model", "AR0233" } << 1 << QStringList { "ldr", "meta" } << "0";
    QTest::newRow("HDMI path, AR0233")
        << QStringList { "--sensor-model", "AR0233" } << 2 << QStringList { "hdmi", "meta" } << "0";
    QTest::newRow("failing") << QStringList { "--fail-capture" } << 1 << QStringList() << "255";
}

void TestCameraSimProcess::captureUploadsBuffersThenResult()
{
    QFETCH(QStringList, args);
    QFETCH(int, mux);
    QFETCH(QStringList, buffers);
    QFETCH(QString, result);

    QVERIFY(StartSim(args + QStringList { "--log-interval-ms", "0" }));
    PanelClient panel;
    QVERIFY(ConnectPanel(&panel));
    panel.Clear();
    panel.Send("/hdr/set/parameters", QStringLiteral(R"({"capture":{"value":%1}})").arg(mux).toUtf8());
    QVERIFY(panel.WaitFor(sCaptureStatus));
    QCOMPARE(panel.StatusValueText("capture"), result);

    QStringList uploadsBeforeResult;
    for (const PanelClient::SMessage& message : panel.Messages()) {
        if (message.sTopic == sCaptureStatus)
            break;
        if (message.sTopic.startsWith(sCapturePrefix))
            uploadsBeforeResult << message.sTopic.mid(sCapturePrefix.size());
    }
    QCOMPARE(uploadsBeforeResult, buffers);

    for (const QString& sBuffer : buffers) {
        QByteArray bytes = panel.Last(sCapturePrefix + sBuffer);
        if (sBuffer == "meta") {
            const QJsonObject meta = QJsonDocument::fromJson(bytes).object();
            QCOMPARE(meta.value("mux").toInt(), mux);
            QCOMPARE(meta.value("frame").toInt(), 1);
            QCOMPARE(meta.value("sensor_model").toString(), args.value(1, "AR0239"));
            continue;
        }
        QBuffer device(&bytes);
        QImageReader reader(&device);
        QCOMPARE(reader.format(), QByteArray("tiff"));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(sBuffer + ": " + reader.errorString()));
        QVERIFY(image.width() >= 640 && image.height() >= 360);
    }

    // A panel that arrives later must not take the old result for a capture of its own.
    PanelClient latePanel;
    QVERIFY(ConnectPanel(&latePanel));
    QCOMPARE(latePanel.Count(sCaptureStatus), 0);
}

void TestCameraSimProcess::endingReportsOffline_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("cleanExit");

    QTest::newRow("SIGTERM") << int(SIGTERM) << true;
    QTest::newRow("SIGINT") << int(SIGINT) << true;
    QTest::newRow("SIGKILL, the broker's last will") << int(SIGKILL) << false;
}

void TestCameraSimProcess::endingReportsOffline()
{
    QFETCH(int, signal);
    QFETCH(bool, cleanExit);

    QVERIFY(StartSim({}));
    PanelClient panel;
    QVERIFY(ConnectPanel(&panel));
    QCOMPARE(ConnectionStatus(panel), QStringLiteral("active"));

    m_pSim->Signal(signal);
    QVERIFY(m_pSim->WaitForExit());
    QCOMPARE(m_pSim->m_process.exitStatus() == QProcess::NormalExit, cleanExit);
    if (cleanExit)
        QCOMPARE(m_pSim->m_process.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(ConnectionStatus(panel), QStringLiteral("offline"), 10000);

    PanelClient latePanel;
    QVERIFY(ConnectPanel(&latePanel));
    QCOMPARE(ConnectionStatus(latePanel), QStringLiteral("offline"));
}

void TestCameraSimProcess::retriesUntilTheBrokerIsBack()
{
    const quint16 nPort = m_pBroker->port();
    m_pBroker->stop();
    m_pSim = std::make_unique<SimProcess>(QStringList { "--port", QString::number(nPort) });
    QVERIFY(m_pSim->WaitForOutput("retrying every second"));

    QVERIFY2(m_pBroker->start(), qPrintable(m_pBroker->errorString()));
    QCOMPARE(m_pBroker->port(), nPort);
    QVERIFY(m_pSim->WaitConnected(nPort));

    // A restarted broker has lost every retained message; the camera announces itself again.
    m_pBroker->kill();
    QVERIFY2(m_pBroker->start(), qPrintable(m_pBroker->errorString()));
    QVERIFY(m_pSim->WaitConnected(nPort, 2));
    PanelClient panel;
    QVERIFY(ConnectPanel(&panel));
    QCOMPARE(ConnectionStatus(panel), QStringLiteral("active"));
    QCOMPARE(QJsonDocument::fromJson(panel.Last(sConfigTopic)).object().size(), panelParameters.size() + 4);
}

void TestCameraSimProcess::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("help") << QStringList { "--help" } << 0 << QByteArray("--fail-capture");
    QTest::newRow("port zero") << QStringList { "--port", "0" } << 1 << QByteArray("invalid port: 0");
    QTest::newRow("port too large") << QStringList { "--port", "65536" } << 1 << QByteArray("invalid port");
    QTest::newRow("port not a number") << QStringList { "--port", "mqtt" } << 1 << QByteArray("invalid port");
    QTest::newRow("negative log interval")
        << QStringList { "--log-interval-ms", "-1" } << 1 << QByteArray("invalid log interval");
    QTest::newRow("unknown option") << QStringList { "--colour" } << 1 << QByteArray("colour");
}

void TestCameraSimProcess::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);

    m_pSim = std::make_unique<SimProcess>(args);
    QVERIFY(m_pSim->WaitForExit());
    QCOMPARE(m_pSim->m_process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_pSim->m_process.exitCode(), exitCode);
    QVERIFY2((m_pSim->m_out + m_pSim->m_err).contains(output), (m_pSim->m_out + m_pSim->m_err).constData());
}

QTEST_MAIN(TestCameraSimProcess)
#include "tst_camerasim_process.moc"

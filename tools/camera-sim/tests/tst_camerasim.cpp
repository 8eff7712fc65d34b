#include "csimconnection.h"
#include "csimdevice.h"
#include "mosquittobroker.h"

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

const QString sSetTopic = QStringLiteral("/hdr/set/parameters");
const QString sControlTopic = QStringLiteral("/hdr/set/controls");
const QString sConfigTopic = QStringLiteral("/hdr/config/parameters");
const QString sUploadTopic = QStringLiteral("/hdr/status/upload");
const QString sStatusPrefix = QStringLiteral("/hdr/status/parameters/");
const QString sCapturePrefix = QStringLiteral("/hdr/capture/upload/");

// The panel's parameters by the kind of value it expects on the wire.
const QStringList flagParameters { "tmEnable", "midBoost", "autoEVsEnable", "autoCCMEnable", "awbUnity",
    "autoGainEnable", "flipXY", "awbEn", "autoExpEnable", "longExpEnable", "lfmExpEnable" };
const QStringList integralParameters { "freq", "highlightMode", "DenoiseEn", "osdhist", "osdcolor", "osdfoi",
    "osdloc" };
const QStringList numberParameters { "aroGlobalGain", "manualTAms", "brightness", "gamma", "detail",
    "saturation", "blue/yellow", "green/red", "blackfix", "vgComp", "aeSpeed", "awbDeltaMax", "awbWhiteLevel",
    "awbBlackLevel", "yNoiseThresh", "crcbNoiseThresh", "w", "blackLevel" };

// Plays the control panel: subscribes to everything under /hdr and records what arrives, in order.
class PanelClient
{
public:
    struct SMessage
    {
        QString sTopic;
        QByteArray payload;
        bool bRetain;
    };

    bool Connect(quint16 nPort)
    {
        m_client.setHostname(QStringLiteral("127.0.0.1"));
        m_client.setPort(nPort);
        m_client.connectToHost();
        if (!QTest::qWaitFor([this] { return m_client.state() == QMqttClient::Connected; }, 10000))
            return false;
        QMqttSubscription* pSub = m_client.subscribe(QMqttTopicFilter(QStringLiteral("/hdr/#")));
        if (!pSub)
            return false;
        QObject::connect(
            pSub, &QMqttSubscription::messageReceived, &m_client, [this](const QMqttMessage& msg) {
                m_messages.append({ msg.topic().name(), msg.payload(), msg.retain() });
            });
        return QTest::qWaitFor([pSub] { return pSub->state() == QMqttSubscription::Subscribed; }, 10000)
            && WaitFor(sStatusPrefix + QStringLiteral("connection_status"));
    }
    void Send(const QString& sTopic, const QByteArray& payload)
    {
        m_client.publish(QMqttTopicName(sTopic), payload);
    }
    // Returns once the broker has delivered everything it queued for this client before the call.
    bool Sync()
    {
        const QString sTopic = QStringLiteral("/hdr/test/sync");
        const int nSeen = Topics(sTopic).size();
        Send(sTopic, QByteArray());
        return WaitFor(sTopic, nSeen + 1);
    }
    bool WaitFor(const QString& sTopic, int nCount = 1)
    {
        return QTest::qWaitFor([&] { return Topics(sTopic).size() >= nCount; }, 10000);
    }
    QStringList Topics(const QString& sPrefix) const
    {
        QStringList topics;
        for (const SMessage& message : m_messages) {
            if (message.sTopic.startsWith(sPrefix))
                topics << message.sTopic;
        }
        return topics;
    }
    QByteArray Last(const QString& sTopic) const
    {
        for (auto it = m_messages.crbegin(); it != m_messages.crend(); ++it) {
            if (it->sTopic == sTopic)
                return it->payload;
        }
        return QByteArray();
    }
    // The value of a parameter's last status record as written on the wire, e.g. 16.66 or true.
    QString StatusText(const QString& sName) const
    {
        static const QRegularExpression value(QStringLiteral("\"value\":([^,}]*)"));
        return value.match(QString::fromUtf8(Last(sStatusPrefix + sName))).captured(1);
    }

    QMqttClient m_client;
    QList<SMessage> m_messages;
};

} // namespace

// The camera against a private broker, watched by a client that plays the panel. Most cases run the
// device logic in this process; the process cases run the executable and end it with a signal.
class TestCameraSim : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lateSubscriberGetsTheWholeDevice();
    void setParameterReportsWhatTheCameraUses_data();
    void setParameterReportsWhatTheCameraUses();
    void fileDefaultsAndUploadRoundTrip();
    void captureUploadsBuffersThenResult_data();
    void captureUploadsBuffersThenResult();
    void garbageChangesNothing_data();
    void garbageChangesNothing();
    void processEndReportsOffline_data();
    void processEndReportsOffline();

private:
    void StartCamera(const QString& sSensorModel = QStringLiteral("AR0239"), bool bFailCapture = false);
    // Asks for the parameter file; everything the camera published before has arrived when it returns.
    QByteArray RequestUpload();

    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<CSimDevice> m_pDevice;
    std::unique_ptr<CSimConnection> m_pConnection;
    std::unique_ptr<PanelClient> m_pPanel;
};

void TestCameraSim::init()
{
    m_pBroker = std::make_unique<MosquittoBroker>();
    QVERIFY2(m_pBroker->start(), qPrintable(m_pBroker->errorString()));
    m_pPanel = std::make_unique<PanelClient>();
}

void TestCameraSim::cleanup()
{
    if (m_pConnection) {
        QSignalSpy finished(m_pConnection.get(), &CSimConnection::Finished);
        m_pConnection->Shutdown();
        QVERIFY(finished.count() == 1 || finished.wait(5000));
    }
    m_pConnection.reset();
    m_pDevice.reset();
    m_pPanel.reset();
    m_pBroker.reset();
}

void TestCameraSim::StartCamera(const QString& sSensorModel, bool bFailCapture)
{
    m_pDevice = std::make_unique<CSimDevice>(sSensorModel, bFailCapture);
    m_pConnection
        = std::make_unique<CSimConnection>(m_pDevice.get(), m_pBroker->host(), m_pBroker->port(), 0);
    m_pConnection->Start();
    QVERIFY(m_pPanel->Connect(m_pBroker->port()));
    m_pPanel->m_messages.clear();
}

QByteArray TestCameraSim::RequestUpload()
{
    const int nSeen = m_pPanel->Topics(sUploadTopic).size();
    m_pPanel->Send(sControlTopic, R"({"upload":{"value":true}})");
    return m_pPanel->WaitFor(sUploadTopic, nSeen + 1) ? m_pPanel->Last(sUploadTopic) : QByteArray();
}

void TestCameraSim::lateSubscriberGetsTheWholeDevice()
{
    StartCamera();
    PanelClient late;
    QVERIFY(late.Connect(m_pBroker->port()) && late.Sync());

    const QJsonObject description = QJsonDocument::fromJson(late.Last(sConfigTopic)).object();
    QCOMPARE(description.size(), 36 + 4);
    QCOMPARE(late.StatusText("connection_status"), QStringLiteral("\"active\""));
    const QVector<QPair<QStringList, QString>> kinds { { flagParameters, "true|false" },
        { integralParameters, "\\d+" }, { numberParameters, "-?\\d+(\\.\\d+)?" } };
    for (const auto& [names, sPattern] : kinds) {
        for (const QString& sName : names) {
            const QJsonObject record = description.value(sName).toObject();
            QVERIFY2(!record.value("description").toString().isEmpty(), qPrintable(sName));
            QCOMPARE(record.contains("min-value"), names == numberParameters);
            QVERIFY(record.value("min-value").toDouble() <= record.value("max-value").toDouble());
            QVERIFY2(QRegularExpression("^(" + sPattern + ")$").match(late.StatusText(sName)).hasMatch(),
                qPrintable(sName + ": " + late.StatusText(sName)));
        }
    }
    QVERIFY(description.value("osdhist").toObject().value("read-only").toBool());
    QCOMPARE(description.value("fpga").toObject().keys(), QStringList({ "date", "version" }));
    QCOMPARE(description.value("software_version").toObject().keys(), QStringList({ "date", "version" }));
    QCOMPARE(description.value("board_type").toObject().keys(), QStringList({ "type", "version" }));
    QCOMPARE(description.value("sensor_type").toObject().value("model").toString(), QStringLiteral("AR0239"));
    for (const PanelClient::SMessage& message : late.m_messages)
        QVERIFY2(message.bRetain || message.sTopic.startsWith("/hdr/test/"), qPrintable(message.sTopic));
}

void TestCameraSim::setParameterReportsWhatTheCameraUses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("reported");

    QTest::newRow("in range") << "manualTAms" << QByteArray(R"({"manualTAms":{"value":5.5}})") << "5.5";
    QTest::newRow("above max") << "manualTAms" << QByteArray(R"({"manualTAms":{"value":100}})") << "16.66";
    QTest::newRow("below min") << "manualTAms" << QByteArray(R"({"manualTAms":{"value":-3}})") << "0.02";
    QTest::newRow("far out") << "yNoiseThresh" << QByteArray(R"({"yNoiseThresh":{"value":1e300}})") << "4095";
    QTest::newRow("slash in name") << "blue/yellow" << QByteArray(R"({"blue/yellow":{"value":-0.5}})")
                                   << "-0.5";
    QTest::newRow("bare value") << "gamma" << QByteArray(R"({"gamma":1.5})") << "1.5";
    QTest::newRow("flag") << "flipXY" << QByteArray(R"({"flipXY":{"value":true}})") << "true";
    QTest::newRow("radio") << "freq" << QByteArray(R"({"freq":{"value":60}})") << "60";
    QTest::newRow("radio, no such option") << "freq" << QByteArray(R"({"freq":{"value":55}})") << "50";
    QTest::newRow("combo fraction") << "highlightMode" << QByteArray(R"({"highlightMode":{"value":4.5}})")
                                    << "3";
    QTest::newRow("read-only") << "osdhist" << QByteArray(R"({"osdhist":{"value":1}})") << "0";
    QTest::newRow("disabled") << "longExpEnable" << QByteArray(R"({"longExpEnable":{"value":true}})")
                              << "false";
    QTest::newRow("text for a number")
        << "manualTAms" << QByteArray(R"({"manualTAms":{"value":"2"}})") << "1";
}

void TestCameraSim::setParameterReportsWhatTheCameraUses()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, message);
    QFETCH(QString, reported);

    StartCamera();
    m_pPanel->Send(sSetTopic, message);
    QVERIFY(m_pPanel->WaitFor(sStatusPrefix + name));
    QCOMPARE(m_pPanel->StatusText(name), reported);
}

void TestCameraSim::fileDefaultsAndUploadRoundTrip()
{
    StartCamera();
    const QByteArray defaults = RequestUpload();
    m_pPanel->Send(sSetTopic, R"({
    "DenoiseEn": { "value": 0 },
    "aroGlobalGain": { "value": 4 },
    "flipXY": { "value": true },
    "green/red": -0.25,
    "highlightMode": { "value": 1 },
    "manualTAms": { "value": 8.5 }
}
)");
    const QByteArray changed = RequestUpload();
    const QStringList expected { "DenoiseEn 0", "aroGlobalGain 4", "flipXY true", "green/red -0.25",
        "highlightMode 1", "manualTAms 8.5" };
    QStringList reported;
    for (const QString& sTopic : m_pPanel->Topics(sStatusPrefix))
        reported << sTopic.mid(sStatusPrefix.size()) + ' '
                + m_pPanel->StatusText(sTopic.mid(sStatusPrefix.size()));
    QCOMPARE(reported, expected);

    const QJsonObject file = QJsonDocument::fromJson(changed).object();
    QCOMPARE(file.size(), 36);
    QVERIFY2(changed.contains("\n    \""), "the parameter file is not indented");
    QCOMPARE(file.value("manualTAms").toObject(), QJsonObject({ { "value", 8.5 } }));

    m_pPanel->m_messages.clear();
    m_pPanel->Send(sControlTopic, R"({"load-defaults":{"value":true}})");
    QCOMPARE(RequestUpload(), defaults);
    QCOMPARE(m_pPanel->Topics(sStatusPrefix).size(), 36);

    m_pPanel->Send(sSetTopic, changed);
    QCOMPARE(RequestUpload(), changed);
}

void TestCameraSim::captureUploadsBuffersThenResult_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("fail");
    QTest::addColumn<int>("mux");
    QTest::addColumn<QStringList>("buffers");
    QTest::addColumn<QString>("result");

    QTest::newRow("sensor") << "AR0239" << false << 1 << QStringList { "t1", "t2", "t3", "meta" } << "0";
    QTest::newRow("sensor, AR0233") << "AR0233" << false << 1 << QStringList { "ldr", "meta" } << "0";
    QTest::newRow("HDMI") << "AR0239" << false << 2 << QStringList { "hdmi", "meta" } << "0";
    QTest::newRow("failing") << "AR0239" << true << 1 << QStringList() << "255";
}

void TestCameraSim::captureUploadsBuffersThenResult()
{
    QFETCH(QString, model);
    QFETCH(bool, fail);
    QFETCH(int, mux);
    QFETCH(QStringList, buffers);
    QFETCH(QString, result);

    StartCamera(model, fail);
    m_pPanel->Send(sSetTopic, QStringLiteral(R"({"capture":{"value":%1}})").arg(mux).toUtf8());
    QVERIFY(m_pPanel->WaitFor(sStatusPrefix + "capture"));
    QCOMPARE(m_pPanel->StatusText("capture"), result);
    // The uploads come first: the result is the last thing the panel sees.
    QStringList sent;
    for (const QString& sTopic : m_pPanel->Topics("/hdr/"))
        sent << sTopic.mid(sTopic.lastIndexOf('/') + 1);
    QCOMPARE(sent, QStringList { "parameters" } + buffers + QStringList { "capture" });

    for (const QString& sBuffer : buffers.mid(0, buffers.size() - 1)) {
        QByteArray bytes = m_pPanel->Last(sCapturePrefix + sBuffer);
        QBuffer device(&bytes);
        QImageReader reader(&device);
        QCOMPARE(reader.format(), QByteArray("tiff"));
        QVERIFY2(reader.read().width() >= 640, qPrintable(sBuffer + ": " + reader.errorString()));
    }
    if (!fail) {
        const QJsonObject meta = QJsonDocument::fromJson(m_pPanel->Last(sCapturePrefix + "meta")).object();
        QCOMPARE(meta.value("mux").toInt(), mux);
        QCOMPARE(meta.value("sensor_model").toString(), model);
    }

    // Never retained: a panel that connects later must not take it for a capture of its own.
    PanelClient late;
    QVERIFY(late.Connect(m_pBroker->port()) && late.Sync());
    QVERIFY(late.Topics(sStatusPrefix + "capture").isEmpty());
}

void TestCameraSim::garbageChangesNothing_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");

    QByteArray binary;
    for (int i = 0; i < 1024; ++i)
        binary.append(char(i * 37));
    const QByteArray huge = R"({"gamma":{"value":")" + QByteArray(4 << 20, 'x') + "\"}}";

    QTest::newRow("empty") << sSetTopic << QByteArray();
    QTest::newRow("binary") << sSetTopic << binary;
    QTest::newRow("truncated") << sSetTopic << QByteArray(R"({"gamma":{"value":1)");
    QTest::newRow("array") << sSetTopic << QByteArray("[1,2,3]");
    QTest::newRow("deep nesting") << sSetTopic << QByteArray(100000, '[');
    QTest::newRow("huge text value") << sSetTopic << huge;
    QTest::newRow("wrong types") << sSetTopic
                                 << QByteArray(R"({"gamma":null,"w":{"value":[3]},"detail":{}})");
    QTest::newRow("unknown name") << sSetTopic << QByteArray(R"({"Gamma":{"value":3}})");
    QTest::newRow("capture 3") << sSetTopic << QByteArray(R"({"capture":{"value":3}})");
    QTest::newRow("command binary") << sControlTopic << binary;
    QTest::newRow("command false") << sControlTopic << QByteArray(R"({"load-defaults":{"value":false}})");
    QTest::newRow("unknown command") << sControlTopic << QByteArray(R"({"reboot":{"value":true}})");
}

void TestCameraSim::garbageChangesNothing()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);

    StartCamera();
    m_pPanel->Send(sSetTopic, R"({"gamma":{"value":2}})");
    const QByteArray before = RequestUpload();
    m_pPanel->m_messages.clear();

    m_pPanel->Send(topic, payload);
    QCOMPARE(RequestUpload(), before);
    QCOMPARE(m_pPanel->Topics(sUploadTopic).size(), 1);
    QVERIFY(m_pPanel->Topics(sCapturePrefix).isEmpty());
    QVERIFY(m_pPanel->Topics(sStatusPrefix + "capture").isEmpty());
}

void TestCameraSim::processEndReportsOffline_data()
{
    QTest::addColumn<int>("signal");

    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGKILL, the broker's last will") << int(SIGKILL);
}

void TestCameraSim::processEndReportsOffline()
{
    QFETCH(int, signal);

    // Started before its broker: it has to keep retrying.
    const quint16 nPort = m_pBroker->port();
    m_pBroker->stop();
    QProcess sim;
    sim.start(KAVRO_CAMERA_SIM, { "--port", QString::number(nPort), "--log-interval-ms", "50" });
    QVERIFY(sim.waitForStarted());
    QVERIFY(m_pBroker->start());
    const QByteArray connected
        = "kavro-camera-sim: connected to 127.0.0.1:" + QByteArray::number(nPort) + "\n";
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += sim.readAllStandardOutput()).contains(connected), 10000);
    QVERIFY(m_pPanel->Connect(nPort));
    QVERIFY(m_pPanel->WaitFor("/hdr/status/logs"));
    QVERIFY(QRegularExpression("^kavro: exposure 1\\.00 ms, gain 1\\.00, temperature \\d+\\.\\d C$")
                .match(m_pPanel->Last("/hdr/status/logs"))
                .hasMatch());

    ::kill(pid_t(sim.processId()), signal);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0, signal != SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(
        m_pPanel->StatusText("connection_status"), QStringLiteral("\"offline\""), 10000);
    PanelClient late;
    QVERIFY(late.Connect(nPort));
    QCOMPARE(late.StatusText("connection_status"), QStringLiteral("\"offline\""));
}

QTEST_MAIN(TestCameraSim)
#include "tst_camerasim.moc"

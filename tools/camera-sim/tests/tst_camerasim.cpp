#include "tools/camera-sim/kavrotopics.h"
#include "windowtest.h"

// A step takes up to about 3 s on a loaded two-core machine under sanitizers (a capture, the camera's exit
// with its leak check); this is ten times that.
constexpr int kWaitMs = 30000;

// The camera executable against a private broker, what a panel relies on beyond what the end-to-end test
// shows through a real panel. The test plays the panel: it subscribes to everything under /hdr once the
// camera has announced itself, so what it gets first was retained.
class TestCameraSim : public QObject
{
    Q_OBJECT

private slots:
    void camera_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("uploads");
        QTest::addColumn<int>("signal"); // ends the camera
        QTest::newRow("LDR sensor") << "--sensor-model=AR0233" << QStringList { "ldr", "meta" }
                                    << int(SIGINT);
        QTest::newRow("failing capture") << "--fail-capture" << QStringList() << int(SIGTERM);
    }
    // A parameter file is applied member by member in key order, each member reported also when clamped or
    // refused (no such choice, read-only, text). Defaults reports every parameter; an upload sent back
    // restores what it holds; garbage on either topic changes nothing and starts no capture. A capture then
    // uploads its images and then "meta" before its result, 0, or 255 when it failed: the result is the last
    // thing the panel sees. SIGINT and SIGTERM end the camera cleanly.
    void camera()
    {
        QFETCH(QString, option);
        QFETCH(QStringList, uploads);
        QFETCH(int, signal);
        QVERIFY(StartCamera({ option }));
        const QByteArray defaults = Upload();
        const QByteArray file = R"({ "gamma": { "value": 1.5 }, "manualTAms": { "value": 100 },
    "blue/yellow": -0.5, "yNoiseThresh": { "value": -3 }, "flipXY": { "value": true }, "freq": { "value": 55 },
    "osdhist": { "value": 1 }, "aroGlobalGain": { "value": "2" } })";
        m_pPanel->clear();
        m_pPanel->publish(kParamsSetTopic, file);
        const QByteArray changed = Upload();
        QCOMPARE(Topics(kStatusPrefix), QJsonDocument::fromJson(file).object().keys());
        QCOMPARE(Values(Topics(kStatusPrefix)), "1 -0.5 true 50 1.5 16.66 0 0");

        m_pPanel->clear();
        m_pPanel->publish(kControlSetTopic, R"({"load-defaults":{"value":true}})");
        QCOMPARE(Upload(), defaults);
        QCOMPARE(Topics(kStatusPrefix).size(), 36);
        m_pPanel->publish(kParamsSetTopic, changed);
        QCOMPARE(Upload(), changed);

        const QByteArrayList garbage { {}, "[1,2,3]", QByteArray::fromHex("00c3ff7b22e2809f"),
            QByteArray::fromHex("7bff00"), "{\"gamma\":{\"value\":1", QByteArray(100000, '['),
            "{\"gamma\":{\"value\":\"" + QByteArray(4 << 20, 'x') + "\"}}",
            R"({"gamma":null,"w":{"value":[3]},"detail":{}})",
            R"({"capture":{"value":3},"Gamma":{"value":3}})",
            R"({"load-defaults":{"value":false},"reboot":{"value":true}})" };
        for (const QByteArray& payload : garbage) { // to either topic
            m_pPanel->publish(kParamsSetTopic, payload);
            m_pPanel->publish(kControlSetTopic, payload);
        }
        QCOMPARE(Upload(), changed);
        QCOMPARE(Topics("/hdr").filter("capture"), QStringList());

        m_pPanel->publish(kParamsSetTopic, R"({"capture":{"value":1}})");
        QTRY_COMPARE_WITH_TIMEOUT(m_pPanel->messages().last().topic, kStatusPrefix + "capture", kWaitMs);
        QCOMPARE(Topics(kCapturePrefix), uploads);
        QCOMPARE(Values({ "capture" }), uploads.isEmpty() ? "255" : "0");
        StopCamera(signal);
    }

private:
    // Ends a camera of the test before that still runs. Started before its broker, the camera has to keep
    // retrying. It prints a line once it has announced itself.
    bool StartCamera(const QStringList& options)
    {
        m_pCamera = std::make_unique<QProcess>();
        m_pBroker = std::make_unique<MosquittoBroker>();
        if (!m_pBroker->start())
            return false;
        m_pBroker->stop();
        m_pCamera->setProcessChannelMode(QProcess::ForwardedErrorChannel); // its warnings, sanitizer reports
        m_pCamera->start(KAVRO_CAMERA_SIM,
            QStringList { "--port", QString::number(m_pBroker->port()), "--log-interval-ms", "0" } + options);
        return m_pCamera->waitForStarted() && m_pBroker->start() && m_pCamera->waitForReadyRead(kWaitMs)
            && Subscribe();
    }
    // Ends the camera with the signal: it exits cleanly, and a panel that comes later is told "offline".
    void StopCamera(int nSignal)
    {
        // A camera that has already ended has process id 0, and kill(0, ...) would signal the whole process
        // group: the test runner and every test beside this one.
        QCOMPARE(m_pCamera->state(), QProcess::Running);
        ::kill(pid_t(m_pCamera->processId()), nSignal);
        QVERIFY(m_pCamera->waitForFinished(kWaitMs));
        QVERIFY(m_pCamera->exitStatus() == QProcess::NormalExit && m_pCamera->exitCode() == 0);
        QVERIFY(Subscribe());
        QCOMPARE(Values({ "connection_status" }), "offline");
    }
    // A new client, once the retained connection status has arrived.
    bool Subscribe()
    {
        m_pPanel = std::make_unique<TestDevice>();
        return m_pPanel->connectTo(*m_pBroker) && m_pPanel->listen("/hdr/#")
            && QTest::qWaitFor([this] { return !Values({ "connection_status" }).isEmpty(); }, kWaitMs);
    }
    // The topics received under the prefix, without it, in order of arrival.
    QStringList Topics(const QString& sPrefix) const
    {
        QStringList topics;
        for (const TestDevice::Message& message : m_pPanel->messages())
            if (message.topic.startsWith(sPrefix))
                topics << message.topic.mid(sPrefix.size());
        return topics;
    }
    // The values of the parameters' last reports, e.g. "16.66 true".
    QString Values(const QStringList& names) const
    {
        QStringList values;
        for (const QString& sName : names)
            values << m_pPanel->reported(sName).toVariant().toString();
        return values.join(' ');
    }
    // Asks for the parameter file; everything the camera published before has arrived when it returns.
    QByteArray Upload()
    {
        const int nSeen = Topics(kUploadTopic).size();
        m_pPanel->publish(kControlSetTopic, R"({"upload":{"value":true}})");
        return QTest::qWaitFor([&] { return Topics(kUploadTopic).size() > nSeen; }, kWaitMs)
            ? m_pPanel->last(kUploadTopic)
            : QByteArray();
    }

    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<QProcess> m_pCamera;
    std::unique_ptr<TestDevice> m_pPanel;
};

QTEST_MAIN(TestCameraSim)
#include "tst_camerasim.moc"

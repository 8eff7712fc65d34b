#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {

const QString kSetTopic = QStringLiteral("/hdr/set/parameters");
const QString kControlTopic = QStringLiteral("/hdr/set/controls");
const QString kStatusPrefix = QStringLiteral("/hdr/status/parameters/");
const QString kUploadTopic = QStringLiteral("/hdr/status/upload");
const QString kCapturePrefix = QStringLiteral("/hdr/capture/upload/");
// A step takes up to about 3 s on a loaded two-core machine under sanitizers (a capture, the camera's exit
// with its leak check); this is ten times that.
constexpr int kWaitMs = 30000;

} // namespace

// The camera executable against a private broker. The test plays the panel: it subscribes to everything
// under /hdr and records what arrives.
class TestCameraSim : public QObject
{
    Q_OBJECT

private slots:
    // One session: description, a parameter file, commands, garbage, then a clean exit on SIGTERM.
    void parametersFilesAndCommands()
    {
        QVERIFY(StartCamera());
        // The panel subscribed after the camera had announced itself: all of this was retained.
        QVERIFY(WaitFor(kStatusPrefix, 37) && WaitFor("/hdr/config/"));
        const QJsonDocument description = QJsonDocument::fromJson(m_last.value("/hdr/config/parameters"));
        QCOMPARE(description.object().size(), 36 + 4);
        QCOMPARE(description["sensor_type"]["model"], QJsonValue("AR0239"));
        QCOMPARE(Values({ "connection_status", "manualTAms" }), QStringLiteral("\"active\" 1"));

        const QByteArray defaults = Upload();
        const QByteArray file = R"({ "gamma": { "value": 1.5 }, "manualTAms": { "value": 100 },
    "blue/yellow": -0.5, "yNoiseThresh": { "value": -3 }, "flipXY": { "value": true }, "freq": { "value": 55 },
    "osdhist": { "value": 1 }, "aroGlobalGain": { "value": "2" } })";
        m_topics.clear();
        m_pClient->publish(kSetTopic, file);
        const QByteArray changed = Upload();
        // Each member is reported, in key order, also when clamped or refused (no such choice, read-only,
        // text).
        const QStringList names = QJsonDocument::fromJson(file).object().keys();
        QCOMPARE(Topics(kStatusPrefix), names);
        QCOMPARE(Values(names), QStringLiteral("1 -0.5 true 50 1.5 16.66 0 0"));

        m_topics.clear();
        m_pClient->publish(kControlTopic, R"({"load-defaults":{"value":true}})");
        QCOMPARE(Upload(), defaults);
        QCOMPARE(Topics(kStatusPrefix).size(), 36);
        m_pClient->publish(kSetTopic, changed);
        QCOMPARE(Upload(), changed);

        const QList<QPair<QString, QByteArray>> garbage { { kSetTopic, {} }, { kSetTopic, "[1,2,3]" },
            { kSetTopic, QByteArray::fromHex("00c3ff7b22e2809f") },
            { kControlTopic, QByteArray::fromHex("7bff00") }, { kSetTopic, "{\"gamma\":{\"value\":1" },
            { kSetTopic, QByteArray(100000, '[') },
            { kSetTopic, "{\"gamma\":{\"value\":\"" + QByteArray(4 << 20, 'x') + "\"}}" },
            { kSetTopic, R"({"gamma":null,"w":{"value":[3]},"detail":{}})" },
            { kSetTopic, R"({"capture":{"value":3},"Gamma":{"value":3}})" },
            { kControlTopic, R"({"load-defaults":{"value":false},"reboot":{"value":true}})" } };
        for (const auto& [sTopic, payload] : garbage)
            m_pClient->publish(sTopic, payload);
        QCOMPARE(Upload(), changed);
        QCOMPARE(Topics("/hdr/capture/") + Topics(kStatusPrefix + "capture"), QStringList());
        StopCamera(SIGTERM);
    }

    void captureUploadsBuffersThenResult_data()
    {
        QTest::addColumn<int>("signal"); // ends the camera
        QTest::addColumn<QString>("uploads"); // HDMI is asked for with 2, the sensor with 1
        QTest::addColumn<QString>("options");
        QTest::newRow("sensor") << int(SIGINT) << "t1 t2 t3 meta" << QString();
        QTest::newRow("AR0233") << int(SIGTERM) << "ldr meta" << QString("--sensor-model AR0233");
        QTest::newRow("HDMI, killed") << int(SIGKILL) << "hdmi meta" << QString();
        QTest::newRow("failing") << int(SIGTERM) << "" << QString("--fail-capture");
    }
    void captureUploadsBuffersThenResult()
    {
        QFETCH(int, signal);
        QFETCH(QString, uploads);
        QFETCH(QString, options);
        QVERIFY(StartCamera(options.split(' ', Qt::SkipEmptyParts)));
        const int nMux = uploads.startsWith("hdmi") ? 2 : 1;
        m_pClient->publish(kSetTopic, QStringLiteral(R"({"capture":{"value":%1}})").arg(nMux).toUtf8());
        // The uploads come first: the result is the last thing the panel sees.
        QTRY_COMPARE_WITH_TIMEOUT(m_topics.last(), kStatusPrefix + "capture", kWaitMs);
        QCOMPARE(Topics(kCapturePrefix).join(' '), uploads);
        QCOMPARE(Values({ "capture" }), uploads.isEmpty() ? "255" : "0");
        for (const QString& sBuffer : uploads.split(' ').mid(0, uploads.count(' ')))
            QVERIFY(!QImage::fromData(m_last.value(kCapturePrefix + sBuffer), "TIFF").isNull());
        const QJsonDocument meta = QJsonDocument::fromJson(m_last.value(kCapturePrefix + "meta"));
        QCOMPARE(meta["images"][0]["buffer"].toString(), uploads.section(' ', 0, 0));
        StopCamera(signal);
    }

    // Nothing of a test, failed or not, is left to the next one.
    void cleanup()
    {
        m_pClient.reset();
        m_pSim.reset(); // kills a camera still running
        m_pBroker.reset();
    }

private:
    // Started before its broker, the camera has to keep retrying. It prints a line once it has announced
    // itself; the panel subscribes after that.
    bool StartCamera(const QStringList& options = {})
    {
        m_pBroker = std::make_unique<MosquittoBroker>();
        if (!m_pBroker->start()) {
            qWarning() << m_pBroker->errorString();
            return false;
        }
        m_pBroker->stop();
        m_pSim = std::make_unique<QProcess>();
        m_pSim->setProcessChannelMode(QProcess::ForwardedErrorChannel); // its warnings and sanitizer reports
        m_pSim->start(KAVRO_CAMERA_SIM,
            QStringList { "--port", QString::number(m_pBroker->port()), "--log-interval-ms", "0" } + options);
        return m_pSim->waitForStarted() && m_pBroker->start() && m_pSim->waitForReadyRead(kWaitMs)
            && Subscribe();
    }
    // Ends the camera with the signal: it exits cleanly unless killed, and a late panel is told "offline".
    void StopCamera(int nSignal)
    {
        // A camera that has already ended has process id 0, and kill(0, ...) would signal the whole process
        // group: the test runner and every test beside this one.
        QCOMPARE(m_pSim->state(), QProcess::Running);
        ::kill(pid_t(m_pSim->processId()), nSignal);
        QVERIFY(m_pSim->waitForFinished(kWaitMs));
        QCOMPARE(m_pSim->exitStatus() == QProcess::NormalExit && m_pSim->exitCode() == 0, nSignal != SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(Values({ "connection_status" }), QStringLiteral("\"offline\""), kWaitMs);
        QVERIFY(Subscribe() && Values({ "connection_status" }) == QLatin1String("\"offline\""));
    }
    // Connects a new client and waits until the retained connection status has arrived.
    bool Subscribe()
    {
        m_topics.clear();
        m_last.clear();
        m_pClient = std::make_unique<QMqttClient>();
        m_pClient->setHostname(m_pBroker->host());
        m_pClient->setPort(m_pBroker->port());
        connect(m_pClient.get(), &QMqttClient::messageReceived, this,
            [this](const QByteArray& payload, const QMqttTopicName& topic) {
                m_topics << topic.name();
                m_last[topic.name()] = payload;
            });
        m_pClient->connectToHost();
        return QTest::qWaitFor([this] { return m_pClient->state() == QMqttClient::Connected; }, kWaitMs)
            && m_pClient->subscribe(QStringLiteral("/hdr/#")) && WaitFor(kStatusPrefix + "connection_status");
    }
    bool WaitFor(const QString& sPrefix, int nCount = 1)
    {
        return QTest::qWaitFor([&] { return Topics(sPrefix).size() >= nCount; }, kWaitMs);
    }
    // The topics received under the prefix, without it, in order of arrival.
    QStringList Topics(const QString& sPrefix) const
    {
        return m_topics.filter(QRegularExpression('^' + sPrefix)).replaceInStrings(sPrefix, QString());
    }
    // The values of the parameters' last status records as written on the wire, e.g. "16.66 true".
    QString Values(const QStringList& names) const
    {
        static const QRegularExpression value(QStringLiteral("\"value\":([^,}]*)"));
        QStringList values;
        for (const QString& sName : names)
            values << value.match(QString::fromUtf8(m_last.value(kStatusPrefix + sName))).captured(1);
        return values.join(' ');
    }
    // Asks for the parameter file; everything the camera published before has arrived when it returns.
    QByteArray Upload()
    {
        const int nSeen = Topics(kUploadTopic).size();
        m_pClient->publish(kControlTopic, R"({"upload":{"value":true}})");
        return WaitFor(kUploadTopic, nSeen + 1) ? m_last.value(kUploadTopic) : QByteArray();
    }

    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<QProcess> m_pSim;
    std::unique_ptr<QMqttClient> m_pClient;
    QStringList m_topics;
    QHash<QString, QByteArray> m_last;
};

QTEST_MAIN(TestCameraSim)
#include "tst_camerasim.moc"

#include "csimconnection.h"
#include "csimdevice.h"
#include "mosquittobroker.h"
#include "panelclient.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

namespace {

const QString sSetTopic = QStringLiteral("/hdr/set/parameters");
const QString sControlTopic = QStringLiteral("/hdr/set/controls");
const QString sUploadTopic = QStringLiteral("/hdr/status/upload");
const QString sStatusPrefix = QStringLiteral("/hdr/status/parameters/");

} // namespace

// The camera's device logic and broker link, in this process, against a private broker; a second client
// plays the panel.
class TestCameraSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void setParameterReportsWhatTheCameraUses_data();
    void setParameterReportsWhatTheCameraUses();
    void parameterFileAppliesEveryMember();
    void loadDefaultsAndUploadRoundTrip();
    void garbageChangesNothing_data();
    void garbageChangesNothing();

private:
    // Asks for the parameter file; everything the camera published before it has arrived when it returns.
    QByteArray RequestUpload();

    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<CSimDevice> m_pDevice;
    std::unique_ptr<CSimConnection> m_pConnection;
    std::unique_ptr<PanelClient> m_pPanel;
};

void TestCameraSimDevice::init()
{
    m_pBroker = std::make_unique<MosquittoBroker>();
    QVERIFY2(m_pBroker->start(), qPrintable(m_pBroker->errorString()));
    m_pPanel = std::make_unique<PanelClient>();
    QVERIFY(m_pPanel->Connect(m_pBroker->port()));
    m_pDevice = std::make_unique<CSimDevice>(QStringLiteral("AR0239"), false);
    m_pConnection
        = std::make_unique<CSimConnection>(m_pDevice.get(), m_pBroker->host(), m_pBroker->port(), 0);
    m_pConnection->Start();
    QVERIFY(m_pPanel->WaitFor(sStatusPrefix + QStringLiteral("connection_status")));
    m_pPanel->Clear();
}

void TestCameraSimDevice::cleanup()
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

QByteArray TestCameraSimDevice::RequestUpload()
{
    const int nSeen = m_pPanel->Count(sUploadTopic);
    m_pPanel->Send(sControlTopic, R"({"upload":{"value":true}})");
    if (!m_pPanel->WaitFor(sUploadTopic, nSeen + 1))
        return QByteArray();
    return m_pPanel->Last(sUploadTopic);
}

void TestCameraSimDevice::setParameterReportsWhatTheCameraUses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("reported");

    QTest::newRow("number in range") << "manualTAms" << QByteArray(R"({"manualTAms":{"value":5.5}})")
                                     << "5.5";
    QTest::newRow("number above the bounds")
        << "manualTAms" << QByteArray(R"({"manualTAms":{"value":100}})") << "16.66";
    QTest::newRow("number below the bounds")
        << "manualTAms" << QByteArray(R"({"manualTAms":{"value":-3}})") << "0.02";
    QTest::newRow("far out of range")
        << "yNoiseThresh" << QByteArray(R"({"yNoiseThresh":{"value":1e300}})") << "4095";
    QTest::newRow("negative number") << "gamma" << QByteArray(R"({"gamma":{"value":-1.25}})") << "-1.25";
    QTest::newRow("integral number") << "yNoiseThresh" << QByteArray(R"({"yNoiseThresh":{"value":4000}})")
                                     << "4000";
    QTest::newRow("name with a slash")
        << "blue/yellow" << QByteArray(R"({"blue/yellow":{"value":0.5}})") << "0.5";
    QTest::newRow("bare value") << "gamma" << QByteArray(R"({"gamma":1.5})") << "1.5";
    QTest::newRow("flag") << "flipXY" << QByteArray(R"({"flipXY":{"value":true}})") << "true";
    QTest::newRow("flag written as 1")
        << "autoExpEnable" << QByteArray(R"({"autoExpEnable":{"value":1}})") << "true";
    QTest::newRow("radio choice") << "freq" << QByteArray(R"({"freq":{"value":60}})") << "60";
    QTest::newRow("radio value not offered") << "freq" << QByteArray(R"({"freq":{"value":55}})") << "50";
    QTest::newRow("combo choice") << "highlightMode" << QByteArray(R"({"highlightMode":{"value":5}})") << "5";
    QTest::newRow("combo fraction") << "highlightMode" << QByteArray(R"({"highlightMode":{"value":4.5}})")
                                    << "3";
    QTest::newRow("binary choice") << "DenoiseEn" << QByteArray(R"({"DenoiseEn":{"value":0}})") << "0";
    QTest::newRow("read-only choice") << "osdhist" << QByteArray(R"({"osdhist":{"value":1}})") << "0";
    QTest::newRow("read-only flag") << "tmEnable" << QByteArray(R"({"tmEnable":{"value":false}})") << "true";
    QTest::newRow("disabled flag") << "longExpEnable" << QByteArray(R"({"longExpEnable":{"value":true}})")
                                   << "false";
    QTest::newRow("text for a number")
        << "manualTAms" << QByteArray(R"({"manualTAms":{"value":"2"}})") << "1";
    QTest::newRow("record without a value") << "manualTAms" << QByteArray(R"({"manualTAms":{}})") << "1";
}

void TestCameraSimDevice::setParameterReportsWhatTheCameraUses()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, message);
    QFETCH(QString, reported);

    m_pPanel->Send(sSetTopic, message);
    QVERIFY(m_pPanel->WaitFor(sStatusPrefix + name));
    QCOMPARE(m_pPanel->StatusValueText(name), reported);
}

void TestCameraSimDevice::parameterFileAppliesEveryMember()
{
    const QByteArray file = R"({
    "DenoiseEn": { "value": 0 },
    "aroGlobalGain": { "value": 4 },
    "flipXY": { "value": true },
    "freq": { "value": 60 },
    "green/red": -0.25,
    "highlightMode": { "value": 1 },
    "manualTAms": { "value": 8.5 },
    "osdloc": 3
}
)";
    const QMap<QString, QString> expected { { "DenoiseEn", "0" }, { "aroGlobalGain", "4" },
        { "flipXY", "true" }, { "freq", "60" }, { "green/red", "-0.25" }, { "highlightMode", "1" },
        { "manualTAms", "8.5" }, { "osdloc", "3" } };

    m_pPanel->Send(sSetTopic, file);
    const QJsonObject uploaded = QJsonDocument::fromJson(RequestUpload()).object();

    QCOMPARE(m_pPanel->Topics(sStatusPrefix).size(), expected.size());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QCOMPARE(m_pPanel->StatusValueText(it.key()), it.value());
        QCOMPARE(uploaded.value(it.key()).toObject().value("value"), m_pPanel->StatusValue(it.key()));
    }
}

void TestCameraSimDevice::loadDefaultsAndUploadRoundTrip()
{
    const QByteArray defaults = RequestUpload();
    m_pPanel->Send(sSetTopic,
        R"({"gamma":{"value":2},"flipXY":{"value":true},"osdcolor":{"value":2},)"
        R"("saturation":{"value":-3.5}})");
    const QByteArray changed = RequestUpload();
    QVERIFY(changed != defaults);

    const QJsonObject file = QJsonDocument::fromJson(changed).object();
    QCOMPARE(file.size(), 36);
    QVERIFY2(changed.contains("\n    \""), "the parameter file is not indented");
    for (const QJsonValue& member : file)
        QCOMPARE(member.toObject().keys(), QStringList { "value" });

    m_pPanel->Clear();
    m_pPanel->Send(sControlTopic, R"({"load-defaults":{"value":true}})");
    QCOMPARE(RequestUpload(), defaults);
    QCOMPARE(m_pPanel->Topics(sStatusPrefix).size(), 36);

    m_pPanel->Send(sSetTopic, changed);
    QCOMPARE(RequestUpload(), changed);
}

void TestCameraSimDevice::garbageChangesNothing_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");

    QByteArray binary;
    for (int i = 0; i < 1024; ++i)
        binary.append(char(i * 37));

    QTest::newRow("empty") << sSetTopic << QByteArray();
    QTest::newRow("binary") << sSetTopic << binary;
    QTest::newRow("truncated") << sSetTopic << QByteArray(R"({"gamma":{"value":1)");
    QTest::newRow("array") << sSetTopic << QByteArray("[1,2,3]");
    QTest::newRow("bare number") << sSetTopic << QByteArray("42");
    QTest::newRow("deep nesting") << sSetTopic << QByteArray(100000, '[');
    QTest::newRow("huge text value") << sSetTopic
                                     << QByteArray(R"({"gamma":{"value":")") + QByteArray(4 << 20, 'x')
            + "\"}}";
    QTest::newRow("null member") << sSetTopic << QByteArray(R"({"gamma":null})");
    QTest::newRow("array value") << sSetTopic << QByteArray(R"({"gamma":{"value":[3]}})");
    QTest::newRow("object value") << sSetTopic << QByteArray(R"({"gamma":{"value":{"value":3}}})");
    QTest::newRow("unknown parameter") << sSetTopic << QByteArray(R"({"Gamma":{"value":3}})");
    QTest::newRow("capture out of range") << sSetTopic << QByteArray(R"({"capture":{"value":3}})");
    QTest::newRow("capture as text") << sSetTopic << QByteArray(R"({"capture":{"value":"1"}})");
    QTest::newRow("command empty") << sControlTopic << QByteArray();
    QTest::newRow("command binary") << sControlTopic << binary;
    QTest::newRow("command false") << sControlTopic << QByteArray(R"({"load-defaults":{"value":false}})");
    QTest::newRow("command as text") << sControlTopic << QByteArray(R"({"load-defaults":"yes"})");
    QTest::newRow("unknown command") << sControlTopic << QByteArray(R"({"reboot":{"value":true}})");
}

void TestCameraSimDevice::garbageChangesNothing()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);

    m_pPanel->Send(sSetTopic, R"({"gamma":{"value":2}})");
    const QByteArray before = RequestUpload();
    m_pPanel->Clear();

    m_pPanel->Send(topic, payload);
    QCOMPARE(RequestUpload(), before);
    QCOMPARE(m_pPanel->Count(sUploadTopic), 1);
    QVERIFY(m_pPanel->Topics(QStringLiteral("/hdr/capture/")).isEmpty());
    QCOMPARE(m_pPanel->Count(sStatusPrefix + QStringLiteral("capture")), 0);
}

QTEST_MAIN(TestCameraSimDevice)
#include "tst_camerasim_device.moc"

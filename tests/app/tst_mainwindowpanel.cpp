#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "mosquittobroker.h"
#include "windowtest.h"

#include <QPushButton>
#include <memory>

namespace {

const QString kConnecting = "Broker Disconnected; Status: Connecting to MQTT broker";
const QString kBrokerConnected = "Broker Connected; Status: Connected to MQTT broker";
const QString kDeviceActive = "Device Status: Connected - device active";
const QString kEnded = "Broker Disconnected; Status: ";
const QString kFailedBox
    = "Connection Status | Connection to MQTT Broker failed.\nPlease check the MQTT broker/Kavro device";

} // namespace

// The Connect/Abort/Disconnect panel against a real broker, with the test playing the device.
class TestMainWindowPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectsOnceDeviceIsActive();
    void userDisconnect();
    void silentDeviceEndsAttempt();
    void abortWhileConnecting();
    void brokerLossRaisesAlert();
    void leavingDeviceDropsConnection();
    void closingShowsNoBox_data();
    void closingShowsNoBox();

private:
    bool connectToActiveDevice();
    QPushButton* connectButton() const { return Widget<QPushButton>(m_pWindow.get(), "btnConnect"); }
    bool enabled(const char* sName) const { return m_pWindow->findChild<QWidget*>(sName)->isEnabled(); }

    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<ModalBoxCloser> m_pCloser;
    std::unique_ptr<TestDevice> m_pDevice;
    std::unique_ptr<MainWindow> m_pWindow;
};

void TestMainWindowPanel::init()
{
    // A fresh broker per test: nothing retained from the test before.
    m_pBroker = std::make_unique<MosquittoBroker>();
    QVERIFY2(m_pBroker->start(), qPrintable(m_pBroker->errorString()));
    m_pCloser = std::make_unique<ModalBoxCloser>();
    m_pDevice = std::make_unique<TestDevice>();
    QVERIFY(m_pDevice->connectTo(*m_pBroker));
    m_pWindow = std::make_unique<MainWindow>();
}

void TestMainWindowPanel::cleanup()
{
    m_pWindow.reset();
    m_pDevice.reset();
    m_pCloser.reset();
    m_pBroker.reset();
}

// The device has reported itself active (retained, so the window receives it when it subscribes).
bool TestMainWindowPanel::connectToActiveDevice()
{
    m_pDevice->reportStatus("active");
    ClickConnect(*m_pWindow, *m_pBroker);
    return QTest::qWaitFor([this] { return connectButton()->text() == "Disconnect"; }, 5000);
}

void TestMainWindowPanel::connectsOnceDeviceIsActive()
{
    m_pDevice->publish(
        "/hdr/config/parameters", R"({"manualTAms":{"min-value":0,"max-value":30},"awbEn":{}})", true);
    ClickConnect(*m_pWindow, *m_pBroker);
    QCOMPARE(connectButton()->text(), QStringLiteral("Abort"));
    QTRY_VERIFY(PaneLines(m_pWindow.get()).contains(kBrokerConnected));
    QCOMPARE(connectButton()->text(), QStringLiteral("Abort"));
    QVERIFY(!enabled("loadButton"));

    m_pDevice->reportStatus("active");
    QTRY_COMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
    QCOMPARE(PaneLines(m_pWindow.get()), QStringList({ kConnecting, kBrokerConnected, kDeviceActive }));
    for (const char* sName :
        { "leFileName", "btnLoadDefaults", "loadButton", "saveButton", "highlightsCmbBox" })
        QVERIFY2(enabled(sName), sName);
    QVERIFY(!m_pWindow->findChild<QWidget*>("logoSensorButton")->isHidden());

    // The configuration records enabled exactly the controls they describe.
    QVERIFY(enabled("exposureSlider") && enabled("exposureSpinBox") && enabled("awbCB"));
    QVERIFY(!enabled("gammaSlider"));

    // Nothing ends a connection that the device has confirmed: the 5000 ms check passes quietly.
    QTest::qWait(5500);
    QCOMPARE(connectButton()->text(), QStringLiteral("Disconnect"));
    QCOMPARE(m_pCloser->summary(), QString());
}

void TestMainWindowPanel::userDisconnect()
{
    m_pDevice->publish("/hdr/config/parameters", R"({"gamma":{}})", true);
    QVERIFY(connectToActiveDevice());
    QTRY_VERIFY(enabled("gammaSlider"));

    connectButton()->click();
    QTRY_COMPARE(
        m_pCloser->summary(), QStringLiteral("Connection Status | Connection to MQTT Broker terminated."));
    QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
    QCOMPARE(PaneLines(m_pWindow.get()).last(), kEnded);
    QVERIFY(!enabled("gammaSlider"));
    QVERIFY(!enabled("loadButton"));
    QVERIFY(m_pWindow->findChild<QWidget*>("logoSensorButton")->isHidden());
}

void TestMainWindowPanel::silentDeviceEndsAttempt()
{
    QElapsedTimer clock;
    clock.start();
    ClickConnect(*m_pWindow, *m_pBroker);
    QTRY_VERIFY(PaneLines(m_pWindow.get()).contains(kBrokerConnected));

    QTRY_COMPARE_WITH_TIMEOUT(connectButton()->text(), QStringLiteral("Connect"), 10000);
    QVERIFY2(clock.elapsed() >= 4900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_pCloser->summary(), kFailedBox);
    QCOMPARE(PaneLines(m_pWindow.get()), QStringList({ kConnecting, kBrokerConnected, kEnded }));
}

void TestMainWindowPanel::abortWhileConnecting()
{
    ClickConnect(*m_pWindow, *m_pBroker);
    QTRY_VERIFY(PaneLines(m_pWindow.get()).contains(kBrokerConnected));

    connectButton()->click();
    QTRY_COMPARE(connectButton()->text(), QStringLiteral("Connect"));
    QCOMPARE(m_pCloser->summary(), QStringLiteral("Connection Status | Connection to MQTT Broker aborted."));
}

void TestMainWindowPanel::brokerLossRaisesAlert()
{
    QVERIFY(connectToActiveDevice());
    m_pBroker->stop();

    QTRY_COMPARE(connectButton()->text(), QStringLiteral("Connect"));
    QTRY_COMPARE(m_pCloser->summary(),
        QStringLiteral("Connection Alert | Disconnected from MQTT brokerPlease check "
                       "the MQTT broker/Kavro device"));
    QCOMPARE(PaneLines(m_pWindow.get()).last(),
        QStringLiteral("Broker Disconnected; Status: Disconnected from MQTT broker"));
    QVERIFY(!enabled("loadButton"));
}

void TestMainWindowPanel::leavingDeviceDropsConnection()
{
    QVERIFY(connectToActiveDevice());
    m_pDevice->reportStatus("offline");

    QTRY_COMPARE(connectButton()->text(), QStringLiteral("Connect"));
    QTRY_VERIFY(
        PaneLines(m_pWindow.get())
            .contains("Broker Disconnected; Status: Device unavailable; Disconnected from MQTT broker"));
    QCOMPARE(m_pCloser->count(), 1);
    QCOMPARE(m_pCloser->boxes().at(0).title, QStringLiteral("Connection Alert"));
    QVERIFY(!enabled("loadButton"));
}

void TestMainWindowPanel::closingShowsNoBox_data()
{
    QTest::addColumn<bool>("deviceActive");
    QTest::newRow("while connecting") << false;
    QTest::newRow("while connected") << true;
}

void TestMainWindowPanel::closingShowsNoBox()
{
    QFETCH(bool, deviceActive);

    if (deviceActive) {
        QVERIFY(connectToActiveDevice());
    } else {
        ClickConnect(*m_pWindow, *m_pBroker);
        QTRY_VERIFY(PaneLines(m_pWindow.get()).contains(kBrokerConnected));
    }
    m_pWindow.reset();
    QTest::qWait(100);
    QCOMPARE(m_pCloser->summary(), QString());
}

OMBIX_GUI_TEST_MAIN(TestMainWindowPanel)
#include "tst_mainwindowpanel.moc"

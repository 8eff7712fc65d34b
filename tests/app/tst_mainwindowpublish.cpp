#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "mosquittobroker.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSlider>
#include <memory>

namespace {

const QString kParamsTopic = "/hdr/set/parameters";

} // namespace

// What a user edit sends, as a subscriber on the broker sees it: at once, delayed and gathered, or not at
// all when the edit came from the device.
class TestMainWindowPublish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void sliderReleaseSendsAtOnce();
    void spinBoxBurstSendsLatestValueOnce();
    void loneSpinBoxEditWaits();
    void burstOverTwoParametersSendsInNameOrder();
    void buttonEditsAreNeverDelayed();
    void deviceDataPublishesNothing_data();
    void deviceDataPublishesNothing();
    void conversionErrorLeavesPublishingWorking();
    void commandsAndDeviceStartedCapture();

private:
    void releaseSlider(const char* sName, bool bAtMaximum);
    QDoubleSpinBox* spinBox(const char* sName) const
    {
        return Widget<QDoubleSpinBox>(m_pWindow.get(), sName);
    }
    QList<QByteArray> payloadsOn(const QString& sTopic) const;
    qint64 now() { return m_pDevice->clock().elapsed(); }

    MosquittoBroker m_broker;
    std::unique_ptr<ModalBoxCloser> m_pCloser;
    std::unique_ptr<TestDevice> m_pDevice;
    std::unique_ptr<MainWindow> m_pWindow;
};

void TestMainWindowPublish::initTestCase()
{
    QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
    m_pCloser = std::make_unique<ModalBoxCloser>();
    m_pDevice = std::make_unique<TestDevice>();
    QVERIFY(m_pDevice->connectTo(m_broker));
    QVERIFY(m_pDevice->listen("/hdr/set/#"));
    m_pDevice->reportStatus("active");

    m_pWindow = std::make_unique<MainWindow>();
    ClickConnect(*m_pWindow, m_broker);
    QTRY_COMPARE(Widget<QPushButton>(m_pWindow.get(), "btnConnect")->text(), QStringLiteral("Disconnect"));

    for (const char* sParamName : { "manualTAms", "saturation", "brightness", "detail", "awbEn", "awbUnity" })
        ConfigRecord(*m_pWindow, sParamName, "{}");
    ConfigRecord(*m_pWindow, "manualTAms", R"({"min-value":0,"max-value":20})");
    ConfigRecord(*m_pWindow, "saturation", R"({"min-value":-8,"max-value":8})");
    ConfigRecord(*m_pWindow, "brightness", R"({"min-value":-1.5,"max-value":0})");
    ConfigRecord(*m_pWindow, "detail", R"({"min-value":-8,"max-value":8})");
}

void TestMainWindowPublish::init() { m_pDevice->clear(); }

void TestMainWindowPublish::cleanup() { QCOMPARE(m_pCloser->summary(), QString()); }

void TestMainWindowPublish::cleanupTestCase()
{
    m_pWindow.reset();
    m_pDevice.reset();
}

// A drag of the handle to one end, released there.
void TestMainWindowPublish::releaseSlider(const char* sName, bool bAtMaximum)
{
    QSlider* pSlider = Widget<QSlider>(m_pWindow.get(), sName);
    pSlider->setSliderDown(true);
    pSlider->setSliderPosition(bAtMaximum ? pSlider->maximum() : pSlider->minimum());
    pSlider->setSliderDown(false);
}

QList<QByteArray> TestMainWindowPublish::payloadsOn(const QString& sTopic) const
{
    QList<QByteArray> result;
    for (const TestDevice::Message& message : m_pDevice->messages()) {
        if (message.topic == sTopic)
            result << message.payload;
    }
    return result;
}

void TestMainWindowPublish::sliderReleaseSendsAtOnce()
{
    const qint64 nReleased = now();
    releaseSlider("exposureSlider", true);
    QTRY_COMPARE(payloadsOn(kParamsTopic), QList<QByteArray>({ R"({"manualTAms":{"value":20}})" }));
    QVERIFY(m_pDevice->messages().constFirst().nAtMs - nReleased < 500);
    QCOMPARE(spinBox("exposureSpinBox")->value(), 20.0);

    releaseSlider("exposureSlider", false);
    QTRY_COMPARE(m_pDevice->payloads().size(), 2);
    QCOMPARE(m_pDevice->payloads().at(1), QByteArray(R"({"manualTAms":{"value":0}})"));

    // The spin box followed the slider without sending anything of its own later.
    QTest::qWait(1500);
    QCOMPARE(m_pDevice->payloads().size(), 2);
}

void TestMainWindowPublish::spinBoxBurstSendsLatestValueOnce()
{
    QDoubleSpinBox* pSpinBox = spinBox("saturationSpinBox");
    pSpinBox->setValue(1.5);
    QTest::qWait(200);
    const qint64 nSecondEdit = now();
    pSpinBox->setValue(2.5);
    QTest::qWait(200);
    const qint64 nThirdEdit = now();
    pSpinBox->setValue(3.5);

    // The second edit scheduled a send 750 ms ahead; it carries the third value. The calls scheduled by the
    // first and the third edit find nothing left to send.
    QTRY_COMPARE(m_pDevice->payloads().size(), 1);
    QCOMPARE(m_pDevice->payloads().at(0), QByteArray(R"({"saturation":{"value":3.5}})"));
    const qint64 nSent = m_pDevice->messages().at(0).nAtMs;
    QVERIFY2(nSent - nSecondEdit >= 700 && nSent - nThirdEdit < 750,
        qPrintable(QString::number(nSent - nSecondEdit)));
    QTest::qWait(int(nThirdEdit + 750 + 400 - now()));
    QCOMPARE(m_pDevice->payloads().size(), 1);
}

void TestMainWindowPublish::loneSpinBoxEditWaits()
{
    const qint64 nEdit = now();
    spinBox("detailSpinBox")->setValue(-2.25);
    QTRY_COMPARE_WITH_TIMEOUT(m_pDevice->payloads().size(), 1, 3000);
    QCOMPARE(m_pDevice->payloads().at(0), QByteArray(R"({"detail":{"value":-2.25}})"));
    const qint64 nDelay = m_pDevice->messages().at(0).nAtMs - nEdit;
    QVERIFY2(nDelay >= 1200 && nDelay < 1700, qPrintable(QString::number(nDelay)));
}

void TestMainWindowPublish::burstOverTwoParametersSendsInNameOrder()
{
    spinBox("saturationSpinBox")->setValue(-4.5);
    spinBox("brightnessSpinBox")->setValue(-0.5);
    QTRY_COMPARE(m_pDevice->payloads().size(), 2);
    QCOMPARE(m_pDevice->payloads(),
        QList<QByteArray>({ R"({"brightness":{"value":-0.5}})", R"({"saturation":{"value":-4.5}})" }));
}

void TestMainWindowPublish::buttonEditsAreNeverDelayed()
{
    const qint64 nClicked = now();
    Widget<QAbstractButton>(m_pWindow.get(), "awbCB")->click();
    Widget<QAbstractButton>(m_pWindow.get(), "awbCB")->click();
    // The unity button is a plain push button: every click reports false.
    Widget<QAbstractButton>(m_pWindow.get(), "unityButton")->click();
    Widget<QAbstractButton>(m_pWindow.get(), "unityButton")->click();

    QTRY_COMPARE(m_pDevice->payloads().size(), 4);
    QCOMPARE(m_pDevice->payloads(),
        QList<QByteArray>({ R"({"awbEn":{"value":true}})", R"({"awbEn":{"value":false}})",
            R"({"awbUnity":{"value":false}})", R"({"awbUnity":{"value":false}})" }));
    QVERIFY(m_pDevice->messages().constLast().nAtMs - nClicked < 500);
}

void TestMainWindowPublish::deviceDataPublishesNothing_data()
{
    QTest::addColumn<QString>("topicName");
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<double>("shown");

    // The new lower bound pushes the spin box up from 0; the control reports that as an edit.
    QTest::newRow("configuration moves the spin box")
        << "params_config"
        << "detail" << QByteArray(R"({"min-value":2,"max-value":8})") << 2.0;
    QTest::newRow("status value") << "params_status"
                                  << "manualTAms" << QByteArray(R"({"value":12.5})") << 12.5;
}

void TestMainWindowPublish::deviceDataPublishesNothing()
{
    QFETCH(QString, topicName);
    QFETCH(QString, paramName);
    QFETCH(QByteArray, json);
    QFETCH(double, shown);

    const QMap<QString, const char*> spinBoxes
        = { { "detail", "detailSpinBox" }, { "manualTAms", "exposureSpinBox" } };
    if (topicName == "params_config")
        StatusRecord(*m_pWindow, paramName, R"({"value":0})");
    m_pDevice->clear();

    m_pWindow->DataUpdate(topicName, "/hdr/x", "parameters", paramName, Record(json));
    QCOMPARE(spinBox(spinBoxes.value(paramName))->value(), shown);
    QTest::qWait(1600);
    QCOMPARE(m_pDevice->payloads(), QList<QByteArray>());
}

void TestMainWindowPublish::conversionErrorLeavesPublishingWorking()
{
    StatusRecord(*m_pWindow, "manualTAms", R"({"value":0,"min-value":0,"max-value":20})");
    ConfigRecord(*m_pWindow, "manualTAms", R"({"min-value":0,"max-value":50,"disabled":"maybe"})");
    QVERIFY(PaneLines(m_pWindow.get()).last().endsWith("Error converting [maybe] to bool"));
    releaseSlider("exposureSlider", true);
    QTRY_COMPARE(m_pDevice->payloads(), QList<QByteArray>({ R"({"manualTAms":{"value":20}})" }));
}

void TestMainWindowPublish::commandsAndDeviceStartedCapture()
{
    Widget<QAbstractButton>(m_pWindow.get(), "btnLoadDefaults")->click();
    StatusRecord(*m_pWindow, "capture", R"({"value":2})");

    QTRY_COMPARE(m_pDevice->messages().size(), 2);
    QCOMPARE(m_pDevice->messages().at(0).topic, QStringLiteral("/hdr/set/controls"));
    QCOMPARE(m_pDevice->messages().at(0).payload, QByteArray(R"({"load-defaults":{"value":true}})"));
    QCOMPARE(m_pDevice->messages().at(1).topic, kParamsTopic);
    QCOMPARE(m_pDevice->messages().at(1).payload, QByteArray(R"({"capture":{"value":2}})"));
}

OMBIX_GUI_TEST_MAIN(TestMainWindowPublish)
#include "tst_mainwindowpublish.moc"

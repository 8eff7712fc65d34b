#include "app/mainwindow.h"
#include "dialogs/capturedialog.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "mosquittobroker.h"
#include "windowtest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtMath>
#include <csignal>
#include <memory>

namespace {

// The widgets of the 36 parameter controls, in registration order, and the parameters of the spin boxes
// among them, in the same order.
const QStringList sControlWidgets = QStringLiteral(
    "tonemapCB midBoostCB deltaEvCB accmCB unityButton sysFreq50RB sysFreq60RB "
    "autoGainButton flipImageCB sensorGainSlider sensorGainSpinBox exposureSlider "
    "exposureSpinBox brightnessSlider brightnessSpinBox gammaSlider gammaSpinBox detailSlider "
    "detailSpinBox saturationSlider saturationSpinBox blueYellowSlider blueYellowSpinBox "
    "greenRedSlider greenRedSpinBox blackFixSlider blackFixSpinBox vgCompSlider vgCompSpinBox "
    "AESpeedSlider AESpeedSpinBox awbCB highlightsCmbBox autoExpCB longExpCB lfmExpCB "
    "deltMaxSpinBox whtLvlSpinBox blkLvlSpinBox denoiseEnableCB yThreshSlider yThreshSpinBox "
    "crcbThreshSlider crcbThreshSpinBox histoEnButton histoColorCmbBox histoFoiCmbBox "
    "histoLocCmbBox wSlider wSpinBox blackLevelSlider blackLevelSpinBox")
                                        .split(' ');
const QStringList sNumbers
    = QStringLiteral("aroGlobalGain manualTAms brightness gamma detail saturation blue/yellow green/red "
                     "blackfix vgComp aeSpeed awbDeltaMax awbWhiteLevel awbBlackLevel yNoiseThresh "
                     "crcbNoiseThresh w blackLevel")
          .split(' ');
// The control widgets of the parameters that the camera describes as read-only or disabled.
const QStringList sLocked { "tonemapCB", "longExpCB", "lfmExpCB", "histoEnButton" };
const QString sCheck = QStringLiteral("Please check the MQTT broker/Kavro device");

} // namespace

// The whole panel against a private broker and the simulated camera, which runs as a process of its own.
// The real main window is driven through its widgets; a second client watches the traffic on the broker.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_pBroker = std::make_unique<MosquittoBroker>();
        QVERIFY2(m_pBroker->start(), qPrintable(m_pBroker->errorString()));
        m_pCamera = std::make_unique<QProcess>();
        m_pCamera->start(
            KAVRO_CAMERA_SIM, { "--port", QString::number(m_pBroker->port()), "--log-interval-ms", "200" });
        // It prints a line once it has announced itself.
        QVERIFY(m_pCamera->waitForStarted() && m_pCamera->waitForReadyRead(10000));
        m_pTraffic = std::make_unique<TestDevice>();
        QVERIFY(m_pTraffic->connectTo(*m_pBroker) && m_pTraffic->listen("/hdr/#"));
        QTRY_VERIFY(!(m_description = QJsonDocument::fromJson(Last("/hdr/config/parameters"))).isNull());
        m_pCloser = std::make_unique<ModalBoxCloser>();
        // The capture dialog keeps its files in the folder that is current when the window is built.
        m_pDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_pDir->path()));
        m_pWindow = std::make_unique<MainWindow>();
        m_pWindow->show();
        ClickConnect(*m_pWindow, *m_pBroker);
        QTRY_COMPARE_WITH_TIMEOUT(Text("btnConnect"), QStringLiteral("Disconnect"), 10000);
    }
    void cleanup()
    {
        m_pWindow.reset();
        m_pCamera->terminate();
        QVERIFY(m_pCamera->waitForFinished(10000) || m_pCamera->state() == QProcess::NotRunning);
        m_pCamera.reset();
        m_pTraffic.reset();
        m_pCloser.reset();
        m_pBroker.reset();
    }

    // Every control takes the camera's bounds, values and state; the camera's log reaches the pane. A
    // slider edit goes out once and the camera's report comes back; Defaults brings back its defaults.
    // Nothing the camera reports is sent back to it.
    void controlsFollowTheCamera()
    {
        QTRY_COMPARE(Mismatches(), QStringList());
        QTRY_VERIFY(!PaneLines(m_pWindow.get()).filter(QRegularExpression("^kavro: exposure")).isEmpty());

        m_pTraffic->clear();
        auto* pSpinBox = Widget<QDoubleSpinBox>(m_pWindow.get(), "exposureSpinBox");
        QTest::keyClick(Widget<QSlider>(m_pWindow.get(), "exposureSlider"), Qt::Key_PageUp);
        // The camera gets the slider's value, which the spin box shows to within 0.001.
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(Reported("manualTAms").toDouble() - pSpinBox->value()) <= 0.001, 5000);
        QVERIFY2(pSpinBox->value() > 1.0, qPrintable(pSpinBox->text()));

        Widget<QPushButton>(m_pWindow.get(), "btnLoadDefaults")->click();
        QTRY_COMPARE(pSpinBox->value(), 1.0);
        QTRY_COMPARE(Mismatches(), QStringList());
        // A spin-box edit made now goes out with, or after, any edit the window still holds back.
        auto* pMarker = Widget<QDoubleSpinBox>(m_pWindow.get(), "yThreshSpinBox");
        pMarker->setValue(pMarker->value() < 2000 ? pMarker->value() + 40 : pMarker->value() - 40);
        QStringList commands;
        QTRY_VERIFY_WITH_TIMEOUT((commands = Commands()).filter("yNoiseThresh").size() == 1, 10000);
        commands = commands.mid(0, commands.indexOf(commands.filter("yNoiseThresh").first()));
        QVERIFY(commands.first().startsWith("{\"manualTAms\":{\"value\":"));
        QCOMPARE(commands.last(), "{\"load-defaults\":{\"value\":true}}");
    }

    // Losing the broker raises the alert; once it is back, Connect works again. A camera that dies drops
    // the connection through its last will, within seconds, long before any keep-alive could notice.
    void connectionLossAndRestart()
    {
        m_pBroker->stop();
        QTRY_COMPARE(Text("btnConnect"), QStringLiteral("Connect"));
        QTRY_COMPARE(m_pCloser->summary(), "Connection Alert | Disconnected from MQTT broker" + sCheck);
        QVERIFY(m_pBroker->start());
        m_pCloser->clear();
        Widget<QPushButton>(m_pWindow.get(), "btnConnect")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Text("btnConnect"), QStringLiteral("Disconnect"), 10000);
        QTRY_COMPARE(Mismatches(), QStringList());

        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(m_pCamera->processId()), SIGKILL);
        QTRY_VERIFY(
            m_pCloser->summary().startsWith("Connection Alert | ") && m_pCloser->summary().endsWith(sCheck));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(Text("btnConnect"), QStringLiteral("Connect"));
        QVERIFY(!Widget<QWidget>(m_pWindow.get(), "exposureSlider")->isEnabled());
    }

    // Load sends a parameter file, which the camera applies; Save writes the camera's upload byte for byte;
    // a sensor capture and an HDMI capture write readable TIFF images and the metadata.
    void filesAndCaptures()
    {
        const QString sLoad = m_pDir->filePath("load.json"), sSaved = m_pDir->filePath("saved.json");
        QFile load(sLoad);
        QVERIFY(load.open(QIODevice::WriteOnly) && load.write(R"({ "manualTAms": { "value": 8.5 },
    "gamma": { "value": -1.25 }, "flipXY": { "value": true }, "freq": { "value": 60 }, "osdcolor": { "value": 2 } })")
            && load.flush());
        const auto dialog = [](const QString& sPath) {
            return [sPath](QWidget*, const QString&, const QString&, const QString&) { return sPath; };
        };
        m_pWindow->SetFileDialogs(dialog(sLoad), dialog(sSaved));
        Widget<QPushButton>(m_pWindow.get(), "loadButton")->click();
        // The camera applies the members in key order.
        QTRY_COMPARE(Reported("osdcolor"), QJsonValue(2));
        QTRY_COMPARE(Mismatches(), QStringList());
        // The window hears the camera's reports on a connection of its own, maybe later than the test.
        QTRY_COMPARE(Widget<QComboBox>(m_pWindow.get(), "histoColorCmbBox")->currentText(), "Green");
        QVERIFY(Widget<QCheckBox>(m_pWindow.get(), "flipImageCB")->isChecked());
        QVERIFY(Widget<QRadioButton>(m_pWindow.get(), "sysFreq60RB")->isChecked());

        Widget<QPushButton>(m_pWindow.get(), "saveButton")->click();
        QTRY_VERIFY(!Last("/hdr/status/upload").isEmpty() && ReadFile(sSaved) == Last("/hdr/status/upload"));
        QCOMPARE(QJsonDocument::fromJson(ReadFile(sSaved))["manualTAms"]["value"], QJsonValue(8.5));

        auto* pDialog = m_pWindow->findChild<CaptureDialog*>();
        for (int nMux : { 1, 2 }) {
            m_pCloser->clear();
            pDialog->SetLdrDisabled(false);
            Widget<QRadioButton>(pDialog, nMux == 1 ? "ldrRadioButton" : "hdmiRadioButton")->click();
            Widget<QPushButton>(pDialog, "captureButton")->click();
            QTRY_COMPARE_WITH_TIMEOUT(
                m_pCloser->summary(), QStringLiteral("Capture | Capture Complete"), 10000);
            QCOMPARE(QJsonDocument::fromJson(ReadFile(m_pDir->filePath("capture_META.json")))["mux"],
                QJsonValue(nMux));
        }
        for (const QString sImage : { "T1", "T2", "T3", "HDMI" })
            QVERIFY2(!QImage(m_pDir->filePath("capture_" + sImage + ".tiff"), "TIFF").isNull(),
                qPrintable(sImage));
    }

private:
    // What the window has published, in order.
    QStringList Commands() const
    {
        QStringList commands;
        for (const TestDevice::Message& message : m_pTraffic->messages()) {
            if (message.topic.startsWith("/hdr/set/"))
                commands << message.payload;
        }
        return commands;
    }
    QString Text(const char* sButton) const { return Widget<QPushButton>(m_pWindow.get(), sButton)->text(); }
    QByteArray Last(const QString& sTopic) const
    {
        const QList<TestDevice::Message> messages = m_pTraffic->messages();
        for (auto it = messages.crbegin(); it != messages.crend(); ++it) {
            if (it->topic == sTopic)
                return it->payload;
        }
        return QByteArray();
    }
    // The value in the camera's last status report of the parameter.
    QJsonValue Reported(const QString& sName) const
    {
        return QJsonDocument::fromJson(Last("/hdr/status/parameters/" + sName))[sName]["value"];
    }
    // Where the window differs from what the camera described and reported: a spin box's bounds or value,
    // or a control widget's enabled state.
    QStringList Mismatches() const
    {
        QStringList problems;
        const QStringList spinBoxes = sControlWidgets.filter("SpinBox");
        for (int i = 0; i < sNumbers.size(); ++i) {
            const auto* pSpinBox = Widget<QDoubleSpinBox>(m_pWindow.get(), qPrintable(spinBoxes.at(i)));
            const QJsonValue param = m_description[sNumbers.at(i)];
            const double dTolerance = 0.5 * qPow(10, -pSpinBox->decimals());
            if (pSpinBox->minimum() != param["min-value"].toDouble()
                || pSpinBox->maximum() != param["max-value"].toDouble()
                || qAbs(pSpinBox->value() - Reported(sNumbers.at(i)).toDouble()) > dTolerance)
                problems << spinBoxes.at(i);
        }
        for (const QString& sName : sControlWidgets) {
            if (Widget<QWidget>(m_pWindow.get(), qPrintable(sName))->isEnabled() == sLocked.contains(sName))
                problems << sName + " enabled";
        }
        return problems;
    }

    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<QProcess> m_pCamera;
    std::unique_ptr<TestDevice> m_pTraffic;
    std::unique_ptr<ModalBoxCloser> m_pCloser;
    std::unique_ptr<MainWindow> m_pWindow;
    std::unique_ptr<QTemporaryDir> m_pDir;
    QJsonDocument m_description;
};

OMBIX_GUI_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"

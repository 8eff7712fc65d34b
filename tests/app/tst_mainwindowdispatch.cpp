#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "model/ckavroparam.h"
#include "windowtest.h"

#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <memory>

// What the device's configuration and status records do to the window, fed straight into DataUpdate as the
// link would hand them over. Every record is deleted exactly once: the sanitizers watch that.
class TestMainWindowDispatch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void configRecordEnablesItsWidgets_data();
    void configRecordEnablesItsWidgets();
    void configAttributes_data();
    void configAttributes();
    void configRangeDefaults();
    void statusValueReachesWidget_data();
    void statusValueReachesWidget();
    void statusRangeThenValueThenState();
    void connectionStatus_data();
    void connectionStatus();
    void deviceLossDisablesControlsAndClearsViewer();
    void deviceInformation();
    void viewerText_data();
    void viewerText();
    void conversionErrorIsContained_data();
    void conversionErrorIsContained();
    void oddRecordsAreDropped_data();
    void oddRecordsAreDropped();

private:
    QWidget* widget(const QString& sName) const { return m_pWindow->findChild<QWidget*>(sName); }
    QDoubleSpinBox* exposureSpinBox() const
    {
        return Widget<QDoubleSpinBox>(m_pWindow.get(), "exposureSpinBox");
    }
    QString viewer() const { return Widget<QPlainTextEdit>(m_pWindow.get(), "teConfigData")->toPlainText(); }
    QStringList enabledControlWidgets() const;

    std::unique_ptr<ModalBoxCloser> m_pCloser;
    std::unique_ptr<MainWindow> m_pWindow;
};

void TestMainWindowDispatch::init()
{
    m_pCloser = std::make_unique<ModalBoxCloser>();
    m_pWindow = std::make_unique<MainWindow>();
}

void TestMainWindowDispatch::cleanup()
{
    m_pWindow.reset();
    QCOMPARE(m_pCloser->summary(), QString());
}

QStringList TestMainWindowDispatch::enabledControlWidgets() const
{
    QStringList enabled;
    for (const QString& sName : ControlWidgetNames()) {
        if (widget(sName)->isEnabled())
            enabled << sName;
    }
    return enabled;
}

void TestMainWindowDispatch::configRecordEnablesItsWidgets_data()
{
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QString>("widgets");

    // The registration table, seen from outside: each name enables exactly its own widgets.
    const char* const rows[][2] = {
        { "tmEnable", "tonemapCB" },
        { "midBoost", "midBoostCB" },
        { "autoEVsEnable", "deltaEvCB" },
        { "autoCCMEnable", "accmCB" },
        { "awbUnity", "unityButton" },
        { "freq", "sysFreq50RB sysFreq60RB" },
        { "autoGainEnable", "autoGainButton" },
        { "flipXY", "flipImageCB" },
        { "aroGlobalGain", "sensorGainSlider sensorGainSpinBox" },
        { "manualTAms", "exposureSlider exposureSpinBox" },
        { "brightness", "brightnessSlider brightnessSpinBox" },
        { "gamma", "gammaSlider gammaSpinBox" },
        { "detail", "detailSlider detailSpinBox" },
        { "saturation", "saturationSlider saturationSpinBox" },
        { "blue/yellow", "blueYellowSlider blueYellowSpinBox" },
        { "green/red", "greenRedSlider greenRedSpinBox" },
        { "blackfix", "blackFixSlider blackFixSpinBox" },
        { "vgComp", "vgCompSlider vgCompSpinBox" },
        { "aeSpeed", "AESpeedSlider AESpeedSpinBox" },
        { "awbEn", "awbCB" },
        { "highlightMode", "highlightsCmbBox" },
        { "autoExpEnable", "autoExpCB" },
        { "longExpEnable", "longExpCB" },
        { "lfmExpEnable", "lfmExpCB" },
        { "awbDeltaMax", "deltMaxSpinBox" },
        { "awbWhiteLevel", "whtLvlSpinBox" },
        { "awbBlackLevel", "blkLvlSpinBox" },
        { "DenoiseEn", "denoiseEnableCB" },
        { "yNoiseThresh", "yThreshSlider yThreshSpinBox" },
        { "crcbNoiseThresh", "crcbThreshSlider crcbThreshSpinBox" },
        { "osdhist", "" },
        { "osdcolor", "histoColorCmbBox" },
        { "osdfoi", "histoFoiCmbBox" },
        { "osdloc", "histoLocCmbBox" },
        { "w", "wSlider wSpinBox" },
        { "blackLevel", "blackLevelSlider blackLevelSpinBox" },
        { "denoiseEn", "" }, // names are case-sensitive
        { "DefResMode", "" },
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << row[0] << row[1];
}

void TestMainWindowDispatch::configRecordEnablesItsWidgets()
{
    QFETCH(QString, paramName);
    QFETCH(QString, widgets);

    QCOMPARE(enabledControlWidgets(), QStringList());
    ConfigRecord(*m_pWindow, paramName, "{}");
    QCOMPARE(enabledControlWidgets().join(' '), widgets);
}

void TestMainWindowDispatch::configAttributes_data()
{
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("no attributes") << "gamma" << QByteArray("{}") << true;
    QTest::newRow("disabled") << "gamma" << QByteArray(R"({"disabled":true,"read-only":false})") << false;
    QTest::newRow("read-only") << "gamma" << QByteArray(R"({"disabled":false,"read-only":true})") << false;
    QTest::newRow("osdhist enabled by the device")
        << "osdhist" << QByteArray(R"({"disabled":false,"read-only":false})") << false;
}

void TestMainWindowDispatch::configAttributes()
{
    QFETCH(QString, paramName);
    QFETCH(QByteArray, json);
    QFETCH(bool, enabled);

    ConfigRecord(*m_pWindow, paramName, json);
    QCOMPARE(widget(paramName == "osdhist" ? "histoEnButton" : "gammaSpinBox")->isEnabled(), enabled);
}

void TestMainWindowDispatch::configRangeDefaults()
{
    ConfigRecord(*m_pWindow, "manualTAms", "{}");
    QCOMPARE(exposureSpinBox()->minimum(), 0.0);
    QCOMPARE(exposureSpinBox()->maximum(), 99999.0);
}

void TestMainWindowDispatch::statusValueReachesWidget_data()
{
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("widgetName");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("shown");

    QTest::newRow("check box") << "flipXY" << QByteArray("true") << "flipImageCB" << QByteArray("checked")
                               << QVariant(true);
    QTest::newRow("radio group") << "freq" << QByteArray("50") << "sysFreq50RB" << QByteArray("checked")
                                 << QVariant(true);
    QTest::newRow("binary option") << "DenoiseEn" << QByteArray("5") << "denoiseEnableCB"
                                   << QByteArray("checked") << QVariant(true);
    QTest::newRow("combo box") << "highlightMode" << QByteArray("5") << "highlightsCmbBox"
                               << QByteArray("currentText") << QVariant("Highlights");
    QTest::newRow("spin box only") << "awbWhiteLevel" << QByteArray("14.25") << "whtLvlSpinBox"
                                   << QByteArray("value") << QVariant(14.25);
}

void TestMainWindowDispatch::statusValueReachesWidget()
{
    QFETCH(QString, paramName);
    QFETCH(QByteArray, value);
    QFETCH(QString, widgetName);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, shown);

    StatusRecord(*m_pWindow, paramName, "{\"value\":" + value + "}");
    QCOMPARE(widget(widgetName)->property(property), shown);
}

void TestMainWindowDispatch::statusRangeThenValueThenState()
{
    // 150 lies outside the registered range 0 ... 16.66: it is shown only if the new range came first.
    StatusRecord(*m_pWindow, "manualTAms", R"({"value":150,"min-value":0,"max-value":200,"disabled":false})");
    QCOMPARE(exposureSpinBox()->maximum(), 200.0);
    QCOMPARE(exposureSpinBox()->value(), 150.0);
    QVERIFY(exposureSpinBox()->isEnabled());

    // One bound alone leaves the range as it is.
    StatusRecord(*m_pWindow, "manualTAms", R"({"value":1,"min-value":5,"disabled":true})");
    QCOMPARE(exposureSpinBox()->minimum(), 0.0);
    QCOMPARE(exposureSpinBox()->value(), 1.0);
    QVERIFY(!exposureSpinBox()->isEnabled());

    ConfigRecord(*m_pWindow, "osdhist", "{}");
    StatusRecord(*m_pWindow, "osdhist", R"({"disabled":false})");
    QVERIFY(!widget("histoEnButton")->isEnabled());
}

void TestMainWindowDispatch::connectionStatus_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QList<bool>>("reports");

    QTest::newRow("active") << QByteArray(R"({"value":"active"})") << QList<bool> { true };
    QTest::newRow("other letter case") << QByteArray(R"({"value":"Active"})") << QList<bool> { false };
    QTest::newRow("offline") << QByteArray(R"({"value":"offline"})") << QList<bool> { false };
    QTest::newRow("no value") << QByteArray(R"({"state":"active"})") << QList<bool>();
}

void TestMainWindowDispatch::connectionStatus()
{
    QFETCH(QByteArray, json);
    QFETCH(QList<bool>, reports);

    QSignalSpy deviceState(m_pWindow.get(), &MainWindow::UpdateDeviceState);
    StatusRecord(*m_pWindow, "connection_status", json);
    QList<bool> emitted;
    for (const QList<QVariant>& arguments : qAsConst(deviceState))
        emitted << arguments.at(0).toBool();
    QCOMPARE(emitted, reports);

    const bool bActive = reports == QList<bool> { true };
    QCOMPARE(Widget<QPushButton>(m_pWindow.get(), "btnConnect")->text(), bActive ? "Disconnect" : "Connect");
    QCOMPARE(PaneLines(m_pWindow.get()).contains("Device Status: Connected - device active"), bActive);
    for (const char* sName :
        { "leFileName", "btnLoadDefaults", "loadButton", "saveButton", "highlightsCmbBox" })
        QCOMPARE(widget(sName)->isEnabled(), bActive);
    QCOMPARE(widget("logoSensorButton")->isHidden(), !bActive);
    QCOMPARE(widget("sensorLabel")->isHidden(), !bActive);

    // A second report of active re-enables the command widgets and does nothing more.
    const QStringList pane = PaneLines(m_pWindow.get());
    widget("loadButton")->setEnabled(false);
    StatusRecord(*m_pWindow, "connection_status", json);
    if (bActive) {
        QCOMPARE(deviceState.count(), 1);
        QCOMPARE(PaneLines(m_pWindow.get()), pane);
        QVERIFY(widget("loadButton")->isEnabled());
    }
}

void TestMainWindowDispatch::deviceLossDisablesControlsAndClearsViewer()
{
    StatusRecord(*m_pWindow, "connection_status", R"({"value":"active"})");
    ConfigRecord(*m_pWindow, "gamma", "{}");
    QCOMPARE(enabledControlWidgets(), QStringList({ "gammaSlider", "gammaSpinBox", "highlightsCmbBox" }));
    QVERIFY(!viewer().isEmpty());

    m_pWindow->EnableDeviceControls(false);
    QCOMPARE(enabledControlWidgets(), QStringList());
    QCOMPARE(viewer(), QString());

    // Regaining the device enables the command widgets only; the controls wait for their attributes.
    m_pWindow->EnableDeviceControls(true);
    QCOMPARE(enabledControlWidgets(), QStringList({ "highlightsCmbBox" }));
}

void TestMainWindowDispatch::deviceInformation()
{
    ConfigRecord(*m_pWindow, "fpga", R"({"version":"r1021","date":"2022-09-30"})");
    ConfigRecord(*m_pWindow, "software_version", R"({"version":"r877","date":"2022-10-01"})");
    ConfigRecord(*m_pWindow, "board_type", R"({"type":"KV-2","version":"3"})");
    ConfigRecord(*m_pWindow, "sensor_type", R"({"manufacturer":"Onsemi","model":"AR0233"})");
    QCOMPARE(m_pWindow->DeviceInfo(),
        QStringList({ "r1021", "2022-09-30", "r877", "2022-10-01", "KV-2", "3", "Onsemi", "AR0233" }));

    // A partial record replaces only what it holds; numbers keep their text; status records are no source.
    ConfigRecord(*m_pWindow, "fpga", R"({"version":1022})");
    ConfigRecord(*m_pWindow, "board_type", R"({"type":"KV-3","revision":"4"})");
    StatusRecord(*m_pWindow, "sensor_type", R"({"manufacturer":"Other","model":"Other"})");
    QCOMPARE(m_pWindow->DeviceInfo(),
        QStringList({ "1022", "2022-09-30", "r877", "2022-10-01", "KV-3", "3", "Onsemi", "AR0233" }));
}

void TestMainWindowDispatch::viewerText_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("subtopic");
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("text");

    QTest::newRow("parameters subtopic")
        << "/hdr/config/parameters"
        << "parameters"
        << "gamma" << QByteArray(R"({"min-value":0,"max-value":16})")
        << "\n/hdr/config/parameters/parameters/gamma:\n    { \"max-value\":\"16\", \"min-value\":\"0\" }";
    QTest::newRow("other subtopic, no control")
        << "/hdr/config"
        << "exposure"
        << "fpga" << QByteArray(R"({"date":"2022","version":7})")
        << "\n\n/hdr/config/exposure/fpga:\n    { \"date\":\"2022\", \"version\":\"7\" }";
    QTest::newRow("placeholders in device texts") << "/hdr/%1"
                                                  << "%2"
                                                  << "%3" << QByteArray(R"({"description":"%1 %2"})")
                                                  << "\n\n/hdr/%1/%2/%3:\n    { \"description\":\"%1 %2\" }";
}

void TestMainWindowDispatch::viewerText()
{
    QFETCH(QString, topic);
    QFETCH(QString, subtopic);
    QFETCH(QString, paramName);
    QFETCH(QByteArray, json);
    QFETCH(QString, text);

    m_pWindow->DataUpdate("params_config", topic, subtopic, paramName, Record(json));
    m_pWindow->DataUpdate("params_config", topic, subtopic, paramName, Record(json));
    QCOMPARE(viewer(), text + "\n" + text);
}

void TestMainWindowDispatch::conversionErrorIsContained_data()
{
    QTest::addColumn<QString>("topicName");
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");

    QTest::newRow("configuration flag") << "params_config"
                                        << "manualTAms" << QByteArray(R"({"disabled":"maybe"})")
                                        << "manualTAms: CKavroType: Error converting [maybe] to bool";
    QTest::newRow("negative capture")
        << "params_status"
        << "capture" << QByteArray(R"({"value":-1})") << "capture: CKavroType: Error converting [-1] to uint";
    QTest::newRow("status flag") << "params_status"
                                 << "manualTAms" << QByteArray(R"({"value":5,"disabled":"maybe"})")
                                 << "manualTAms: CKavroType: Error converting [maybe] to bool";
}

void TestMainWindowDispatch::conversionErrorIsContained()
{
    QFETCH(QString, topicName);
    QFETCH(QString, paramName);
    QFETCH(QByteArray, json);
    QFETCH(QString, message);

    m_pWindow->DataUpdate(topicName, "/hdr/x", "parameters", paramName, Record(json));
    QCOMPARE(PaneLines(m_pWindow.get()).last(), message);
    QCOMPARE(enabledControlWidgets(), QStringList());

    // The window goes on with the next record.
    ConfigRecord(*m_pWindow, "gamma", "{}");
    QCOMPARE(enabledControlWidgets(), QStringList({ "gammaSlider", "gammaSpinBox" }));
}

void TestMainWindowDispatch::oddRecordsAreDropped_data()
{
    QTest::addColumn<QString>("topicName");
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<bool>("nullRecord");

    QTest::newRow("null record") << "params_status"
                                 << "connection_status" << true;
    QTest::newRow("unknown status parameter") << "params_status"
                                              << "noSuchParameter" << false;
    QTest::newRow("log record") << "log_data"
                                << "gamma" << false;
    QTest::newRow("topic name in other case") << "Params_Config"
                                              << "gamma" << false;
    QTest::newRow("empty topic name") << ""
                                      << "" << false;
}

void TestMainWindowDispatch::oddRecordsAreDropped()
{
    QFETCH(QString, topicName);
    QFETCH(QString, paramName);
    QFETCH(bool, nullRecord);

    CKavroParam* pRecord = nullRecord ? nullptr : Record(R"({"value":"active","disabled":false})");
    m_pWindow->DataUpdate(topicName, "/hdr/x", "y", paramName, pRecord);
    QCOMPARE(enabledControlWidgets(), QStringList());
    QCOMPARE(Widget<QPushButton>(m_pWindow.get(), "btnConnect")->text(), QStringLiteral("Connect"));
    QCOMPARE(PaneLines(m_pWindow.get()), QStringList(""));
}

OMBIX_GUI_TEST_MAIN(TestMainWindowDispatch)
#include "tst_mainwindowdispatch.moc"

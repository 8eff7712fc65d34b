#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "model/ckavroparam.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <memory>

namespace {

const QStringList kControlWidgets = {
    "tonemapCB",
    "midBoostCB",
    "deltaEvCB",
    "accmCB",
    "unityButton",
    "sysFreq50RB",
    "sysFreq60RB",
    "autoGainButton",
    "flipImageCB",
    "sensorGainSlider",
    "sensorGainSpinBox",
    "exposureSlider",
    "exposureSpinBox",
    "brightnessSlider",
    "brightnessSpinBox",
    "gammaSlider",
    "gammaSpinBox",
    "detailSlider",
    "detailSpinBox",
    "saturationSlider",
    "saturationSpinBox",
    "blueYellowSlider",
    "blueYellowSpinBox",
    "greenRedSlider",
    "greenRedSpinBox",
    "blackFixSlider",
    "blackFixSpinBox",
    "vgCompSlider",
    "vgCompSpinBox",
    "AESpeedSlider",
    "AESpeedSpinBox",
    "awbCB",
    "highlightsCmbBox",
    "autoExpCB",
    "longExpCB",
    "lfmExpCB",
    "deltMaxSpinBox",
    "whtLvlSpinBox",
    "blkLvlSpinBox",
    "denoiseEnableCB",
    "yThreshSlider",
    "yThreshSpinBox",
    "crcbThreshSlider",
    "crcbThreshSpinBox",
    "histoEnButton",
    "histoColorCmbBox",
    "histoFoiCmbBox",
    "histoLocCmbBox",
    "wSlider",
    "wSpinBox",
    "blackLevelSlider",
    "blackLevelSpinBox",
};

} // namespace

// What the device's configuration and status records do to the window, fed straight into DataUpdate as the
// link would hand them over.
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
    void statusAppliesRangeBeforeValue();
    void statusRangeNeedsBothBounds();
    void statusEnabledState_data();
    void statusEnabledState();
    void connectionStatus_data();
    void connectionStatus();
    void repeatedActiveReportOnlyReenables();
    void deviceLossDisablesControlsAndClearsViewer();
    void deviceInformation();
    void viewerText_data();
    void viewerText();
    void conversionErrorIsContained_data();
    void conversionErrorIsContained();
    void oddRecordsAreDropped_data();
    void oddRecordsAreDropped();

private:
    void config(const QString& paramName, const QByteArray& json, const QString& subtopic = "parameters");
    void status(const QString& paramName, const QByteArray& json);
    QWidget* widget(const QString& sName) const { return m_pWindow->findChild<QWidget*>(sName); }
    QDoubleSpinBox* spinBox(const char* sName) const
    {
        return Widget<QDoubleSpinBox>(m_pWindow.get(), sName);
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

void TestMainWindowDispatch::config(const QString& paramName, const QByteArray& json, const QString& subtopic)
{
    m_pWindow->DataUpdate("params_config", "/hdr/config", subtopic, paramName, Record(json));
}

void TestMainWindowDispatch::status(const QString& paramName, const QByteArray& json)
{
    m_pWindow->DataUpdate("params_status", "/hdr/status/parameters", "", paramName, Record(json));
}

QStringList TestMainWindowDispatch::enabledControlWidgets() const
{
    QStringList enabled;
    for (const QString& sName : kControlWidgets) {
        if (widget(sName)->isEnabled())
            enabled << sName;
    }
    return enabled;
}

void TestMainWindowDispatch::configRecordEnablesItsWidgets_data()
{
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QStringList>("widgets");

    const QList<QPair<const char*, QStringList>> rows = {
        { "tmEnable", { "tonemapCB" } },
        { "midBoost", { "midBoostCB" } },
        { "autoEVsEnable", { "deltaEvCB" } },
        { "autoCCMEnable", { "accmCB" } },
        { "awbUnity", { "unityButton" } },
        { "freq", { "sysFreq50RB", "sysFreq60RB" } },
        { "autoGainEnable", { "autoGainButton" } },
        { "flipXY", { "flipImageCB" } },
        { "aroGlobalGain", { "sensorGainSlider", "sensorGainSpinBox" } },
        { "manualTAms", { "exposureSlider", "exposureSpinBox" } },
        { "brightness", { "brightnessSlider", "brightnessSpinBox" } },
        { "gamma", { "gammaSlider", "gammaSpinBox" } },
        { "detail", { "detailSlider", "detailSpinBox" } },
        { "saturation", { "saturationSlider", "saturationSpinBox" } },
        { "blue/yellow", { "blueYellowSlider", "blueYellowSpinBox" } },
        { "green/red", { "greenRedSlider", "greenRedSpinBox" } },
        { "blackfix", { "blackFixSlider", "blackFixSpinBox" } },
        { "vgComp", { "vgCompSlider", "vgCompSpinBox" } },
        { "aeSpeed", { "AESpeedSlider", "AESpeedSpinBox" } },
        { "awbEn", { "awbCB" } },
        { "highlightMode", { "highlightsCmbBox" } },
        { "autoExpEnable", { "autoExpCB" } },
        { "longExpEnable", { "longExpCB" } },
        { "lfmExpEnable", { "lfmExpCB" } },
        { "awbDeltaMax", { "deltMaxSpinBox" } },
        { "awbWhiteLevel", { "whtLvlSpinBox" } },
        { "awbBlackLevel", { "blkLvlSpinBox" } },
        { "DenoiseEn", { "denoiseEnableCB" } },
        { "yNoiseThresh", { "yThreshSlider", "yThreshSpinBox" } },
        { "crcbNoiseThresh", { "crcbThreshSlider", "crcbThreshSpinBox" } },
        { "osdhist", {} }, // always shown disabled and read-only
        { "osdcolor", { "histoColorCmbBox" } },
        { "osdfoi", { "histoFoiCmbBox" } },
        { "osdloc", { "histoLocCmbBox" } },
        { "w", { "wSlider", "wSpinBox" } },
        { "blackLevel", { "blackLevelSlider", "blackLevelSpinBox" } },
        { "denoiseEn", {} }, // names are case-sensitive
        { "DefResMode", {} },
    };
    for (const auto& row : rows)
        QTest::newRow(row.first) << row.first << row.second;
}

void TestMainWindowDispatch::configRecordEnablesItsWidgets()
{
    QFETCH(QString, paramName);
    QFETCH(QStringList, widgets);

    QCOMPARE(enabledControlWidgets(), QStringList());
    config(paramName, "{}");
    QCOMPARE(enabledControlWidgets(), widgets);
}

void TestMainWindowDispatch::configAttributes_data()
{
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("no attributes") << "gamma" << QByteArray("{}") << true;
    QTest::newRow("disabled") << "gamma" << QByteArray(R"({"disabled":true,"read-only":false})") << false;
    QTest::newRow("read-only") << "gamma" << QByteArray(R"({"disabled":false,"read-only":true})") << false;
    QTest::newRow("flags as text in capitals")
        << "gamma" << QByteArray(R"({"disabled":"FALSE","read-only":"False"})") << true;
    QTest::newRow("osdhist enabled by the device")
        << "osdhist" << QByteArray(R"({"disabled":false,"read-only":false})") << false;
}

void TestMainWindowDispatch::configAttributes()
{
    QFETCH(QString, paramName);
    QFETCH(QByteArray, json);
    QFETCH(bool, enabled);

    const QString sWidget = paramName == "osdhist" ? "histoEnButton" : "gammaSpinBox";
    config(paramName, json);
    QCOMPARE(widget(sWidget)->isEnabled(), enabled);
}

void TestMainWindowDispatch::configRangeDefaults()
{
    config("manualTAms", "{}");
    QCOMPARE(spinBox("exposureSpinBox")->minimum(), 0.0);
    QCOMPARE(spinBox("exposureSpinBox")->maximum(), 99999.0);

    config("manualTAms", R"({"min-value":0.5,"max-value":33})");
    QCOMPARE(spinBox("exposureSpinBox")->minimum(), 0.5);
    QCOMPARE(spinBox("exposureSpinBox")->maximum(), 33.0);
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
    QTest::newRow("hidden check box")
        << "tmEnable" << QByteArray("false") << "tonemapCB" << QByteArray("checked") << QVariant(false);
    QTest::newRow("radio group") << "freq" << QByteArray("50") << "sysFreq50RB" << QByteArray("checked")
                                 << QVariant(true);
    QTest::newRow("binary option") << "DenoiseEn" << QByteArray("5") << "denoiseEnableCB"
                                   << QByteArray("checked") << QVariant(true);
    QTest::newRow("AE priority") << "highlightMode" << QByteArray("5") << "highlightsCmbBox"
                                 << QByteArray("currentText") << QVariant("Highlights");
    QTest::newRow("histogram location") << "osdloc" << QByteArray("3") << "histoLocCmbBox"
                                        << QByteArray("currentText") << QVariant("Bot Right");
    QTest::newRow("slider and spin box")
        << "manualTAms" << QByteArray("12.5") << "exposureSpinBox" << QByteArray("value") << QVariant(12.5);
    QTest::newRow("spin box only") << "awbWhiteLevel" << QByteArray("14.25") << "whtLvlSpinBox"
                                   << QByteArray("value") << QVariant(14.25);
    QTest::newRow("integral value") << "yNoiseThresh" << QByteArray("2000") << "yThreshSpinBox"
                                    << QByteArray("value") << QVariant(2000.0);
}

void TestMainWindowDispatch::statusValueReachesWidget()
{
    QFETCH(QString, paramName);
    QFETCH(QByteArray, value);
    QFETCH(QString, widgetName);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, shown);

    status(paramName, "{\"value\":" + value + "}");
    QCOMPARE(widget(widgetName)->property(property), shown);
}

void TestMainWindowDispatch::statusAppliesRangeBeforeValue()
{
    // 150 lies outside the registered range 0 ... 16.66; it is shown only if the new range came first.
    status("manualTAms", R"({"value":150,"min-value":0,"max-value":200})");
    QCOMPARE(spinBox("exposureSpinBox")->maximum(), 200.0);
    QCOMPARE(spinBox("exposureSpinBox")->value(), 150.0);
}

void TestMainWindowDispatch::statusRangeNeedsBothBounds()
{
    status("manualTAms", R"({"value":1,"min-value":5})");
    QCOMPARE(spinBox("exposureSpinBox")->minimum(), 0.0);
    QCOMPARE(spinBox("exposureSpinBox")->maximum(), 16.66);
    QCOMPARE(spinBox("exposureSpinBox")->value(), 1.0);
}

void TestMainWindowDispatch::statusEnabledState_data()
{
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QString>("widgetName");
    QTest::addColumn<QByteArray>("disabled");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("enabled") << "manualTAms"
                             << "exposureSlider" << QByteArray("false") << true;
    QTest::newRow("disabled") << "manualTAms"
                              << "exposureSlider" << QByteArray("true") << false;
    QTest::newRow("osdhist stays disabled") << "osdhist"
                                            << "histoEnButton" << QByteArray("false") << false;
}

void TestMainWindowDispatch::statusEnabledState()
{
    QFETCH(QString, paramName);
    QFETCH(QString, widgetName);
    QFETCH(QByteArray, disabled);
    QFETCH(bool, enabled);

    config(paramName, R"({"disabled":false})");
    status(paramName, "{\"disabled\":" + disabled + "}");
    QCOMPARE(widget(widgetName)->isEnabled(), enabled);
}

void TestMainWindowDispatch::connectionStatus_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QList<bool>>("reports");
    QTest::addColumn<QString>("button");

    QTest::newRow("active") << QByteArray(R"({"value":"active"})") << QList<bool> { true } << "Disconnect";
    QTest::newRow("other letter case")
        << QByteArray(R"({"value":"Active"})") << QList<bool> { false } << "Connect";
    QTest::newRow("offline") << QByteArray(R"({"value":"offline"})") << QList<bool> { false } << "Connect";
    QTest::newRow("no value") << QByteArray(R"({"state":"active"})") << QList<bool>() << "Connect";
}

void TestMainWindowDispatch::connectionStatus()
{
    QFETCH(QByteArray, json);
    QFETCH(QList<bool>, reports);
    QFETCH(QString, button);

    QSignalSpy deviceState(m_pWindow.get(), &MainWindow::UpdateDeviceState);
    status("connection_status", json);

    QList<bool> emitted;
    for (const QList<QVariant>& arguments : qAsConst(deviceState))
        emitted << arguments.at(0).toBool();
    QCOMPARE(emitted, reports);
    QCOMPARE(Widget<QPushButton>(m_pWindow.get(), "btnConnect")->text(), button);

    const bool bConnected = button == "Disconnect";
    QCOMPARE(PaneLines(m_pWindow.get()).contains("Device Status: Connected - device active"), bConnected);
    for (const char* sName :
        { "leFileName", "btnLoadDefaults", "loadButton", "saveButton", "highlightsCmbBox" })
        QCOMPARE(widget(sName)->isEnabled(), bConnected);
    QCOMPARE(widget("logoSensorButton")->isHidden(), !bConnected);
    QCOMPARE(widget("sensorLabel")->isHidden(), !bConnected);
}

void TestMainWindowDispatch::repeatedActiveReportOnlyReenables()
{
    status("connection_status", R"({"value":"active"})");
    const QStringList pane = PaneLines(m_pWindow.get());
    QSignalSpy deviceState(m_pWindow.get(), &MainWindow::UpdateDeviceState);
    widget("loadButton")->setEnabled(false);

    status("connection_status", R"({"value":"active"})");
    QCOMPARE(deviceState.count(), 0);
    QCOMPARE(PaneLines(m_pWindow.get()), pane);
    QVERIFY(widget("loadButton")->isEnabled());
}

void TestMainWindowDispatch::deviceLossDisablesControlsAndClearsViewer()
{
    status("connection_status", R"({"value":"active"})");
    config("gamma", "{}");
    config("osdcolor", "{}");
    QCOMPARE(enabledControlWidgets(),
        QStringList({ "gammaSlider", "gammaSpinBox", "highlightsCmbBox", "histoColorCmbBox" }));
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
    config("fpga", R"({"version":"r1021","date":"2022-09-30"})");
    config("software_version", R"({"version":"r877","date":"2022-10-01"})");
    config("board_type", R"({"type":"KV-2","version":"3"})");
    config("sensor_type", R"({"manufacturer":"Onsemi","model":"AR0233"})");
    QCOMPARE(m_pWindow->DeviceInfo(),
        QStringList({ "r1021", "2022-09-30", "r877", "2022-10-01", "KV-2", "3", "Onsemi", "AR0233" }));

    // A partial record replaces only what it holds; numbers keep their text; status records are no source.
    config("fpga", R"({"version":1022})");
    config("board_type", R"({"type":"KV-3","revision":"4"})");
    status("sensor_type", R"({"manufacturer":"Other","model":"Other"})");
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
    QTest::newRow("other subtopic")
        << "/hdr/config"
        << "exposure"
        << "manualTAms" << QByteArray(R"({"description":"Exposure time","max-value":33.3,"read-only":false})")
        << "\n\n/hdr/config/exposure/manualTAms:\n    { \"description\":\"Exposure time\", "
           "\"max-value\":\"33.3\", "
           "\"read-only\":\"false\" }";
    QTest::newRow("no attributes, no control")
        << "/hdr/config"
        << "parameters"
        << "fpga" << QByteArray("{}") << "\n/hdr/config/parameters/fpga:\n    {  }";
    QTest::newRow("placeholders in names stay as they are")
        << "/hdr/%1"
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
    QCOMPARE(viewer(), text);

    // Records accumulate in arrival order, one block each.
    m_pWindow->DataUpdate("params_config", topic, subtopic, paramName, Record(json));
    QCOMPARE(viewer(), text + "\n" + text);
}

void TestMainWindowDispatch::conversionErrorIsContained_data()
{
    QTest::addColumn<QString>("topicName");
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");

    QTest::newRow("config flag maybe") << "params_config"
                                       << "manualTAms" << QByteArray(R"({"disabled":"maybe"})")
                                       << "manualTAms: CKavroType: Error converting [maybe] to bool";
    QTest::newRow("config read-only as number")
        << "params_config"
        << "awbEn" << QByteArray(R"({"read-only":1})") << "awbEn: CKavroType: Error converting [1] to bool";
    QTest::newRow("negative capture")
        << "params_status"
        << "capture" << QByteArray(R"({"value":-1})") << "capture: CKavroType: Error converting [-1] to uint";
    QTest::newRow("status flag maybe") << "params_status"
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
    config("gamma", "{}");
    QCOMPARE(enabledControlWidgets(), QStringList({ "gammaSlider", "gammaSpinBox" }));
}

void TestMainWindowDispatch::oddRecordsAreDropped_data()
{
    QTest::addColumn<QString>("topicName");
    QTest::addColumn<QString>("paramName");
    QTest::addColumn<bool>("nullRecord");

    QTest::newRow("null configuration record") << "params_config"
                                               << "gamma" << true;
    QTest::newRow("null status record") << "params_status"
                                        << "connection_status" << true;
    QTest::newRow("unknown configuration parameter") << "params_config"
                                                     << "noSuchParameter" << false;
    QTest::newRow("unknown status parameter") << "params_status"
                                              << "noSuchParameter" << false;
    QTest::newRow("log record") << "log_data"
                                << "gamma" << false;
    QTest::newRow("raw topic name") << "params_upload"
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

    // Every record is deleted exactly once; LeakSanitizer and AddressSanitizer watch that.
    CKavroParam* pRecord = nullRecord ? nullptr : Record(R"({"value":1,"disabled":false})");
    m_pWindow->DataUpdate(topicName, "/hdr/x", "y", paramName, pRecord);
    QCOMPARE(enabledControlWidgets(), QStringList());
    QCOMPARE(Widget<QPushButton>(m_pWindow.get(), "btnConnect")->text(), QStringLiteral("Connect"));
    QCOMPARE(PaneLines(m_pWindow.get()), QStringList(""));
}

OMBIX_GUI_TEST_MAIN(TestMainWindowDispatch)
#include "tst_mainwindowdispatch.moc"

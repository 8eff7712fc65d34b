#include "app/buildinfo.h"
#include "app/mainwindow.h"
#include "dialogs/capturedialog.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "model/ckavroparam.h"
#include "windowtest.h"

#include <QtWidgets>
#include <csignal>
#include <sys/resource.h>

// Compares what the window shows of the widgets that sExpected names with sExpected (see Seen).
#define QCOMPARE_SEEN(pWindow, sExpected) QCOMPARE(Seen(pWindow, sExpected), QString(sExpected))

namespace {

// The window as it opens, one entry per named widget of the form (see Describe), in the order of the tree.
const QStringList kWidgetTree = QString(
    "MainWindow MainWindow e Ombix Camera Control; scrollArea QScrollArea e; logoButton QPushButton e; "
    "viewConfigDataButton QPushButton dh View Config; logoSensorButton QPushButton eh; "
    "sensorLabel QLabel eh AR0239AT; groupBox_3 QGroupBox e Connection; label_2 QLabel e Camera URL:; "
    "leBrokerURL QLineEdit e 127.0.0.1; label_3 QLabel e Port:; leBrokerPort QLineEdit e 1883; "
    "btnConnect QPushButton e Connect; groupBox_2 QGroupBox e Commands; "
    "btnLoadDefaults QPushButton d Defaults; groupBox QGroupBox e Application; btnAbout QPushButton e About; "
    "resizeButton QPushButton e Advanced; settingsGroupBox QGroupBox e Settings; fileLabel QLabel e File:; "
    "leFileName QLineEdit d <no file selected>; loadButton QPushButton d Load; "
    "saveButton QPushButton d Save; captureDlgButton QPushButton dh Capture; "
    "autoGainButton QPushButton d AutoGain; sysFreqLabel QLabel e AC freq; sysFreq50RB QRadioButton d 50; "
    "sysFreq60RB QRadioButton dc 60; tonemapCB QCheckBox dch Tone Map; flipImageCB QCheckBox d Rotate 180; "
    "sensorGainLabel QLabel e Gain:; sensorGainSlider QSlider d; "
    "sensorGainSpinBox QDoubleSpinBox d 2 0..10 +0.01 =0; saturationLabel QLabel e Saturation:; "
    "saturationSlider QSlider d; saturationSpinBox QDoubleSpinBox d 1 -8..8 +0.1 =0; "
    "sensorExposureLabel QLabel e Exposure (ms):; exposureSlider QSlider d; "
    "exposureSpinBox QDoubleSpinBox d 2 0..16.66 +0.01 =0; blueYellowLabel QLabel e Yellow/Blue:; "
    "blueYellowSlider QSlider d; blueYellowSpinBox QDoubleSpinBox d 2 -1..1 +0.01 =0; "
    "brightnessLabel QLabel e Brightness:; brightnessSlider QSlider d; "
    "brightnessSpinBox QDoubleSpinBox d 1 -1.5..0 +0.1 =0; greenRedLabel QLabel e Green/Red:; "
    "greenRedSlider QSlider d; greenRedSpinBox QDoubleSpinBox d 2 -1..1 +0.01 =0; "
    "gammaLabel QLabel e Gamma:; gammaSlider QSlider d; gammaSpinBox QDoubleSpinBox d 2 -2..4 +0.01 =0; "
    "vgCompLabel QLabel e VG Comp:; vgCompSlider QSlider d; vgCompSpinBox QDoubleSpinBox d 3 0..1 +0.001 =0; "
    "blackFixLabel_2 QLabel e Enhancement:; midBoostCB QCheckBox d Mid-tone Boost; "
    "motionArtifactsLabel QLabel e Motion Artifacts:; blackFixSlider QSlider d; "
    "blackFixSpinBox QDoubleSpinBox d 1 -12..0 +0.1 =0; detailLabel QLabel e Detail:; "
    "detailSlider QSlider d; detailSpinBox QDoubleSpinBox d 2 -8..8 +0.1 =0; "
    "groupBox_6 QGroupBox e Auto Exposure; autoExpCB QCheckBox d Enable; deltaEvCB QCheckBox d WP Monitor; "
    "longExpCB QCheckBox dh Low Light; lfmExpCB QCheckBox dh LFMUnlock; "
    "highlightsLabel QLabel e AE Priority; highlightsCmbBox QComboBox d Shadows=1|*Mid Tones=3|Highlights=5; "
    "maxEvOffsetLabel_2 QLabel e AE Speed:; AESpeedSlider QSlider d; "
    "AESpeedSpinBox QDoubleSpinBox d 2 0..1 +0.01 =0; awbGroupBox QGroupBox e Auto White Balance; "
    "awbCB QCheckBox d Enable; accmCB QCheckBox d ACCM; unityButton QPushButton d Unity; "
    "denoiseGroupBox QGroupBox e Noise Reduction; denoiseEnableCB QCheckBox d Enable; "
    "yThreshLabel QLabel e Y Thresh:; yThreshSlider QSlider d; "
    "yThreshSpinBox QDoubleSpinBox d 0 0..4095 +40 =0; crcbThreshLabel QLabel e CrCb Thresh:; "
    "crcbThreshSlider QSlider d; crcbThreshSpinBox QDoubleSpinBox d 0 0..4095 +40 =0; "
    "advancedGroupBox QGroupBox eh Advanced; teMessages QPlainTextEdit e; "
    "histoGroupBox QGroupBox e Histogram; histoColorLabel QLabel e Color; histoFoiLabel QLabel e FOI; "
    "histoLocLabel QLabel e Location; histoEnButton QPushButton d Histogram Enable; "
    "histoColorCmbBox QComboBox d *All=0|Red=1|Green=2|Blue=3; "
    "histoFoiCmbBox QComboBox d *Long=0|Middle=1|Short=2; "
    "histoLocCmbBox QComboBox d *Top Left=0|Top Right=1|Bot Left=2|Bot Right=3; "
    "groupBox_4 QGroupBox e AWB Adjust; awbDeltaMaxLabel QLabel e Delta Max:; "
    "deltMaxSpinBox QDoubleSpinBox d 2 0..2 +0.01 =0.5; awbWhiteLevelLabel QLabel e White Level:; "
    "whtLvlSpinBox QDoubleSpinBox d 2 0..16 +0.01 =14.5; awbBlackLevelLabel QLabel e Black Level:; "
    "blkLvlSpinBox QDoubleSpinBox d 2 0..16 +0.01 =5; greenRedLabel_2 QLabel e Local contrast:; "
    "wSlider QSlider d; wSpinBox QDoubleSpinBox d 1 -8..8 +0.1 =0; blackLevelLabel QLabel e Black Level:; "
    "blackLevelSlider QSlider d; blackLevelSpinBox QDoubleSpinBox d 0 0..32 +1 =0")
                                    .split("; ");

const QString kAborted = "Connection Status | Connection to MQTT Broker aborted.";
const QString kBrokerUp = "Broker Connected; Status: Connected to MQTT broker";
const QString kConversionError = "gamma: CKavroType: Error converting [maybe] to bool";
// The device's configuration: attributes (one a text where a flag belongs) and the device information.
const QByteArray kConfig
    = R"({"gamma":{"disabled":"maybe"},"manualTAms":{"min-value":0,"max-value":20},"w":{},
    "detail":{"min-value":2,"max-value":8},"osdhist":{"disabled":false},"awbEn":{},"awbUnity":{},"sensor_type":{},
    "fpga":{"version":"r1021","date":"2022-09-30"},"software_version":{"version":"r877","date":"2022-10-01"},
    "board_type":{"type":"KV-2","version":"3"}})";

// A widget as one line: object name, class, state ("e" enabled or "d" disabled, then "c" checked, "h"
// hidden) and what it shows: text or title; a spin box's decimals, range, step and value; a combo box's
// items with their data, "*" before the current one.
QString Describe(const QWidget* pWidget)
{
    const auto* pButton = qobject_cast<const QAbstractButton*>(pWidget);
    const auto* pComboBox = qobject_cast<const QComboBox*>(pWidget);
    QString sShown = pWidget->isWindow() ? pWidget->windowTitle() : pWidget->property("text").toString();
    sShown += pWidget->property("title").toString();
    if (const auto* pBox = qobject_cast<const QDoubleSpinBox*>(pWidget))
        sShown = QString::asprintf("%d %g..%g +%g =%g", pBox->decimals(), pBox->minimum(), pBox->maximum(),
            pBox->singleStep(), pBox->value());
    for (int nIndex = 0; pComboBox && nIndex < pComboBox->count(); ++nIndex) {
        sShown += (nIndex ? "|" : "") + QString(nIndex == pComboBox->currentIndex() ? "*" : "")
            + pComboBox->itemText(nIndex) + "=" + pComboBox->itemData(nIndex).toString();
    }
    const QString sState = QString(pWidget->isEnabled() ? "e" : "d")
        + (pButton && pButton->isChecked() ? "c" : "") + (pWidget->isHidden() ? "h" : "");
    return QStringList({ pWidget->objectName(), pWidget->metaObject()->className(), sState, sShown })
        .join(' ')
        .trimmed();
}

// Describe() of the widgets named at the start of each part of sExpected (parts are separated by " => ").
QString Seen(const QWidget* pWindow, const QString& sExpected)
{
    QStringList seen;
    for (const QString& sPart : sExpected.split(" => "))
        seen << Describe(pWindow->findChild<QWidget*>(sPart.section(' ', 0, 0)));
    return seen.join(" => ");
}

// A record as the link makes it from one parameter's JSON object.
CKavroParam* Record(const QByteArray& json)
{
    auto* pRecord = new CKavroParam;
    pRecord->FromJson(QJsonDocument::fromJson(json).object());
    return pRecord;
}

QString Text(const QWidget* pWindow, const char* sName)
{
    return pWindow->findChild<QWidget*>(sName)->property("text").toString();
}

void Click(const QWidget* pWindow, const char* sName) { Widget<QAbstractButton>(pWindow, sName)->click(); }

QString AppFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/"
        + QCoreApplication::applicationName();
}

QByteArray ReadFile(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& sPath, const QByteArray& data)
{
    QFile file(sPath);
    return QDir().mkpath(QFileInfo(sPath).path()) && file.open(QIODevice::WriteOnly)
        && file.write(data) == data.size();
}

// What the device uploads for a capture buffer: distinct for each, binary, longer than any size limit here.
QByteArray CaptureBytes(const QByteArray& name) { return name + QByteArray(3000, '\0') + name; }

// Lets no file grow beyond nBytes, as on a full disk; RLIM_INFINITY lifts the limit.
void LimitFileSize(rlim_t nBytes)
{
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = qMin(nBytes, limit.rlim_max);
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace

// The main window on its own (form, settings file, log files), then against a private broker with the test
// playing the device; from connection() on, each test function builds on the one before. A table row is
// one text, its fields separated by " || ".
class TestMainWindow : public QObject
{
    Q_OBJECT

public:
    ~TestMainWindow() override { delete m_pWindow; }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_dir.path())); // where capture files go
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        QVERIFY(m_device.connectTo(m_broker) && m_device.listen("/hdr/set/#"));
        connect(&m_device.client(), &QMqttClient::messageReceived, this,
            [this](const QByteArray& payload, const QMqttTopicName& topic) {
                m_received << topic.name().toUtf8() + " " + payload;
                if (!payload.startsWith("{\"capture\""))
                    return;
                // The device uploads its six capture buffers, then reports the outcome, twice.
                for (const QByteArray buffer : { "t1", "t2", "t3", "ldr", "hdmi", "meta" })
                    m_device.publish("/hdr/capture/upload/" + buffer, CaptureBytes(buffer));
                for (int nReport = 0; nReport < 2; ++nReport)
                    m_device.publish(
                        "/hdr/status/parameters", "{\"capture\":{\"value\":" + m_captureOutcome + "}}");
            });
        // The first window shown in the process collapses its advanced panel.
        m_pWindow = new MainWindow;
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    }

    void widgetTree()
    {
        QStringList tree { Describe(m_pWindow) };
        for (const QWidget* pWidget :
            m_pWindow->centralWidget()->findChildren<QWidget*>(QRegularExpression("^(?!qt_)."))) {
            if (pWidget->metaObject() != &QWidget::staticMetaObject)
                tree << Describe(pWidget);
        }
        QCOMPARE(tree, kWidgetTree);
    }

    void advancedPanel()
    {
        // Opened collapsed, not at the form's 1207 x 700, yet large enough for the test platform's fonts,
        // which need more than the designed minimum: in either view no scroll bar, no control squeezed.
        const QSize compact = m_pWindow->size();
        const auto* pScrollArea = m_pWindow->findChild<QScrollArea*>("scrollArea");
        const auto* pControls = m_pWindow->findChild<QWidget*>("widgetControls");
        const auto* pAdvanced = m_pWindow->findChild<QWidget*>("advancedGroupBox");
        const auto fits = [&] {
            return !pScrollArea->verticalScrollBar()->isVisible()
                && !pScrollArea->horizontalScrollBar()->isVisible()
                && pControls->width() >= pControls->minimumSizeHint().width()
                && (pAdvanced->isHidden() || pAdvanced->width() >= pAdvanced->sizeHint().width());
        };
        QVERIFY(compact.width() < 1207 && fits());
        for (const QSize resized : { compact + QSize(500, 0), compact + QSize(540, 30) }) {
            Click(m_pWindow, "resizeButton");
            QTRY_COMPARE(m_pWindow->size(), compact + QSize(500, 0));
            QVERIFY(fits());
            QCOMPARE_SEEN(
                m_pWindow, "advancedGroupBox QGroupBox e Advanced => resizeButton QPushButton ec Less");
            m_pWindow->resize(resized);
            Click(m_pWindow, "resizeButton");
            QTRY_COMPARE(m_pWindow->size(), resized - QSize(500, 0));
            QCOMPARE_SEEN(
                m_pWindow, "advancedGroupBox QGroupBox eh Advanced => resizeButton QPushButton e Advanced");
        }
    }

    void settingsFile_data()
    {
        // The file before the start ("-": not even a documents folder) || the port typed for Connect, with
        // 127.0.0.1 || the address fields at the start, then the boxes || the file after ("=": as before).
        QTest::addColumn<QString>("row");
        QJsonParseError error;
        QJsonDocument::fromJson("{\"a\":1,}", &error);
        const QString sPath = AppFolder() + "/UCControlConfig.json", sSaved = "127.0.0.1 1883\n" + kAborted;
        const QString sLoad = "Load Configuration | \n\nError loading config json file:\n\n" + sPath + "\n\n";
        const QString sSave
            = "Save Configuration | Error opening config json file to save:\n\n" + sPath + "\n";
        const QString sFirst = "{\n    \"broker_address\": {\n        \"port\": \"1883\",\n"
                               "        \"url\": \"127.0.0.1\"\n    }\n}\n";
        const QString sCompact = R"({"broker_address":{"port":"1883","url":"127.0.0.1"}})";
        QTest::newRow("first run") << "- || 1883 || " + sSaved + " || " + sFirst;
        QTest::newRow("same address") << sCompact + " || 1883 || " + sSaved + " || =";
        QTest::newRow("corrupt") << "{\"a\":1,} || 1883 || 127.0.0.1 1883\n" + sLoad + error.errorString()
                + "\nOffset: " + QString::number(error.offset) + "\n" + kAborted + " || " + sFirst;
        QTest::newRow("port a number")
            << R"({"broker_address":{"url":"1.2.3.4","port":1883}} || 1883 || 1.2.3.4 )" + ("\n" + kAborted)
                + " || " + sFirst;
        QTest::newRow("other members") << R"({"mqtt_config":{"a":"b"}} || 1883 || )" + sSaved + " || "
                + sFirst.chopped(3) + ",\n    \"mqtt_config\": {\n        \"a\": \"b\"\n    }\n}\n";
        QTest::newRow("write fails") << sCompact + " || 1884 || 127.0.0.1 1883\n" + sSave + kAborted
                + " || =";
    }

    void settingsFile()
    {
        QFETCH(QString, row);
        const QStringList fields = row.split(" || ");
        const QString sPath = AppFolder() + "/UCControlConfig.json";
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).removeRecursively();
        QVERIFY(fields.at(0) == "-" || WriteFile(sPath, fields.at(0).toUtf8()));
        m_closer.clear();
        MainWindow window;
        const QString sShown = Text(&window, "leBrokerURL") + " " + Text(&window, "leBrokerPort");
        Widget<QLineEdit>(&window, "leBrokerURL")->setText("127.0.0.1");
        Widget<QLineEdit>(&window, "leBrokerPort")->setText(fields.at(1));
        LimitFileSize(row.contains("Save") ? 16 : RLIM_INFINITY);
        Click(&window, "btnConnect");
        LimitFileSize(RLIM_INFINITY);
        Click(&window, "btnConnect"); // Abort
        QCOMPARE(sShown + "\n" + m_closer.summary(), fields.at(2));
        QCOMPARE(ReadFile(sPath), (fields.at(3) == "=" ? fields.at(0) : fields.at(3)).toUtf8());
        QVERIFY(!row.contains("Load")
            || PaneLines(&window).join("\n").contains(m_closer.m_boxes.at(0).section(" | ", 1)));
    }

    void logFiles()
    {
        QDateTime now(QDate(2024, 12, 31), QTime(23, 59, 59, 500));
        m_pWindow->SetClock([&now] { return now = now.addMSecs(1); }); // a clock read twice would show
        const QString sLog = AppFolder() + "/" + QCoreApplication::applicationName() + "_Log_%1.log";
        QVERIFY(QDir().mkpath(sLog.arg("2025-01-02")));
        // The fourth record finds the disk full, the fifth a folder where its day's file belongs.
        for (const QByteArray record : { R"({"temp":41.5,"fan":true})", R"({"volts":12})", R"({"volts":11})",
                 R"({"fan":false})", "{}" }) {
            LimitFileSize(record.contains("false") ? 40 : RLIM_INFINITY);
            m_pWindow->DataUpdate("log_data", "/hdr/log", "", "board", Record(record));
            now = now.addMSecs(record.contains("false") ? 86400000 : 400);
        }
        LimitFileSize(RLIM_INFINITY);
        const QString sDay1
            = "31-Dec-2024 23:59:59.501\tboard\tfan\ttrue\n31-Dec-2024 23:59:59.501\tboard\ttemp\t41.5\n"
              "31-Dec-2024 23:59:59.902\tboard\tvolts\t12\n";
        const QString sDay2 = "01-Jan-2025 00:00:00.303\tboard\tvolts\t11\n",
                      sError = "\nUnable to open file to save log data:";
        QCOMPARE(ReadFile(sLog.arg("2024-12-31")) + "|" + ReadFile(sLog.arg("2025-01-01")),
            (sDay1 + "|" + sDay2).toUtf8());
        QCOMPARE(PaneLines(m_pWindow).join("\n"),
            sDay1 + sDay2 + "01-Jan-2025 00:00:00.704\tboard\tfan\tfalse" + sError + sLog.arg("2025-01-01")
                + "\nFile too large" + sError + sLog.arg("2025-01-02") + "\nIs a directory");
    }

    // While the device is silent one window gives up after 5000 ms, one is aborted, one is closed on the
    // way. Then the test's window connects, and is connected once the device reports itself active.
    void connection()
    {
        auto* pClosed = new MainWindow;
        MainWindow silent, aborted;
        m_closer.clear();
        m_pWindow->findChild<QPlainTextEdit*>("teMessages")->clear();
        QElapsedTimer clock;
        clock.start();
        for (MainWindow* pWindow : { &silent, &aborted, pClosed })
            ClickConnect(*pWindow, m_broker);
        QTRY_VERIFY(PaneLines(&aborted).contains(kBrokerUp) && PaneLines(pClosed).contains(kBrokerUp));
        delete pClosed;
        Click(&aborted, "btnConnect");
        QTRY_COMPARE_WITH_TIMEOUT(Text(&silent, "btnConnect"), "Connect", 7000);
        QVERIFY2(clock.elapsed() >= 4900, qPrintable(QString::number(clock.elapsed())));
        const QString sFailed = "Connection Status | Connection to MQTT Broker failed.\n";
        QCOMPARE(m_closer.summary(), kAborted + "\n" + sFailed + "Please check the MQTT broker/Kavro device");

        m_device.publish("/hdr/config/parameters", kConfig, true);
        ClickConnect(*m_pWindow, m_broker);
        QTRY_VERIFY(PaneLines(m_pWindow).contains(kConversionError));
        QCOMPARE_SEEN(m_pWindow, "btnConnect QPushButton e Abort => loadButton QPushButton d Load");
        m_device.publish(
            "/hdr/status/parameters/connection", R"({"connection_status":{"value":"active"}})", true);
        m_device.publish("/hdr/status/parameters",
            R"({"osdhist":{"disabled":false},"blackLevel":{"value":150,"min-value":0,"max-value":200,"disabled":false}})");
        QTRY_COMPARE(Text(m_pWindow, "blackLevelSpinBox"), "150");
        QCOMPARE(PaneLines(m_pWindow),
            QStringList({ "Broker Disconnected; Status: Connecting to MQTT broker", kBrokerUp,
                kConversionError, "Device Status: Connected - device active" }));
        // The attributes reached their controls, the range before the value; nothing of it went back.
        QCOMPARE_SEEN(m_pWindow,
            "btnConnect QPushButton e Disconnect => blackLevelSpinBox QDoubleSpinBox e 0 0..200 +1 =150"
            " => histoEnButton QPushButton d Histogram Enable => gammaSpinBox QDoubleSpinBox d 2 -2..4 +0.01 "
            "=0"
            " => exposureSpinBox QDoubleSpinBox e 2 0..20 +0.01 =0 => wSpinBox QDoubleSpinBox e 1 0..99999 "
            "+0.1 =0"
            " => detailSpinBox QDoubleSpinBox e 2 2..8 +0.1 =2 => loadButton QPushButton e Load");
        QTest::qWait(1400);
        QCOMPARE(m_received.size() + m_closer.m_boxes.size(), 2);
    }

    void publishing_data()
    {
        // Steps ("<spin box>=<value>", a slider released at its maximum, a button clicked, "<ms>" to wait)
        // || when the last message comes, in ms after the first step || what the device receives.
        QTest::addColumn<QString>("row");
        QTest::newRow("slider at once") << R"(exposureSlider || 0 500 || {"manualTAms":{"value":20}})";
        QTest::newRow("spin-box burst")
            << R"(detailSpinBox=3.5 200 detailSpinBox=4.5 200 detailSpinBox=5.5 || 900 1150 || {"detail":{"value":5.5}})";
        QTest::newRow("lone spin-box edit")
            << R"(detailSpinBox=6.25 || 1200 1700 || {"detail":{"value":6.25}})";
        QTest::newRow("two parameters")
            << R"(exposureSpinBox=7 detailSpinBox=4 || 700 1000 || {"detail":{"value":4}} {"manualTAms":{"value":7}})";
        QTest::newRow("buttons at once")
            << R"(awbCB awbCB unityButton unityButton || 0 500 || {"awbEn":{"value":true}} )"
               R"({"awbEn":{"value":false}} {"awbUnity":{"value":false}} {"awbUnity":{"value":false}})";
    }

    void publishing()
    {
        QFETCH(QString, row);
        const QStringList fields = row.split(" || ");
        m_received.clear();
        QElapsedTimer clock;
        clock.start();
        for (const QString& sStep : fields.at(0).split(' ')) {
            QWidget* pWidget = m_pWindow->findChild<QWidget*>(sStep.section('=', 0, 0));
            if (auto* pSpinBox = qobject_cast<QDoubleSpinBox*>(pWidget)) {
                pSpinBox->setValue(sStep.section('=', 1).toDouble());
            } else if (auto* pSlider = qobject_cast<QSlider*>(pWidget)) {
                pSlider->setSliderDown(true); // dragged to its end and released there
                pSlider->setSliderPosition(pSlider->maximum());
                pSlider->setSliderDown(false);
            } else if (pWidget) {
                qobject_cast<QAbstractButton*>(pWidget)->click();
            }
            QTest::qWait(pWidget ? 0 : sStep.toInt());
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), fields.at(2).count(' ') + 1, 3000);
        const qint64 nLastMs = clock.elapsed();
        const QStringList window = fields.at(1).split(' ');
        QVERIFY2(nLastMs >= window.at(0).toInt() && nLastMs < window.at(1).toInt(),
            qPrintable(QString::number(nLastMs)));
        // By then the later scheduled sends have run, and must have found nothing to send.
        QTest::qWait(int(1400 - clock.elapsed()));
        const QString sSent = "/hdr/set/parameters " + fields.at(2);
        QCOMPARE(m_received.join(' '), QString(sSent).replace("} {", "} /hdr/set/parameters {").toUtf8());
    }

    void filesAndCommands()
    {
        QStringList dialogs;
        QString sAnswer;
        auto answer = [&](QWidget*, const QString& sCaption, const QString& sDir, const QString& sFilter) {
            dialogs << sCaption + " | " + sDir + " | " + sFilter;
            return sAnswer;
        };
        m_pWindow->SetFileDialogs(answer, answer);
        m_received.clear();
        // An upload before Save chose a file cannot be written anywhere; a cancelled Save sends nothing.
        m_device.publish("/hdr/status/upload", "early");
        QTRY_VERIFY(m_closer.summary().contains("\nUnable to open file to save upload params data:\n\n | "));
        Click(m_pWindow, "saveButton");
        QCOMPARE(Text(m_pWindow, "leFileName"), "<no file selected>");
        Click(m_pWindow, "btnLoadDefaults");
        sAnswer = m_dir.filePath("params.json");
        Click(m_pWindow, "saveButton");
        QTRY_COMPARE(m_received.join(' '),
            R"(/hdr/set/controls {"load-defaults":{"value":true}} /hdr/set/controls {"upload":{"value":true}})");
        QByteArray upload(1 << 20, '\0');
        for (int nIndex = 0; nIndex < upload.size(); nIndex += 3)
            upload[nIndex] = char(nIndex / 3);
        m_device.publish("/hdr/status/upload", upload);
        QTRY_COMPARE(ReadFile(sAnswer), upload);

        // Load sends the file as it is. The dialogs start in the current directory, then at the file chosen.
        const QByteArray parameters("not JSON\0\xff at all", 17);
        QVERIFY(WriteFile(sAnswer = m_dir.filePath("params.txt"), parameters));
        Click(m_pWindow, "loadButton");
        QTRY_COMPARE(m_received.value(2), "/hdr/set/parameters " + parameters);
        const QString sFilter = " | json files (*.json) ;; text files (*.txt) ;; All files (*.*)";
        const QString sSave = "Save Uploaded Params | " + m_dir.path() + sFilter;
        QCOMPARE(dialogs,
            QStringList({ sSave, sSave, "Open Download File | " + m_dir.filePath("params.json") + sFilter }));
        // Device log text is shown up to its first NUL byte.
        m_device.publish("/hdr/status/logs", QByteArray("sensor warm\0rest", 16));
        QTRY_COMPARE(PaneLines(m_pWindow).last(), "sensor warm");
    }

    void viewerAndAbout()
    {
        QString sViewer;
        m_closer.m_onDialog = [&sViewer](QDialog* pDialog) {
            sViewer = pDialog->findChild<QPlainTextEdit*>()->toPlainText();
            pDialog->reject();
        };
        QList<QUrl> opened;
        m_pWindow->SetUrlOpener([&opened](const QUrl& url) { opened << url; });
        m_device.publish("/hdr/config/sensor",
            R"({"fpga":{"version":"r1022"},"sensor_type":{"manufacturer":"Onsemi","model":"AR0239"}})");
        QTRY_VERIFY(m_pWindow->findChild<QPlainTextEdit*>("teConfigData")->toPlainText().contains("AR0239"));
        QMetaObject::invokeMethod(m_pWindow, "on_viewConfigDataButton_clicked");
        QCOMPARE(sViewer.split("\n").filter(QRegularExpression(":$")).join(" ").remove("/hdr/config/"),
            "parameters/" + QJsonDocument::fromJson(kConfig).object().keys().join(": parameters/")
                + ": sensor/fpga: sensor/sensor_type:");
        QVERIFY(sViewer.startsWith(
            "\n/hdr/config/parameters/awbEn:\n    {  }\n\n/hdr/config/parameters/awbUnity:"));
        QVERIFY(sViewer.endsWith("\n\n\n/hdr/config/sensor/sensor_type:\n    { \"manufacturer\":\"Onsemi\", "
                                 "\"model\":\"AR0239\" }"));

        // About with Help while connected; Disconnect; then an empty viewer, and About without details.
        m_closer.clear();
        m_closer.m_button = QMessageBox::Help;
        Click(m_pWindow, "btnAbout");
        m_closer.m_button = QMessageBox::Ok;
        Click(m_pWindow, "btnConnect");
        QTRY_COMPARE(m_closer.m_boxes.size(), 2);
        QMetaObject::invokeMethod(m_pWindow, "on_viewConfigDataButton_clicked");
        m_closer.m_onDialog = nullptr;
        Click(m_pWindow, "btnAbout");
        // The build's own date, spelt as __DATE__ spells it.
        QVERIFY(QRegularExpression("^[A-Z][a-z]{2} [ 123][0-9] [0-9]{4}$")
                    .match(BuildInfo::BuildDate())
                    .hasMatch());
        const QString sAbout = "About | Ombix Camera Control\nSystem Version:  " + BuildInfo::Version()
            + "\nBuilt: " + BuildInfo::BuildDate() + " | ";
        const QString sDetails = "FPGA:\tsvn rev: r1022\t(2022-09-30)\nSW:\tsvn rev: r877\t\t(2022-10-01)\n"
                                 "Board:\tKV-2\t(3)\nSensor:\tOnsemi\t\t(AR0239)\n";
        QCOMPARE(m_closer.summary() + sViewer,
            sAbout + sDetails
                + "\nConnection Status | Connection to MQTT Broker "
                  "terminated.\n"
                + sAbout + "Must be connected to show detailed versions!");
        QCOMPARE(opened,
            QList<QUrl>({ QUrl::fromLocalFile(
                QCoreApplication::applicationDirPath() + "/doc/Quick Start Guide.pdf") }));
    }

    void capture_data()
    {
        // How the capture starts ("dialog <mux>" runs the capture dialog, "device <value>" is the device's
        // report) with which sensor model || the base name, " date" to add one || the files || the boxes.
        QTest::addColumn<QString>("row");
        const QString sDone = "Capture | Capture Complete",
                      sSensor = " || capture_META.json capture_T1.tiff capture_T2.tiff capture_T3.tiff || ";
        QString sDiskFull;
        for (const char* sFile :
            { "capture_T1.tiff", "capture_T2.tiff", "capture_T3.tiff", "capture_META.json" })
            sDiskFull += "Unable to open file to save upload capture data:\n\n" + m_dir.filePath(sFile)
                + " | File too large\n";
        QTest::newRow("AR0233 by the device")
            << "device 1 AR0233 || capture.tiff || capture_LDR.tiff capture_META.json || " + sDone;
        QTest::newRow("sensor from the dialog") << "dialog 1 AR0239 || capture.tiff" + sSensor + sDone;
        QTest::newRow("disk full") << "device 1 AR0239 || capture.tiff" + sSensor + sDiskFull + sDone;
        QTest::newRow("HDMI by the device")
            << "device 2 AR0233 || capture.tiff || capture_HDMI.tiff capture_META.json || " + sDone;
        QTest::newRow("folder in the name, no extension, date")
            << "dialog 2 AR0239 || sub/shot date || shot_HDMI_<date>.tiff shot_META_<date>.json || " + sDone;
        QTest::newRow("failed") << "dialog 1 AR0233 || shot ||  || Capture | Capture Failed!";
    }

    void capture()
    {
        QFETCH(QString, row);
        const QStringList fields = row.split(" || ");
        const bool bDialog = row.startsWith("dialog"), bDiskFull = row.contains("too large");
        if (Text(m_pWindow, "btnConnect") == "Connect")
            ClickConnect(*m_pWindow, m_broker);
        QTRY_COMPARE(Text(m_pWindow, "btnConnect"), "Disconnect");
        // The files of the row before stay for a full disk, which must leave them as they were.
        QDir folder(m_dir.path());
        for (const QString& sFile : folder.entryList(QDir::Files))
            QVERIFY(bDiskFull || folder.remove(sFile));
        m_pWindow->DataUpdate("params_config", "", "", "sensor_type",
            Record("{\"model\":\"" + row.section(' ', 2, 2).toUtf8() + "\"}"));
        auto* pDialog = m_pWindow->findChild<CaptureDialog*>();
        Widget<QLineEdit>(pDialog, "baseFileNameLineEdit")->setText(fields.at(1).section(' ', 0, 0));
        Widget<QAbstractButton>(pDialog, "appendDateCheckBox")->setChecked(fields.at(1).endsWith(" date"));
        m_captureOutcome = row.contains("Failed") ? "255" : "0";
        m_closer.clear();
        m_closer.m_onDialog = [&row](QDialog* pDialog) {
            Click(pDialog, row.section(' ', 1, 1) == "2" ? "hdmiRadioButton" : "ldrRadioButton");
            Click(pDialog, "captureButton");
        };
        LimitFileSize(bDiskFull ? 16 : RLIM_INFINITY);
        if (bDialog)
            QMetaObject::invokeMethod(m_pWindow, "on_captureDlgButton_clicked");
        else
            m_device.publish("/hdr/status/parameters",
                "{\"capture\":{\"value\":" + row.section(' ', 1, 1).toUtf8() + "}}");
        // The second report of the outcome finds no capture pending: no box, no file.
        QTRY_COMPARE(m_closer.summary(), fields.at(3));
        QTest::qWait(300);
        LimitFileSize(RLIM_INFINITY);
        m_closer.m_onDialog = nullptr;
        QCOMPARE(m_closer.summary(), fields.at(3));
        QVERIFY(!bDialog || pDialog->result() == int(row.contains("Failed")));
        QStringList written = folder.entryList(QDir::Files);
        QCOMPARE(
            written.replaceInStrings(QRegularExpression("_\\d{4}(_\\d\\d){2}_\\d{6}"), "_<date>").join(" "),
            fields.at(2));
        for (const QString& sFile : folder.entryList(QDir::Files))
            QCOMPARE(ReadFile(folder.filePath(sFile)),
                CaptureBytes(sFile.section('_', 1, 1).section('.', 0, 0).toLower().toUtf8()));
    }

private:
    QTemporaryDir m_dir;
    MosquittoBroker m_broker;
    TestDevice m_device;
    QList<QByteArray> m_received; // "<topic> <payload>" of what the window published
    QByteArray m_captureOutcome;
    ModalBoxCloser m_closer;
    MainWindow* m_pWindow = nullptr;
};

OMBIX_GUI_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

#include "app/buildinfo.h"
#include "app/mainwindow.h"
#include "dialogs/capturedialog.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "model/ckavroparam.h"
#include "windowtest.h"

#include <QtWidgets>

// Compares what the window shows of the widgets that sExpected names with sExpected (see Seen).
#define QCOMPARE_SEEN(pWindow, sExpected) QCOMPARE(Seen(pWindow, sExpected), QString(sExpected))

namespace {

const QString kAborted = "Connection Status | Connection to MQTT Broker aborted.";
const QString kTerminated = "Connection Status | Connection to MQTT Broker terminated.";
const QString kBrokerUp = "Broker Connected; Status: Connected to MQTT broker";
const QString kConversionError = "gamma: CKavroType: Error converting [maybe] to bool";
const QByteArray kActive = R"({"connection_status":{"value":"active"}})";
// The device's configuration: attributes (one a text where a flag belongs) and the device information.
const QByteArray kConfig
    = R"({"gamma":{"disabled":"maybe"},"manualTAms":{"min-value":0,"max-value":20},"w":{},
    "detail":{"min-value":2,"max-value":8},"osdhist":{"disabled":false},"awbEn":{},"awbUnity":{},"sensor_type":{},
    "fpga":{"version":"r1021","date":"2022-09-30"},"software_version":{"version":"r877","date":"2022-10-01"},
    "board_type":{"type":"KV-2","version":"3"}})";

// A widget as one line: object name, class, state ("e" enabled or "d" disabled, then "c" checked, "h"
// hidden) and what it shows: text or title; a spin box's decimals, range, step and value.
QString Describe(const QWidget* pWidget)
{
    const auto* pButton = qobject_cast<const QAbstractButton*>(pWidget);
    QString sShown = pWidget->isWindow() ? pWidget->windowTitle() : pWidget->property("text").toString();
    sShown += pWidget->property("title").toString();
    if (const auto* pBox = qobject_cast<const QDoubleSpinBox*>(pWidget))
        sShown = QString::asprintf("%d %g..%g +%g =%g", pBox->decimals(), pBox->minimum(), pBox->maximum(),
            pBox->singleStep(), pBox->value());
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

// What the device uploads for a capture buffer: distinct for each, binary, longer than any size limit here.
QByteArray CaptureBytes(const QByteArray& name) { return name + QByteArray(3000, '\0') + name; }

// The reason the platform gives for not opening a folder as a file to append to.
QString FolderOpenError(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) ? QString() : file.errorString();
}

} // namespace

// The main window against a private broker, with the test playing the device. The device's configuration
// is retained on the broker for every window that connects; each test function brings the window it uses
// into the state it needs, so any of them runs alone or in any order.
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
                if (payload.startsWith("{\"capture\"") && !m_captureOutcome.isEmpty())
                    AnswerCapture();
            });
        m_device.publish("/hdr/config/parameters", kConfig, true);
        // The first window shown in the process opens collapsed.
        m_pWindow = new MainWindow;
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
        m_openedSize = m_pWindow->size();
    }
    void init()
    {
        m_closer.clear();
        m_closer.m_button = QMessageBox::Ok;
        m_closer.m_onDialog = nullptr;
        m_received.clear();
        m_captureOutcome = "0";
        m_sSkippedBuffer.clear();
    }
    void cleanup() { LimitFileSize(RLIM_INFINITY); }

    // Before any device is connected, the window offers only the connection panel, About and the
    // advanced toggle; the never-shown widgets stay hidden. The panel toggles by 500 pixels.
    void disconnectedLookAndAdvancedPanel()
    {
        MainWindow window;
        QStringList enabled;
        for (const QWidget* pWidget : window.centralWidget()->findChildren<QWidget*>()) {
            const bool bInput = qobject_cast<const QAbstractButton*>(pWidget)
                || qobject_cast<const QAbstractSlider*>(pWidget)
                || qobject_cast<const QAbstractSpinBox*>(pWidget) || qobject_cast<const QComboBox*>(pWidget)
                || qobject_cast<const QLineEdit*>(pWidget);
            if (bInput && pWidget->isEnabled() && !pWidget->isHidden() && !pWidget->objectName().isEmpty())
                enabled << pWidget->objectName();
        }
        enabled.sort();
        QCOMPARE(enabled.join(' '), "btnAbout btnConnect leBrokerPort leBrokerURL logoButton resizeButton");
        for (const char* sHidden : { "captureDlgButton", "tonemapCB", "longExpCB", "lfmExpCB",
                 "viewConfigDataButton", "sensorLabel" })
            QVERIFY2(Widget<QWidget>(&window, sHidden)->isHidden(), sHidden);

        // Opened collapsed, not at the form's 1207 x 700, yet large enough for the test platform's fonts,
        // which need more than the designed minimum: in either view no scroll bar, no control squeezed.
        if (Text(m_pWindow, "resizeButton") == "Less")
            Click(m_pWindow, "resizeButton");
        QTRY_COMPARE(m_pWindow->size(), m_openedSize);
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
        m_pWindow->resize(compact);
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
        if (kDiskCanFill)
            QTest::newRow("write fails")
                << sCompact + " || 1884 || 127.0.0.1 1883\n" + sSave + kAborted + " || =";
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
        QDir(AppFolder()).removeRecursively();
        MainWindow window;
        QDateTime now(QDate(2024, 12, 31), QTime(23, 59, 59, 500));
        window.SetClock([&now] { return now = now.addMSecs(1); }); // a clock read twice would show
        const QString sLog = AppFolder() + "/" + QCoreApplication::applicationName() + "_Log_%1.log";
        QVERIFY(QDir().mkpath(sLog.arg("2025-01-02")));
        // The fourth record finds the disk full (where a file size can be limited), the fifth a folder where
        // its day's file belongs.
        for (const QByteArray record : { R"({"temp":41.5,"fan":true})", R"({"volts":12})", R"({"volts":11})",
                 R"({"fan":false})", "{}" }) {
            LimitFileSize(record.contains("false") ? 40 : RLIM_INFINITY);
            window.DataUpdate("log_data", "/hdr/log", "", "board", Record(record));
            now = now.addMSecs(record.contains("false") ? 86400000 : 400);
        }
        LimitFileSize(RLIM_INFINITY);
        const QString sDay1
            = "31-Dec-2024 23:59:59.501\tboard\tfan\ttrue\n31-Dec-2024 23:59:59.501\tboard\ttemp\t41.5\n"
              "31-Dec-2024 23:59:59.902\tboard\tvolts\t12\n";
        const QString sDay2 = "01-Jan-2025 00:00:00.303\tboard\tvolts\t11\n",
                      sFan = "01-Jan-2025 00:00:00.704\tboard\tfan\tfalse",
                      sError = "\nUnable to open file to save log data:";
        const QString sDiskFull = kDiskCanFill ? sError + sLog.arg("2025-01-01") + "\nFile too large" : "";
        QCOMPARE(ReadFile(sLog.arg("2024-12-31")) + "|" + ReadFile(sLog.arg("2025-01-01")),
            (sDay1 + "|" + sDay2 + (kDiskCanFill ? "" : sFan + "\n")).toUtf8());
        QTRY_COMPARE(PaneLines(&window).join("\n"),
            sDay1 + sDay2 + sFan + sDiskFull + sError + sLog.arg("2025-01-02") + "\n"
                + FolderOpenError(sLog.arg("2025-01-02")));
    }

    // Against a broker where no device answers, one window gives up 5000 ms after Connect, one is aborted,
    // one is closed on the way.
    void connectionAttempts()
    {
        MosquittoBroker quiet;
        QVERIFY2(quiet.start(), qPrintable(quiet.errorString()));
        auto* pClosed = new MainWindow;
        MainWindow silent, aborted;
        QElapsedTimer clock;
        clock.start();
        for (MainWindow* pWindow : { &silent, &aborted, pClosed })
            ClickConnect(*pWindow, quiet);
        QTRY_VERIFY(PaneLines(&aborted).contains(kBrokerUp) && PaneLines(pClosed).contains(kBrokerUp));
        delete pClosed;
        Click(&aborted, "btnConnect");
        QTRY_COMPARE_WITH_TIMEOUT(Text(&silent, "btnConnect"), "Connect", 15000);
        QVERIFY2(clock.elapsed() >= 4900, qPrintable(QString::number(clock.elapsed())));
        const QString sFailed = "Connection Status | Connection to MQTT Broker failed.\n";
        QCOMPARE(m_closer.summary(), kAborted + "\n" + sFailed + "Please check the MQTT broker/Kavro device");
    }

    // A window connects: the configuration arrives while the button still reads "Abort"; the device's
    // report of itself completes the connection. Attributes reach their controls, the range before the
    // value, and nothing of it goes back to the device.
    void connection()
    {
        MainWindow window;
        ClickConnect(window, m_broker);
        QTRY_VERIFY(PaneLines(&window).contains(kConversionError));
        QCOMPARE_SEEN(&window, "btnConnect QPushButton e Abort => loadButton QPushButton d Load");
        m_device.publish("/hdr/status/parameters/connection", kActive);
        m_device.publish("/hdr/status/parameters",
            R"({"osdhist":{"disabled":false},"blackLevel":{"value":150,"min-value":0,"max-value":200,"disabled":false}})");
        QTRY_COMPARE(Text(&window, "blackLevelSpinBox"), "150");
        QTRY_COMPARE(PaneLines(&window),
            QStringList({ "Broker Disconnected; Status: Connecting to MQTT broker", kBrokerUp,
                kConversionError, "Device Status: Connected - device active" }));
        QCOMPARE_SEEN(&window,
            "btnConnect QPushButton e Disconnect => blackLevelSpinBox QDoubleSpinBox e 0 0..200 +1 =150"
            " => histoEnButton QPushButton d Histogram Enable => gammaSpinBox QDoubleSpinBox d 2 -2..4 +0.01 "
            "=0"
            " => exposureSpinBox QDoubleSpinBox e 2 0..20 +0.01 =0 => wSpinBox QDoubleSpinBox e 1 0..99999 "
            "+0.1 =0"
            " => detailSpinBox QDoubleSpinBox e 2 2..8 +0.1 =2 => loadButton QPushButton e Load");
        QCOMPARE(SentBeforeMarker(window), QList<QByteArray>());
        QCOMPARE(m_closer.summary(), QString());
    }

    void publishing_data()
    {
        // Each step sets a spin box ("<name>=<value>"), releases a slider at its maximum, clicks a button
        // or waits ("<ms>"). The messages must not come before nEarliestMs after the first step.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("nEarliestMs");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::newRow("slider at once") << QStringList { "exposureSlider" } << 0
                                        << QList<QByteArray> { R"({"manualTAms":{"value":20}})" };
        QTest::newRow("spin-box burst")
            << QStringList { "detailSpinBox=3.5", "200", "detailSpinBox=4.5", "200", "detailSpinBox=5.5" }
            << 900 << QList<QByteArray> { R"({"detail":{"value":5.5}})" };
        QTest::newRow("lone spin-box edit") << QStringList { "detailSpinBox=6.25" } << 1200
                                            << QList<QByteArray> { R"({"detail":{"value":6.25}})" };
        QTest::newRow("two parameters")
            << QStringList { "exposureSpinBox=7", "detailSpinBox=4" } << 700
            << QList<QByteArray> { R"({"detail":{"value":4}})", R"({"manualTAms":{"value":7}})" };
        QTest::newRow("buttons at once")
            << QStringList { "awbCB", "awbCB", "unityButton", "unityButton" } << 0
            << QList<QByteArray> { R"({"awbEn":{"value":true}})", R"({"awbEn":{"value":false}})",
                   R"({"awbUnity":{"value":false}})", R"({"awbUnity":{"value":false}})" };
    }

    // Slider releases and buttons go out at once; spin-box edits are gathered, one message per parameter
    // with its latest value, and nothing is sent twice.
    void publishing()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, nEarliestMs);
        QFETCH(QList<QByteArray>, sent);
        // A window of its own: sends still scheduled for another row's edits would send this row's early.
        MainWindow window;
        QVERIFY(Establish(window));
        m_received.clear();
        QElapsedTimer clock;
        clock.start();
        for (const QString& sStep : steps) {
            QWidget* pWidget = window.findChild<QWidget*>(sStep.section('=', 0, 0));
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
        QTRY_VERIFY_WITH_TIMEOUT(!m_received.isEmpty(), 5000);
        QVERIFY2(clock.elapsed() >= nEarliestMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(SentBeforeMarker(window), sent);
    }

    void unchosenValues_data()
    {
        // A spin-box edit of the user's, then the device's status reports; with bNarrowed the window is
        // wider for the first report and narrowed again before the next.
        QTest::addColumn<QString>("sUserEdit");
        QTest::addColumn<bool>("bNarrowed");
        QTest::addColumn<QList<QByteArray>>("reports");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::newRow("new bounds clamp the spin box")
            << QString() << false
            << QList<QByteArray> { R"({"detail":{"min-value":-8,"max-value":8,"value":0}})",
                   R"({"detail":{"min-value":2,"max-value":8,"value":5}})" }
            << QList<QByteArray>();
        QTest::newRow("new bounds after the window narrowed")
            << QString() << true
            << QList<QByteArray> { R"({"detail":{"min-value":-8,"max-value":8,"value":8}})",
                   R"({"detail":{"min-value":-8,"max-value":9}})" }
            << QList<QByteArray>();
        QTest::newRow("new bounds under a pending edit")
            << "wSpinBox=1" << false << QList<QByteArray> { R"({"w":{"min-value":2,"max-value":8}})" }
            << QList<QByteArray> { R"({"w":{"value":1}})" };
    }

    // The device's reports move the controls and never make the window publish a value nobody chose; a
    // pending edit of the user's goes out as the user made it.
    void unchosenValues()
    {
        QFETCH(QString, sUserEdit);
        QFETCH(bool, bNarrowed);
        QFETCH(QList<QByteArray>, reports);
        QFETCH(QList<QByteArray>, sent);
        QVERIFY(Establish(*m_pWindow));
        m_received.clear();
        if (!sUserEdit.isEmpty())
            Widget<QDoubleSpinBox>(m_pWindow, qPrintable(sUserEdit.section('=', 0, 0)))
                ->setValue(sUserEdit.section('=', 1).toDouble());
        const QSize size = m_pWindow->size();
        auto* pSlider = Widget<QSlider>(m_pWindow, "detailSlider");
        const int nSliderWidth = pSlider->width();
        if (bNarrowed) {
            m_pWindow->resize(size + QSize(300, 0));
            QTRY_VERIFY(pSlider->width() > nSliderWidth);
        }
        for (const QByteArray& report : reports) {
            m_device.publish("/hdr/status/parameters", report);
            QVERIFY(InboundHandled(*m_pWindow));
            if (bNarrowed && m_pWindow->size() != size) {
                m_pWindow->resize(size);
                QTRY_COMPARE(pSlider->width(), nSliderWidth);
            }
        }
        QCOMPARE(SentBeforeMarker(*m_pWindow), sent);
    }

    // Whatever was waiting for the device ends with its connection: a pending edit is not sent to the next
    // connection, a capture requested from it is not completed by a later report, and an upload requested
    // from it is not written into the file chosen then.
    void connectionEndVoidsWaitingState()
    {
        QVERIFY(Establish(*m_pWindow));
        QDir folder(m_dir.path());
        for (const QString& sFile : folder.entryList(QDir::Files))
            QVERIFY(folder.remove(sFile));
        const QString sUpload = m_dir.filePath("requested.json");
        m_pWindow->SetFileDialogs(nullptr,
            [&sUpload](QWidget*, const QString&, const QString&, const QString&) { return sUpload; });
        m_captureOutcome.clear();
        Widget<QDoubleSpinBox>(m_pWindow, "wSpinBox")->setValue(3);
        m_device.publish("/hdr/status/parameters", "{\"capture\":{\"value\":1}}");
        Click(m_pWindow, "saveButton");
        QTRY_COMPARE(m_received.size(), 2); // the capture and the upload requests
        Click(m_pWindow, "btnConnect");
        QTRY_COMPARE(m_closer.summary(), kTerminated);
        QVERIFY(Establish(*m_pWindow));

        m_received.clear();
        m_closer.clear();
        m_device.publish("/hdr/status/upload", "late upload");
        m_device.publish("/hdr/capture/upload/t1", "late image");
        m_device.publish("/hdr/status/parameters", "{\"capture\":{\"value\":0}}");
        QVERIFY(InboundHandled(*m_pWindow));
        QCOMPARE(SentBeforeMarker(*m_pWindow), QList<QByteArray>());
        QCOMPARE(m_closer.summary(), QString());
        QVERIFY(PaneLines(m_pWindow).contains(
            "A parameter upload of 11 bytes arrived; no Save is waiting for it here."));
        QVERIFY(!QFile::exists(sUpload));
        QCOMPARE(folder.entryList(QDir::Files), QStringList());
    }

    void filesAndCommands()
    {
        QStringList dialogs;
        QString sAnswer;
        auto answer = [&](QWidget*, const QString& sCaption, const QString& sDir, const QString& sFilter) {
            dialogs << sCaption + " | " + sDir + " | " + sFilter;
            return sAnswer;
        };
        QTemporaryDir files;
        MainWindow window;
        window.SetFileDialogs(answer, answer);
        QVERIFY(Establish(window));
        m_received.clear();
        // An upload before Save chose a file (another panel's) is only noted; a cancelled Save sends nothing.
        m_device.publish("/hdr/status/upload", "early");
        QTRY_COMPARE(PaneLines(&window).last(),
            "A parameter upload of 5 bytes arrived; no Save is waiting for it here.");
        Click(&window, "saveButton");
        QCOMPARE(Text(&window, "leFileName"), "<no file selected>");
        Click(&window, "btnLoadDefaults");
        sAnswer = files.filePath("params.json");
        Click(&window, "saveButton");
        QTRY_COMPARE(m_received.join(' '),
            R"(/hdr/set/controls {"load-defaults":{"value":true}} /hdr/set/controls {"upload":{"value":true}})");
        QByteArray upload(1 << 20, '\0');
        for (int nIndex = 0; nIndex < upload.size(); nIndex += 3)
            upload[nIndex] = char(nIndex / 3);
        m_device.publish("/hdr/status/upload", upload);
        QTRY_COMPARE(ReadFile(sAnswer), upload);

        // Load sends the file as it is. The dialogs start in the current directory, then at the file chosen.
        const QByteArray parameters("not JSON\0\xff at all", 17);
        QVERIFY(WriteFile(sAnswer = files.filePath("params.txt"), parameters));
        Click(&window, "loadButton");
        QTRY_COMPARE(m_received.value(2), "/hdr/set/parameters " + parameters);
        const QString sFilter = " | json files (*.json) ;; text files (*.txt) ;; All files (*.*)";
        const QString sSave = "Save Uploaded Params | " + m_dir.path() + sFilter;
        QCOMPARE(dialogs,
            QStringList({ sSave, sSave, "Open Download File | " + files.filePath("params.json") + sFilter }));
        // Device log text is shown up to its first NUL byte.
        m_device.publish("/hdr/status/logs", QByteArray("sensor warm\0rest", 16));
        QTRY_COMPARE(PaneLines(&window).last(), "sensor warm");
    }

    void viewerAndAbout()
    {
        // The viewer holds what arrived since the last connect.
        if (Text(m_pWindow, "btnConnect") != "Connect") {
            Click(m_pWindow, "btnConnect");
            QTRY_COMPARE(Text(m_pWindow, "btnConnect"), "Connect");
        }
        QVERIFY(Establish(*m_pWindow));
        m_closer.clear();
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
            sAbout + sDetails + "\n" + kTerminated + "\n" + sAbout
                + "Must be connected to show detailed versions!");
        QCOMPARE(opened,
            QList<QUrl>({ QUrl::fromLocalFile(
                QCoreApplication::applicationDirPath() + "/doc/Quick Start Guide.pdf") }));
    }

    void capture_data()
    {
        // How the capture starts ("dialog <mux>" runs the capture dialog, "device <value>" is the device's
        // report) with which sensor model, and a buffer the device does not upload for it || the base name,
        // " date" to add one || the files || the boxes.
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
        if (kDiskCanFill)
            QTest::newRow("disk full") << "device 1 AR0239 || capture.tiff" + sSensor + sDiskFull + sDone;
        QTest::newRow("HDMI by the device")
            << "device 2 AR0233 || capture.tiff || capture_HDMI.tiff capture_META.json || " + sDone;
        QTest::newRow("folder in the name, no extension, date")
            << "dialog 2 AR0239 || sub/shot date || shot_HDMI_<date>.tiff shot_META_<date>.json || " + sDone;
        QTest::newRow("failed") << "dialog 1 AR0233 || shot ||  || Capture | Capture Failed!";
        QTest::newRow("a buffer not uploaded for this capture")
            << "device 1 AR0239 t2 || capture.tiff" + sSensor + sDone;
    }

    void capture()
    {
        QFETCH(QString, row);
        const QStringList fields = row.split(" || ");
        const bool bDialog = row.startsWith("dialog"), bDiskFull = row.contains("too large");
        m_sSkippedBuffer = fields.at(0).section(' ', 3, 3).toUtf8();
        QVERIFY(Establish(*m_pWindow));
        // A full disk must leave the files of an earlier capture as they were.
        QDir folder(m_dir.path());
        for (const QString& sFile : folder.entryList(QDir::Files))
            QVERIFY(folder.remove(sFile));
        for (const QString& sFile : fields.at(2).split(' ', Qt::SkipEmptyParts))
            QVERIFY(!bDiskFull || WriteFile(folder.filePath(sFile), ExpectedCaptureBytes(sFile)));
        // The device's upload of a buffer while no capture is pending.
        if (!m_sSkippedBuffer.isEmpty())
            m_device.publish("/hdr/capture/upload/" + m_sSkippedBuffer, "stale");
        m_pWindow->DataUpdate("params_config", "", "", "sensor_type",
            Record("{\"model\":\"" + row.section(' ', 2, 2).toUtf8() + "\"}"));
        auto* pDialog = m_pWindow->findChild<CaptureDialog*>();
        Widget<QLineEdit>(pDialog, "baseFileNameLineEdit")->setText(fields.at(1).section(' ', 0, 0));
        Widget<QAbstractButton>(pDialog, "appendDateCheckBox")->setChecked(fields.at(1).endsWith(" date"));
        m_captureOutcome = row.contains("Failed") ? "255" : "0";
        m_closer.m_onDialog = [&row](QDialog* pDialog) {
            Click(pDialog, row.section(' ', 1, 1) == "2" ? "hdmiRadioButton" : "ldrRadioButton");
            Click(pDialog, "captureButton");
        };
        QVERIFY(InboundHandled(*m_pWindow));
        LimitFileSize(bDiskFull ? 16 : RLIM_INFINITY);
        if (bDialog)
            QMetaObject::invokeMethod(m_pWindow, "on_captureDlgButton_clicked");
        else
            m_device.publish("/hdr/status/parameters",
                "{\"capture\":{\"value\":" + row.section(' ', 1, 1).toUtf8() + "}}");
        // The device reports the outcome twice; the second report finds no capture pending: no box, no file.
        QTRY_COMPARE(m_closer.summary(), fields.at(3));
        QVERIFY(InboundHandled(*m_pWindow));
        LimitFileSize(RLIM_INFINITY);
        QCOMPARE(m_closer.summary(), fields.at(3));
        QVERIFY(!bDialog || pDialog->result() == int(row.contains("Failed")));
        QStringList written = folder.entryList(QDir::Files);
        QCOMPARE(
            written.replaceInStrings(QRegularExpression("_\\d{4}(_\\d\\d){2}_\\d{6}"), "_<date>").join(" "),
            fields.at(2));
        for (const QString& sFile : folder.entryList(QDir::Files))
            QCOMPARE(ReadFile(folder.filePath(sFile)), ExpectedCaptureBytes(sFile));
    }

private:
    bool Establish(MainWindow& window) { return ::Establish(window, m_broker, m_device); }
    bool InboundHandled(MainWindow& window) { return ::InboundHandled(window, m_device); }

    // What the window publishes until a spin-box edit of the user's, made now, goes out: by then every
    // edit pending before it has gone out too. Parameter messages are given by their payload only.
    QList<QByteArray> SentBeforeMarker(MainWindow& window)
    {
        auto* pMarker = Widget<QDoubleSpinBox>(&window, "yThreshSpinBox");
        const double dMarker = pMarker->value() < 2000 ? pMarker->value() + 40 : pMarker->value() - 40;
        pMarker->setValue(dMarker);
        const QByteArray markerSent
            = "/hdr/set/parameters {\"yNoiseThresh\":{\"value\":" + QByteArray::number(dMarker) + "}}";
        if (!QTest::qWaitFor([&] { return m_received.contains(markerSent); }, 10000))
            return { "no marker" };
        QList<QByteArray> sent = m_received.mid(0, m_received.indexOf(markerSent));
        for (QByteArray& message : sent)
            message.replace("/hdr/set/parameters ", "");
        return sent;
    }

    // The device uploads its capture buffers (but the skipped one), then reports the outcome, twice.
    void AnswerCapture()
    {
        for (const QByteArray buffer : { "t1", "t2", "t3", "ldr", "hdmi", "meta" }) {
            if (buffer != m_sSkippedBuffer)
                m_device.publish("/hdr/capture/upload/" + buffer, CaptureBytes(buffer));
        }
        for (int nReport = 0; nReport < 2; ++nReport)
            m_device.publish("/hdr/status/parameters", "{\"capture\":{\"value\":" + m_captureOutcome + "}}");
    }

    // The bytes of the buffer a capture file is named after ("x_T1_<date>.tiff": t1), or none for the
    // buffer the device did not upload.
    QByteArray ExpectedCaptureBytes(const QString& sFile) const
    {
        const QByteArray buffer = sFile.section('_', 1, 1).section('.', 0, 0).toLower().toUtf8();
        return buffer == m_sSkippedBuffer ? QByteArray() : CaptureBytes(buffer);
    }

    QTemporaryDir m_dir;
    MosquittoBroker m_broker;
    TestDevice m_device;
    QList<QByteArray> m_received; // "<topic> <payload>" of what the windows published
    QByteArray m_captureOutcome; // the device's answer to a capture request; empty: none
    QByteArray m_sSkippedBuffer; // a capture buffer the device does not upload
    ModalBoxCloser m_closer;
    MainWindow* m_pWindow = nullptr;
    QSize m_openedSize;
};

OMBIX_GUI_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

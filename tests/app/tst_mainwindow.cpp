#include "controls/sregisteredparam.h"
#include "guitestmain.h"
#include "windowtest.h"

namespace {

const QString kConversionError = "gamma: CKavroType: Error converting [maybe] to bool";
// The device's configuration: attributes (one a text where a flag belongs) and the device information.
const QByteArray kConfig
    = R"({"gamma":{"disabled":"maybe"},"manualTAms":{"min-value":0,"max-value":20},"w":{},
    "detail":{"min-value":2,"max-value":8},"osdhist":{"disabled":false},"awbEn":{},"awbUnity":{},"sensor_type":{},
    "fpga":{"version":"r1021","date":"2022-09-30"},"software_version":{"version":"r877","date":"2022-10-01"},
    "board_type":{"type":"KV-2","version":"3"}})";

// What the device uploads for a capture buffer: distinct for each, binary, longer than any size limit here.
QByteArray CaptureBytes(const QString& sBuffer) { return sBuffer.toUtf8() + QByteArray(3000, '\0'); }

// Every entry below the folder, relative to it.
QStringList Tree(const QString& sFolder)
{
    QStringList entries;
    QDirIterator it(
        sFolder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(sFolder).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

} // namespace

// The main window against a private broker, with the test playing the device. Each test function brings the
// shared window into the state it needs, so any of them runs alone or in any order.
class TestMainWindow : public WindowTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_bInCaptureFolder && StartDevice(kConfig));
        // The first window shown in the process opens collapsed.
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
    }
    void init()
    {
        m_closer.clear();
        m_closer.m_button = QMessageBox::Ok;
        m_received.clear();
        QVERIFY(QDir(QFileInfo(AppFolder()).path()).removeRecursively()); // the documents folder
        QDir folder; // where capture files go
        for (const QString& sFile : folder.entryList(QDir::Files))
            QVERIFY(folder.remove(sFile));
    }
    void cleanup() { LimitFileSize(RLIM_INFINITY); }

    // Before any device is connected, the window offers only the connection panel, About and the advanced
    // toggle; the never-shown widgets stay hidden. The advanced panel adds 500 pixels to the width.
    void disconnectedLookAndAdvancedPanel()
    {
        MainWindow window;
        QStringList enabled;
        for (const QWidget* pWidget :
            window.centralWidget()->findChildren<QWidget*>(QRegularExpression("."))) {
            const bool bInput = qobject_cast<const QAbstractButton*>(pWidget)
                || qobject_cast<const QAbstractSlider*>(pWidget)
                || qobject_cast<const QAbstractSpinBox*>(pWidget) || qobject_cast<const QComboBox*>(pWidget)
                || qobject_cast<const QLineEdit*>(pWidget);
            if (bInput && pWidget->isEnabled() && !pWidget->isHidden())
                enabled << pWidget->objectName();
        }
        enabled.sort();
        QCOMPARE(enabled.join(' '), "btnAbout btnConnect leBrokerPort leBrokerURL logoButton resizeButton");
        QStringList hidden { "captureDlgButton", "viewConfigDataButton", "sensorLabel" };
        for (const SRegisteredParam& param : RegisteredParams())
            hidden << (param.bHidden ? param.widgetNames : QStringList());
        for (const QString& sHidden : hidden)
            QVERIFY2(Widget<QWidget>(&window, qPrintable(sHidden))->isHidden(), qPrintable(sHidden));

        // Opened collapsed, not at the form's 1207 x 700, yet large enough for the test platform's fonts: in
        // either view no scroll bar, no control squeezed.
        const QSize compact = m_window.size();
        const auto* pScrollArea = m_window.findChild<QScrollArea*>("scrollArea");
        const auto* pAdvanced = m_window.findChild<QWidget*>("advancedGroupBox");
        const auto fits = [&] {
            return !pScrollArea->verticalScrollBar()->isVisible()
                && !pScrollArea->horizontalScrollBar()->isVisible()
                && (pAdvanced->isHidden() || pAdvanced->width() >= pAdvanced->sizeHint().width());
        };
        QVERIFY(compact.width() < 1207 && fits());
        Click(&m_window, "resizeButton");
        QTRY_COMPARE(m_window.size(), compact + QSize(500, 0));
        QVERIFY(fits() && !pAdvanced->isHidden());
        QCOMPARE(Text(&m_window, "resizeButton"), "Less");
        Click(&m_window, "resizeButton");
        QTRY_COMPARE(m_window.size(), compact);
        QCOMPARE(Text(&m_window, "resizeButton"), "Advanced");
    }

    // The settings file before the start (null: no documents folder at all), a full disk, and the box before
    // Abort's after Connect to 127.0.0.1:1883 and Abort (a file that does not parse gets the parser's reason
    // after it). The file is then the address saved, or on a full disk as before. The file's contents, and
    // the address read from it, are tst_csettingsfile's; a folder where the file cannot be opened, too.
    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("bDiskFull");
        QTest::addColumn<QString>("sBox");
        // The boxes name the file as the window does, its folder in the platform's notation.
        const QString sFile = QDir::toNativeSeparators(AppFolder()) + "/UCControlConfig.json";
        QTest::newRow("first run") << QByteArray() << false << QString();
        QTest::newRow("corrupt") << QByteArray("{\"a\":1,}") << false
                                 << "Load Configuration | \n\nError loading config json file:\n\n" + sFile;
        if (kDiskCanFill)
            QTest::newRow("disk full")
                << QByteArray(R"({"broker_address":{"port":"1884","url":"10.1.1.1"}})") << true
                << "Save Configuration | Error opening config json file to save:\n\n" + sFile;
    }
    void settingsFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, bDiskFull);
        QFETCH(QString, sBox);
        QVERIFY(before.isNull() || WriteFile(SettingsPath(), before));
        MainWindow window;
        LimitFileSize(bDiskFull ? 16 : RLIM_INFINITY);
        ClickConnect(window, "127.0.0.1", 1883);
        LimitFileSize(RLIM_INFINITY);
        Click(&window, "btnConnect"); // Abort
        QCOMPARE(m_closer.m_boxes.mid(sBox.isEmpty() ? 0 : 1), QStringList(kAborted));
        QVERIFY2(m_closer.summary().startsWith(sBox), qPrintable(m_closer.summary()));
        QCOMPARE(ReadFile(SettingsPath()),
            bDiskFull ? before
                      : "{\n    \"broker_address\": {\n        \"port\": \"1883\",\n        \"url\": "
                        "\"127.0.0.1\"\n    }\n}\n");
        // The reason a file did not load is in the pane as well.
        QVERIFY(!sBox.startsWith("Load")
            || PaneLines(&window).join("\n").contains(m_closer.m_boxes.at(0).section(" | ", 1)));
    }

    // Each device log record goes to the pane and into the file of its day (the file's format is
    // tst_clogfile's); what cannot be written, on a full disk or where a folder holds the day's place, is
    // said in the pane (the platform's reason follows).
    void logFiles()
    {
        MainWindow window;
        QDateTime now(QDate(2025, 1, 1), QTime(8, 0));
        window.SetClock([&now] { return now; });
        const QString sLog = AppFolder() + "/" + qAppName() + "_Log_2025-01-0%1.log";
        QVERIFY(QDir().mkpath(sLog.arg(3)));
        for (int nDay = 1; nDay <= 3; ++nDay, now = now.addDays(1)) {
            LimitFileSize(nDay == 2 ? 0 : RLIM_INFINITY);
            window.DataUpdate("log_data", "/hdr/log", "", "board", new CKavroParam(12u));
        }
        LimitFileSize(RLIM_INFINITY);
        const QString sError = "Unable to open file to save log data:";
        QTRY_VERIFY(PaneLines(&window).join('\n').contains(sError + sLog.arg(3) + "\n"));
        const QStringList lines = PaneLines(&window).filter("\tboard\tvalue\t12");
        QCOMPARE(ReadFile(sLog.arg(1)), (lines.value(0) + "\n").toUtf8());
        QCOMPARE(ReadFile(sLog.arg(2)), kDiskCanFill ? QByteArray() : (lines.value(1) + "\n").toUtf8());
        QVERIFY(!kDiskCanFill
            || PaneLines(&window).join('\n').contains(
                lines.at(1) + "\n" + sError + sLog.arg(2) + "\nFile too large"));
    }

    // One window walks a connection and the next. The configuration arrives while the button still reads
    // "Abort"; the device's report of itself completes the connection. Attributes reach their controls, the
    // range before the value; a flag that does not read as one leaves its control disabled; a parameter the
    // configuration gives no bounds gets the widest. The viewer holds the connection's configuration records
    // in topic order, About the device's versions. Nothing of the configuration goes back to the device.
    // Buttons, Defaults and Load go out at once, Load with the file's bytes as they are; a cancelled Save
    // sends nothing; spin-box edits are gathered and go out after a pause, one message per parameter with
    // its latest value (a slider's release is tst_controls' and tst_endtoend's). Whatever was waiting for the
    // device ends with its connection: a pending edit is not sent to the next connection, a capture requested
    // from it is not completed by a later report, and an upload requested from it is not written into the
    // file chosen then. Disconnected, the viewer is empty and About asks for a connection; Help hands the
    // desktop a file URL of the guide in "doc" beside the executable (on Windows file:///C:/...).
    void connection()
    {
        const QByteArray parameters("not JSON\0\xff at all", 17);
        QVERIFY(WriteFile("params.txt", parameters));
        MainWindow window;
        window.SetFileDialogs(Choose("params.txt"), Choose(QString()));
        QUrl opened;
        window.SetUrlOpener([&opened](const QUrl& url) { opened = url; });
        m_closer.m_button = QMessageBox::Help;
        ClickConnect(window, m_broker.host(), m_broker.port());
        QTRY_VERIFY(PaneLines(&window).contains(kConversionError));
        QCOMPARE(Text(&window, "btnConnect"), "Abort");
        m_device.publish(
            "/hdr/config/sensor", R"({"sensor_type":{"manufacturer":"Onsemi","model":"AR0239"}})");
        m_device.publish("/hdr/status/parameters",
            R"({"osdhist":{"disabled":false},"blackLevel":{"value":150,"min-value":0,"max-value":200,"disabled":false}})");
        m_device.publish("/hdr/status/parameters/connection", kActive);
        QTRY_COMPARE(PaneLines(&window),
            QStringList({ "Broker Disconnected; Status: Connecting to MQTT broker",
                "Broker Connected; Status: Connected to MQTT broker", kConversionError,
                "Device Status: Connected - device active" }));
        QStringList states; // which controls are enabled, then spin boxes' bounds and values
        for (const char* sName : { "blackLevelSpinBox", "histoEnButton", "gammaSpinBox", "loadButton" })
            states << sName + QString(Widget<QWidget>(&window, sName)->isEnabled() ? " e" : " d");
        for (const char* sName : { "blackLevelSpinBox", "exposureSpinBox", "wSpinBox", "detailSpinBox" }) {
            const auto* pBox = Widget<QDoubleSpinBox>(&window, sName);
            states << QString("%1..%2 =%3").arg(pBox->minimum()).arg(pBox->maximum()).arg(pBox->value());
        }
        QCOMPARE(states.join(", "),
            "blackLevelSpinBox e, histoEnButton d, gammaSpinBox d, loadButton e, 0..200 =150, 0..20 =0, "
            "0..99999 =0, 2..8 =2");
        auto* pViewer = Widget<QPlainTextEdit>(&window, "teConfigData");
        const QStringList records = pViewer->toPlainText().split("\n").filter(QRegularExpression(":$"));
        QCOMPARE(records.join(" ").remove("/hdr/config/"),
            "parameters/" + QJsonDocument::fromJson(kConfig).object().keys().join(": parameters/")
                + ": sensor/sensor_type:");
        Click(&window, "btnAbout");

        for (const char* sButton :
            { "awbCB", "awbCB", "unityButton", "unityButton", "btnLoadDefaults", "loadButton", "saveButton" })
            Click(&window, sButton);
        QCOMPARE(Text(&window, "leFileName"), "<no file selected>");
        QElapsedTimer clock;
        clock.start();
        Widget<QDoubleSpinBox>(&window, "exposureSpinBox")->setValue(7);
        Widget<QDoubleSpinBox>(&window, "detailSpinBox")->setValue(3.5);
        QTest::qWait(200);
        Widget<QDoubleSpinBox>(&window, "detailSpinBox")->setValue(4.5);
        QTRY_VERIFY_WITH_TIMEOUT(m_received.size() > 6, 5000);
        QVERIFY2(clock.elapsed() >= 700, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(SentBeforeMarker(window),
            QList<QByteArray>({ R"({"awbEn":{"value":true}})", R"({"awbEn":{"value":false}})",
                R"({"awbUnity":{"value":false}})", R"({"awbUnity":{"value":false}})",
                R"(/hdr/set/controls {"load-defaults":{"value":true}})", parameters,
                R"({"detail":{"value":4.5}})", R"({"manualTAms":{"value":7}})" }));

        window.SetFileDialogs(nullptr, Choose(m_dir.filePath("requested.json")));
        m_received.clear();
        m_device.publish("/hdr/status/parameters", "{\"capture\":{\"value\":1}}");
        Click(&window, "saveButton");
        QTRY_COMPARE(m_received.size(), 2); // the capture and the upload requests
        Widget<QDoubleSpinBox>(&window, "wSpinBox")->setValue(3);
        Click(&window, "btnConnect");
        QTRY_COMPARE(Text(&window, "btnConnect"), "Connect");
        QCOMPARE(pViewer->toPlainText(), QString());
        Click(&window, "btnAbout");
        QVERIFY(Establish(window));
        m_received.clear();
        m_device.publish("/hdr/status/upload", "late upload");
        m_device.publish("/hdr/capture/upload/t1", "late image");
        m_device.publish("/hdr/status/parameters", "{\"capture\":{\"value\":0}}");
        QCOMPARE(SentBeforeMarker(window), QList<QByteArray>());
        QCOMPARE(Tree(m_dir.path()), QStringList({ "a", "a/b", "a/b/params.txt" }));
        QCOMPARE(m_closer.m_boxes.size(), 3);
        QVERIFY(m_closer.m_boxes.at(0).endsWith("Board:\tKV-2\t(3)\nSensor:\tOnsemi\t\t(AR0239)\n"));
        QCOMPARE(m_closer.m_boxes.at(1), kTerminated);
        QVERIFY(m_closer.m_boxes.at(2).endsWith("Must be connected to show detailed versions!"));
        QCOMPARE(opened,
            QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/doc/Quick Start Guide.pdf"));
    }

    // The device's reports move the controls and never make the window publish a value nobody chose: new
    // bounds clamp the spin boxes (also after the slider narrowed: tst_controls'); the user's pending edit
    // goes out as made.
    void unchosenValues()
    {
        QVERIFY(Establish(m_window));
        auto* pChosen = Widget<QDoubleSpinBox>(&m_window, "wSpinBox");
        const QByteArray chosen = "{\"w\":{\"value\":" + QByteArray::number(pChosen->value() + 1) + "}}";
        pChosen->setValue(pChosen->value() + 1);
        const auto report = [this](const QByteArray& status) {
            m_device.publish("/hdr/status/parameters", status);
            return Handled(m_window);
        };
        QVERIFY(report(R"({"detail":{"min-value":-8,"max-value":8,"value":0}})")
            && report(R"({"detail":{"min-value":2,"max-value":8,"value":5}})")
            && report(R"({"w":{"min-value":2,"max-value":8}})")
            && report(R"({"detail":{"min-value":-8,"max-value":8,"value":8}})")
            && report(R"({"detail":{"min-value":-8,"max-value":9}})"));
        QCOMPARE(SentBeforeMarker(m_window), QList<QByteArray> { chosen });
    }

    // The device's report starts a sensor capture for a sensor model; a buffer uploaded before the capture
    // and not in it; a full disk; the files written. Every capture also gets uploads on sub-topics named like
    // paths. The dialog's file names are tst_dialogs'; a capture started from the dialog, and an HDMI
    // capture, are tst_endtoend's; a failed one, tst_faults' and tst_floods'.
    void capture_data()
    {
        QTest::addColumn<QString>("sSensor");
        QTest::addColumn<QString>("sSkipped");
        QTest::addColumn<bool>("bDiskFull");
        QTest::addColumn<QStringList>("files");
        const QStringList sensor { "capture_META.json", "capture_T1.tiff", "capture_T2.tiff",
            "capture_T3.tiff" };
        QTest::newRow("AR0233") << "AR0233" << QString() << false
                                << QStringList { "capture_LDR.tiff", "capture_META.json" };
        QTest::newRow("a buffer not uploaded for this capture") << "AR0239"
                                                                << "t2" << false << sensor;
        if (kDiskCanFill)
            QTest::newRow("disk full") << "AR0239" << QString() << true << sensor;
    }

    // Capture files are written only under the dialog's names, in the current directory, each with the bytes
    // of its own buffer (a full disk leaves the earlier files as they were); the device's second report of
    // the outcome finds no capture pending.
    void capture()
    {
        QFETCH(QString, sSensor);
        QFETCH(QString, sSkipped);
        QFETCH(bool, bDiskFull);
        QFETCH(QStringList, files);
        QVERIFY(Establish(m_window));
        QString sBoxes; // on a full disk, a box for each file, the metadata's last
        for (const QString& sFile : files.mid(1) + files.mid(0, 1))
            if (bDiskFull && WriteFile(sFile, "earlier"))
                sBoxes += "Unable to open file to save upload capture data:\n\n"
                    + QDir::current().filePath(sFile) + " | File too large\n";
        sBoxes += "Capture | Capture Complete";
        m_device.publish("/hdr/capture/upload/t2", "stale");
        m_device.publish("/hdr/config/sensor", "{\"sensor_type\":{\"model\":\"" + sSensor.toUtf8() + "\"}}");
        LimitFileSize(bDiskFull ? 16 : RLIM_INFINITY);
        m_device.publish("/hdr/status/parameters", "{\"capture\":{\"value\":1}}");
        for (const QString& sStray :
            QStringList { "../../x", "t1/../../y", "../t1", "t1/", "/tmp/z", "//etc/z", "./t2", "T3",
                QString(5000, 'n'), QString(200, 'd').replace(50, 1, '/'), "meta/../meta" })
            m_device.publish("/hdr/capture/upload/" + sStray, sStray.toUtf8());
        for (const QString sBuffer : { "t1", "t2", "t3", "ldr", "hdmi", "meta" })
            if (sBuffer != sSkipped)
                m_device.publish("/hdr/capture/upload/" + sBuffer, CaptureBytes(sBuffer));
        for (int nReport = 0; nReport < 2; ++nReport)
            m_device.publish("/hdr/status/parameters", "{\"capture\":{\"value\":0}}");
        QTRY_COMPARE(m_closer.summary(), sBoxes);
        QVERIFY(Handled(m_window));
        LimitFileSize(RLIM_INFINITY);
        QCOMPARE(m_closer.summary(), sBoxes);
        for (const QString& sFile : files) {
            const QString sBuffer = sFile.section('_', 1).section('.', 0, 0).toLower();
            const QByteArray written = sBuffer == sSkipped ? QByteArray() : CaptureBytes(sBuffer);
            QCOMPARE(ReadFile(sFile), bDiskFull ? QByteArray("earlier") : written);
        }
        QCOMPARE(Tree(m_dir.path()),
            QStringList({ "a", "a/b" }) + files.replaceInStrings(QRegularExpression("^"), "a/b/"));
        for (const char* sStray : { "/tmp/z", "/etc/z", "/x", "/y" })
            QVERIFY2(!QFileInfo::exists(sStray), sStray);
    }

private:
    // What the window publishes until a spin-box edit of the user's, made now, goes out: by then every edit
    // pending before it has gone out too. Parameter messages are given by their payload only.
    QList<QByteArray> SentBeforeMarker(MainWindow& window)
    {
        auto* pMarker = Widget<QDoubleSpinBox>(&window, "yThreshSpinBox");
        pMarker->setValue(pMarker->value() < 2000 ? pMarker->value() + 40 : pMarker->value() - 40);
        const QByteArray markerSent = "/hdr/set/parameters {\"yNoiseThresh\":{\"value\":"
            + QByteArray::number(pMarker->value()) + "}}";
        if (!QTest::qWaitFor([&] { return m_received.contains(markerSent); }, 10000))
            return { "no marker" };
        QList<QByteArray> sent = m_received.mid(0, m_received.indexOf(markerSent));
        for (QByteArray& message : sent)
            message.replace("/hdr/set/parameters ", "");
        return sent;
    }

    QTemporaryDir m_dir;
    // Capture files go to the current directory, two levels below the test's folder; a window takes it when
    // it is made.
    const bool m_bInCaptureFolder
        = QDir().mkpath(m_dir.filePath("a/b")) && QDir::setCurrent(m_dir.filePath("a/b"));
    MainWindow m_window;
};

OMBIX_GUI_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

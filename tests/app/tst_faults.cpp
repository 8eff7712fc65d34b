#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "model/ckavroparam.h"
#include "windowtest.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtWidgets>
#include <linux/capability.h>
#include <memory>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString kAborted = "Connection Status | Connection to MQTT Broker aborted.";
const QString kCheck = "Please check the MQTT broker/Kavro device";
const QString kLost = "Connection Alert | Disconnected from MQTT broker" + kCheck;
const QString kFailed = "Connection Status | Connection to MQTT Broker failed.\n" + kCheck;
const QStringList kFilters { "/hdr/config/#", "/hdr/status/parameters/#", "/hdr/capture/upload/#",
    "/hdr/status/logs", "/hdr/status/upload" };
const QByteArray kConfig = R"({"w":{"min-value":0,"max-value":100},"detail":{"min-value":2,"max-value":8}})";

// Every file below the folder, with its size, relative to it; folders end in "/".
QStringList Tree(const QString& sFolder)
{
    QStringList entries;
    QDirIterator it(
        sFolder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString sName = QDir(sFolder).relativeFilePath(info.filePath());
        entries << (info.isDir() ? sName + "/" : sName + " " + QString::number(info.size()));
    }
    entries.sort();
    return entries;
}

// Root passes every permission check; without CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH in its effective set
// it is held to the modes of files and folders like any user. A no-op for other users.
class FileModesEnforced
{
public:
    FileModesEnforced()
    {
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = { m_saved[0], m_saved[1] };
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, reduced);
    }
    ~FileModesEnforced() { syscall(SYS_capset, &m_header, m_saved); }

private:
    __user_cap_header_struct m_header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct m_saved[2] {};
};

void SetWritable(const QString& sPath, bool bWritable)
{
    const QFileDevice::Permissions write = QFileDevice::WriteOwner | QFileDevice::WriteUser
        | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QFile::setPermissions(
        sPath, bWritable ? QFile::permissions(sPath) | write : QFile::permissions(sPath) & ~write);
}

// Stands where a broker should be: accepts every TCP connection and then says nothing, or, with
// bAnswerConnect, answers the MQTT CONNECT with a CONNACK and nothing after it. Counts the connections that
// the panel still holds open.
class StallingListener : public QTcpServer
{
public:
    explicit StallingListener(bool bAnswerConnect)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, bAnswerConnect] {
            QTcpSocket* pSocket = nextPendingConnection();
            ++m_nAccepted;
            ++m_nOpen;
            connect(pSocket, &QTcpSocket::disconnected, this, [this, pSocket] {
                --m_nOpen;
                pSocket->deleteLater();
            });
            connect(pSocket, &QTcpSocket::readyRead, pSocket, [pSocket, bAnswerConnect] {
                if (pSocket->readAll().startsWith('\x10') && bAnswerConnect)
                    pSocket->write(QByteArray("\x20\x02\x00\x00", 4));
            });
        });
    }

    int m_nAccepted = 0;
    int m_nOpen = 0;
};

} // namespace

// Faults around the panel: a broker that dies or never answers, a panel closed at any moment, a documents
// folder or settings file in a state nobody planned for, and a device that names upload sub-topics like
// paths. Real processes on 127.0.0.1 only; the test plays the device on its own broker.
class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_captures.path())); // where capture files go
        m_broker.setExtraConfig("log_type subscribe");
        connect(&m_device.client(), &QMqttClient::messageReceived, this,
            [this](const QByteArray& payload, const QMqttTopicName& topic) {
                m_received << topic.name().toUtf8() + " " + payload;
                if (payload.startsWith("{\"capture\"") && m_onCapture)
                    m_onCapture();
            });
    }
    void init()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        if (m_device.client().state() != QMqttClient::Connected)
            QVERIFY(m_device.connectTo(m_broker) && m_device.listen("/hdr/set/#"));
        m_device.publish("/hdr/config/parameters", kConfig, true);
        m_pCloser = std::make_unique<ModalBoxCloser>();
        m_received.clear();
        m_onCapture = nullptr;
        QDir(DocumentsFolder()).removeRecursively();
        QFile::remove(DocumentsFolder());
        // Emptied, not removed: it is the current directory.
        QDir folder(m_captures.path());
        for (const QFileInfo& entry :
            folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            QVERIFY(
                entry.isDir() ? QDir(entry.filePath()).removeRecursively() : folder.remove(entry.fileName()));
    }

    void brokerKilled_data()
    {
        QTest::addColumn<QString>("sWhen");
        QTest::addColumn<QString>("sAlert");
        QTest::newRow("while connected") << "connected" << kLost;
        QTest::newRow("while connecting") << "connecting" << kFailed;
        QTest::newRow("in the middle of a capture upload") << "capture" << kLost;
    }

    // The broker dies (SIGKILL, no goodbye) and comes back; Connect is pressed again. One alert, a clean
    // reconnect with every topic subscribed once, and no capture file from the capture that was cut off.
    void brokerKilled()
    {
        QFETCH(QString, sWhen);
        QFETCH(QString, sAlert);
        MainWindow window;
        if (sWhen == "connecting") {
            m_broker.pause(); // takes the connection, never answers it
            ClickConnect(window, m_broker);
        } else {
            QVERIFY(Establish(window, m_broker, m_device));
        }
        if (sWhen == "capture") {
            // The device uploads the first buffer and is sending a large second one when the broker dies.
            m_onCapture = [this] {
                m_device.publish("/hdr/capture/upload/t1", "first buffer");
                m_device.publish("/hdr/capture/upload/t2", QByteArray(8 << 20, 't'));
                m_broker.kill();
            };
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
            QTRY_VERIFY(!m_broker.isRunning());
        } else {
            m_broker.kill();
        }
        QTRY_COMPARE(Text(&window, "btnConnect"), "Connect");
        QTRY_COMPARE(m_pCloser->summary(), sAlert);

        m_onCapture = nullptr;
        const int nLogBefore = m_broker.log().size();
        QVERIFY(m_broker.start());
        QVERIFY(m_device.connectTo(m_broker) && m_device.listen("/hdr/set/#"));
        m_device.publish("/hdr/config/parameters", kConfig, true);
        Click(&window, "btnConnect");
        QVERIFY(Establish(window, m_broker, m_device));
        // What the device sends for the capture that was cut off finds none pending.
        for (const char* sBuffer : { "t2", "t3", "meta" })
            m_device.publish(QString("/hdr/capture/upload/") + sBuffer, "late");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":0}})");
        QVERIFY(InboundHandled(window, m_device));
        QCOMPARE(m_pCloser->summary(), sAlert);
        QCOMPARE(Tree(m_captures.path()), QStringList());
        const QString sLog = m_broker.log().mid(nLogBefore);
        for (const QString& sFilter : kFilters)
            QVERIFY2(sLog.count(" 0 " + sFilter + "\n") == 1, qPrintable(sFilter + "\n" + sLog));
        QCOMPARE(PaneLines(&window).filter(QRegularExpression("^handled up to here")).size(), 1);
    }

    void unansweringListener_data()
    {
        QTest::addColumn<bool>("bAnswerConnect");
        QTest::addColumn<QString>("sPaneLine");
        QTest::newRow("accepts TCP, never answers")
            << false << "Broker Disconnected; Status: Connecting to MQTT broker";
        QTest::newRow("answers CONNECT, then stalls")
            << true << "Broker Connected; Status: Connected to MQTT broker";
    }

    // A listener that is no broker, or a broker that goes silent after accepting: the attempt ends when no
    // device has reported itself 5000 ms after Connect, with the failure alert, and the connection is closed.
    void unansweringListener()
    {
        QFETCH(bool, bAnswerConnect);
        QFETCH(QString, sPaneLine);
        StallingListener listener(bAnswerConnect);
        MainWindow window;
        Widget<QLineEdit>(&window, "leBrokerURL")->setText("127.0.0.1");
        Widget<QLineEdit>(&window, "leBrokerPort")->setText(QString::number(listener.serverPort()));
        QElapsedTimer clock;
        clock.start();
        Click(&window, "btnConnect");
        QTRY_COMPARE(listener.m_nAccepted, 1);
        QTRY_VERIFY(PaneLines(&window).contains(sPaneLine));
        QTRY_COMPARE_WITH_TIMEOUT(m_pCloser->summary(), kFailed, 20000);
        QVERIFY2(clock.elapsed() >= 4900, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(Text(&window, "btnConnect"), "Connect");
        QTRY_COMPARE(listener.m_nOpen, 0);
        QCOMPARE(listener.m_nAccepted, 1);
    }

    void closedAtEveryStage_data()
    {
        QTest::addColumn<QString>("sStage");
        QTest::newRow("while connecting") << "connecting";
        QTest::newRow("while a delayed send is pending") << "delayed send";
        QTest::newRow("while a message box is open") << "message box";
        QTest::newRow("during a capture upload") << "capture upload";
    }

    // The panel goes away in the middle of things: no crash, nothing sent by it afterwards, its connection
    // closed, no file written for what was cut off. A message box is ended as quitting the application
    // ends it: the event loops return, then main() destroys the window.
    void closedAtEveryStage()
    {
        QFETCH(QString, sStage);
        StallingListener listener(false);
        auto* pWindow = new MainWindow;
        pWindow->show();
        if (sStage == "connecting") {
            Widget<QLineEdit>(pWindow, "leBrokerURL")->setText("127.0.0.1");
            Widget<QLineEdit>(pWindow, "leBrokerPort")->setText(QString::number(listener.serverPort()));
            Click(pWindow, "btnConnect");
            QTRY_COMPARE(listener.m_nOpen, 1);
        } else {
            QVERIFY(Establish(*pWindow, m_broker, m_device));
        }
        if (sStage == "delayed send") {
            Widget<QDoubleSpinBox>(pWindow, "wSpinBox")->setValue(42);
        } else if (sStage == "message box") {
            // A capture that fails opens a box; more device traffic arrives while it is open.
            bool bCapturing = false;
            m_onCapture = [&bCapturing] { bCapturing = true; };
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
            QTRY_VERIFY(bCapturing);
            m_onCapture = nullptr;
            m_pCloser.reset();
            QString sBox;
            QTimer quitter;
            connect(&quitter, &QTimer::timeout, this, [&] {
                auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!pBox || !sBox.isEmpty())
                    return;
                sBox = pBox->windowTitle() + " | " + pBox->text();
                m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
                m_device.publish("/hdr/status/upload", "unasked upload");
                QTimer::singleShot(200, qApp, &QCoreApplication::quit);
            });
            quitter.start(10);
            QTimer noBox; // ends the loop when no box comes up: the check below fails then
            noBox.setSingleShot(true);
            connect(&noBox, &QTimer::timeout, qApp, &QCoreApplication::quit);
            noBox.start(60000);
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":255}})");
            QCoreApplication::exec();
            QCOMPARE(sBox, QStringLiteral("Capture | Capture Failed!"));
        } else if (sStage == "capture upload") {
            bool bUploading = false;
            m_onCapture = [this, &bUploading] {
                m_device.publish("/hdr/capture/upload/t1", QByteArray(1 << 20, '1'));
                m_device.publish("/hdr/capture/upload/t2", QByteArray(8 << 20, '2'));
                bUploading = true;
            };
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
            QTRY_VERIFY(bUploading);
            m_onCapture = nullptr;
        }
        m_received.clear();
        delete pWindow;
        m_pCloser = std::make_unique<ModalBoxCloser>();

        // After the window, the device finishes its capture; a window of its own makes a delayed edit of
        // the same kind, which arrives after anything the closed window could still have sent.
        m_device.publish("/hdr/capture/upload/t2", "t2");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":0}})");
        QTRY_COMPARE(listener.m_nOpen, 0);
        MainWindow witness;
        QVERIFY(Establish(witness, m_broker, m_device));
        Widget<QDoubleSpinBox>(&witness, "wSpinBox")->setValue(7);
        QTRY_VERIFY_WITH_TIMEOUT(!m_received.isEmpty(), 5000);
        QCOMPARE(m_received, QList<QByteArray>({ R"(/hdr/set/parameters {"w":{"value":7}})" }));
        QCOMPARE(Tree(m_captures.path()), QStringList());
    }

    void documentsAndSettingsFile_data()
    {
        // The documents folder before the start ("read-only", "a file" where it belongs, "folder" where the
        // settings file belongs, "": as usual) and the settings file's text; the port typed for Connect,
        // with 127.0.0.1; the address fields at the start, then the boxes; the settings file after ("=": as
        // before); whether a log record reaches its file. The usual cases are tst_mainwindow's.
        QTest::addColumn<QString>("sDocuments");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("sPort");
        QTest::addColumn<QString>("sSeen");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("bLogged");
        const QString sPath = AppFolder() + "/UCControlConfig.json";
        const auto loadError = [&sPath](const QByteArray& text) {
            QJsonParseError error;
            QJsonDocument::fromJson(text, &error);
            return "127.0.0.1 1883\nLoad Configuration | \n\nError loading config json file:\n\n" + sPath
                + "\n\n" + error.errorString() + "\nOffset: " + QString::number(error.offset) + "\n"
                + kAborted;
        };
        const QString sSave
            = "Save Configuration | Error opening config json file to save:\n\n" + sPath + "\n";
        const QByteArray first = "{\n    \"broker_address\": {\n        \"port\": \"1883\",\n"
                                 "        \"url\": \"127.0.0.1\"\n    }\n}\n";
        const QByteArray other = R"({"broker_address":{"port":"1884","url":"10.1.1.1"}})";
        QJsonObject large = QJsonDocument::fromJson(other).object();
        large.insert("padding", QString(10 << 20, 'p'));
        const QByteArray largeText = QJsonDocument(large).toJson(QJsonDocument::Compact);
        large.insert("broker_address", QJsonDocument::fromJson(first).object().value("broker_address"));

        QTest::newRow("documents folder read-only")
            << "read-only" << other << "1883"
            << "10.1.1.1 1884\n" + sSave + kAborted << QByteArray("=") << false;
        QTest::newRow("a file where the documents folder belongs")
            << "a file" << QByteArray() << "1883"
            << "127.0.0.1 1883\n" + sSave + kAborted << QByteArray() << false;
        QTest::newRow("settings file a folder")
            << "folder" << QByteArray() << "1883"
            << "127.0.0.1 1883\n" + sSave + kAborted << QByteArray() << true;
        QTest::newRow("settings file empty")
            << "" << QByteArray("") << "1883" << loadError("") << first << true;
        QTest::newRow("settings file of 10 MB")
            << "" << largeText << "1883"
            << "10.1.1.1 1884\n" + kAborted << QJsonDocument(large).toJson() << true;
        const QByteArray latin1 = "{\"broker_address\":{\"url\":\"caf\xe9\",\"port\":\"1883\"}}";
        QTest::newRow("settings file not UTF-8")
            << "" << latin1 << "1883" << loadError(latin1) << first << true;
    }

    // Every failure is reported as the panel reports it (a box at the start for a file that does not parse,
    // a box when the address cannot be saved, a pane line for a log record), nothing is reported as saved
    // that was not, and a good file is never cut short.
    void documentsAndSettingsFile()
    {
        QFETCH(QString, sDocuments);
        QFETCH(QByteArray, before);
        QFETCH(QString, sPort);
        QFETCH(QString, sSeen);
        QFETCH(QByteArray, after);
        QFETCH(bool, bLogged);
        const QString sPath = AppFolder() + "/UCControlConfig.json";
        if (sDocuments == "a file")
            QVERIFY(WriteFile(DocumentsFolder(), "not a folder"));
        else if (sDocuments == "folder")
            QVERIFY(QDir().mkpath(sPath));
        else
            QVERIFY(WriteFile(sPath, before));
        FileModesEnforced modes;
        if (sDocuments == "read-only") {
            SetWritable(AppFolder(), false);
            SetWritable(DocumentsFolder(), false);
        }

        MainWindow window;
        const QString sShown = Text(&window, "leBrokerURL") + " " + Text(&window, "leBrokerPort");
        Widget<QLineEdit>(&window, "leBrokerURL")->setText("127.0.0.1");
        Widget<QLineEdit>(&window, "leBrokerPort")->setText(sPort);
        Click(&window, "btnConnect");
        Click(&window, "btnConnect"); // Abort
        window.DataUpdate("log_data", "/hdr/status/logs", "", "board", Record(R"({"volts":12})"));
        SetWritable(DocumentsFolder(), true);
        SetWritable(AppFolder(), true);

        QCOMPARE(sShown + "\n" + m_pCloser->summary(), sSeen);
        if (sDocuments == "a file")
            QCOMPARE(ReadFile(DocumentsFolder()), QByteArray("not a folder"));
        else if (sDocuments == "folder")
            QVERIFY(QFileInfo(sPath).isDir());
        else
            QCOMPARE(ReadFile(sPath), after == "=" ? before : after);
        // The pane shows what one pass of the event loop brought when the pass is over.
        QTRY_VERIFY(!PaneLines(&window).filter(bLogged ? "\tboard\tvolts\t12" : "log data:").isEmpty());
        const QStringList logLines = PaneLines(&window).filter("\tboard\tvolts\t12");
        QCOMPARE(logLines.size(), int(bLogged));
        QCOMPARE(PaneLines(&window).filter("Unable to open file to save log data:").isEmpty(), bLogged);
        const QDir appFolder(AppFolder());
        const QStringList logs = appFolder.entryList({ "*.log" }, QDir::Files);
        QCOMPARE(logs.isEmpty() ? QByteArray() : ReadFile(appFolder.filePath(logs.first())),
            bLogged ? (logLines.first() + "\n").toUtf8() : QByteArray());
    }

    // The device names capture and upload sub-topics like paths; capture files still go to the capture
    // folder under the dialog's names only, each with the bytes of its own buffer, and nothing appears
    // anywhere else.
    void nothingWrittenOutsideTheChosenFolder()
    {
        QTemporaryDir outside;
        const QString sFolder = outside.filePath("a/b/captures");
        QVERIFY(QDir().mkpath(sFolder) && QDir::setCurrent(sFolder));
        MainWindow window;
        const QString sUpload = outside.filePath("a/b/upload.json");
        window.SetFileDialogs(nullptr,
            [&sUpload](QWidget*, const QString&, const QString&, const QString&) { return sUpload; });
        QVERIFY(QDir::setCurrent(m_captures.path()));
        QVERIFY(Establish(window, m_broker, m_device));
        const QStringList subtopics { "../../x", "t1/../../y", "../t1", "t1/", "/tmp/z", "//etc/z", "./t2",
            "T3", QString(5000, 'n'), QString(200, 'd').replace(50, 1, '/'), "meta/../meta" };
        m_onCapture = [&] {
            for (const QString& sSubtopic : subtopics)
                m_device.publish("/hdr/capture/upload/" + sSubtopic, sSubtopic.toUtf8());
            for (const char* sBuffer : { "t1", "t2", "t3", "meta" })
                m_device.publish(QString("/hdr/capture/upload/") + sBuffer, sBuffer);
            m_device.publish("/hdr/status/upload/../../x", "x");
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":0}})");
        };
        Click(&window, "saveButton");
        m_device.publish("/hdr/status/upload", "upload");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
        QTRY_COMPARE(m_pCloser->summary(), "Capture | Capture Complete");
        QVERIFY(InboundHandled(window, m_device));

        QCOMPARE(Tree(outside.path()),
            QStringList({ "a/", "a/b/", "a/b/captures/", "a/b/captures/capture_META.json 4",
                "a/b/captures/capture_T1.tiff 2", "a/b/captures/capture_T2.tiff 2",
                "a/b/captures/capture_T3.tiff 2", "a/b/upload.json 6" }));
        QCOMPARE(ReadFile(sFolder + "/capture_META.json") + ReadFile(sFolder + "/capture_T1.tiff"), "metat1");
        QCOMPARE(Tree(m_captures.path()), QStringList());
        for (const char* sStray : { "/tmp/z", "/etc/z", "/x", "/y" })
            QVERIFY2(!QFileInfo::exists(sStray), sStray);
    }

private:
    QTemporaryDir m_captures;
    MosquittoBroker m_broker;
    TestDevice m_device;
    QList<QByteArray> m_received; // "<topic> <payload>" of what the windows published
    std::function<void()> m_onCapture; // the device's answer to a capture request
    std::unique_ptr<ModalBoxCloser> m_pCloser;
};

OMBIX_GUI_TEST_MAIN(TestFaults)
#include "tst_faults.moc"

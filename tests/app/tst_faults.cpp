#include "guitestmain.h"
#include "windowtest.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

namespace {

const QByteArray kConfig = R"({"w":{"min-value":0,"max-value":100},"detail":{"min-value":2,"max-value":8}})";

// Stands where a broker should be: accepts every TCP connection and then says nothing. The connections it
// has taken stay its children.
class StallingListener : public QTcpServer
{
public:
    StallingListener() { listen(QHostAddress::LocalHost); }
    // The connections taken, or those of them that the panel still holds open.
    int Connections(bool bOpenOnly = false) const
    {
        const QList<QTcpSocket*> sockets = findChildren<QTcpSocket*>();
        return int(std::count_if(sockets.cbegin(), sockets.cend(), [bOpenOnly](const QTcpSocket* pSocket) {
            return !bOpenOnly || pSocket->state() == QAbstractSocket::ConnectedState;
        }));
    }
};

// The files in the current directory, where capture files go.
QStringList CaptureFiles() { return QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

} // namespace

// Faults around the panel: a broker that dies or never answers, a panel closed at any moment. Real processes
// on 127.0.0.1 only; the test plays the device on its own broker. Unusable documents folders and settings
// files are tst_mainwindow's; device sub-topics named like paths are its capture rows.
class TestFaults : public WindowTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_captures.path()));
        m_broker.setExtraConfig("log_type subscribe");
    }
    void init()
    {
        m_closer.clear();
        m_received.clear();
        QVERIFY(StartDevice(kConfig));
        for (const QString& sFile : CaptureFiles())
            QVERIFY(QFile::remove(sFile));
    }

    void brokerKilled_data()
    {
        QTest::addColumn<QString>("sWhen");
        for (const char* sWhen : { "connected", "connecting", "capture upload" })
            QTest::newRow(sWhen) << QString(sWhen);
    }

    // The broker dies (SIGKILL, no goodbye) and comes back; Connect is pressed again. One alert, a clean
    // reconnect with every topic subscribed once, and no capture file from the capture that was cut off.
    void brokerKilled()
    {
        QFETCH(QString, sWhen);
        // The alert of a lost connection, or of a failed attempt while connecting.
        const QString sAlert = sWhen == "connecting" ? kFailed : kLost;
        MainWindow window;
        if (sWhen == "connecting") {
            m_broker.pause(); // takes the connection, never answers it
            ClickConnect(window, m_broker.host(), m_broker.port());
        } else {
            QVERIFY(Establish(window));
        }
        if (sWhen == "capture upload") {
            // The device uploads the first buffer and is sending a large second one when the broker dies.
            QVERIFY(RequestCapture());
            m_device.publish("/hdr/capture/upload/t1", "first buffer");
            m_device.publish("/hdr/capture/upload/t2", QByteArray(8 << 20, 't'));
        }
        m_broker.kill();
        QTRY_COMPARE(m_closer.summary(), sAlert);

        const int nLogBefore = m_broker.log().size();
        QVERIFY(StartDevice(kConfig));
        QVERIFY(Establish(window));
        // What the device sends for the capture that was cut off finds none pending.
        m_device.publish("/hdr/capture/upload/t2", "late");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":0}})");
        QVERIFY(Handled(window));
        QCOMPARE(m_closer.summary(), sAlert);
        QCOMPARE(CaptureFiles(), QStringList());
        const QString sLog = m_broker.log().mid(nLogBefore);
        for (const char* sFilter : { "/hdr/config/#", "/hdr/status/parameters/#", "/hdr/capture/upload/#",
                 "/hdr/status/logs", "/hdr/status/upload" })
            QVERIFY2(sLog.count(QString(" 0 %1\n").arg(sFilter)) == 1, qPrintable(sFilter + ("\n" + sLog)));
    }

    void closedAtEveryStage_data()
    {
        QTest::addColumn<QString>("sStage");
        for (const char* sStage :
            { "connecting", "unanswered", "delayed send", "message box", "capture upload" })
            QTest::newRow(sStage) << QString(sStage);
    }

    // The panel goes away in the middle of things: no crash, nothing sent by it afterwards, its connection
    // closed, no file written for what was cut off. A listener that is no broker stands for one that never
    // answers; unanswered, the attempt ends when no device has reported itself 5000 ms after Connect, with
    // the failure alert, and its one connection is closed (the link's own check is tst_ckavrocomm's; the
    // Connect button back after a failed attempt is brokerKilled's).
    void closedAtEveryStage()
    {
        QFETCH(QString, sStage);
        StallingListener listener;
        const QDeadlineTimer tooEarly(4900);
        auto* pWindow = new MainWindow;
        pWindow->show();
        if (sStage == "connecting" || sStage == "unanswered") {
            ClickConnect(*pWindow, "127.0.0.1", listener.serverPort());
            QTRY_COMPARE(listener.Connections(true), 1);
        } else {
            QVERIFY(Establish(*pWindow));
        }
        if (sStage == "unanswered") {
            QTRY_COMPARE_WITH_TIMEOUT(m_closer.summary(), kFailed, 20000);
            QVERIFY(tooEarly.hasExpired());
            QTRY_COMPARE(listener.Connections(true), 0);
        } else if (sStage == "delayed send") {
            Widget<QDoubleSpinBox>(pWindow, "wSpinBox")->setValue(42);
        } else if (sStage == "capture upload") {
            QVERIFY(RequestCapture());
            m_device.publish("/hdr/capture/upload/t1", QByteArray(1 << 20, '1'));
            m_device.publish("/hdr/capture/upload/t2", QByteArray(8 << 20, '2'));
        } else if (sStage == "message box") {
            // The capture fails, which opens a box; more device traffic arrives while it is open, then the
            // application quits as at the end of a session: the event loops return, then the window goes.
            QVERIFY(RequestCapture());
            m_closer.setEnabled(false);
            QTimer boxWatch;
            connect(&boxWatch, &QTimer::timeout, this, &TestFaults::QuitOnceABoxIsOpen);
            boxWatch.start(10);
            // Ends the loop when no box comes up: the check below fails then.
            QTimer::singleShot(60000, &boxWatch, &QCoreApplication::quit);
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":255}})");
            QCoreApplication::exec();
            m_closer.setEnabled(true);
            QCOMPARE(m_sBox, QStringLiteral("Capture | Capture Failed!"));
        }
        m_received.clear();
        delete pWindow;

        // After the window, the device finishes its capture; a window of its own makes a delayed edit of the
        // same kind, which arrives after anything the closed window could still have sent.
        m_device.publish("/hdr/capture/upload/t2", "t2");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":0}})");
        QTRY_COMPARE(listener.Connections(true), 0);
        QVERIFY(listener.Connections() <= 1);
        MainWindow witness;
        QVERIFY(Establish(witness));
        Widget<QDoubleSpinBox>(&witness, "wSpinBox")->setValue(7);
        QTRY_COMPARE(m_received, QList<QByteArray>({ R"(/hdr/set/parameters {"w":{"value":7}})" }));
        QCOMPARE(CaptureFiles(), QStringList());
    }

private:
    // Reports a capture to the window as the device does, and waits for the window's capture command.
    bool RequestCapture()
    {
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
        return QTest::qWaitFor([this] { return m_received.join().contains(R"( {"capture")"); }, 5000);
    }
    // The first time a message box is open: the device sends more while it is, and the application quits
    // 200 ms later.
    void QuitOnceABoxIsOpen()
    {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !m_sBox.isEmpty())
            return;
        m_sBox = pBox->windowTitle() + " | " + pBox->text();
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
        m_device.publish("/hdr/status/upload", "unasked upload");
        QTimer::singleShot(200, qApp, &QCoreApplication::quit);
    }

    QTemporaryDir m_captures;
    // The box that QuitOnceABoxIsOpen saw, as "title | text".
    QString m_sBox;
};

OMBIX_GUI_TEST_MAIN(TestFaults)
#include "tst_faults.moc"

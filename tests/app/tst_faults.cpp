#include "guitestmain.h"
#include "windowtest.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

const QByteArray kConfig = R"({"w":{"min-value":0,"max-value":100},"detail":{"min-value":2,"max-value":8}})";

// Stands where a broker should be: accepts every TCP connection and then says nothing. Counts the
// connections that the panel still holds open.
class StallingListener : public QTcpServer
{
public:
    StallingListener()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* pSocket = nextPendingConnection();
            ++m_nAccepted;
            ++m_nOpen;
            connect(pSocket, &QTcpSocket::disconnected, this, [this, pSocket] {
                --m_nOpen;
                pSocket->deleteLater();
            });
        });
    }

    int m_nAccepted = 0;
    int m_nOpen = 0;
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
        m_onCapture = nullptr;
        m_closer.setEnabled(true);
        m_closer.clear();
        m_received.clear();
        QVERIFY(StartDevice(kConfig));
        for (const QString& sFile : CaptureFiles())
            QVERIFY(QFile::remove(sFile));
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
            ClickConnect(window, m_broker.host(), m_broker.port());
        } else {
            QVERIFY(Establish(window));
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
        QTRY_COMPARE(m_closer.summary(), sAlert);

        m_onCapture = nullptr;
        const int nLogBefore = m_broker.log().size();
        QVERIFY(StartDevice(kConfig));
        QVERIFY(Establish(window));
        // What the device sends for the capture that was cut off finds none pending.
        for (const char* sBuffer : { "t2", "t3", "meta" })
            m_device.publish(QString("/hdr/capture/upload/") + sBuffer, "late");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":0}})");
        QVERIFY(Handled(window));
        QCOMPARE(m_closer.summary(), sAlert);
        QCOMPARE(CaptureFiles(), QStringList());
        const QString sLog = m_broker.log().mid(nLogBefore);
        for (const char* sFilter : { "/hdr/config/#", "/hdr/status/parameters/#", "/hdr/capture/upload/#",
                 "/hdr/status/logs", "/hdr/status/upload" })
            QVERIFY2(sLog.count(QString(" 0 %1\n").arg(sFilter)) == 1, qPrintable(sFilter + ("\n" + sLog)));
    }

    // A listener that is no broker: the attempt ends when no device has reported itself 5000 ms after
    // Connect, with the failure alert, and the one connection is closed. The link's own check is
    // tst_ckavrocomm's.
    void unansweringListener()
    {
        StallingListener listener;
        MainWindow window;
        QElapsedTimer clock;
        clock.start();
        ClickConnect(window, "127.0.0.1", listener.serverPort());
        QTRY_COMPARE(listener.m_nAccepted, 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_closer.summary(), kFailed, 20000);
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
    // closed, no file written for what was cut off.
    void closedAtEveryStage()
    {
        QFETCH(QString, sStage);
        StallingListener listener;
        auto* pWindow = new MainWindow;
        pWindow->show();
        if (sStage == "connecting") {
            ClickConnect(*pWindow, "127.0.0.1", listener.serverPort());
            QTRY_COMPARE(listener.m_nOpen, 1);
        } else {
            QVERIFY(Establish(*pWindow));
        }
        bool bCapturing = false;
        m_onCapture = [this, &bCapturing, sStage] {
            bCapturing = true;
            if (sStage == "capture upload") {
                m_device.publish("/hdr/capture/upload/t1", QByteArray(1 << 20, '1'));
                m_device.publish("/hdr/capture/upload/t2", QByteArray(8 << 20, '2'));
            }
        };
        if (sStage == "delayed send") {
            Widget<QDoubleSpinBox>(pWindow, "wSpinBox")->setValue(42);
        } else if (sStage != "connecting") {
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
            QTRY_VERIFY(bCapturing);
        }
        if (sStage == "message box") {
            // The capture fails, which opens a box; more device traffic arrives while it is open, then the
            // application quits as at the end of a session: the event loops return, then the window goes.
            m_closer.setEnabled(false);
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
            connect(&noBox, &QTimer::timeout, qApp, &QCoreApplication::quit);
            noBox.start(60000);
            m_device.publish("/hdr/status/parameters", R"({"capture":{"value":255}})");
            QCoreApplication::exec();
            QCOMPARE(sBox, QStringLiteral("Capture | Capture Failed!"));
        }
        m_onCapture = nullptr;
        m_received.clear();
        delete pWindow;
        m_closer.setEnabled(true);

        // After the window, the device finishes its capture; a window of its own makes a delayed edit of the
        // same kind, which arrives after anything the closed window could still have sent.
        m_device.publish("/hdr/capture/upload/t2", "t2");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":0}})");
        QTRY_COMPARE(listener.m_nOpen, 0);
        MainWindow witness;
        QVERIFY(Establish(witness));
        Widget<QDoubleSpinBox>(&witness, "wSpinBox")->setValue(7);
        QTRY_VERIFY_WITH_TIMEOUT(!m_received.isEmpty(), 5000);
        QCOMPARE(m_received, QList<QByteArray>({ R"(/hdr/set/parameters {"w":{"value":7}})" }));
        QCOMPARE(CaptureFiles(), QStringList());
    }

private:
    QTemporaryDir m_captures;
};

OMBIX_GUI_TEST_MAIN(TestFaults)
#include "tst_faults.moc"

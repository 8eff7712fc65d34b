#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "mosquittobroker.h"
#include "windowtest.h"

#include <QtWidgets>

namespace {

// Presses Connect with an address where nothing listens (the address is saved first), then Abort.
void ConnectAndAbort(MainWindow& window)
{
    Widget<QLineEdit>(&window, "leBrokerURL")->setText("127.0.0.1");
    Widget<QLineEdit>(&window, "leBrokerPort")->setText(QString::number(MosquittoBroker::freePort()));
    Widget<QAbstractButton>(&window, "btnConnect")->click();
    Widget<QAbstractButton>(&window, "btnConnect")->click();
}

} // namespace

// Where the window meets the platform's file system and desktop: the documents folder, files replaced
// while another program holds them open, and the address of the guide. Written for the Windows build
// (run under Wine), where drive letters, backslashes and file locking come in; on Linux the same rows
// hold with the platform's own answers.
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        QVERIFY(m_device.connectTo(m_broker));
    }

    // The settings file is kept in the documents folder under the program's name; the folder's path is
    // the platform's own (on Windows a drive letter and backslashes), also in the message of a failed save.
    void settingsInDocuments()
    {
#ifdef Q_OS_WIN
        QVERIFY2(QRegularExpression("^[A-Za-z]:/").match(DocumentsFolder()).hasMatch(),
            qPrintable(DocumentsFolder()));
#endif
        const QString sFolder
            = QDir::toNativeSeparators(DocumentsFolder() + "/" + QCoreApplication::applicationName());
        m_closer.clear();
        {
            MainWindow window;
            ConnectAndAbort(window);
        }
        QVERIFY(ReadFile(sFolder + QDir::separator() + "UCControlConfig.json")
                    .contains("\"url\": \"127.0.0.1\""));

        // A file where the folder belongs: the address cannot be saved.
        QVERIFY(QDir(sFolder).removeRecursively() && WriteFile(sFolder, "not a folder"));
        m_closer.clear();
        {
            MainWindow window;
            ConnectAndAbort(window);
        }
        QVERIFY2(m_closer.m_boxes.contains("Save Configuration | Error opening config json file to save:\n\n"
                     + sFolder + "/UCControlConfig.json"),
            qPrintable(m_closer.summary()));
        QVERIFY(QFile::remove(sFolder));
    }

    // Help hands the desktop a file URL of the guide in "doc" beside the executable: on Windows
    // file:///C:/..., a URL any handler takes.
    void helpAddress()
    {
        MainWindow window;
        QUrl opened;
        window.SetUrlOpener([&opened](const QUrl& url) { opened = url; });
        m_closer.m_button = QMessageBox::Help;
        Widget<QAbstractButton>(&window, "btnAbout")->click();
        m_closer.m_button = QMessageBox::Ok;
        QCOMPARE(opened.toLocalFile(), QCoreApplication::applicationDirPath() + "/doc/Quick Start Guide.pdf");
#ifdef Q_OS_WIN
        const QRegularExpression expected("^file:///[A-Za-z]:/[^\\\\]*/doc/Quick%20Start%20Guide\\.pdf$");
#else
        const QRegularExpression expected("^file:///[^/][^\\\\]*/doc/Quick%20Start%20Guide\\.pdf$");
#endif
        QVERIFY2(expected.match(opened.toString(QUrl::FullyEncoded)).hasMatch(),
            qPrintable(opened.toString(QUrl::FullyEncoded)));
    }

    // A parameter upload replaces the file chosen with Save, named as the platform's file dialog or the
    // user gives it. A reader that holds the file open blocks the replacement on Windows: the old file
    // stays whole, the user is told, and nothing is left behind; Linux replaces it under the reader.
    void replaceUpload_data()
    {
        QTest::addColumn<bool>("bNative");
        QTest::addColumn<bool>("bHeldOpen");
        QTest::newRow("path with /") << false << false;
        QTest::newRow("native path") << true << false;
        QTest::newRow("held open by a reader") << true << true;
    }
    void replaceUpload()
    {
        QFETCH(bool, bNative);
        QFETCH(bool, bHeldOpen);
        const QString sFolder = m_dir.path() + "/" + QTest::currentDataTag();
        QVERIFY(QDir().mkpath(sFolder) && WriteFile(sFolder + "/params.json", "old"));
        const QString sPath
            = bNative ? QDir::toNativeSeparators(sFolder + "/params.json") : sFolder + "/params.json";
        MainWindow window;
        window.SetFileDialogs(
            nullptr, [&sPath](QWidget*, const QString&, const QString&, const QString&) { return sPath; });
        QVERIFY(Establish(window));

        QFile reader(sFolder + "/params.json");
        QVERIFY(!bHeldOpen || reader.open(QIODevice::ReadOnly));
        m_closer.clear();
        QVERIFY(Upload(window, "new"));
#ifdef Q_OS_WIN
        const bool bReplaced = !bHeldOpen;
#else
        const bool bReplaced = true;
#endif
        QCOMPARE(ReadFile(sFolder + "/params.json"), QByteArray(bReplaced ? "new" : "old"));
        QCOMPARE(m_closer.m_boxes.size(), bReplaced ? 0 : 1);
        QVERIFY(bReplaced
            || m_closer.m_boxes.at(0).startsWith(
                "Unable to open file to save upload params data:\n\n" + sPath + " | "));
        QCOMPARE(QDir(sFolder).entryList(QDir::Files), QStringList("params.json"));
        QVERIFY(!bHeldOpen || reader.readAll() == "old");

        // Once the reader lets go, the next upload gets through.
        reader.close();
        QVERIFY(Upload(window, "newer"));
        QCOMPARE(ReadFile(sFolder + "/params.json"), QByteArray("newer"));
    }

private:
    // Connects the window to the test's broker and plays the device's report of itself until the window
    // shows the connection established.
    bool Establish(MainWindow& window)
    {
        ClickConnect(window, m_broker);
        return QTest::qWaitFor(
            [&] {
                m_device.publish(
                    "/hdr/status/parameters/connection", R"({"connection_status":{"value":"active"}})");
                return QTest::qWaitFor([&] { return Text(&window, "btnConnect") == "Disconnect"; }, 200);
            },
            15000);
    }

    // Save, then the device's upload; true once the window has handled it (the device's next log line shows).
    bool Upload(MainWindow& window, const QByteArray& payload)
    {
        Widget<QAbstractButton>(&window, "saveButton")->click();
        m_device.publish("/hdr/status/upload", payload);
        const QByteArray marker = "after " + payload;
        m_device.publish("/hdr/status/logs", marker);
        return QTest::qWaitFor([&] { return PaneLines(&window).contains(marker); }, 10000);
    }

    QTemporaryDir m_dir;
    ModalBoxCloser m_closer;
    MosquittoBroker m_broker;
    TestDevice m_device;
};

OMBIX_GUI_TEST_MAIN(TestPlatform)
#include "tst_platform.moc"

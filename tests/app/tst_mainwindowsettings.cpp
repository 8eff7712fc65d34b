#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "windowtest.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QString kAborted = "Connection Status | Connection to MQTT Broker aborted.";

const QByteArray kFirstRunFile = "{\n"
                                 "    \"broker_address\": {\n"
                                 "        \"port\": \"1883\",\n"
                                 "        \"url\": \"127.0.0.1\"\n"
                                 "    }\n"
                                 "}\n";

QString AppFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/"
        + QCoreApplication::applicationName();
}

QString ConfigPath() { return AppFolder() + "/UCControlConfig.json"; }

bool WriteFile(const QString& sPath, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(sPath).path());
    QFile file(sPath);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray ReadConfig()
{
    QFile file(ConfigPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lets no file grow beyond a few bytes while it exists, as a full disk would.
class FileSizeLimit
{
public:
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small = { 16, m_saved.rlim_max };
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved;
};

} // namespace

// The settings file: what start-up reads from it and what Connect writes to it.
class TestMainWindowSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstConnectWritesOnlyTheAddress();
    void addressIsSavedTrimmedAndAsTyped_data();
    void addressIsSavedTrimmedAndAsTyped();
    void invalidInputIsRefused_data();
    void invalidInputIsRefused();
    void fileAddressReachesFields_data();
    void fileAddressReachesFields();
    void numberPortIsSavedAsString();
    void corruptFileIsReportedAndReplaced();
    void otherMembersSurviveSave();
    void failedWriteKeepsOldFile();
    void unusableFolderIsReported();

private:
    void createWindow();
    bool connectAndAbort(const QString& url, const QString& port);
    QLineEdit* urlField() const { return Widget<QLineEdit>(m_pWindow.get(), "leBrokerURL"); }
    QLineEdit* portField() const { return Widget<QLineEdit>(m_pWindow.get(), "leBrokerPort"); }
    QPushButton* connectButton() const { return Widget<QPushButton>(m_pWindow.get(), "btnConnect"); }

    std::unique_ptr<ModalBoxCloser> m_pCloser;
    std::unique_ptr<MainWindow> m_pWindow;
};

void TestMainWindowSettings::init()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).removeRecursively();
    m_pCloser = std::make_unique<ModalBoxCloser>();
}

void TestMainWindowSettings::cleanup()
{
    m_pWindow.reset();
    m_pCloser.reset();
}

void TestMainWindowSettings::createWindow() { m_pWindow = std::make_unique<MainWindow>(); }

// Starts a connection with the given address and aborts the attempt at once, so that the test does not
// depend on what listens on that port. The abort adds its box to the closer's record.
bool TestMainWindowSettings::connectAndAbort(const QString& url, const QString& port)
{
    urlField()->setText(url);
    portField()->setText(port);
    connectButton()->click();
    if (connectButton()->text() != "Abort")
        return false;
    connectButton()->click();
    return connectButton()->text() == "Connect";
}

void TestMainWindowSettings::firstConnectWritesOnlyTheAddress()
{
    // A fresh account: not even the documents folder exists. Reading creates the folders, not the file.
    QVERIFY(!QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).exists());
    createWindow();
    QVERIFY(QDir(AppFolder()).exists());
    QVERIFY(!QFile::exists(ConfigPath()));

    QVERIFY(connectAndAbort("127.0.0.1", "1883"));
    QCOMPARE(ReadConfig(), kFirstRunFile);

    // The same address again: the file is left alone.
    QVERIFY(WriteFile(ConfigPath(), "untouched"));
    QVERIFY(connectAndAbort("127.0.0.1", "1883"));
    QCOMPARE(ReadConfig(), QByteArray("untouched"));
}

void TestMainWindowSettings::addressIsSavedTrimmedAndAsTyped_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("savedUrl");
    QTest::addColumn<QString>("savedPort");

    QTest::newRow("blanks around") << " 127.0.0.1\t"
                                   << "  1884 "
                                   << "127.0.0.1"
                                   << "1884";
    QTest::newRow("port beyond 16 bits") << "127.0.0.1"
                                         << "70000"
                                         << "127.0.0.1"
                                         << "70000";
}

void TestMainWindowSettings::addressIsSavedTrimmedAndAsTyped()
{
    QFETCH(QString, url);
    QFETCH(QString, port);
    QFETCH(QString, savedUrl);
    QFETCH(QString, savedPort);

    createWindow();
    QVERIFY(connectAndAbort(url, port));
    const QJsonObject address
        = QJsonDocument::fromJson(ReadConfig()).object().value("broker_address").toObject();
    QCOMPARE(address.value("url").toString(), savedUrl);
    QCOMPARE(address.value("port").toString(), savedPort);
}

void TestMainWindowSettings::invalidInputIsRefused_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("text");

    const QString sBlank = "To connect with the camera, the url and port must not be blank.";
    const QString sDigits = "To connect with the camera, port must be all digits.";
    QTest::newRow("no address") << ""
                                << "1883" << sBlank;
    QTest::newRow("no port") << "127.0.0.1"
                             << "" << sBlank;
    QTest::newRow("letter in port") << "127.0.0.1"
                                    << "18a3" << sDigits;
    QTest::newRow("negative port") << "127.0.0.1"
                                   << "-1" << sDigits;
    QTest::newRow("other script digits")
        << "127.0.0.1" << QString::fromUtf8("\u0661\u0668\u0668\u0663") << sDigits;
}

void TestMainWindowSettings::invalidInputIsRefused()
{
    QFETCH(QString, url);
    QFETCH(QString, port);
    QFETCH(QString, text);

    createWindow();
    urlField()->setText(url);
    portField()->setText(port);
    connectButton()->click();

    QCOMPARE(m_pCloser->summary(), "Connect | " + text);
    QCOMPARE(connectButton()->text(), QStringLiteral("Connect"));
    QCOMPARE(portField()->text(), port);
    QVERIFY(!QFile::exists(ConfigPath()));
}

void TestMainWindowSettings::fileAddressReachesFields_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("port");

    QTest::newRow("no file") << QByteArray() << "127.0.0.1"
                             << "1883";
    QTest::newRow("address and port")
        << QByteArray(R"({"broker_address":{"url":"192.168.1.50","port":"1884"}})") << "192.168.1.50"
        << "1884";
    QTest::newRow("port as number") << QByteArray(R"({"broker_address":{"url":"192.168.1.50","port":1883}})")
                                    << "192.168.1.50"
                                    << "";
    QTest::newRow("url only") << QByteArray(R"({"broker_address":{"url":"10.1.1.1"}})") << "10.1.1.1"
                              << "1883";
    QTest::newRow("address not an object") << QByteArray(R"({"broker_address":"10.1.1.1"})") << "127.0.0.1"
                                           << "1883";
    QTest::newRow("no address") << QByteArray(R"({"other":1})") << "127.0.0.1"
                                << "1883";
    QTest::newRow("root is an array")
        << QByteArray(R"([{"broker_address":{"url":"10.1.1.1"}}])") << "127.0.0.1"
        << "1883";
}

void TestMainWindowSettings::fileAddressReachesFields()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, url);
    QFETCH(QString, port);

    if (!file.isNull())
        QVERIFY(WriteFile(ConfigPath(), file));
    createWindow();
    QCOMPARE(urlField()->text(), url);
    QCOMPARE(portField()->text(), port);
    QCOMPARE(m_pCloser->summary(), QString());
}

void TestMainWindowSettings::numberPortIsSavedAsString()
{
    QVERIFY(WriteFile(ConfigPath(), R"({"broker_address":{"url":"127.0.0.1","port":1883}})"));
    createWindow();
    QCOMPARE(portField()->text(), QString());

    QVERIFY(connectAndAbort("127.0.0.1", "1883"));
    QCOMPARE(ReadConfig(), kFirstRunFile);
}

void TestMainWindowSettings::corruptFileIsReportedAndReplaced()
{
    const QByteArray corrupt = "{\"broker_address\": {\"url\": \"127.0.0.1\",, }";
    QJsonParseError error;
    QJsonDocument::fromJson(corrupt, &error);
    QVERIFY(error.error != QJsonParseError::NoError);
    const QString sMessage = "\n\nError loading config json file:\n\n" + ConfigPath() + "\n\n"
        + error.errorString() + "\nOffset: " + QString::number(error.offset);

    QVERIFY(WriteFile(ConfigPath(), corrupt));
    createWindow();
    QCOMPARE(m_pCloser->boxes().size(), 1);
    QCOMPARE(m_pCloser->boxes().at(0).title, QStringLiteral("Load Configuration"));
    QCOMPARE(m_pCloser->boxes().at(0).text, sMessage);
    QVERIFY(PaneLines(m_pWindow.get()).join('\n').endsWith(sMessage));
    QCOMPARE(urlField()->text(), QStringLiteral("127.0.0.1"));

    // The next save replaces the broken file with one that holds only the address.
    m_pCloser->clear();
    QVERIFY(connectAndAbort("127.0.0.1", "1883"));
    QCOMPARE(ReadConfig(), kFirstRunFile);
}

void TestMainWindowSettings::otherMembersSurviveSave()
{
    QVERIFY(WriteFile(ConfigPath(), R"({"mqtt_config":{"subscribe_topics":{"params_config":"/elsewhere/#"}},
                                       "broker_address":{"url":"127.0.0.1","port":"1883","note":"kept"}})"));
    createWindow();

    QVERIFY(connectAndAbort("127.0.0.1", "1884"));
    QCOMPARE(ReadConfig(),
        QByteArray("{\n"
                   "    \"broker_address\": {\n"
                   "        \"note\": \"kept\",\n"
                   "        \"port\": \"1884\",\n"
                   "        \"url\": \"127.0.0.1\"\n"
                   "    },\n"
                   "    \"mqtt_config\": {\n"
                   "        \"subscribe_topics\": {\n"
                   "            \"params_config\": \"/elsewhere/#\"\n"
                   "        }\n"
                   "    }\n"
                   "}\n"));
}

void TestMainWindowSettings::failedWriteKeepsOldFile()
{
    const QByteArray good = R"({"broker_address":{"url":"127.0.0.1","port":"1883"}})";
    QVERIFY(WriteFile(ConfigPath(), good));
    createWindow();

    urlField()->setText("127.0.0.1");
    portField()->setText("1884");
    {
        const FileSizeLimit limit;
        connectButton()->click();
    }
    QCOMPARE(m_pCloser->summary(),
        "Save Configuration | Error opening config json file to save:\n\n" + ConfigPath());
    QCOMPARE(ReadConfig(), good);
    QCOMPARE(QDir(AppFolder()).entryList(QDir::Files), QStringList("UCControlConfig.json"));
    QCOMPARE(connectButton()->text(), QStringLiteral("Abort"));
    connectButton()->click();

    // The address counts as saved: connecting with it again does not try to write.
    m_pCloser->clear();
    QVERIFY(connectAndAbort("127.0.0.1", "1884"));
    QCOMPARE(m_pCloser->summary(), kAborted);
    QCOMPARE(ReadConfig(), good);
}

void TestMainWindowSettings::unusableFolderIsReported()
{
    QVERIFY(WriteFile(AppFolder(), "a file where the folder belongs"));
    createWindow();
    QCOMPARE(m_pCloser->summary(), QString());
    QCOMPARE(urlField()->text(), QStringLiteral("127.0.0.1"));

    QVERIFY(connectAndAbort("127.0.0.1", "1883"));
    QCOMPARE(m_pCloser->summary(),
        "Save Configuration | Error opening config json file to save:\n\n" + ConfigPath() + "\n" + kAborted);
}

OMBIX_GUI_TEST_MAIN(TestMainWindowSettings)
#include "tst_mainwindowsettings.moc"

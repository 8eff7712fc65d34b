#include "app/mainwindow.h"
#include "guitestmain.h"
#include "memorypasswordstore.h"
#include "modalboxcloser.h"
#include "mosquittobroker.h"
#include "testsecrets.h"
#include "windowtest.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QtMath>
#include <memory>

namespace {

const QString kUser = "engineer";
const QString kPassword = "Kv7-swordfish";
const QByteArray kLoadDefaults = R"({"load-defaults":{"value":true}})";

// The window's spin box shows dValue, to its decimals.
bool Shows(const QWidget* pWindow, const char* sSpinBox, double dValue)
{
    const auto* pSpinBox = Widget<QDoubleSpinBox>(pWindow, sSpinBox);
    return qAbs(pSpinBox->value() - dValue) <= 0.5 * qPow(10, -pSpinBox->decimals());
}

MainWindow::FileDialog Answer(const QString& sPath)
{
    return [sPath](QWidget*, const QString&, const QString&, const QString&) { return sPath; };
}

} // namespace

// Two panels on one simulated camera, through a broker with a TLS listener and a password file: each panel
// follows what the camera reports whichever panel (or other client) changed it, neither echoes what it
// hears, an upload is written only by the panel that asked for it, and one panel leaving does not disturb
// the other. The panels take the password from a key store; a third client watches the traffic.
class TestTwoPanels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(
            m_secrets.startSecuredBroker(m_broker, kUser, kPassword), qPrintable(m_secrets.errorString()));
        const QString sPort = QString::number(m_broker.port());
        m_camera.start(KAVRO_CAMERA_SIM,
            { "--port", sPort, "--log-interval-ms", "0", "--tls", "--ca-file", m_secrets.caFile(),
                "--username", kUser, "--password", kPassword });
        // It prints a line once it has announced itself.
        QVERIFY(m_camera.waitForStarted() && m_camera.waitForReadyRead(30000));

        m_secrets.prepareClient(m_traffic, m_broker, kUser, kPassword);
        connect(&m_traffic, &QMqttClient::messageReceived, this,
            [this](const QByteArray& payload, const QMqttTopicName& topic) {
                m_messages << qMakePair(topic.name(), payload);
            });
        m_traffic.connectToHostEncrypted();
        QTRY_COMPARE(m_traffic.state(), QMqttClient::Connected);
        QMqttSubscription* pSubscription = m_traffic.subscribe(QMqttTopicFilter("/hdr/#"));
        QVERIFY(pSubscription);
        QTRY_COMPARE(pSubscription->state(), QMqttSubscription::Subscribed);

        QVERIFY(QDir::setCurrent(m_dir.path()));
        QVERIFY(WriteSettingsFile({ { "url", "mqtts://127.0.0.1" }, { "port", sPort },
            { "ca_file", m_secrets.caFile() }, { "username", kUser } }));
        m_pPasswords->insert(kUser + "@mqtts://127.0.0.1:" + sPort, kPassword);

        m_pA = OpenPanel();
        m_pB = OpenPanel();
        QVERIFY(Establish(m_pA.get()) && Establish(m_pB.get()));
    }
    void cleanupTestCase()
    {
        m_pA.reset();
        m_pB.reset();
        m_camera.terminate();
        QVERIFY(m_camera.waitForFinished(10000));
    }
    void init()
    {
        m_closer.clear();
        m_messages.clear();
    }

    // An edit, Defaults and Load in one panel reach the camera, and its reports move both panels. Neither
    // panel sends anything back: each one's last message, made after both have taken the reports, follows
    // its own edits directly.
    void editsReachBothPanels()
    {
        QTest::keyClick(Widget<QSlider>(m_pA.get(), "exposureSlider"), Qt::Key_PageUp);
        QTRY_VERIFY(Reported("manualTAms").toDouble() > 1.0);
        const double dExposure = Reported("manualTAms").toDouble();
        QTRY_VERIFY(Shows(m_pA.get(), "exposureSpinBox", dExposure)
            && Shows(m_pB.get(), "exposureSpinBox", dExposure));

        Widget<QPushButton>(m_pA.get(), "btnLoadDefaults")->click();
        QTRY_VERIFY(Shows(m_pA.get(), "exposureSpinBox", 1.0) && Shows(m_pB.get(), "exposureSpinBox", 1.0));

        const QByteArray parameters = R"({ "gamma": { "value": -1.25 }, "flipXY": { "value": true } })";
        QFile load(m_dir.filePath("load.json"));
        QVERIFY(load.open(QIODevice::WriteOnly) && load.write(parameters) == parameters.size());
        load.close();
        m_pB->SetFileDialogs(Answer(load.fileName()), nullptr);
        Widget<QPushButton>(m_pB.get(), "loadButton")->click();
        QTRY_VERIFY(Shows(m_pA.get(), "gammaSpinBox", -1.25) && Shows(m_pB.get(), "gammaSpinBox", -1.25));
        QTRY_VERIFY(Widget<QCheckBox>(m_pA.get(), "flipImageCB")->isChecked()
            && Widget<QCheckBox>(m_pB.get(), "flipImageCB")->isChecked());

        Widget<QCheckBox>(m_pA.get(), "flipImageCB")->click();
        Widget<QPushButton>(m_pB.get(), "btnLoadDefaults")->click();
        const QByteArray markerA = R"({"flipXY":{"value":false}})";
        QStringList commands;
        QTRY_VERIFY((commands = Commands()).contains(markerA) && commands.count(kLoadDefaults) == 2);
        QCOMPARE(commands.size(), 5);
        QVERIFY2(commands.at(0).startsWith("{\"manualTAms\":{\"value\":"), qPrintable(commands.at(0)));
        QCOMPARE(commands.mid(1, 2), QStringList({ kLoadDefaults, parameters }));
        QCOMPARE(
            QSet<QString>(commands.begin() + 3, commands.end()), QSet<QString>({ markerA, kLoadDefaults }));
        QCOMPARE(m_closer.summary(), QString());
    }

    // The camera's upload reaches both panels: the one whose Save asked for it writes it, the other only
    // notes it in its pane. Neither shows a box.
    void uploadWrittenByTheRequestingPanel()
    {
        const QString sSaved = m_dir.filePath("saved.json");
        m_pA->SetFileDialogs(nullptr, Answer(sSaved));
        Widget<QPushButton>(m_pA.get(), "saveButton")->click();
        QTRY_VERIFY(!Last("/hdr/status/upload").isEmpty());
        const QByteArray upload = Last("/hdr/status/upload");
        QTRY_COMPARE(ReadFile(sSaved), upload);
        QTRY_VERIFY(
            PaneLines(m_pB.get())
                .contains(QString("A parameter upload of %1 bytes arrived; no Save is waiting for it here.")
                              .arg(upload.size())));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList({ "load.json", "saved.json" }));
        QCOMPARE(m_closer.summary(), QString());
    }

    // One panel disconnecting, connecting again or closing leaves the other connected and following the
    // camera, which a third client changes.
    void onePanelLeavingLeavesTheOther()
    {
        Widget<QPushButton>(m_pB.get(), "btnConnect")->click();
        QTRY_COMPARE(m_closer.summary(), "Connection Status | Connection to MQTT Broker terminated.");
        ChangeGamma(0.5);
        QTRY_VERIFY(Shows(m_pA.get(), "gammaSpinBox", 0.5));

        QVERIFY(Establish(m_pB.get()));
        m_closer.clear();
        m_pB.reset();
        ChangeGamma(0.75);
        QTRY_VERIFY(Shows(m_pA.get(), "gammaSpinBox", 0.75));
        QCOMPARE(Text(m_pA.get(), "btnConnect"), "Disconnect");
        QCOMPARE(m_closer.summary(), QString());
    }

private:
    std::unique_ptr<MainWindow> OpenPanel()
    {
        auto pWindow = std::make_unique<MainWindow>();
        pWindow->SetPasswordStore(std::make_unique<MemoryPasswordStore>(m_pPasswords));
        pWindow->show();
        return pWindow;
    }
    // Connects the panel and waits until the camera's report has made the connection. An attempt that the
    // machine's load stretches beyond the panel's 5 s limit is made again.
    static bool Establish(MainWindow* pWindow)
    {
        return QTest::qWaitFor(
            [pWindow] {
                const QString sText = Text(pWindow, "btnConnect");
                if (sText == "Connect")
                    Widget<QPushButton>(pWindow, "btnConnect")->click();
                return sText == "Disconnect";
            },
            60000);
    }
    void ChangeGamma(double dGamma)
    {
        m_traffic.publish(QMqttTopicName("/hdr/set/parameters"),
            QJsonDocument(QJsonObject { { "gamma", QJsonObject { { "value", dGamma } } } }).toJson());
    }
    // What the panels have published, in order.
    QStringList Commands() const
    {
        QStringList commands;
        for (const auto& message : m_messages) {
            if (message.first.startsWith("/hdr/set/"))
                commands << message.second;
        }
        return commands;
    }
    QByteArray Last(const QString& sTopic) const
    {
        for (auto it = m_messages.crbegin(); it != m_messages.crend(); ++it) {
            if (it->first == sTopic)
                return it->second;
        }
        return QByteArray();
    }
    // The value in the camera's last status report of the parameter.
    QJsonValue Reported(const QString& sName) const
    {
        return QJsonDocument::fromJson(Last("/hdr/status/parameters/" + sName))[sName]["value"];
    }

    TestSecrets m_secrets;
    MosquittoBroker m_broker;
    QProcess m_camera;
    QMqttClient m_traffic;
    QList<QPair<QString, QByteArray>> m_messages;
    QTemporaryDir m_dir;
    std::shared_ptr<QMap<QString, QString>> m_pPasswords = std::make_shared<QMap<QString, QString>>();
    ModalBoxCloser m_closer;
    std::unique_ptr<MainWindow> m_pA;
    std::unique_ptr<MainWindow> m_pB;
};

OMBIX_GUI_TEST_MAIN(TestTwoPanels)
#include "tst_twopanels.moc"

#include "controls/sregisteredparam.h"
#include "dialogs/capturedialog.h"
#include "guitestmain.h"
#include "memorypasswordstore.h"
#include "testsecrets.h"
#include "tools/camera-sim/kavrotopics.h"
#include "windowtest.h"

const QString kUser = "engineer";
const QString kPassword = "Kv7-swordfish";
const QByteArray kParameterFile = R"({ "manualTAms": { "value": 8.5 }, "gamma": { "value": -1.25 },
    "freq": { "value": 60 }, "osdcolor": { "value": 2 } })";

// One or two real panels against the simulated camera, which runs as a process of its own, through a plain
// broker or one with a TLS listener and a password file (the panels then take the password from a key
// store). The panels are driven through their widgets; a further client watches the traffic on the broker.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_panels.clear(); }

    void panelsFollowTheCamera_data()
    {
        QTest::addColumn<int>("panels");
        QTest::addColumn<bool>("bSecured");
        QTest::newRow("one panel, plain broker") << 1 << false;
        QTest::newRow("two panels, TLS and a password") << 2 << true;
    }
    // Every registered parameter is described by the camera, and every panel takes its bounds, values and
    // state, and its log. A slider edit in the first panel, a check box edit, Defaults and Load in the last
    // reach the camera, and its reports move every panel. No panel sends back what it hears: a spin-box edit
    // goes out after anything its panel still holds back, so one from each panel in turn closes the list of
    // commands. Save writes the camera's upload whole in the first panel, and any other panel notes it in its
    // pane; a sensor and an HDMI capture write the images and metadata as the dialog names them, and no
    // other file appears. A panel closing leaves the first connected and following the camera, which another
    // client changes. Losing the broker raises the alert; once it is back, Connect works again and the panel
    // follows the camera anew. A camera that dies then drops the connection through its last will, within
    // seconds, long before any keep-alive could notice.
    void panelsFollowTheCamera()
    {
        QFETCH(int, panels);
        QFETCH(bool, bSecured);
        QVERIFY(Start(bSecured) && Open(panels) && !m_params.empty());
        QTRY_COMPARE(Mismatches(), QStringList());
        QTRY_VERIFY(!PaneLines(Panel(0)).filter(QRegularExpression("^kavro: exposure")).isEmpty());

        // To the maximum, which the spin box shows exactly: a slider value that the spin box rounds by more
        // than 0.001 is sent again, rounded, as the spin box's own edit.
        QTest::keyClick(Widget<QWidget>(Panel(0), "exposureSlider"), Qt::Key_End);
        QTRY_VERIFY(Reported("manualTAms") > 16 && Shows("exposureSpinBox", Reported("manualTAms")));
        Click(Panel(panels - 1), "flipImageCB");
        QTRY_VERIFY(Shows("flipImageCB", true));
        Click(Panel(panels - 1), "btnLoadDefaults");
        QTRY_VERIFY(Shows("exposureSpinBox", 1.0) && Shows("flipImageCB", false));
        QVERIFY(WriteFile("load.json", kParameterFile));
        Panel(panels - 1)->SetFileDialogs(Choose("load.json"), nullptr);
        Click(Panel(panels - 1), "loadButton");
        QTRY_COMPARE(Reported("osdcolor"), 2.0); // the camera applies the members in key order
        QTRY_COMPARE(Mismatches(), QStringList());
        QTRY_VERIFY(Shows("histoColorCmbBox", "Green") && Shows("sysFreq60RB", true));
        QStringList markers;
        for (int i = 0; i < panels; ++i) {
            markers << QString(R"({"yNoiseThresh":{"value":%1}})").arg(1001 + i);
            Widget<QDoubleSpinBox>(Panel(i), "yThreshSpinBox")->setValue(1001 + i);
            QTRY_VERIFY_WITH_TIMEOUT(
                m_pTraffic->commands().contains(markers.last()) && Shows("yThreshSpinBox", 1001 + i), 10000);
        }
        const QStringList commands = m_pTraffic->commands();
        QVERIFY2(commands.value(0).startsWith(R"({"manualTAms":{"value":)"), qPrintable(commands.join('\n')));
        QCOMPARE(commands.mid(1),
            QStringList(
                { R"({"flipXY":{"value":true}})", R"({"load-defaults":{"value":true}})", kParameterFile })
                + markers);
        QCOMPARE(m_closer.summary(), QString());

        Panel(0)->SetFileDialogs(nullptr, Choose("saved.json"));
        Click(Panel(0), "saveButton");
        QTRY_VERIFY(!Last(kUploadTopic).isEmpty() && ReadFile("saved.json") == Last(kUploadTopic));
        const QString sNote = QString("upload of %1 bytes arrived").arg(Last(kUploadTopic).size());
        for (int i = 1; i < panels; ++i)
            QTRY_VERIFY(!PaneLines(Panel(i)).filter(sNote).isEmpty());
        auto* pDialog = Panel(0)->findChild<CaptureDialog*>();
        for (int nMux : { 1, 2 }) {
            m_closer.clear();
            pDialog->SetLdrDisabled(false);
            Click(pDialog, nMux == 1 ? "ldrRadioButton" : "hdmiRadioButton");
            Click(pDialog, "captureButton");
            QTRY_COMPARE_WITH_TIMEOUT(m_closer.summary(), "Capture | Capture Complete", 10000);
            QCOMPARE(QJsonDocument::fromJson(ReadFile("capture_META.json"))["mux"], nMux);
        }
        const QStringList files = { "capture_HDMI.tiff", "capture_META.json", "capture_T1.tiff",
            "capture_T2.tiff", "capture_T3.tiff", "load.json", "saved.json" };
        QCOMPARE(QDir().entryList(QDir::Files), files);
        for (const QString& sImage : files.filter(".tiff"))
            QVERIFY2(!QImage(sImage, "TIFF").isNull(), qPrintable(sImage));

        m_closer.clear();
        m_panels.resize(1);
        m_pTraffic->publish(kParamsSetTopic, R"({"gamma":{"value":0.5}})");
        QTRY_VERIFY(Shows("gammaSpinBox", 0.5));
        QCOMPARE(Text(Panel(0), "btnConnect"), "Disconnect");
        QCOMPARE(m_closer.summary(), QString());

        m_pBroker->stop();
        QTRY_COMPARE(m_closer.summary(), kLost);
        QVERIFY(m_pBroker->start() && Open(1));
        QTRY_COMPARE(Mismatches(), QStringList());
        m_closer.clear();
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(m_pCamera->processId()), SIGKILL);
        QTRY_VERIFY(m_closer.summary().startsWith("Connection Alert | "));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(m_closer.summary().endsWith(kCheck));
        QCOMPARE(Text(Panel(0), "btnConnect"), "Connect");
        QVERIFY(!Widget<QWidget>(Panel(0), "exposureSlider")->isEnabled());
    }

private:
    // Ends what the test before left running, then starts the broker, plain or with a TLS listener and a
    // password file, the client that watches the traffic and the camera on the broker, and writes the
    // settings file that makes panels connect there. Files go to a new current folder.
    bool Start(bool bSecured)
    {
        m_pCamera = std::make_unique<QProcess>();
        m_pTraffic = std::make_unique<TestDevice>();
        m_pBroker = std::make_unique<MosquittoBroker>();
        m_pDir = std::make_unique<QTemporaryDir>();
        m_closer.clear();
        if (!(bSecured ? m_secrets.startSecuredBroker(*m_pBroker, kUser, kPassword) : m_pBroker->start())) {
            qWarning("%s", qPrintable(m_secrets.errorString() + m_pBroker->errorString()));
            return false;
        }
        const QString sPort = QString::number(m_pBroker->port());
        QJsonObject address { { "url", "127.0.0.1" }, { "port", sPort } };
        QStringList arguments { "--port", sPort, "--log-interval-ms", "200" };
        m_secrets.prepareClient(
            m_pTraffic->client(), *m_pBroker, bSecured ? kUser : "", bSecured ? kPassword : "");
        if (bSecured) {
            arguments
                += { "--tls", "--ca-file", m_secrets.caFile(), "--username", kUser, "--password", kPassword };
            address = { { "url", "mqtts://127.0.0.1" }, { "port", sPort }, { "ca_file", m_secrets.caFile() },
                { "username", kUser } };
            m_pPasswords->insert(kUser + "@mqtts://127.0.0.1:" + sPort, kPassword);
        }
        bSecured ? m_pTraffic->client().connectToHostEncrypted() : m_pTraffic->client().connectToHost();
        m_pCamera->start(KAVRO_CAMERA_SIM, arguments);
        // The camera prints a line once it has announced itself.
        return QTest::qWaitFor(
                   [this] { return m_pTraffic->client().state() == QMqttClient::Connected; }, 5000)
            && m_pTraffic->listen("/hdr/#") && m_pCamera->waitForStarted()
            && m_pCamera->waitForReadyRead(30000)
            && QTest::qWaitFor(
                [this] { return !(m_description = QJsonDocument::fromJson(Last(kConfigTopic))).isNull(); },
                5000)
            && QDir::setCurrent(m_pDir->path()) && WriteSettingsFile(address);
    }

    MainWindow* Panel(int i) const { return m_panels.at(i).get(); }
    QByteArray Last(const QString& sTopic) const { return m_pTraffic->last(sTopic); }
    double Reported(const QString& sName) const { return m_pTraffic->reported(sName).toDouble(); }
    // Every panel's widget shows the value (a spin box to its decimals).
    bool Shows(const QString& sWidget, const QVariant& value) const
    {
        return std::all_of(m_panels.begin(), m_panels.end(), [&](const auto& pPanel) {
            const QWidget* pWidget = Widget<QWidget>(pPanel.get(), qPrintable(sWidget));
            const auto* pBox = qobject_cast<const QDoubleSpinBox*>(pWidget);
            return pBox ? qAbs(pBox->value() - value.toDouble()) <= 0.5 * qPow(10, -pBox->decimals())
                        : pWidget->metaObject()->userProperty().read(pWidget) == value;
        });
    }

    // Opens panels up to nPanels and connects every one that is not. A connection that the machine's load
    // stretches beyond the panel's 5 s limit is attempted again.
    bool Open(int nPanels)
    {
        while (int(m_panels.size()) < nPanels) {
            m_panels.push_back(std::make_unique<MainWindow>());
            m_panels.back()->SetPasswordStore(std::make_unique<MemoryPasswordStore>(m_pPasswords));
            m_panels.back()->show();
        }
        return QTest::qWaitFor(
            [this] {
                bool bAll = true;
                for (const auto& pPanel : m_panels) {
                    const QString sText = Text(pPanel.get(), "btnConnect");
                    if (sText == "Connect")
                        Click(pPanel.get(), "btnConnect");
                    bAll = bAll && sText == "Disconnect";
                }
                return bAll;
            },
            60000);
    }

    // Where a panel differs from what the camera described and reported: a parameter the camera does not
    // describe, a spin box's bounds or value, or a widget enabled where the camera describes its parameter
    // read-only or disabled, or the other way round. The parameters and their widgets come from the
    // registration table.
    QStringList Mismatches() const
    {
        QStringList problems;
        for (const auto& pPanel : m_panels) {
            for (const SRegisteredParam& param : m_params) {
                const QJsonValue description = m_description[param.sParamName];
                if (description.isUndefined())
                    problems << param.sParamName + " unknown to the camera";
                const bool bLocked = description["read-only"].toBool() || description["disabled"].toBool();
                for (const QString& sWidget : param.widgetNames)
                    if (Widget<QWidget>(pPanel.get(), qPrintable(sWidget))->isEnabled() == bLocked)
                        problems << sWidget + " enabled";
                const auto* pSpinBox
                    = Widget<QDoubleSpinBox>(pPanel.get(), qPrintable(param.widgetNames.last()));
                if (param.bNumber
                    && (pSpinBox->minimum() != description["min-value"].toDouble()
                        || pSpinBox->maximum() != description["max-value"].toDouble()
                        || !Shows(param.widgetNames.last(), Reported(param.sParamName))))
                    problems << param.widgetNames.last();
            }
        }
        return problems;
    }

    TestSecrets m_secrets;
    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<MosquittoBroker> m_pBroker;
    std::unique_ptr<QProcess> m_pCamera;
    std::unique_ptr<TestDevice> m_pTraffic;
    std::shared_ptr<QMap<QString, QString>> m_pPasswords = std::make_shared<QMap<QString, QString>>();
    ModalBoxCloser m_closer;
    std::vector<std::unique_ptr<MainWindow>> m_panels;
    QJsonDocument m_description;
    const std::vector<SRegisteredParam> m_params = RegisteredParams();
};

OMBIX_GUI_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"

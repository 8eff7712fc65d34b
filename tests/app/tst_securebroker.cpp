#include "guitestmain.h"
#include "memorypasswordstore.h"
#include "testsecrets.h"
#include "windowtest.h"

namespace {

const QString kUser = "engineer";
// Looked for in every file the window writes and in everything it says.
const QString kPassword = "Kv7-swordfish";
const QString kNoKeyStore = "No key store is available (";

QStringList s_messages;
QtMessageHandler s_previousHandler = nullptr;

void CaptureMessage(QtMsgType type, const QMessageLogContext& context, const QString& sText)
{
    s_messages << sText;
    s_previousHandler(type, context, sText);
}

} // namespace

// The main window against a broker with a TLS listener (certificate from the test's CA) that wants a user
// name and password; a device on it reports itself active. The credentials dialog is answered from
// m_answers, and what each one offered is recorded in m_dialogs. The reasons a TLS connection fails are
// tst_qmqttclienttls'.
class TestSecureBroker : public WindowTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(
            m_secrets.startSecuredBroker(m_broker, kUser, kPassword), qPrintable(m_secrets.errorString()));
        m_secrets.prepareClient(m_device.client(), m_broker, kUser, kPassword);
        m_device.client().connectToHostEncrypted();
        QTRY_COMPARE(m_device.client().state(), QMqttClient::Connected);
        m_device.publish(
            "/hdr/status/parameters/connection", R"({"connection_status":{"value":"active"}})", true);
        m_closer.m_onDialog = [this](QDialog* pDialog) { AnswerDialog(pDialog); };
        s_previousHandler = qInstallMessageHandler(CaptureMessage);
    }
    void cleanupTestCase() { qInstallMessageHandler(s_previousHandler); }
    void init()
    {
        m_closer.clear();
        m_dialogs.clear();
    }

    // A certificate that does not verify ends the attempt with the usual box, and the pane says why.
    void tlsFailureReachesTheUser()
    {
        QJsonObject address = Address();
        address["url"] = "mqtts://localhost";
        QVERIFY(WriteSettingsFile(address));
        MainWindow window;
        Click(&window, "btnConnect");
        QTRY_COMPARE(m_closer.summary(), kFailed);
        QCOMPARE(PaneLines(&window).filter("Secure connection failed: "),
            QStringList { "Secure connection failed: certificate verify failed: hostname mismatch" });
        QCOMPARE(m_dialogs, QStringList());
    }

    // Without a key store (no session bus here) the password is asked for at every connection, which the
    // pane says once. A wrong password is asked for again; Cancel ends the attempt as Abort does. The user
    // name is kept in the settings file; the password nowhere.
    void passwordAskedForEveryConnection()
    {
        QVERIFY(WriteSettingsFile(Address()));
        s_messages.clear();
        {
            MainWindow window;
            m_answers = { { "wrong", true }, { kPassword, false } };
            QVERIFY(Connect(window));
            QCOMPARE(m_dialogs.replaceInStrings(QRegularExpression(", can.*"), ""),
                QStringList({ "[] asked", "[engineer] refused" }));
            m_dialogs.clear();
            Click(&window, "btnConnect");
            QTRY_COMPARE(m_closer.summary(), kTerminated);
            Click(&window, "btnConnect");
            QTRY_COMPARE(m_closer.summary(), kTerminated + "\n" + kAborted);
            QCOMPARE(m_dialogs, QStringList { "[engineer] asked, cannot remember" });
            QCOMPARE(Text(&window, "btnConnect"), "Connect");
            QCOMPARE(PaneLines(&window).filter(kNoKeyStore).size(), 1);
            QVERIFY(!PaneLines(&window).join('\n').contains(kPassword));
        }
        QCOMPARE(QJsonDocument::fromJson(ReadFile(SettingsPath()))["broker_address"]["username"],
            QJsonValue(kUser));
        for (QDirIterator it(QDir::homePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();)
            QVERIFY2(!ReadFile(it.next()).contains(kPassword.toUtf8()), qPrintable(it.filePath()));
        QVERIFY(!s_messages.join('\n').contains(kPassword));
    }

    // A password is remembered in the key store once the broker has taken it (tst_twopanels' panels connect
    // with it without asking). One the broker no longer takes is asked for again, and forgotten when not to
    // be remembered. Abort works while the key store has not answered.
    void keyStoreKeepsThePassword()
    {
        auto pPasswords = std::make_shared<QMap<QString, QString>>();
        const QString sKey = QString("%1@mqtts://127.0.0.1:%2").arg(kUser).arg(m_broker.port());
        QVERIFY(WriteSettingsFile(Address()));
        {
            MainWindow window;
            window.SetPasswordStore(std::make_unique<MemoryPasswordStore>(pPasswords));
            m_answers = { { "wrong", true }, { kPassword, true } };
            QVERIFY(Connect(window));
            QCOMPARE(
                m_dialogs, QStringList({ "[] asked, can remember", "[engineer] refused, can remember" }));
            QCOMPARE(*pPasswords, (QMap<QString, QString> { { sKey, kPassword } }));
        }
        MainWindow window;
        auto* pStore = new MemoryPasswordStore(pPasswords);
        window.SetPasswordStore(std::unique_ptr<CPasswordStore>(pStore));
        m_dialogs.clear();
        pPasswords->insert(sKey, "stale");
        m_answers = { { kPassword, false } };
        QVERIFY(Connect(window));
        QCOMPARE(m_dialogs, QStringList { "[engineer] refused, can remember" });
        QVERIFY(pPasswords->isEmpty());
        Click(&window, "btnConnect");
        QTRY_COMPARE(Text(&window, "btnConnect"), "Connect");

        m_closer.clear();
        pStore->m_bHold = true;
        Click(&window, "btnConnect");
        QCOMPARE(Text(&window, "btnConnect"), "Abort");
        Click(&window, "btnConnect");
        QCOMPARE(m_closer.summary(), kAborted);
        QVERIFY(PaneLines(&window).filter(kNoKeyStore).isEmpty());
    }

private:
    // Answers the credentials dialog with the user and the next of m_answers, or cancels when there is none.
    void AnswerDialog(QDialog* pDialog)
    {
        auto* pUserName = Widget<QLineEdit>(pDialog, "leUserName");
        auto* pRemember = Widget<QCheckBox>(pDialog, "cbRememberPassword");
        m_dialogs << QString("[%1] %2, %3")
                         .arg(pUserName->text(),
                             Widget<QLabel>(pDialog, "lblRefused")->isHidden() ? "asked" : "refused",
                             pRemember->isEnabled() ? "can remember" : "cannot remember");
        if (m_answers.isEmpty()) {
            pDialog->reject();
            return;
        }
        pUserName->setText(kUser);
        Widget<QLineEdit>(pDialog, "lePassword")->setText(m_answers.first().first);
        pRemember->setChecked(m_answers.takeFirst().second);
        Widget<QDialogButtonBox>(pDialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    }
    QJsonObject Address() const
    {
        return { { "url", "mqtts://127.0.0.1" }, { "port", QString::number(m_broker.port()) },
            { "ca_file", m_secrets.caFile() } };
    }
    // Presses Connect and waits until the window is connected.
    static bool Connect(MainWindow& window)
    {
        Click(&window, "btnConnect");
        return QTest::qWaitFor([&window] { return Text(&window, "btnConnect") == "Disconnect"; }, 15000);
    }

    TestSecrets m_secrets;
    QList<QPair<QString, bool>> m_answers; // the password and whether to remember it
    QStringList m_dialogs;
};

OMBIX_GUI_TEST_MAIN(TestSecureBroker)
#include "tst_securebroker.moc"

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
        m_device.publish("/hdr/status/parameters/connection", kActive, true);
        // The credentials dialog gets the user and the next of m_answers, or Cancel when there is none.
        m_closer.m_onDialog = [this](QDialog* pDialog) {
            auto* pUserName = Widget<QLineEdit>(pDialog, "leUserName");
            auto* pRemember = Widget<QCheckBox>(pDialog, "cbRememberPassword");
            m_dialogs << QString("[%1] %2, %3")
                             .arg(pUserName->text(),
                                 Widget<QLabel>(pDialog, "lblRefused")->isHidden() ? "asked" : "refused",
                                 pRemember->isEnabled() ? "can remember" : "cannot remember");
            if (m_answers.isEmpty())
                return pDialog->reject();
            pUserName->setText(kUser);
            Widget<QLineEdit>(pDialog, "lePassword")->setText(m_answers.first().first);
            pRemember->setChecked(m_answers.takeFirst().second);
            Widget<QDialogButtonBox>(pDialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        };
        // Everything the window logs is kept, and still printed.
        s_previousHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& sText) {
                s_messages << sText;
                s_previousHandler(type, context, sText);
            });
    }

    // One window walks the credentials flow. A certificate that does not verify ends the attempt with the
    // usual box, and the pane says why. Without a key store (no session bus here) the password is asked for
    // at every connection, which the pane says once; Cancel ends the attempt as Abort does. With one, a
    // password is remembered once the broker has taken it (tst_endtoend's panels connect with it without
    // asking); a stored one the broker refuses is asked for again, and forgotten when not to be remembered.
    // Abort works while the key store has not answered. The user name is kept in the settings file; the
    // password in no file and in nothing the window says.
    void credentials()
    {
        QVERIFY(WriteSettingsFile({ { "url", "mqtts://localhost" },
            { "port", QString::number(m_broker.port()) }, { "ca_file", m_secrets.caFile() } }));
        {
            MainWindow window;
            // Presses Connect and waits until the window is connected.
            const auto connected = [&window] {
                Click(&window, "btnConnect");
                return QTest::qWaitFor(
                    [&window] { return Text(&window, "btnConnect") == "Disconnect"; }, 15000);
            };
            Click(&window, "btnConnect");
            QTRY_COMPARE(m_closer.summary(), kFailed);
            QCOMPARE(PaneLines(&window).filter("Secure connection failed: "),
                QStringList { "Secure connection failed: certificate verify failed: hostname mismatch" });

            Widget<QLineEdit>(&window, "leBrokerURL")->setText("mqtts://127.0.0.1");
            m_answers = { { kPassword, false } };
            QVERIFY(connected());
            Click(&window, "btnConnect");
            QTRY_COMPARE(Text(&window, "btnConnect"), "Connect");
            Click(&window, "btnConnect");
            QTRY_COMPARE(m_closer.m_boxes.size(), 3);

            auto* pStore = new MemoryPasswordStore(std::make_shared<QMap<QString, QString>>());
            window.SetPasswordStore(std::unique_ptr<CPasswordStore>(pStore));
            const QString sKey = QString("%1@mqtts://127.0.0.1:%2").arg(kUser).arg(m_broker.port());
            m_answers = { { "wrong", true }, { kPassword, true } };
            QVERIFY(connected());
            QCOMPARE(*pStore->m_pPasswords, (QMap<QString, QString> { { sKey, kPassword } }));
            Click(&window, "btnConnect");
            QTRY_COMPARE(Text(&window, "btnConnect"), "Connect");
            pStore->m_pPasswords->first() = "stale";
            m_answers = { { kPassword, false } };
            QVERIFY(connected());
            QCOMPARE(m_dialogs,
                QStringList({ "[] asked, can remember", "[engineer] asked, cannot remember",
                    "[engineer] asked, can remember", "[engineer] refused, can remember",
                    "[engineer] refused, can remember" }));
            QVERIFY(pStore->m_pPasswords->isEmpty());
            Click(&window, "btnConnect");
            QTRY_COMPARE(Text(&window, "btnConnect"), "Connect");
            pStore->m_bHold = true;
            Click(&window, "btnConnect");
            Click(&window, "btnConnect"); // Abort
            QCOMPARE(m_closer.m_boxes,
                QStringList({ kFailed, kTerminated, kAborted, kTerminated, kTerminated, kAborted }));
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

private:
    TestSecrets m_secrets;
    QList<QPair<QString, bool>> m_answers; // the password and whether to remember it
    QStringList m_dialogs;
};

OMBIX_GUI_TEST_MAIN(TestSecureBroker)
#include "tst_securebroker.moc"

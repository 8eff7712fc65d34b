#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"
#include "testsecrets.h"

#include <QTcpSocket>
#include <QtTest>
#include <ctime>
#include <memory>

// Encrypted connections and credentials against real brokers: TLS listeners with certificates from a CA
// made by the test, a plain listener, and a TLS listener that wants a user name and password.
class TestMqttClientTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectTo_data();
    void connectTo();
    void encryptedConnectionCarriesTraffic();

private:
    bool IdleLoopIsQuiet();

    TestSecrets m_secrets;
    MosquittoBroker m_forAddress;
    MosquittoBroker m_forLocalhost;
    MosquittoBroker m_plain;
    MosquittoBroker m_withPassword;
};

void TestMqttClientTls::initTestCase()
{
    QByteArray passwords;
    QVERIFY2(m_secrets.createCa() && m_secrets.createServerCertificate("address", "IP:127.0.0.1")
            && m_secrets.createServerCertificate("localhost", "DNS:localhost")
            && m_secrets.createPasswordFile("engineer", "s3cret", &passwords),
        qPrintable(m_secrets.errorString()));
    QVERIFY2(m_secrets.startTlsBroker(m_forAddress, "address")
            && m_secrets.startTlsBroker(m_forLocalhost, "localhost")
            && m_secrets.startTlsBroker(m_withPassword, "address", passwords),
        qPrintable(m_secrets.errorString()));
    QVERIFY2(m_plain.start(), qPrintable(m_plain.errorString()));
}

void TestMqttClientTls::connectTo_data()
{
    QTest::addColumn<QString>("broker");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("caFile");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    // "Connected", or the error and errorString() once the attempt has ended; "*" stands for a reason in
    // OpenSSL's or the system's words.
    QTest::addColumn<QString>("outcome");

    const QString sCa = "ca.crt";
    QTest::newRow("TLS with the test's CA") << "address"
                                            << "127.0.0.1" << sCa << true << ""
                                            << ""
                                            << "Connected";
    QTest::newRow("TLS without the CA")
        << "address"
        << "127.0.0.1"
        << "" << true << ""
        << ""
        << "TransportInvalid | certificate verify failed: unable to get local issuer certificate";
    QTest::newRow("CA file missing") << "address"
                                     << "127.0.0.1"
                                     << "missing.crt" << true << ""
                                     << ""
                                     << "TransportInvalid | cannot load the CA file *";
    // The adapter hands libmosquitto the resolved address; the name typed is what is checked.
    QTest::newRow("certificate for the name typed") << "localhost"
                                                    << "localhost" << sCa << true << ""
                                                    << ""
                                                    << "Connected";
    QTest::newRow("certificate for localhost, reached as 127.0.0.1")
        << "localhost"
        << "127.0.0.1" << sCa << true << ""
        << ""
        << "TransportInvalid | certificate verify failed: IP address mismatch";
    QTest::newRow("certificate for 127.0.0.1, reached as localhost")
        << "address"
        << "localhost" << sCa << true << ""
        << ""
        << "TransportInvalid | certificate verify failed: hostname mismatch";
    QTest::newRow("TLS against a plain listener") << "plain"
                                                  << "127.0.0.1" << sCa << true << ""
                                                  << ""
                                                  << "TransportInvalid | *";
    QTest::newRow("nothing listening")
        << "closed"
        << "127.0.0.1" << sCa << true << ""
        << ""
        << "TransportInvalid | connection closed before the TLS handshake completed";
    QTest::newRow("plain against a TLS listener") << "address"
                                                  << "127.0.0.1"
                                                  << "" << false << ""
                                                  << ""
                                                  << "TransportInvalid | ";
    QTest::newRow("user and password") << "password"
                                       << "127.0.0.1" << sCa << true << "engineer"
                                       << "s3cret"
                                       << "Connected";
    QTest::newRow("wrong password") << "password"
                                    << "127.0.0.1" << sCa << true << "engineer"
                                    << "secret"
                                    << "NotAuthorized | ";
    QTest::newRow("no credentials") << "password"
                                    << "127.0.0.1" << sCa << true << ""
                                    << ""
                                    << "NotAuthorized | ";
}

void TestMqttClientTls::connectTo()
{
    QFETCH(QString, broker);
    QFETCH(QString, host);
    QFETCH(QString, caFile);
    QFETCH(bool, encrypted);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, outcome);

    const QMap<QString, MosquittoBroker*> brokers { { "address", &m_forAddress },
        { "localhost", &m_forLocalhost }, { "plain", &m_plain }, { "password", &m_withPassword } };
    QMqttClient client;
    client.setHostname(host);
    client.setPort(broker == "closed" ? MosquittoBroker::freePort() : brokers.value(broker)->port());
    client.setUsername(user);
    client.setPassword(password);
    client.setCaCertificatesFile(caFile.isEmpty() ? QString() : m_secrets.path(caFile));
    QSignalSpy states(&client, &QMqttClient::stateChanged);
    encrypted ? client.connectToHostEncrypted() : client.connectToHost();
    // Reading the system's CA store, once, takes seconds under the sanitizers.
    QTRY_VERIFY_WITH_TIMEOUT(states.size() == 2, 30000);

    const QString sError = QMetaEnum::fromType<QMqttClient::ClientError>().valueToKey(client.error());
    const QString sSeen
        = client.state() == QMqttClient::Connected ? "Connected" : sError + " | " + client.errorString();
    if (outcome.endsWith('*'))
        QVERIFY2(sSeen.startsWith(outcome.chopped(1)) && sSeen.size() >= outcome.size(), qPrintable(sSeen));
    else
        QCOMPARE(sSeen, outcome);
}

// A handshake that waits for the broker, and an idle encrypted connection, leave the event loop idle. The
// broker is frozen with its queue of new connections full, so the handshake starts while the TCP connect
// is still under way, as with a broker across a network.
// Subscriptions and messages pass through TLS as through plain TCP.
void TestMqttClientTls::encryptedConnectionCarriesTraffic()
{
    m_withPassword.pause();
    std::vector<std::unique_ptr<QTcpSocket>> queued;
    do {
        queued.push_back(std::make_unique<QTcpSocket>());
        queued.back()->connectToHost(m_withPassword.host(), m_withPassword.port());
    } while (queued.back()->waitForConnected(300) && queued.size() < 1000);
    QMqttClient client;
    m_secrets.prepareClient(client, m_withPassword, "engineer", "s3cret");
    client.connectToHostEncrypted();
    QVERIFY(IdleLoopIsQuiet());
    m_withPassword.resume();
    queued.clear();
    // The connect goes through with the next retransmission of its SYN, within seconds.
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QMqttClient::Connected, 15000);
    QVERIFY(IdleLoopIsQuiet());

    QMqttSubscription* pSubscription = client.subscribe(QMqttTopicFilter("/t/#"));
    QVERIFY(pSubscription);
    QTRY_COMPARE(pSubscription->state(), QMqttSubscription::Subscribed);
    QSignalSpy messages(pSubscription, &QMqttSubscription::messageReceived);
    const QByteArray payload(300000, 'x');
    QCOMPARE(client.publish(QMqttTopicName("/t/big"), payload), 0);
    QTRY_COMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().value<QMqttMessage>().payload(), payload);
}

// A second of the event loop takes less than a quarter second of processor time.
bool TestMqttClientTls::IdleLoopIsQuiet()
{
    const std::clock_t start = std::clock();
    QTest::qWait(1000);
    return std::clock() - start < CLOCKS_PER_SEC / 4;
}

QTEST_GUILESS_MAIN(TestMqttClientTls)
#include "tst_qmqttclienttls.moc"

#include "idleloop.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"
#include "testsecrets.h"

#include <QTcpSocket>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(MosquittoBroker*)

// Encrypted connections and credentials against real brokers: TLS listeners with certificates from a CA made
// by the test (the one for 127.0.0.1 takes only the user "engineer"), and a plain listener.
class TestMqttClientTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_secrets.startSecuredBroker(m_forAddress, "engineer", "s3cret")
                && m_secrets.createCertificate("localhost", "DNS:localhost")
                && m_secrets.startTlsBroker(m_forLocalhost, "localhost"),
            qPrintable(m_secrets.errorString()));
        QVERIFY2(m_plain.start(), qPrintable(m_plain.errorString()));
    }

    // "Connected", or the error and errorString() once the attempt has ended; a "*" at the end stands for a
    // reason in OpenSSL's or the system's words. No broker: a port that nothing listens on. A wrong password
    // and a certificate for another name are tst_securebroker's; a good connection is checked below.
    void connectTo_data()
    {
        QTest::addColumn<MosquittoBroker*>("pBroker");
        QTest::addColumn<QString>("sCaFile");
        QTest::addColumn<QString>("sOutcome");
        const QString sCa = m_secrets.caFile();
        QTest::newRow("system CAs only") << &m_forAddress << QString()
                                         << QString("TransportInvalid | certificate verify failed: unable "
                                                    "to get local issuer certificate");
        QTest::newRow("CA file missing")
            << &m_forAddress << sCa + ".missing" << QString("TransportInvalid | cannot load the CA file *");
        // The adapter hands libmosquitto the resolved address; the name typed is what is checked.
        QTest::newRow("certificate for the name typed") << &m_forLocalhost << sCa << QString("Connected");
        QTest::newRow("plain listener") << &m_plain << sCa << QString("TransportInvalid | *");
        QTest::newRow("nothing listening")
            << static_cast<MosquittoBroker*>(nullptr) << sCa
            << QString("TransportInvalid | connection closed before the TLS handshake completed");
    }
    void connectTo()
    {
        QFETCH(MosquittoBroker*, pBroker);
        QFETCH(QString, sCaFile);
        QFETCH(QString, sOutcome);
        QMqttClient client;
        m_secrets.prepareClient(client, pBroker ? *pBroker : m_plain, "engineer", "s3cret");
        if (!pBroker)
            client.setPort(MosquittoBroker::freePort());
        client.setHostname(pBroker == &m_forLocalhost ? "localhost" : "127.0.0.1");
        client.setCaCertificatesFile(sCaFile);
        QSignalSpy states(&client, &QMqttClient::stateChanged);
        client.connectToHostEncrypted();
        // Reading the system's CA store, once, takes seconds under the sanitizers.
        QTRY_VERIFY_WITH_TIMEOUT(states.size() == 2, 30000);
        const QString sSeen = client.state() == QMqttClient::Connected
            ? "Connected"
            : QMetaEnum::fromType<QMqttClient::ClientError>().valueToKey(client.error()) + QString(" | ")
                + client.errorString();
        QVERIFY2(sOutcome.endsWith('*')
                ? sSeen.startsWith(sOutcome.chopped(1)) && sSeen.size() >= sOutcome.size()
                : sSeen == sOutcome,
            qPrintable(sSeen));
    }

    // A handshake that waits for the broker, and an idle encrypted connection, leave the event loop idle. The
    // broker is frozen with its queue of new connections full, so the handshake starts while the TCP connect
    // is still under way, as with a broker across a network. Then messages pass through TLS.
    void encryptedConnectionCarriesTraffic()
    {
        m_forAddress.pause();
        std::vector<std::unique_ptr<QTcpSocket>> queued;
        do {
            queued.push_back(std::make_unique<QTcpSocket>());
            queued.back()->connectToHost(m_forAddress.host(), m_forAddress.port());
        } while (queued.back()->waitForConnected(300) && queued.size() < 1000);
        QMqttClient client;
        m_secrets.prepareClient(client, m_forAddress, "engineer", "s3cret");
        client.connectToHostEncrypted();
        QVERIFY(IdleLoopIsQuiet());
        m_forAddress.resume();
        queued.clear();
        // The connect goes through with the next retransmission of its SYN, within seconds.
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QMqttClient::Connected, 15000);
        QVERIFY(IdleLoopIsQuiet());

        QMqttSubscription* pSubscription = client.subscribe(QMqttTopicFilter("/t/#"));
        QTRY_COMPARE(pSubscription->state(), QMqttSubscription::Subscribed);
        QSignalSpy messages(pSubscription, &QMqttSubscription::messageReceived);
        const QByteArray payload(300000, 'x');
        QCOMPARE(client.publish(QMqttTopicName("/t/big"), payload), 0);
        QTRY_COMPARE(messages.size(), 1);
        QCOMPARE(messages.first().first().value<QMqttMessage>().payload(), payload);
    }

private:
    TestSecrets m_secrets;
    MosquittoBroker m_forAddress;
    MosquittoBroker m_forLocalhost;
    MosquittoBroker m_plain;
};

QTEST_GUILESS_MAIN(TestMqttClientTls)
#include "tst_qmqttclienttls.moc"

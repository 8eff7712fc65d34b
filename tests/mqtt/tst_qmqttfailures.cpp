#include "fakebroker.h"
#include "mqtt/qmqttclient.h"
#include "mqtttestsupport.h"

#include <QtTest>

using namespace MqttTestSupport;

// Broker behaviour a healthy mosquitto never shows, played by a scripted fake.
class TestMqttFailures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void refusedByBroker_data();
    void refusedByBroker();
    void rejectedSubscriptionEndsInError();
    void keepAlive_data();
    void keepAlive();

private:
    void Prepare(QMqttClient& client) const;

    std::unique_ptr<FakeBroker> m_pBroker;
};

void TestMqttFailures::init()
{
    m_pBroker = std::make_unique<FakeBroker>();
    QVERIFY(m_pBroker->listen());
}

void TestMqttFailures::Prepare(QMqttClient& client) const
{
    client.setHostname(QStringLiteral("127.0.0.1"));
    client.setPort(m_pBroker->port());
}

void TestMqttFailures::refusedByBroker_data()
{
    QTest::addColumn<int>("returnCode");
    QTest::addColumn<QMqttClient::ClientError>("error");

    QTest::newRow("identifier") << 2 << QMqttClient::IdRejected;
    QTest::newRow("not authorized") << 5 << QMqttClient::NotAuthorized;
    QTest::newRow("undefined code") << 6 << QMqttClient::ProtocolViolation;
}

void TestMqttFailures::refusedByBroker()
{
    QFETCH(int, returnCode);
    QFETCH(QMqttClient::ClientError, error);

    m_pBroker->setConnAckCode(returnCode);
    QMqttClient client;
    Prepare(client);
    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);
    QSignalSpy disconnectedSpy(&client, &QMqttClient::disconnected);
    QSignalSpy errorSpy(&client, &QMqttClient::errorChanged);

    client.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(disconnectedSpy.count(), 1, kTimeoutMs);
    QCOMPARE(States(stateSpy), (QList<int> { QMqttClient::Connecting, QMqttClient::Disconnected }));
    QCOMPARE(client.error(), error);
    QCOMPARE(errorSpy.count(), 1);
    QCOMPARE(errorSpy.at(0).at(0).value<QMqttClient::ClientError>(), error);
}

void TestMqttFailures::rejectedSubscriptionEndsInError()
{
    m_pBroker->setGrantedQoS(0x80);
    QMqttClient client;
    Prepare(client);
    client.connectToHost();
    QVERIFY(WaitForState(client, QMqttClient::Connected));

    QMqttSubscription* pSubscription = client.subscribe(QStringLiteral("/denied/#"));
    QVERIFY(pSubscription);
    QSignalSpy stateSpy(pSubscription, &QMqttSubscription::stateChanged);
    QTRY_COMPARE_WITH_TIMEOUT(pSubscription->state(), QMqttSubscription::Error, kTimeoutMs);
    QCOMPARE(States(stateSpy), QList<int> { QMqttSubscription::Error });
    QCOMPARE(client.state(), QMqttClient::Connected);

    // A refused filter may be tried again.
    m_pBroker->setGrantedQoS(0);
    QCOMPARE(client.subscribe(QStringLiteral("/denied/#")), pSubscription);
    QVERIFY(WaitForSubscribed(pSubscription));
}

void TestMqttFailures::keepAlive_data()
{
    QTest::addColumn<bool>("connAck");
    QTest::addColumn<QList<int>>("states");

    QTest::newRow("CONNACK never comes")
        << false << QList<int> { QMqttClient::Connecting, QMqttClient::Disconnected };
    QTest::newRow("pings unanswered")
        << true << QList<int> { QMqttClient::Connecting, QMqttClient::Connected, QMqttClient::Disconnected };
}

// libmosquitto's housekeeping runs from the client's timer: it pings, and it gives up on a silent broker.
void TestMqttFailures::keepAlive()
{
    QFETCH(bool, connAck);
    QFETCH(QList<int>, states);

    m_pBroker->setConnAckCode(connAck ? 0 : -1);
    m_pBroker->setAnswerPings(false);
    QMqttClient client;
    Prepare(client);
    client.setKeepAlive(5);
    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);
    QSignalSpy disconnectedSpy(&client, &QMqttClient::disconnected);

    client.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(disconnectedSpy.count(), 1, 30000);
    QCOMPARE(client.error(), QMqttClient::TransportInvalid);
    QCOMPARE(States(stateSpy), states);
    QCOMPARE(m_pBroker->pingCount() > 0, connAck);
}

QTEST_GUILESS_MAIN(TestMqttFailures)
#include "tst_qmqttfailures.moc"

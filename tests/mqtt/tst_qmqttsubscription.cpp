#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"
#include "mqtttestsupport.h"

#include <QRandomGenerator>
#include <QtTest>
#include <memory>

using namespace MqttTestSupport;

class TestMqttSubscription : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void subscriptionStates();
    void unsubscribedFilterStopsReceiving();
    void messageReachesEveryMatchingSubscription_data();
    void messageReachesEveryMatchingSubscription();
    void largeBinaryPayloadArrivesIntact();
    void invalidTopicsAreRejected_data();
    void invalidTopicsAreRejected();
    void disconnectDropsSubscriptions();

private:
    // Publishes on the control topic and waits until it comes back: everything published before it on
    // this connection has been delivered by then.
    bool Flush();

    MosquittoBroker m_broker;
    std::unique_ptr<QMqttClient> m_pClient;
    QMqttSubscription* m_pControl = nullptr;
};

void TestMqttSubscription::initTestCase() { QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString())); }

void TestMqttSubscription::init()
{
    m_pClient = std::make_unique<QMqttClient>();
    QVERIFY(ConnectTo(*m_pClient, m_broker));
    m_pControl = m_pClient->subscribe(QStringLiteral("/control"));
    QVERIFY(WaitForSubscribed(m_pControl));
}

void TestMqttSubscription::cleanup() { m_pClient.reset(); }

bool TestMqttSubscription::Flush()
{
    QSignalSpy spy(m_pControl, &QMqttSubscription::messageReceived);
    return m_pClient->publish(QStringLiteral("/control"), "flush") == 0
        && QTest::qWaitFor([&] { return spy.count() > 0; }, kTimeoutMs);
}

void TestMqttSubscription::subscriptionStates()
{
    QMqttSubscription* pSubscription = m_pClient->subscribe(QStringLiteral("/states/#"), 1);
    QVERIFY(pSubscription);
    QCOMPARE(pSubscription->state(), QMqttSubscription::SubscriptionPending);
    QCOMPARE(pSubscription->topic().filter(), QStringLiteral("/states/#"));
    QSignalSpy stateSpy(pSubscription, &QMqttSubscription::stateChanged);
    QCOMPARE(m_pClient->subscribe(QStringLiteral("/states/#")), pSubscription);

    QVERIFY(WaitForSubscribed(pSubscription));
    QCOMPARE(m_pClient->subscribe(QStringLiteral("/states/#")), pSubscription);

    pSubscription->unsubscribe();
    QCOMPARE(pSubscription->state(), QMqttSubscription::UnsubscriptionPending);
    QTRY_COMPARE_WITH_TIMEOUT(pSubscription->state(), QMqttSubscription::Unsubscribed, kTimeoutMs);
    const QList<int> expected { QMqttSubscription::Subscribed, QMqttSubscription::UnsubscriptionPending,
        QMqttSubscription::Unsubscribed };
    QCOMPARE(States(stateSpy), expected);
}

void TestMqttSubscription::unsubscribedFilterStopsReceiving()
{
    QMqttSubscription* pSubscription = m_pClient->subscribe(QStringLiteral("/gone"));
    QVERIFY(WaitForSubscribed(pSubscription));
    m_pClient->unsubscribe(QStringLiteral("/gone"));
    QTRY_COMPARE_WITH_TIMEOUT(pSubscription->state(), QMqttSubscription::Unsubscribed, kTimeoutMs);

    QSignalSpy subscriptionSpy(pSubscription, &QMqttSubscription::messageReceived);
    QSignalSpy clientSpy(m_pClient.get(), &QMqttClient::messageReceived);
    QCOMPARE(m_pClient->publish(QStringLiteral("/gone"), "late"), 0);
    QVERIFY(Flush());
    QCOMPARE(subscriptionSpy.count(), 0);
    QCOMPARE(clientSpy.count(), 1); // the flush message only
}

void TestMqttSubscription::messageReachesEveryMatchingSubscription_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QStringList>("receivers");

    QTest::newRow("matches all three") << "/a/b" << QStringList { "/a/#", "/a/+", "/a/b" };
    QTest::newRow("two levels below") << "/a/b/c" << QStringList { "/a/#" };
    QTest::newRow("unrelated") << "/c" << QStringList { "/c" };
    QTest::newRow("nobody") << "/ab" << QStringList();
}

void TestMqttSubscription::messageReachesEveryMatchingSubscription()
{
    QFETCH(QString, topic);
    QFETCH(QStringList, receivers);

    QMap<QString, QSignalSpy*> spies;
    std::vector<std::unique_ptr<QSignalSpy>> owner;
    for (const QString sFilter : { "/a/#", "/a/+", "/a/b", "/c" }) {
        QMqttSubscription* pSubscription = m_pClient->subscribe(sFilter);
        QVERIFY(WaitForSubscribed(pSubscription));
        owner.push_back(std::make_unique<QSignalSpy>(pSubscription, &QMqttSubscription::messageReceived));
        spies.insert(sFilter, owner.back().get());
    }
    QSignalSpy clientSpy(m_pClient.get(), &QMqttClient::messageReceived);

    const QByteArray payload = "payload of " + topic.toUtf8();
    QCOMPARE(m_pClient->publish(topic, payload), 0);
    QVERIFY(Flush());

    for (auto it = spies.cbegin(); it != spies.cend(); ++it) {
        const int nExpected = receivers.contains(it.key()) ? 1 : 0;
        QVERIFY2(it.value()->count() == nExpected, qPrintable(it.key()));
        if (nExpected == 0)
            continue;
        const QMqttMessage message = it.value()->at(0).at(0).value<QMqttMessage>();
        QCOMPARE(message.topic().name(), topic);
        QCOMPARE(message.payload(), payload);
    }
    // The client reports every message once, whatever the number of matching subscriptions.
    const int nClientMessages = receivers.isEmpty() ? 1 : 2;
    QCOMPARE(clientSpy.count(), nClientMessages);
    if (!receivers.isEmpty()) {
        QCOMPARE(clientSpy.at(0).at(0).toByteArray(), payload);
        QCOMPARE(clientSpy.at(0).at(1).value<QMqttTopicName>().name(), topic);
    }
}

void TestMqttSubscription::largeBinaryPayloadArrivesIntact()
{
    QByteArray payload(16 * 1024 * 1024, '\0');
    QRandomGenerator generator(4711);
    generator.fillRange(reinterpret_cast<quint32*>(payload.data()), payload.size() / int(sizeof(quint32)));
    for (int i = 0; i < payload.size(); i += 4099)
        payload[i] = '\0';

    QMqttSubscription* pSubscription = m_pClient->subscribe(QStringLiteral("/big"));
    QVERIFY(WaitForSubscribed(pSubscription));
    QSignalSpy spy(pSubscription, &QMqttSubscription::messageReceived);
    QVERIFY(m_pClient->publish(QStringLiteral("/big"), payload, 1) > 0);

    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 60000);
    const QByteArray received = spy.at(0).at(0).value<QMqttMessage>().payload();
    QCOMPARE(received.size(), payload.size());
    QVERIFY(received == payload);
}

void TestMqttSubscription::invalidTopicsAreRejected_data()
{
    QTest::addColumn<bool>("publish");
    QTest::addColumn<QString>("topic");

    QTest::newRow("publish on empty topic") << true << "";
    QTest::newRow("publish on + wildcard") << true << "/a/+";
    QTest::newRow("publish with NUL") << true << QString("/a") + QChar(0) + "b";
    QTest::newRow("subscribe to empty filter") << false << "";
    QTest::newRow("subscribe with # not last") << false << "/a/#/b";
}

// Nothing invalid reaches the broker, which would drop the connection for it.
void TestMqttSubscription::invalidTopicsAreRejected()
{
    QFETCH(bool, publish);
    QFETCH(QString, topic);

    if (publish) {
        QCOMPARE(m_pClient->publish(topic, "x"), -1);
        QCOMPARE(m_pClient->publish(topic, "x", 2), -1);
    } else {
        QVERIFY(!m_pClient->subscribe(topic));
    }
    QVERIFY(Flush());
    QCOMPARE(m_pClient->state(), QMqttClient::Connected);
}

void TestMqttSubscription::disconnectDropsSubscriptions()
{
    QMqttSubscription* pSubscription = m_pClient->subscribe(QStringLiteral("/drop/#"));
    QVERIFY(WaitForSubscribed(pSubscription));
    QSignalSpy stateSpy(pSubscription, &QMqttSubscription::stateChanged);

    m_pClient->disconnectFromHost();
    QCOMPARE(pSubscription->state(), QMqttSubscription::Unsubscribed);
    QCOMPARE(m_pControl->state(), QMqttSubscription::Unsubscribed);
    QCOMPARE(States(stateSpy), QList<int> { QMqttSubscription::Unsubscribed });

    // After a reconnect the filters are subscribed anew and every message arrives once.
    QVERIFY(ConnectTo(*m_pClient, m_broker));
    QCOMPARE(pSubscription->state(), QMqttSubscription::Unsubscribed);
    m_pControl = m_pClient->subscribe(QStringLiteral("/control"));
    QMqttSubscription* pRenewed = m_pClient->subscribe(QStringLiteral("/drop/#"));
    QVERIFY(WaitForSubscribed(m_pControl) && WaitForSubscribed(pRenewed));
    QSignalSpy messageSpy(pRenewed, &QMqttSubscription::messageReceived);
    QSignalSpy clientSpy(m_pClient.get(), &QMqttClient::messageReceived);
    QCOMPARE(m_pClient->publish(QStringLiteral("/drop/x"), "again"), 0);
    QVERIFY(Flush());
    QCOMPARE(messageSpy.count(), 1);
    QCOMPARE(clientSpy.count(), 2);
}

QTEST_GUILESS_MAIN(TestMqttSubscription)
#include "tst_qmqttsubscription.moc"

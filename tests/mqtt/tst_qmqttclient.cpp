#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"
#include "mqtttestsupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QProcess>
#include <QtTest>
#include <ctime>

using namespace MqttTestSupport;

namespace {

const QList<int> kConnectingConnected { QMqttClient::Connecting, QMqttClient::Connected };
const QList<int> kConnectingDisconnected { QMqttClient::Connecting, QMqttClient::Disconnected };

const char kWillClientOption[] = "--will-client";

// Child-process mode: connects with a last will, says so on stdout and waits to be killed.
int RunWillClient(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 6)
        return 2;
    QMqttClient client;
    client.setHostname(arguments.at(2));
    client.setPort(quint16(arguments.at(3).toUInt()));
    client.setWillTopic(arguments.at(4));
    client.setWillMessage(arguments.at(5).toUtf8());
    client.setWillQoS(1);
    QObject::connect(
        &client, &QMqttClient::connected, [] { QTextStream(stdout) << "connected" << Qt::endl; });
    QObject::connect(&client, &QMqttClient::disconnected, &app, &QCoreApplication::quit);
    client.connectToHost();
    return app.exec();
}

} // namespace

class TestMqttClient : public QObject
{
    Q_OBJECT

public:
    enum Trigger
    {
        OnConnectedState,
        OnConnectedSignal,
        OnClientMessage,
        OnSubscriptionMessage,
        OnSubscribedState,
        OnDisconnectFromHost,
        OnRefusedConnect,
        OnBrokerLoss,
        InNestedEventLoop,
    };
    Q_ENUM(Trigger)

private slots:
    void initTestCase();
    void connectReportsConnectingThenConnected();
    void refusedConnectIsReportedOnceFromTheEventLoop();
    void disconnectReportsSynchronously_data();
    void disconnectReportsSynchronously();
    void brokerLossAndReconnect();
    void idleConnectionDoesNotSpin();
    void connectsByHostName();
    void unresolvableHostEndsDisconnected();
    void requestsWithoutConnectionAreRejected();
    void deleteFromOwnSignal_data();
    void deleteFromOwnSignal();
    void willIsPublishedWhenTheClientDies();

private:
    MosquittoBroker m_broker;
};

void TestMqttClient::initTestCase() { QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString())); }

void TestMqttClient::connectReportsConnectingThenConnected()
{
    QMqttClient client;
    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);
    QSignalSpy connectedSpy(&client, &QMqttClient::connected);
    QSignalSpy disconnectedSpy(&client, &QMqttClient::disconnected);
    client.setHostname(m_broker.host());
    client.setPort(m_broker.port());

    client.connectToHost();
    QCOMPARE(States(stateSpy), QList<int> { QMqttClient::Connecting });
    client.connectToHost(); // ignored while connecting
    QCOMPARE(stateSpy.count(), 1);
    QCOMPARE(connectedSpy.count(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(connectedSpy.count(), 1, kTimeoutMs);
    QCOMPARE(States(stateSpy), kConnectingConnected);
    QCOMPARE(client.state(), QMqttClient::Connected);
    QCOMPARE(client.error(), QMqttClient::NoError);
    client.connectToHost(); // ignored while connected
    QCOMPARE(stateSpy.count(), 2);
    QCOMPARE(disconnectedSpy.count(), 0);
}

void TestMqttClient::refusedConnectIsReportedOnceFromTheEventLoop()
{
    QMqttClient client;
    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);
    QSignalSpy disconnectedSpy(&client, &QMqttClient::disconnected);
    QSignalSpy errorSpy(&client, &QMqttClient::errorChanged);
    client.setHostname(m_broker.host());
    client.setPort(UnusedPort());

    client.connectToHost();
    QCOMPARE(States(stateSpy), QList<int> { QMqttClient::Connecting });
    QCOMPARE(disconnectedSpy.count(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(disconnectedSpy.count(), 1, kTimeoutMs);
    QCOMPARE(States(stateSpy), kConnectingDisconnected);
    QCOMPARE(client.error(), QMqttClient::TransportInvalid);
    QCOMPARE(errorSpy.count(), 1);

    // Nothing more arrives later: no second report, no late connect.
    QTest::qWait(1500);
    QCOMPARE(stateSpy.count(), 2);
    QCOMPARE(disconnectedSpy.count(), 1);

    // The same object tries again and reports again.
    client.connectToHost();
    QTRY_COMPARE_WITH_TIMEOUT(disconnectedSpy.count(), 2, kTimeoutMs);
    QCOMPARE(errorSpy.count(), 2);
}

void TestMqttClient::disconnectReportsSynchronously_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("waitForConnected");

    QTest::newRow("while resolving a name") << "localhost" << false;
    QTest::newRow("while connecting") << "127.0.0.1" << false;
    QTest::newRow("while connected") << "127.0.0.1" << true;
}

void TestMqttClient::disconnectReportsSynchronously()
{
    QFETCH(QString, host);
    QFETCH(bool, waitForConnected);

    QMqttClient client;
    client.setHostname(host);
    client.setPort(m_broker.port());
    client.connectToHost();
    if (waitForConnected)
        QVERIFY(WaitForState(client, QMqttClient::Connected));
    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);
    QSignalSpy disconnectedSpy(&client, &QMqttClient::disconnected);

    client.disconnectFromHost();
    QCOMPARE(client.state(), QMqttClient::Disconnected);
    QCOMPARE(States(stateSpy), QList<int> { QMqttClient::Disconnected });
    QCOMPARE(disconnectedSpy.count(), 1);

    client.disconnectFromHost(); // already disconnected: nothing
    // A lookup or connect still under way must not revive the client.
    QTest::qWait(1500);
    QCOMPARE(stateSpy.count(), 1);
    QCOMPARE(disconnectedSpy.count(), 1);
    QCOMPARE(client.state(), QMqttClient::Disconnected);
}

void TestMqttClient::brokerLossAndReconnect()
{
    QMqttClient client;
    QVERIFY(ConnectTo(client, m_broker));
    QMqttSubscription* pSubscription = client.subscribe(QStringLiteral("/loss/#"));
    QVERIFY(WaitForSubscribed(pSubscription));
    QVERIFY(client.publish(QStringLiteral("/loss/before"), "once", 1) > 0);
    QSignalSpy messageSpy(&client, &QMqttClient::messageReceived);
    QTRY_COMPARE_WITH_TIMEOUT(messageSpy.count(), 1, kTimeoutMs);

    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);
    QSignalSpy disconnectedSpy(&client, &QMqttClient::disconnected);
    QSignalSpy subscriptionSpy(pSubscription, &QMqttSubscription::stateChanged);
    m_broker.kill();
    QTRY_COMPARE_WITH_TIMEOUT(disconnectedSpy.count(), 1, kTimeoutMs);
    QCOMPARE(States(stateSpy), QList<int> { QMqttClient::Disconnected });
    QCOMPARE(client.error(), QMqttClient::TransportInvalid);
    QCOMPARE(pSubscription->state(), QMqttSubscription::Unsubscribed);
    QCOMPARE(States(subscriptionSpy), QList<int> { QMqttSubscription::Unsubscribed });

    QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
    stateSpy.clear();
    QVERIFY(ConnectTo(client, m_broker));
    QCOMPARE(States(stateSpy), kConnectingConnected);
    QCOMPARE(disconnectedSpy.count(), 1);

    // Subscribing anew works; the message of the earlier connection is not sent again.
    QMqttSubscription* pRenewed = client.subscribe(QStringLiteral("/loss/#"));
    QVERIFY(WaitForSubscribed(pRenewed));
    messageSpy.clear();
    QCOMPARE(client.publish(QStringLiteral("/loss/after"), "new"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(messageSpy.count(), 1, kTimeoutMs);
    QCOMPARE(messageSpy.at(0).at(0).toByteArray(), QByteArray("new"));
}

// The write notifier must be off while nothing is queued, or the event loop spins at full load.
void TestMqttClient::idleConnectionDoesNotSpin()
{
    QMqttClient client;
    QVERIFY(ConnectTo(client, m_broker));
    QVERIFY(WaitForSubscribed(client.subscribe(QStringLiteral("/idle"))));

    const std::clock_t start = std::clock();
    QTest::qWait(1000);
    const double dCpuSeconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    QVERIFY2(dCpuSeconds < 0.3, qPrintable(QString::number(dCpuSeconds)));
    QCOMPARE(client.state(), QMqttClient::Connected);
}

void TestMqttClient::connectsByHostName()
{
    QMqttClient client;
    client.setHostname(QStringLiteral("localhost"));
    client.setPort(m_broker.port());
    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);
    client.connectToHost();
    QVERIFY(WaitForState(client, QMqttClient::Connected));
    QCOMPARE(States(stateSpy), kConnectingConnected);
}

void TestMqttClient::unresolvableHostEndsDisconnected()
{
    QMqttClient client;
    client.setHostname(QStringLiteral("no-such-host.invalid"));
    client.setPort(m_broker.port());
    QSignalSpy stateSpy(&client, &QMqttClient::stateChanged);

    QElapsedTimer clock;
    clock.start();
    client.connectToHost();
    QVERIFY2(clock.elapsed() < 500, "connectToHost() waited for the resolver");
    QCOMPARE(States(stateSpy), QList<int> { QMqttClient::Connecting });

    QVERIFY(WaitForState(client, QMqttClient::Disconnected, 60000));
    QCOMPARE(States(stateSpy), kConnectingDisconnected);
}

void TestMqttClient::requestsWithoutConnectionAreRejected()
{
    QMqttClient client;
    QCOMPARE(client.publish(QStringLiteral("/a"), "x"), -1);
    QCOMPARE(client.publish(QStringLiteral("/a"), "x", 1), -1);
    QVERIFY(!client.subscribe(QStringLiteral("/a/#")));
    client.unsubscribe(QStringLiteral("/a/#"));

    client.setHostname(m_broker.host());
    client.setPort(m_broker.port());
    client.connectToHost(); // Connecting is not enough
    QCOMPARE(client.publish(QStringLiteral("/a"), "x"), -1);
    QVERIFY(!client.subscribe(QStringLiteral("/a/#")));
}

void TestMqttClient::deleteFromOwnSignal_data()
{
    QTest::addColumn<Trigger>("trigger");

    QTest::newRow("stateChanged(Connected)") << OnConnectedState;
    QTest::newRow("connected()") << OnConnectedSignal;
    QTest::newRow("client messageReceived") << OnClientMessage;
    QTest::newRow("subscription messageReceived") << OnSubscriptionMessage;
    QTest::newRow("subscription stateChanged(Subscribed)") << OnSubscribedState;
    QTest::newRow("disconnected() inside disconnectFromHost()") << OnDisconnectFromHost;
    QTest::newRow("stateChanged(Disconnected) after a refused connect") << OnRefusedConnect;
    QTest::newRow("disconnected() after broker loss") << OnBrokerLoss;
    QTest::newRow("nested event loop in stateChanged(Connected)") << InNestedEventLoop;
}

// The device link deletes its client from slots of the client's own signals, sometimes from inside a
// modal dialog's event loop. AddressSanitizer reports any use of the deleted client.
void TestMqttClient::deleteFromOwnSignal()
{
    QFETCH(Trigger, trigger);

    QPointer<QMqttClient> pClient = new QMqttClient;
    QSignalSpy stateSpy(pClient.data(), &QMqttClient::stateChanged);
    const auto deleteClient = [&pClient] { delete pClient.data(); };
    const auto deleteOnState = [&](QMqttClient::ClientState target) {
        connect(pClient.data(), &QMqttClient::stateChanged, [=](QMqttClient::ClientState state) {
            if (state == target)
                deleteClient();
        });
    };
    pClient->setHostname(m_broker.host());
    pClient->setPort(trigger == OnRefusedConnect ? UnusedPort() : m_broker.port());

    bool bDeletesWhileConnecting = true;
    switch (trigger) {
    case OnConnectedState:
        deleteOnState(QMqttClient::Connected);
        break;
    case OnConnectedSignal:
        connect(pClient.data(), &QMqttClient::connected, deleteClient);
        break;
    case OnRefusedConnect:
        deleteOnState(QMqttClient::Disconnected);
        break;
    case InNestedEventLoop:
        connect(pClient.data(), &QMqttClient::stateChanged, [&](QMqttClient::ClientState state) {
            if (state != QMqttClient::Connected)
                return;
            QEventLoop loop;
            QTimer::singleShot(0, &loop, [&] {
                deleteClient();
                loop.quit();
            });
            loop.exec();
        });
        break;
    default:
        bDeletesWhileConnecting = false;
        break;
    }

    pClient->connectToHost();
    if (bDeletesWhileConnecting) {
        QTRY_VERIFY_WITH_TIMEOUT(pClient.isNull(), kTimeoutMs);
        QCOMPARE(stateSpy.count(), 2); // Connecting and the state that deleted it, nothing after
        QTest::qWait(200);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(pClient->state(), QMqttClient::Connected, kTimeoutMs);

    switch (trigger) {
    case OnClientMessage:
    case OnSubscriptionMessage: {
        QMqttSubscription* pFirst = pClient->subscribe(QStringLiteral("/del/#"));
        QMqttSubscription* pSecond = pClient->subscribe(QStringLiteral("/del/+"));
        QVERIFY(WaitForSubscribed(pFirst) && WaitForSubscribed(pSecond));
        if (trigger == OnClientMessage)
            connect(pClient.data(), &QMqttClient::messageReceived, deleteClient);
        else
            connect(pFirst, &QMqttSubscription::messageReceived, deleteClient);
        QCOMPARE(pClient->publish(QStringLiteral("/del/x"), "one"), 0);
        QCOMPARE(pClient->publish(QStringLiteral("/del/y"), "two"), 0);
        break;
    }
    case OnSubscribedState: {
        QMqttSubscription* pSubscription = pClient->subscribe(QStringLiteral("/del/#"));
        QVERIFY(pSubscription);
        connect(
            pSubscription, &QMqttSubscription::stateChanged, [&](QMqttSubscription::SubscriptionState state) {
                if (state == QMqttSubscription::Subscribed)
                    deleteClient();
            });
        break;
    }
    case OnDisconnectFromHost:
        connect(pClient.data(), &QMqttClient::disconnected, deleteClient);
        QVERIFY(pClient->subscribe(QStringLiteral("/del/#")));
        pClient->disconnectFromHost();
        QVERIFY(pClient.isNull());
        break;
    case OnBrokerLoss:
        connect(pClient.data(), &QMqttClient::disconnected, deleteClient);
        QVERIFY(pClient->subscribe(QStringLiteral("/del/#")));
        m_broker.kill();
        QTRY_VERIFY_WITH_TIMEOUT(pClient.isNull(), kTimeoutMs);
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        break;
    default:
        break;
    }

    QTRY_VERIFY_WITH_TIMEOUT(pClient.isNull(), kTimeoutMs);
    QTest::qWait(200); // let any stray event of the deleted client surface under the sanitizer
}

void TestMqttClient::willIsPublishedWhenTheClientDies()
{
    QMqttClient watcher;
    QVERIFY(ConnectTo(watcher, m_broker));
    QMqttSubscription* pSubscription = watcher.subscribe(QStringLiteral("/will/#"));
    QVERIFY(WaitForSubscribed(pSubscription));
    QSignalSpy messageSpy(pSubscription, &QMqttSubscription::messageReceived);

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        { QString::fromLatin1(kWillClientOption), m_broker.host(), QString::number(m_broker.port()),
            QStringLiteral("/will/status"), QStringLiteral("offline") });
    QVERIFY(child.waitForStarted());
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("connected"), kTimeoutMs);
    QCOMPARE(messageSpy.count(), 0);

    child.kill(); // the socket closes without a DISCONNECT
    child.waitForFinished();
    QTRY_COMPARE_WITH_TIMEOUT(messageSpy.count(), 1, kTimeoutMs);
    const QMqttMessage message = messageSpy.at(0).at(0).value<QMqttMessage>();
    QCOMPARE(message.topic().name(), QStringLiteral("/will/status"));
    QCOMPARE(message.payload(), QByteArray("offline"));
}

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], kWillClientOption) == 0)
        return RunWillClient(argc, argv);
    QCoreApplication app(argc, argv);
    TestMqttClient test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qmqttclient.moc"

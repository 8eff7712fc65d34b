#include "idleloop.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QTcpServer>
#include <QtTest>

namespace {

// Long enough for the slowest step, a keep-alive time-out (about 11 s), three times over; a flood of 2000
// messages takes about 4.5 s on a loaded two-core machine under sanitizers.
constexpr int kWaitMs = 40000;
const QString kMarker = QStringLiteral("/marker");

} // namespace

// A scenario is a script of calls and of the reports they cause, in the order they happen:
//   calls    connect[=localhost|=closed|=refusing|=<host>], disconnect, sub=<filter>, unsub=<filter>,
//            pub=<topic>, idle (a second of an idle connection), kill, restart, pause
//   reports  0 1 2 stateChanged, c connected(), d disconnected(), an error name errorChanged(),
//            M the client's messageReceived(); subscriptions are lettered a, b, ... as they first appear:
//            a0..a4 stateChanged (the state subscribe() returns with counts as a report), am messageReceived
//   x X      the slot of the report before it deletes the client (X: from a nested event loop)
//   ~        wait until everything written so far has happened
// The script ends with a check that nothing else comes: the event loop runs a while and, on a live
// connection, a marker published last has come back.
// A call is logged when it returns, so what it reports before returning stands before its name. A call that
// fails (null subscription, publish -1, a busy idle loop, a pause without the test's own broker process) is
// logged with "!" appended; a message whose payload is not the one published on its topic with "?". A publish
// to the stand-in broker (connect=refusing) fails unless it has left before publish() returned: an edit does
// not wait for a later pass of the event loop (a write notification, a timer tick) to leave.
class TestMqttClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_closed.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
        m_big.resize(16 << 20);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(m_big.data()), m_big.size() / 4);
        // mosquitto 2.0 grants MQTT 3.1.1 subscriptions even where its ACL denies them, so this stand-in
        // accepts the connection and refuses every subscription but the marker's, and sends back what is
        // published to it. The client's packets fit a one-byte length.
        QVERIFY(m_refusing.listen(QHostAddress::LocalHost));
        connect(&m_refusing, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* pSocket = m_pStandIn = m_refusing.nextPendingConnection();
            connect(pSocket, &QTcpSocket::readyRead, pSocket, [this, pSocket] {
                const QByteArray packets = pSocket->readAll();
                for (int i = 0; i + 1 < packets.size(); i += 2 + quint8(packets[i + 1])) {
                    const QByteArray packet = packets.mid(i, 2 + quint8(packets[i + 1]));
                    if (packet[0] == 0x10) // CONNECT
                        pSocket->write(QByteArray("\x20\x02\x00\x00", 4));
                    else if (packet[0] == char(0x82)) // SUBSCRIBE: SUBACK with its packet id and the grant
                        pSocket->write("\x90\x03" + packet.mid(2, 2)
                            + (packet.mid(6, packet.size() - 7) == kMarker ? '\0' : '\x80'));
                    else if (packet[0] == 0x30) // PUBLISH at QoS 0: sent back
                        pSocket->write(packet);
                }
            });
        });
    }
    void init() { QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString())); }
    void cleanup() { delete m_pClient; }

    void scenario_data();
    void scenario()
    {
        QFETCH(QString, script);
        m_deletion = QRegularExpression("(\\S+) ([xX])( |$)").match(script);
        m_letters.clear();
        m_log.clear();
        m_pClient = new QMqttClient;
        connect(m_pClient, &QMqttClient::stateChanged, this,
            [this](int nState) { Log(QString::number(nState)); });
        connect(m_pClient, &QMqttClient::connected, this, [this] { Log("c"); });
        connect(m_pClient, &QMqttClient::disconnected, this, [this] { Log("d"); });
        connect(m_pClient, &QMqttClient::errorChanged, this,
            [this](QMqttClient::ClientError error) { Log(QVariant::fromValue(error).toString()); });
        connect(m_pClient, &QMqttClient::messageReceived, this,
            [this](const QByteArray&, const QMqttTopicName& topic) {
                if (topic.name() != kMarker)
                    Log("M");
            });

        QStringList expected;
        for (const QString& sStep : script.split(' ') + QStringList { "~" }) {
            const QString sCall = sStep.endsWith('!') ? sStep.chopped(1) : sStep;
            if (sStep == "~")
                static_cast<void>(QTest::qWaitFor([&] { return m_log.size() >= expected.size(); }, kWaitMs));
            else
                expected << sStep;
            if (QRegularExpression("^[a-z]{3,}").match(sCall).hasMatch()) // a call, not a report
                Log(Call(sCall.section('=', 0, 0), sCall.section('=', 1)) ? sCall : sCall + '!');
        }
        const bool bSettled = Settle();
        QCOMPARE(m_log.join(' '), expected.join(' '));
        QVERIFY2(bSettled, "the marker did not come back");
    }

    // A flood (the client's own messages, sent back by the broker) is read in passes of limited length: every
    // message arrives, in order, and the event loop gets its turns (a timer fires) while it is still being
    // read.
    void floodArrivesWholeAndInOrder()
    {
        constexpr int kMessages = 2000;
        m_pClient = new QMqttClient;
        QVERIFY(Call("connect", QString()));
        QTRY_COMPARE_WITH_TIMEOUT(m_pClient->state(), QMqttClient::Connected, kWaitMs);
        QMqttSubscription* pFlood = m_pClient->subscribe(QStringLiteral("/flood"));
        QTRY_COMPARE_WITH_TIMEOUT(pFlood->state(), QMqttSubscription::Subscribed, kWaitMs);

        QVector<int> received;
        int nWhenTimerFired = -1;
        connect(pFlood, &QMqttSubscription::messageReceived, this, [&](const QMqttMessage& message) {
            if (received.isEmpty())
                QTimer::singleShot(0, this, [&] { nWhenTimerFired = received.size(); });
            received << message.payload().toInt();
            QThread::usleep(100); // each message takes a while: reading the flood outlasts many passes
        });
        for (int i = 0; i < kMessages; ++i)
            QVERIFY(m_pClient->publish(QStringLiteral("/flood"), QByteArray::number(i)) >= 0);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), kMessages, kWaitMs);
        for (int i = 0; i < kMessages; ++i)
            QCOMPARE(received.at(i), i);
        QVERIFY2(
            nWhenTimerFired > 0 && nWhenTimerFired < kMessages, qPrintable(QString::number(nWhenTimerFired)));
    }

private:
    // Runs one call of a script; false when it fails or is no call.
    bool Call(const QString& sCall, const QString& sArgument)
    {
        if (sCall == "connect") {
            const QMap<QString, quint16> ports { { "", m_broker.port() }, { "closed", m_closed.localPort() },
                { "refusing", m_refusing.serverPort() } };
            m_pClient->setHostname(ports.contains(sArgument) ? m_broker.host() : sArgument);
            m_pClient->setPort(ports.value(sArgument, m_broker.port()));
            m_pClient->setKeepAlive(5);
            m_pClient->connectToHost();
        } else if (sCall == "sub") {
            // A subscription seen for the first time is lettered and its state at hand counts as its first
            // report.
            QMqttSubscription* pSubscription = m_pClient->subscribe(sArgument);
            const QString sLetter = QChar('a' + m_letters.size());
            if (pSubscription && !m_letters.contains(pSubscription)) {
                m_letters.insert(pSubscription, sLetter);
                connect(pSubscription, &QMqttSubscription::stateChanged, this,
                    [this, sLetter](int nState) { Log(sLetter + QString::number(nState)); });
                connect(pSubscription, &QMqttSubscription::messageReceived, this,
                    [this, sLetter](const QMqttMessage& message) {
                        Log(sLetter + (message.payload() == Payload(message.topic().name()) ? "m" : "m?"));
                    });
                Log(sLetter + QString::number(pSubscription->state()));
            }
            return pSubscription;
        } else if (sCall == "pub") {
            // The stand-in's end of the connection is read while the event loop does not run.
            return m_pClient->publish(sArgument, Payload(sArgument)) >= 0
                && (m_pClient->port() != m_refusing.serverPort() || m_pStandIn->waitForReadyRead(10000));
        } else if (sCall == "unsub") {
            m_pClient->unsubscribe(sArgument);
        } else if (sCall == "disconnect") {
            m_pClient->disconnectFromHost();
        } else if (sCall == "kill") {
            m_broker.kill();
        } else if (sCall == "pause") {
            m_broker.pause();
        } else if (sCall == "restart") {
            return m_broker.start();
        } else if (sCall == "idle") {
            return IdleLoopIsQuiet();
        }
        return QStringList { "connect", "unsub", "disconnect", "kill", "pause" }.contains(sCall);
    }

    // Anything late or repeated would have shown by now: the event loop has run a while, and a marker
    // published on a live connection has come back after everything the broker sent before it.
    bool Settle()
    {
        QTest::qWait(100);
        if (!m_pClient || m_pClient->state() != QMqttClient::Connected)
            return true;
        QMqttSubscription* pMarker = m_pClient->subscribe(kMarker);
        QSignalSpy granted(pMarker, &QMqttSubscription::stateChanged);
        QSignalSpy marker(pMarker, &QMqttSubscription::messageReceived);
        return granted.wait(kWaitMs) && m_pClient->publish(kMarker, "") >= 0 && marker.wait(kWaitMs);
    }

    void Log(const QString& sToken)
    {
        m_log << sToken;
        if (sToken != m_deletion.captured(1) || !m_pClient)
            return;
        if (m_deletion.captured(2) == "X") { // a modal dialog's event loop runs first
            QEventLoop loop;
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
            loop.exec();
        }
        delete m_pClient;
        m_log << m_deletion.captured(2);
    }

    MosquittoBroker m_broker;
    QTcpServer m_refusing;
    // The stand-in's end of the scenario's connection to it.
    QPointer<QTcpSocket> m_pStandIn;
    // Bound without listening: the port is refused, and no other test can take it.
    QTcpSocket m_closed;
    // Every topic is published with its name as payload, except "/big": 16 MiB of random bytes.
    QByteArray Payload(const QString& sTopic) const { return sTopic == "/big" ? m_big : sTopic.toUtf8(); }
    QByteArray m_big;
    QPointer<QMqttClient> m_pClient;
    QHash<QMqttSubscription*, QString> m_letters;
    QStringList m_log;
    // In the script, the report whose slot deletes the client and the x or X after it.
    QRegularExpressionMatch m_deletion;
};

void TestMqttClient::scenario_data()
{
    QTest::addColumn<QString>("script");
    const QString sConnected = "1 connect 2 c ~ ";
    const QString sSubscribed = sConnected + "a1 sub=/t/# b1 sub=/t/+ a2 b2 ~ ";

    // A second connect is ignored, a second disconnect too; a disconnect while connecting ends the attempt.
    QTest::newRow("connect") << "1 connect connect 0 d disconnect disconnect ~ 1 connect 2 c ~ connect idle";
    QTest::newRow("nothing listening") << "1 connect=closed 0 d TransportInvalid";
    // A name the resolver refuses without asking a name server: no traffic leaves the machine.
    QTest::newRow("unresolvable host") << "1 connect=no..such.host 0 d TransportInvalid";
    QTest::newRow("by host name") << "1 connect=localhost 0 d disconnect ~ 1 connect=localhost 2 c";
    QTest::newRow("disconnect while connected") << sSubscribed + "0 d a0 b0 disconnect";
    QTest::newRow("broker killed, reconnect") << sSubscribed
            + "kill 0 d TransportInvalid a0 b0 ~ restart 1 connect 2 c ~ a1 sub=/t/# a2 ~ pub=/t/x am M";
    // A frozen broker: the pings go unanswered, then a CONNACK never comes.
    QTest::newRow("keep-alive") << sConnected + "pause 0 d TransportInvalid ~ 1 connect 0 d TransportInvalid";
    // Without a connection, or with invalid topics.
    QTest::newRow("refused requests")
        << "pub=/t! sub=/t! 1 connect pub=/t! sub=/t! 2 c ~ pub=! pub=#! pub=/t/+! sub=! sub=#/x! sub=/t+!";
    QTest::newRow("16 MiB binary payload") << sConnected + "a1 sub=/big a2 ~ pub=/big am M";
    QTest::newRow("subscription states")
        << sConnected + "a1 sub=/s sub=/s a2 ~ sub=/s a3 unsub=/s a0 ~ a1 sub=/s a2";
    // A subscription refused; a publish that leaves at once.
    QTest::newRow("stand-in broker") << "1 connect=refusing 2 c ~ a1 sub=/t a4 ~ pub=/t/x M";
    QTest::newRow("every matching subscription") << sSubscribed
            + "c1 sub=/t/x c2 ~ pub=/t/x am bm cm M ~ pub=/t/x/y am M ~ a3 unsub=/t/# a0 ~ pub=/t/x bm cm M";

    // The device link deletes its client from slots of the client's own signals, sometimes from inside a
    // modal dialog's event loop. AddressSanitizer reports any later use of the deleted client.
    QTest::newRow("delete on Connected, in a nested event loop") << "1 connect 2 X";
    QTest::newRow("delete on connected()") << "1 connect 2 c x";
    QTest::newRow("delete on refusal") << "1 connect=closed 0 x";
    QTest::newRow("delete on Subscribed") << sConnected + "a1 sub=/t/# a2 x";
    QTest::newRow("delete on a subscription's message") << sSubscribed + "pub=/t/x pub=/t/y am x";
    QTest::newRow("delete on the client's message") << sSubscribed + "pub=/t/x pub=/t/y am bm M x";
    QTest::newRow("delete inside disconnectFromHost()") << sSubscribed + "0 d x disconnect";
    QTest::newRow("delete on broker loss") << sSubscribed + "kill 0 d x";
}

QTEST_GUILESS_MAIN(TestMqttClient)
#include "tst_qmqttclient.moc"

#include "brokerclient.h"
#include "link/ckavrosubscription.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QtTest>

class TestKavroSubscription : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void topicAndSubtopic_data();
    void topicAndSubtopic();
    void detachedSubscriptionOutlivesItsClient();

private:
    MosquittoBroker m_broker;
};

void TestKavroSubscription::initTestCase() { QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString())); }

void TestKavroSubscription::topicAndSubtopic_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("messageTopic");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("subtopic");

    QTest::newRow("one level below") << "/hdr/config/#"
                                     << "/hdr/config/exposure"
                                     << "/hdr/config"
                                     << "exposure";
    QTest::newRow("two levels below") << "/hdr/config/#"
                                      << "/hdr/config/a/b"
                                      << "/hdr/config"
                                      << "a/b";
    QTest::newRow("capture buffer") << "/hdr/capture/upload/#"
                                    << "/hdr/capture/upload/t1"
                                    << "/hdr/capture/upload"
                                    << "t1";
    QTest::newRow("equal to the prefix") << "/hdr/config/#"
                                         << "/hdr/config"
                                         << "/hdr/config"
                                         << "";
    QTest::newRow("empty last level") << "/hdr/config/#"
                                      << "/hdr/config/"
                                      << "/hdr/config"
                                      << "";
    QTest::newRow("prefix without its slash") << "/hdr/config/#"
                                              << "/hdr/configX/y"
                                              << "/hdr/configX/y"
                                              << "";
    QTest::newRow("prefix in another case") << "/hdr/config/#"
                                            << "/HDR/config/x"
                                            << "/HDR/config/x"
                                            << "";
    QTest::newRow("exact filter") << "/hdr/status/logs"
                                  << "/hdr/status/logs"
                                  << "/hdr/status/logs"
                                  << "";
    QTest::newRow("filter /#") << "/#"
                               << "/hdr/config/exposure"
                               << "/hdr/config/exposure"
                               << "";
    QTest::newRow("filter #") << "#"
                              << "/hdr/config/exposure"
                              << "/hdr/config/exposure"
                              << "";
    QTest::newRow("filter with +") << "/hdr/+/logs"
                                   << "/hdr/status/logs"
                                   << "/hdr/status/logs"
                                   << "";
    QTest::newRow("+ before the /#") << "/hdr/+/#"
                                     << "/hdr/config/exposure"
                                     << "/hdr/config/exposure"
                                     << "";
}

void TestKavroSubscription::topicAndSubtopic()
{
    QFETCH(QString, filter);
    QFETCH(QString, messageTopic);
    QFETCH(QString, topic);
    QFETCH(QString, subtopic);

    for (const bool bRaw : { false, true }) {
        CKavroSubscription subscription;
        subscription.Subscribe("params_config", filter, nullptr, bRaw);
        QSignalSpy spy(&subscription, &CKavroSubscription::SubscriptionMessage);

        const QByteArray payload("\x00{\"a\":1}", 8);
        QVERIFY(QMetaObject::invokeMethod(&subscription, "ReceiveSubscriptionMessage",
            Q_ARG(QMqttMessage, QMqttMessage(messageTopic, payload))));

        QCOMPARE(spy.count(), 1);
        const QList<QVariant> args = spy.takeFirst();
        QCOMPARE(args.at(0).toString(), QString("params_config"));
        QCOMPARE(args.at(1).toString(), topic);
        QCOMPARE(args.at(2).toString(), subtopic);
        QCOMPARE(args.at(3).toByteArray(), payload);
        QCOMPARE(args.at(4).toBool(), bRaw);
    }
}

void TestKavroSubscription::detachedSubscriptionOutlivesItsClient()
{
    auto* pClient = new QMqttClient;
    QVERIFY(ConnectToBroker(*pClient, m_broker));
    CKavroSubscription subscription;
    subscription.Subscribe("log_data", "/hdr/status/logs", pClient, true);
    QVERIFY(WaitSubscribed(pClient->findChild<QMqttSubscription*>()));

    subscription.Detach();
    delete pClient;
    // Leaving scope deletes the subscription: it must not reach for the client or its subscription.
}

QTEST_GUILESS_MAIN(TestKavroSubscription)
#include "tst_ckavrosubscription.moc"

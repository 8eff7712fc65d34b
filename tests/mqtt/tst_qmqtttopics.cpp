#include "mqtt/qmqtttopicfilter.h"
#include "mqtt/qmqtttopicname.h"

#include <QtTest>

class TestMqttTopics : public QObject
{
    Q_OBJECT

private slots:
    void nameValidity_data();
    void nameValidity();
    void filterValidity_data();
    void filterValidity();
    void filterMatch_data();
    void filterMatch();
};

void TestMqttTopics::nameValidity_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");

    QTest::newRow("plain") << "/hdr/set/parameters" << true;
    QTest::newRow("single slash") << "/" << true;
    QTest::newRow("empty levels") << "a//b" << true;
    QTest::newRow("non-ASCII") << QString::fromUtf8("/caméra/état") << true;
    QTest::newRow("system topic") << "$SYS/broker" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("single-level wildcard") << "/hdr/+/x" << false;
    QTest::newRow("multi-level wildcard") << "/hdr/#" << false;
    QTest::newRow("wildcard inside a level") << "/hdr/a#" << false;
    QTest::newRow("NUL character") << QString("a") + QChar(0) + "b" << false;
    QTest::newRow("control character") << QString("a") + QChar(1) + "b" << false;
    QTest::newRow("longest") << QString(65535, QLatin1Char('a')) << true;
    QTest::newRow("too long") << QString(65536, QLatin1Char('a')) << false;
}

void TestMqttTopics::nameValidity()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(QMqttTopicName(name).isValid(), valid);
}

void TestMqttTopics::filterValidity_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("valid");

    QTest::newRow("plain") << "/hdr/status/logs" << true;
    QTest::newRow("trailing #") << "/hdr/config/#" << true;
    QTest::newRow("# alone") << "#" << true;
    QTest::newRow("+ levels") << "/+/status/+" << true;
    QTest::newRow("+ alone") << "+" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("# not last") << "/a/#/b" << false;
    QTest::newRow("# inside a level") << "/a/b#" << false;
    QTest::newRow("+ inside a level") << "/a/b+/c" << false;
    QTest::newRow("NUL character") << QString("/a") + QChar(0) << false;
}

void TestMqttTopics::filterValidity()
{
    QFETCH(QString, filter);
    QFETCH(bool, valid);
    QCOMPARE(QMqttTopicFilter(filter).isValid(), valid);
}

void TestMqttTopics::filterMatch_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");

    QTest::newRow("exact") << "/hdr/status/logs"
                           << "/hdr/status/logs" << true;
    QTest::newRow("exact differs in case") << "/hdr/status/logs"
                                           << "/hdr/status/Logs" << false;
    QTest::newRow("# below") << "/hdr/config/#"
                             << "/hdr/config/a/b" << true;
    QTest::newRow("# matches its parent") << "/hdr/config/#"
                                          << "/hdr/config" << true;
    QTest::newRow("# needs the separator") << "/hdr/config/#"
                                           << "/hdr/configX/y" << false;
    QTest::newRow("+ one level") << "/a/+"
                                 << "/a/b" << true;
    QTest::newRow("+ not two levels") << "/a/+"
                                      << "/a/b/c" << false;
    QTest::newRow("+ empty level") << "/a/+"
                                   << "/a/" << true;
    QTest::newRow("# does not match $ topics") << "#"
                                               << "$SYS/broker" << false;
    QTest::newRow("invalid filter") << "/a/#/b"
                                    << "/a/x/b" << false;
    QTest::newRow("invalid name") << "#"
                                  << "/a/+" << false;
}

void TestMqttTopics::filterMatch()
{
    QFETCH(QString, filter);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(QMqttTopicFilter(filter).match(QMqttTopicName(name)), matches);
}

QTEST_GUILESS_MAIN(TestMqttTopics)
#include "tst_qmqtttopics.moc"

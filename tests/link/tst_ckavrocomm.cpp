#include "link/ckavrocomm.h"
#include "model/ckavroparam.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QtTest>
#include <memory>

namespace {

// The built-in topics, a raw subscription "wire" on which the link hears its own publishing, and
// publish topics through which it plays the device's messages.
const char kTopics[] = R"({ "subscribe_topics": { "params_config": "/hdr/config/#",
    "params_status": "/hdr/status/parameters/#" }, "subscribe_topics_raw": { "params_upload": "/hdr/status/upload",
    "log_data": "/hdr/status/logs", "capture_upload": "/hdr/capture/upload/#", "wire": "/hdr/set/#" },
    "publish_topics": { "params_set": "/hdr/set/parameters", "control_set": "/hdr/set/controls",
    "config": "/hdr/config/a/b", "prefix": "/hdr/config", "logs": "/hdr/status/logs" } })";
// What each connection subscribes, once each, in no particular order.
const QStringList kTopicNames { "capture_upload", "log_data", "params_config", "params_status",
    "params_upload", "wire" };

QString Latin1(const QByteArray& data) { return QString::fromLatin1(data.constData(), data.size()); }

} // namespace

// Plays the main window for one link: logs its statuses, the topics the broker grants it and its inbound
// signals, deletes the records, and stands in for the device's reports that reach SetDeviceState.
class TestKavroComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void traffic_data();
    void traffic();
    void connectionLifecycle();
    void leaveReportBelongsToItsConnection_data();
    void leaveReportBelongsToItsConnection();

private:
    bool Establish();
    void SetDeviceState(bool bActive)
    {
        QMetaObject::invokeMethod(&m_link, "SetDeviceState", Q_ARG(bool, bActive));
    }
    // Runs the event loop until after the link's 100 ms leave check, which was scheduled earlier.
    void WaitPastLeaveCheck()
    {
        bool bDue = false;
        QTimer::singleShot(300, this, [&bDue] { bDue = true; });
        QTRY_VERIFY(bDue);
    }

    MosquittoBroker m_broker;
    CKavroComm m_link;
    QStringList m_statuses;
    QStringList m_subscribed;
    QStringList m_events;
};

void TestKavroComm::initTestCase()
{
    m_link.ReadTopicConfig(QJsonDocument::fromJson(kTopics).object());
    // A status is written "+" or "-" for bConnected, "(user)" after a user's disconnect, then the text.
    connect(&m_link, &CKavroComm::ConnectionStatusUpdate, this, [this](bool bConnected, QString sText) {
        m_statuses << (bConnected ? "+" : "-") + QString(m_link.m_bUserDisconnect ? "(user)" : "") + sText;
    });
    connect(
        &m_link, &CKavroComm::SubscriptionStatusUpdate, this, [this](QString sName, QString, QString sState) {
            if (sState == "Subscribed")
                m_subscribed << sName;
        });
    // Inbound signals are written "name|topic|subtopic|what".
    connect(&m_link, &CKavroComm::DataUpdate, this,
        [this](QString sName, QString sTopic, QString sSubtopic, QString sParam, CKavroParam* pParamData) {
            const std::unique_ptr<CKavroParam> pRecord(pParamData);
            const QByteArray attributes = QJsonDocument(pRecord->ToJson()).toJson(QJsonDocument::Compact);
            m_events << QStringList { sName, sTopic, sSubtopic, sParam + '=' + attributes }.join('|');
        });
    connect(&m_link, &CKavroComm::MessageUpdate, this,
        [this](QString sName, QString sTopic, QString sSubtopic, QByteArray data, QString sJsonError) {
            m_events << QStringList { sName, sTopic, sSubtopic, Latin1(data) }.join('|')
                    + (sJsonError.isEmpty() ? "" : " (error)");
        });
    QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
}

// Every test starts with an established link and empty logs.
void TestKavroComm::init()
{
    if (!m_link.m_bDeviceConnected)
        QVERIFY(Establish());
    m_statuses.clear();
    m_subscribed.clear();
}

// Connects and, once the broker has granted every topic, lets the device report itself connected.
bool TestKavroComm::Establish()
{
    const int nSubscribed = m_subscribed.size() + kTopicNames.size();
    m_link.Connect(m_broker.host(), m_broker.port());
    const bool bSubscribed = QTest::qWaitFor([&] { return m_subscribed.size() == nSubscribed; }, 5000);
    SetDeviceState(true);
    return bSubscribed;
}

// A row publishes data on a publish topic name: with SendData, or with SetParam as the number in a record
// of sParam. The link's signals that follow are compared.
void TestKavroComm::traffic_data()
{
    QTest::addColumn<QString>("sName");
    QTest::addColumn<QString>("sParam");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("events");
    const auto row = [](const char* sTag, const char* sName, const char* sParam, const QByteArray& data,
                         const QStringList& events) {
        QTest::newRow(sTag) << QString(sName) << QString(sParam) << data << events;
    };
    row("records and a text line", "config", "", R"({"n":0.5,"r":{"value":120,"min-value":1},"b":{}})",
        { "params_config|/hdr/config|a/b|b={}", "params_config|/hdr/config|a/b|n : 0.5",
            R"(params_config|/hdr/config|a/b|r={"min-value":1,"value":120})" });
    row("array", "config", "", R"([{"a":{"value":1}}])", {});
    // On the filter's own topic, without a subtopic.
    row("syntax error", "prefix", "", "{", { "params_config|/hdr/config||{ (error)" });
    row("JSON on a raw topic", "logs", "", "{}", { "log_data|/hdr/status/logs||{}" });
    const QByteArray binary("\0\1\xfe{", 4);
    row("SendData", "control_set", "", binary, { "wire|/hdr/set|controls|" + Latin1(binary) });
    row("SetParam", "params_set", "g", "1.5", { R"(wire|/hdr/set|parameters|{"g":{"value":1.5}})" });
    row("unknown topic name", "no_such_topic", "gain", "3", {});
}

// Every row ends with a message the link publishes after it, so all it caused has arrived when that has.
// LeakSanitizer reports any record that SetParam does not delete.
void TestKavroComm::traffic()
{
    QFETCH(QString, sName);
    QFETCH(QString, sParam);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, events);
    m_events.clear();
    if (sParam.isEmpty())
        m_link.SendData(sName, data);
    else
        m_link.SetParam(sName, sParam, new CKavroParam(data.toDouble()));
    m_link.SendData("logs", "end");
    QTRY_COMPARE(m_events, events + QStringList("log_data|/hdr/status/logs||end"));
}

// The established link is connected anew and aborted by the user while connecting, connected again to a
// silent device and dropped 5 s after that Connect, not earlier; then, established, it loses its broker and
// comes back. Each connection subscribes every topic once.
void TestKavroComm::connectionLifecycle()
{
    m_link.Connect(m_broker.host(), m_broker.port());
    m_link.Disconnect(true);
    QTest::qWait(2000);
    m_link.Connect(m_broker.host(), m_broker.port());
    QTest::qWait(4800);
    QVERIFY(m_link.findChild<QMqttClient*>());
    QTRY_VERIFY(!m_link.findChild<QMqttClient*>());
    // Without a client the record is deleted all the same.
    m_link.SetParam("params_set", "gain", new CKavroParam(1u));

    QVERIFY(Establish());
    m_broker.kill();
    QTRY_COMPARE(m_statuses.size(), 9);
    QVERIFY(m_broker.start() && Establish());
    const QString sConnecting = "-Connecting to MQTT broker";
    const QString sConnected = "+Connected to MQTT broker";
    const QString sLost = "-Disconnected from MQTT broker";
    QCOMPARE(m_statuses,
        QStringList({ sLost, sConnecting, "-(user)", sConnecting, sConnected, "-", sConnecting, sConnected,
            sLost, sConnecting, sConnected }));
    for (const QString& sName : kTopicNames)
        QCOMPARE(m_subscribed.count(sName), 3);
    QCOMPARE(m_subscribed.size(), 3 * kTopicNames.size());
}

void TestKavroComm::leaveReportBelongsToItsConnection_data()
{
    QTest::addColumn<bool>("bBrokerLost");
    QTest::newRow("user reconnects at once") << false;
    QTest::newRow("broker restarted, reconnected at once") << true;
}

// The device reports that it leaves, and before the 100 ms check its connection ends and a new one is made:
// the check belongs to the ended connection and must leave the new one alone. Leave reports in the new
// connection drop it, once.
void TestKavroComm::leaveReportBelongsToItsConnection()
{
    QFETCH(bool, bBrokerLost);
    SetDeviceState(false);
    if (bBrokerLost) {
        m_broker.kill();
        QVERIFY(m_broker.start());
    } else {
        m_link.Disconnect(true);
    }
    QVERIFY(Establish());
    WaitPastLeaveCheck();
    QVERIFY2(m_statuses.last() == "+Connected to MQTT broker", qPrintable(m_statuses.join('\n')));

    m_statuses.clear();
    SetDeviceState(false);
    SetDeviceState(false);
    WaitPastLeaveCheck();
    QCOMPARE(m_statuses, QStringList({ "-", "-Device unavailable; Disconnected from MQTT broker" }));
}

QTEST_GUILESS_MAIN(TestKavroComm)
#include "tst_ckavrocomm.moc"

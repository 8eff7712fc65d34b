#include "app/csettingsfile.h"
#include "windowtest.h"

class TestCSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    // Which stored documents a Connect with 127.0.0.1:1883 rewrites, and what broker_address then holds.
    void setBrokerMembers_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("bChanged");
        QTest::addColumn<QByteArray>("result");
        const QByteArray address = R"({"broker_address":{"port":"1883","url":"127.0.0.1"}})";
        QTest::newRow("no file yet") << QByteArray() << true << address;
        QTest::newRow("same address") << address << false << address;
        QTest::newRow("port stored as a number")
            << QByteArray(R"({"broker_address":{"port":1883,"url":"127.0.0.1"}})") << true << address;
        QTest::newRow("broker_address not an object")
            << QByteArray(R"({"broker_address":"127.0.0.1"})") << true << address;
        QTest::newRow("other members kept")
            << QByteArray(
                   R"({"broker_address":{"ca_file":"ca.pem","url":"10.0.0.1"},"mqtt_config":{"a":"b"}})")
            << true
            << QByteArray(R"({"broker_address":{"ca_file":"ca.pem","port":"1883","url":"127.0.0.1"},)"
                          R"("mqtt_config":{"a":"b"}})");
    }
    void setBrokerMembers()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, bChanged);
        QFETCH(QByteArray, result);
        QJsonDocument doc = QJsonDocument::fromJson(stored);
        QCOMPARE(
            CSettingsFile::SetBrokerMembers(&doc, { { "url", "127.0.0.1" }, { "port", "1883" } }), bChanged);
        QCOMPARE(doc.toJson(QJsonDocument::Compact), bChanged ? result : stored);
    }

    // Indented by four spaces, members in name order, a line feed at the end; read back as written. A folder
    // that is not there is a failure, not a folder made. A missing file is no error and leaves the document
    // alone; a corrupt one gives the parser's verdict.
    void writeAndRead()
    {
        QTemporaryDir folder;
        const CSettingsFile settingsFile(folder.path());
        QJsonDocument doc;
        QJsonParseError error;
        QVERIFY(!settingsFile.Read(&doc, &error));
        doc = QJsonDocument::fromJson(R"({"b":{"url":"x","port":"1"},"a":"y"})");
        QVERIFY(!CSettingsFile(folder.filePath("missing")).Write(doc));
        QVERIFY(settingsFile.Write(doc));
        QCOMPARE(ReadFile(folder.filePath("UCControlConfig.json")),
            "{\n    \"a\": \"y\",\n    \"b\": {\n        \"port\": \"1\",\n        \"url\": \"x\"\n    "
            "}\n}\n");
        QJsonDocument read;
        QVERIFY(settingsFile.Read(&read, &error) && error.error == QJsonParseError::NoError);
        QCOMPARE(read, doc);

        QVERIFY(WriteFile(settingsFile.FilePath(), R"({"broker_address": )"));
        QVERIFY(settingsFile.Read(&read, &error) && error.error != QJsonParseError::NoError);
        QVERIFY(read.isNull());
    }
};

QTEST_GUILESS_MAIN(TestCSettingsFile)
#include "tst_csettingsfile.moc"

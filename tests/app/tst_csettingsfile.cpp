#include "app/csettingsfile.h"
#include "windowtest.h"

class TestCSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    // Which stored documents a Connect with 127.0.0.1:1883 rewrites, and what broker_address then holds
    // (empty: the document is left alone). A first run's file is tst_mainwindow's.
    void setBrokerMembers_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("result");
        const auto broker
            = [](const char* sAddress) { return "{\"broker_address\":" + QByteArray(sAddress) + "}"; };
        const QByteArray address = broker(R"({"port":"1883","url":"127.0.0.1"})");
        QTest::newRow("same address") << address << QByteArray();
        QTest::newRow("port stored as a number") << broker(R"({"port":1883,"url":"127.0.0.1"})") << address;
        QTest::newRow("broker_address not an object") << broker(R"("127.0.0.1")") << address;
        QTest::newRow("other members kept")
            << broker(R"({"ca_file":"ca.pem","url":"10.0.0.1"},"mqtt_config":{"a":"b"})")
            << broker(R"({"ca_file":"ca.pem","port":"1883","url":"127.0.0.1"},"mqtt_config":{"a":"b"})");
    }
    void setBrokerMembers()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, result);
        QJsonDocument doc = QJsonDocument::fromJson(stored);
        QCOMPARE(CSettingsFile::SetBrokerMembers(&doc, { { "url", "127.0.0.1" }, { "port", "1883" } }),
            !result.isEmpty());
        QCOMPARE(doc.toJson(QJsonDocument::Compact), result.isEmpty() ? stored : result);
    }

    // Read back as written. A folder that is not there is a failure, not a folder made. A missing file is no
    // error and leaves the document alone; a corrupt one gives the parser's verdict. The file's layout and
    // the boxes are tst_mainwindow's.
    void writeAndRead()
    {
        QTemporaryDir folder;
        const CSettingsFile settingsFile(folder.path());
        QJsonDocument doc = QJsonDocument::fromJson(R"({"b":{"url":"x","port":"1"},"a":"y"})"), read = doc;
        QJsonParseError error;
        QVERIFY(!settingsFile.Read(&read, &error) && read == doc);
        QVERIFY(!CSettingsFile(folder.filePath("missing")).Write(doc)
            && !QDir(folder.filePath("missing")).exists());
        QVERIFY(settingsFile.Write(doc));
        QVERIFY(settingsFile.Read(&read, &error) && error.error == QJsonParseError::NoError);
        QCOMPARE(read, doc);
        QVERIFY(WriteFile(settingsFile.FilePath(), R"({"broker_address": )"));
        QVERIFY(settingsFile.Read(&read, &error) && error.error != QJsonParseError::NoError && read.isNull());
    }
};

QTEST_GUILESS_MAIN(TestCSettingsFile)
#include "tst_csettingsfile.moc"

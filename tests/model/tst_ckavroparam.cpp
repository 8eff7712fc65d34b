#include "model/ckavroparam.h"

#include <QJsonDocument>
#include <QtTest>

class TestKavroParam : public QObject
{
    Q_OBJECT

private slots:
    void fromJsonTypes_data();
    void fromJsonTypes();
    void fromJsonSkipsNonScalars();
    void conversionErrors_data();
    void conversionErrors();
    void boolReadsAnyLetterCase();
    void toJsonMemberTypes_data();
    void toJsonMemberTypes();
};

void TestKavroParam::fromJsonTypes_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");

    QTest::newRow("integral number") << QByteArray("7") << int(CKavroType::eUInt) << "7";
    QTest::newRow("zero") << QByteArray("0") << int(CKavroType::eUInt) << "0";
    QTest::newRow("negative integral") << QByteArray("-3") << int(CKavroType::eDouble) << "-3";
    QTest::newRow("fraction") << QByteArray("2.25") << int(CKavroType::eDouble) << "2.25";
    QTest::newRow("integral written with .0") << QByteArray("5.0") << int(CKavroType::eUInt) << "5";
    QTest::newRow("largest uint") << QByteArray("4294967295") << int(CKavroType::eUInt) << "4294967295";
    QTest::newRow("above uint range") << QByteArray("4294967296") << int(CKavroType::eUInt) << "0";
    QTest::newRow("exponent form") << QByteArray("1e20") << int(CKavroType::eUInt) << "0";
    QTest::newRow("true") << QByteArray("true") << int(CKavroType::eBool) << "true";
    QTest::newRow("false") << QByteArray("false") << int(CKavroType::eBool) << "false";
    QTest::newRow("string") << QByteArray("\"Mid Tones\"") << int(CKavroType::eString) << "Mid Tones";
    QTest::newRow("numeric string stays text") << QByteArray("\"12\"") << int(CKavroType::eString) << "12";
}

void TestKavroParam::fromJsonTypes()
{
    QFETCH(QByteArray, json);
    QFETCH(int, type);
    QFETCH(QString, text);

    const QJsonObject obj = QJsonDocument::fromJson("{\"value\":" + json + "}").object();
    CKavroParam record;
    record.FromJson(obj);

    QCOMPARE(record.size(), 1);
    QCOMPARE(int(record.value("value")->Type()), type);
    QCOMPARE(record.value("value")->ToString(), text);
}

void TestKavroParam::fromJsonSkipsNonScalars()
{
    const QJsonObject obj = QJsonDocument::fromJson(
        R"({"null":null,"array":[1],"object":{"a":1},"min-value":1,"max-value":1000,"value":120})").object();
    CKavroParam record;
    record.FromJson(obj);

    QCOMPARE(record.keys(), QStringList({ "max-value", "min-value", "value" }));
}

void TestKavroParam::conversionErrors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("conversion");
    QTest::addColumn<QString>("message");

    const int uintType = CKavroType::eUInt;
    const int doubleType = CKavroType::eDouble;
    const int stringType = CKavroType::eString;
    QTest::newRow("bool of 1, tag ignored") << uintType << "1" << "bool" << "CKavroType: Error converting [1] to bool";
    QTest::newRow("bool of 0") << stringType << "0" << "bool" << "CKavroType: Error converting [0] to bool";
    QTest::newRow("bool of yes") << stringType << "yes" << "bool" << "CKavroType: Error converting [yes] to bool";
    QTest::newRow("bool keeps the stored case")
        << stringType << "Maybe" << "bool" << "CKavroType: Error converting [Maybe] to bool";
    QTest::newRow("bool of empty") << stringType << "" << "bool" << "CKavroType: Error converting [] to bool";
    QTest::newRow("uint of -1") << stringType << "-1" << "uint" << "CKavroType: Error converting [-1] to uint";
    QTest::newRow("uint of 1.5") << doubleType << "1.5" << "uint" << "CKavroType: Error converting [1.5] to uint";
    QTest::newRow("uint of empty") << stringType << "" << "uint" << "CKavroType: Error converting [] to uint";
    QTest::newRow("uint above range")
        << stringType << "4294967296" << "uint" << "CKavroType: Error converting [4294967296] to uint";
    QTest::newRow("variant of bad uint")
        << uintType << "abc" << "variant" << "CKavroType: Error converting [abc] to uint";
    QTest::newRow("variant of bad double")
        << doubleType << "x1" << "variant" << "CKavroType: Error converting [x1] to double";
    QTest::newRow("variant of bad bool")
        << int(CKavroType::eBool) << "on" << "variant" << "CKavroType: Error converting [on] to bool";
}

void TestKavroParam::conversionErrors()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(QString, conversion);
    QFETCH(QString, message);

    const CKavroType value(CKavroType::EValueType(type), text);
    QString thrown;
    try {
        if (conversion == "bool")
            value.ToBool();
        else if (conversion == "uint")
            value.ToUInt();
        else
            value.ToVariant();
    } catch (const QString& error) {
        thrown = error;
    }
    QCOMPARE(thrown, message);
}

void TestKavroParam::boolReadsAnyLetterCase()
{
    for (const char* text : { "TRUE", "True", "true" })
        QVERIFY(CKavroType(CKavroType::eString, text).ToBool());
    QVERIFY(!CKavroType(CKavroType::eString, "FaLsE").ToBool());
    // A tag outside the known ones reads as text.
    QCOMPARE(CKavroType(CKavroType::EValueType(17), "12").ToVariant(), QVariant(QString("12")));
}

void TestKavroParam::toJsonMemberTypes_data()
{
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("produced");

    auto compact = [](CKavroParam* record) {
        const QByteArray json = QJsonDocument(record->ToJson()).toJson(QJsonDocument::Compact);
        delete record;
        return json;
    };
    QTest::newRow("bool") << QByteArray(R"({"value":true})") << compact(new CKavroParam(true));
    QTest::newRow("uint") << QByteArray(R"({"value":3})") << compact(new CKavroParam(quint32(3)));
    QTest::newRow("double") << QByteArray(R"({"value":1.5})") << compact(new CKavroParam(1.5));
    QTest::newRow("integral double") << QByteArray(R"({"value":-2})") << compact(new CKavroParam(-2.0));

    auto* fromDevice = new CKavroParam;
    fromDevice->FromJson(QJsonDocument::fromJson(
        R"({"description":"Gain","disabled":false,"max-value":16.5,"min-value":0})").object());
    QTest::newRow("all types, key order")
        << QByteArray(R"({"description":"Gain","disabled":false,"max-value":16.5,"min-value":0})")
        << compact(fromDevice);
}

void TestKavroParam::toJsonMemberTypes()
{
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, produced);
    QCOMPARE(produced, expected);
}

QTEST_GUILESS_MAIN(TestKavroParam)
#include "tst_ckavroparam.moc"

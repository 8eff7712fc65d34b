#include "model/ckavroparam.h"

#include <QJsonDocument>
#include <QtTest>
#include <functional>

namespace {

using Reading = std::function<QVariant(const CKavroType&)>;

const Reading kBool = [](const CKavroType& value) { return QVariant(value.ToBool()); };
const Reading kUInt = [](const CKavroType& value) { return QVariant(value.ToUInt()); };
const Reading kVariant = [](const CKavroType& value) { return value.ToVariant(); };

} // namespace

Q_DECLARE_METATYPE(Reading)
Q_DECLARE_METATYPE(CKavroType::EValueType)

class TestKavroParam : public QObject
{
    Q_OBJECT

private slots:
    // A member of a record: the type it is stored with and how ToJson writes it back; nothing written: a
    // member that holds no single value is skipped.
    void fromJsonTypes_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<CKavroType::EValueType>("eType");
        QTest::addColumn<QByteArray>("written");
        const auto row
            = [](const char* sTag, const char* sMember, CKavroType::EValueType eType, const char* sWritten) {
                  QTest::newRow(sTag) << QByteArray(sMember) << eType << QByteArray(sWritten);
              };
        row("integral", "7", CKavroType::eUInt, "7");
        row("negative integral", "-3", CKavroType::eDouble, "-3");
        row("fraction", "2.25", CKavroType::eDouble, "2.25");
        row("integral with .0", "5.0", CKavroType::eUInt, "5");
        row("above uint", "4294967296", CKavroType::eUInt, "0");
        row("bool", "true", CKavroType::eBool, "true");
        row("numeric text", "\"12\"", CKavroType::eString, "\"12\"");
        for (const char* sSkipped : { "null", "[1]", "{\"a\":1}" })
            row(sSkipped, sSkipped, CKavroType::eString, "");
    }
    void fromJsonTypes()
    {
        QFETCH(QByteArray, member);
        QFETCH(CKavroType::EValueType, eType);
        QFETCH(QByteArray, written);
        CKavroParam record;
        record.FromJson(QJsonDocument::fromJson("{\"v\":" + member + "}").object());
        QCOMPARE(QJsonDocument(record.ToJson()).toJson(QJsonDocument::Compact),
            written.isEmpty() ? QByteArray("{}") : "{\"v\":" + written + "}");
        QCOMPARE(record.size(), int(!written.isEmpty()));
        if (!written.isEmpty())
            QCOMPARE(record.value("v")->Type(), eType);
    }

    // A reading of a stored value gives the result, or fails naming the type it could not convert to.
    void conversions_data()
    {
        QTest::addColumn<Reading>("read");
        QTest::addColumn<int>("nType");
        QTest::addColumn<QString>("sText");
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<QString>("sFailedTarget");
        QTest::newRow("bool in any letter case") << kBool << 3 << "TRUE" << QVariant(true) << QString();
        QTest::newRow("bool ignores the uint tag") << kBool << 0 << "1" << QVariant() << "bool";
        QTest::newRow("bool keeps the stored case") << kBool << 3 << "Maybe" << QVariant() << "bool";
        QTest::newRow("uint of fraction") << kUInt << 1 << "1.5" << QVariant() << "uint";
        QTest::newRow("uint above range") << kUInt << 3 << "4294967296" << QVariant() << "uint";
        QTest::newRow("variant of bad uint") << kVariant << 0 << "abc" << QVariant() << "uint";
        QTest::newRow("variant of bad double") << kVariant << 1 << "x1" << QVariant() << "double";
        QTest::newRow("variant of bad bool") << kVariant << 2 << "on" << QVariant() << "bool";
        QTest::newRow("unknown tag reads as text") << kVariant << 17 << "12" << QVariant("12") << QString();
    }
    void conversions()
    {
        QFETCH(Reading, read);
        QFETCH(int, nType);
        QFETCH(QString, sText);
        QFETCH(QVariant, result);
        QFETCH(QString, sFailedTarget);
        const CKavroType value(CKavroType::EValueType(nType), sText);
        try {
            QCOMPARE(read(value).toString(), result.toString());
            QVERIFY2(sFailedTarget.isEmpty(), "no conversion error");
        } catch (const QString& sError) {
            QVERIFY2(!sFailedTarget.isEmpty() && sError.contains(sText) && sError.endsWith(sFailedTarget),
                qPrintable(sError));
        }
    }
};

QTEST_GUILESS_MAIN(TestKavroParam)
#include "tst_ckavroparam.moc"

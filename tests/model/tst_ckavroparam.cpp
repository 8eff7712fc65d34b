#include "model/ckavroparam.h"

#include <QJsonDocument>
#include <QtTest>

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
        QTest::newRow("integral") << QByteArray("7") << CKavroType::eUInt << QByteArray("7");
        QTest::newRow("negative integral") << QByteArray("-3") << CKavroType::eDouble << QByteArray("-3");
        QTest::newRow("fraction") << QByteArray("2.25") << CKavroType::eDouble << QByteArray("2.25");
        QTest::newRow("integral with .0") << QByteArray("5.0") << CKavroType::eUInt << QByteArray("5");
        QTest::newRow("above uint") << QByteArray("4294967296") << CKavroType::eUInt << QByteArray("0");
        QTest::newRow("bool") << QByteArray("true") << CKavroType::eBool << QByteArray("true");
        QTest::newRow("numeric text") << QByteArray("\"12\"") << CKavroType::eString << QByteArray("\"12\"");
        for (const char* sSkipped : { "null", "[1]", "{\"a\":1}" })
            QTest::newRow(sSkipped) << QByteArray(sSkipped) << CKavroType::eString << QByteArray();
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

    // A reading (b: bool, u: uint, v: variant) of a stored value gives the text, or fails ("fails: ") naming
    // the value and the type it could not convert to.
    void conversions_data()
    {
        QTest::addColumn<char>("cReading");
        QTest::addColumn<QString>("sText");
        QTest::addColumn<int>("nType");
        QTest::addColumn<QString>("sOutcome");
        QTest::newRow("bool in any letter case") << 'b' << "TRUE" << 3 << "true";
        QTest::newRow("bool ignores the uint tag") << 'b' << "1" << 0 << "fails: bool";
        QTest::newRow("bool keeps the stored case") << 'b' << "Maybe" << 3 << "fails: bool";
        QTest::newRow("uint of fraction") << 'u' << "1.5" << 1 << "fails: uint";
        QTest::newRow("uint above range") << 'u' << "4294967296" << 3 << "fails: uint";
        QTest::newRow("variant of bad uint") << 'v' << "abc" << 0 << "fails: uint";
        QTest::newRow("variant of bad double") << 'v' << "x1" << 1 << "fails: double";
        QTest::newRow("variant of bad bool") << 'v' << "on" << 2 << "fails: bool";
        QTest::newRow("unknown tag reads as text") << 'v' << "12" << 17 << "12";
    }
    void conversions()
    {
        QFETCH(char, cReading);
        QFETCH(QString, sText);
        QFETCH(int, nType);
        QFETCH(QString, sOutcome);
        const CKavroType value(CKavroType::EValueType(nType), sText);
        try {
            const QVariant read = cReading == 'b' ? QVariant(value.ToBool())
                : cReading == 'u'                 ? QVariant(value.ToUInt())
                                                  : value.ToVariant();
            QCOMPARE(read.toString(), sOutcome);
        } catch (const QString& sError) {
            QVERIFY2(
                sOutcome.startsWith("fails: ") && sError.contains(sText) && sError.endsWith(sOutcome.mid(7)),
                qPrintable(sError));
        }
    }
};

QTEST_GUILESS_MAIN(TestKavroParam)
#include "tst_ckavroparam.moc"

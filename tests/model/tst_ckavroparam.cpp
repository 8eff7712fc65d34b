#include "model/ckavroparam.h"

#include <QJsonDocument>
#include <QtTest>

class TestKavroParam : public QObject
{
    Q_OBJECT

private slots:
    // "<member> <type tag>:<text> <ToJson of it>"; a member alone is skipped.
    void fromJsonTypes_data()
    {
        QTest::addColumn<QString>("row");
        QTest::newRow("integral") << "7 0:7 7";
        QTest::newRow("negative integral") << "-3 1:-3 -3";
        QTest::newRow("fraction") << "2.25 1:2.25 2.25";
        QTest::newRow("integral with .0") << "5.0 0:5 5";
        QTest::newRow("largest uint") << "4294967295 0:4294967295 4294967295";
        QTest::newRow("above uint") << "4294967296 0:0 0";
        QTest::newRow("bool") << "true 2:true true";
        QTest::newRow("numeric text") << "\"12\" 3:12 \"12\"";
        QTest::newRow("null") << "null";
        QTest::newRow("array") << "[1]";
        QTest::newRow("object") << "{\"a\":1}";
    }
    void fromJsonTypes()
    {
        QFETCH(QString, row);
        const QStringList fields = row.split(' ') << QString() << QString();

        CKavroParam record;
        record.FromJson(QJsonDocument::fromJson("{\"v\":" + fields[0].toUtf8() + "}").object());
        const CKavroType* pValue = record.value("v");
        QCOMPARE(record.size(), pValue ? 1 : 0);
        QCOMPARE(
            pValue ? QString("%1:%2").arg(pValue->Type()).arg(pValue->ToString()) : QString(), fields[1]);
        QCOMPARE(QJsonDocument(record.ToJson()).toJson(QJsonDocument::Compact),
            pValue ? "{\"v\":" + fields[2].toUtf8() + "}" : QByteArray("{}"));
    }

    // "<reading> <type tag> <text> <result>"; "!<target>" stands for the conversion error's message.
    void conversions_data()
    {
        QTest::addColumn<QString>("row");
        QTest::newRow("bool in any letter case") << "bool 3 TRUE true";
        QTest::newRow("bool ignores the uint tag") << "bool 0 1 !bool";
        QTest::newRow("bool keeps the stored case") << "bool 3 Maybe !bool";
        QTest::newRow("uint of negative") << "uint 3 -1 !uint";
        QTest::newRow("uint of fraction") << "uint 1 1.5 !uint";
        QTest::newRow("uint above range") << "uint 3 4294967296 !uint";
        QTest::newRow("variant of bad uint") << "variant 0 abc !uint";
        QTest::newRow("variant of bad double") << "variant 1 x1 !double";
        QTest::newRow("variant of bad bool") << "variant 2 on !bool";
        QTest::newRow("unknown tag reads as text") << "variant 17 12 12";
    }
    void conversions()
    {
        QFETCH(QString, row);
        const QStringList fields = row.split(' ');
        const QString& sText = fields[2];
        QString sResult = fields[3];
        if (sResult.startsWith('!'))
            sResult = QString("CKavroType: Error converting [%1] to %2").arg(sText, sResult.mid(1));

        const CKavroType value(CKavroType::EValueType(fields[1].toInt()), sText);
        try {
            const QVariant read = fields[0] == "bool" ? QVariant(value.ToBool())
                : fields[0] == "uint"                 ? QVariant(value.ToUInt())
                                                      : value.ToVariant();
            QCOMPARE(read.toString(), sResult);
        } catch (const QString& sError) {
            QCOMPARE(sError, sResult);
        }
    }
};

QTEST_GUILESS_MAIN(TestKavroParam)
#include "tst_ckavroparam.moc"

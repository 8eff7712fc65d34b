#include "app/cpasswordstore.h"

#include <QSignalSpy>
#include <QTest>

// The Windows Credential Manager behind the key store: what is written is read back, under its own key only,
// and is gone once removed. Runs in the test's own Wine prefix or user account.
class TestCPasswordStore : public QObject
{
    Q_OBJECT

private slots:
    void writtenIsReadBackAndRemoved()
    {
        CPasswordStore store;
        QSignalSpy unavailable(&store, &CPasswordStore::Unavailable);
        QSignalSpy answered(&store, &CPasswordStore::PasswordRead);
        // Reads sKey and gives the store's single answer for it: found or not, and the password.
        const auto readBack = [&](const QString& sKey) {
            store.Read(sKey);
            const QList<QVariant> answer
                = answered.wait(5000) && answered.count() == 1 ? answered.takeFirst() : QList<QVariant>();
            return answer.value(0) == sKey ? qMakePair(answer.at(2).toBool(), answer.at(1).toString())
                                           : qMakePair(false, QStringLiteral("no single answer for the key"));
        };
        const QString sKey
            = QStringLiteral("operator@127.0.0.1:8883 %1").arg(QCoreApplication::applicationPid());
        const QString sPassword = QStringLiteral("p\u00e4ss w\u00f6rd\u20ac");

        store.Write(sKey, sPassword);
        QCOMPARE(readBack(sKey), qMakePair(true, sPassword));
        QCOMPARE(readBack(sKey + "x"), qMakePair(false, QString()));
        store.Write(sKey, "replaced");
        QCOMPARE(readBack(sKey), qMakePair(true, QStringLiteral("replaced")));
        store.Remove(sKey);
        QCOMPARE(readBack(sKey), qMakePair(false, QString()));
        store.Remove(sKey);
        QTest::qWait(0);
        QVERIFY2(unavailable.isEmpty(), qPrintable(unavailable.value(0).value(0).toString()));
        QVERIFY(store.IsAvailable());
    }
};

QTEST_GUILESS_MAIN(TestCPasswordStore)
#include "tst_cpasswordstore.moc"

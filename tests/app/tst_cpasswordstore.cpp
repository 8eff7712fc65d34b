#include "app/cpasswordstore.h"

#include <QSignalSpy>
#include <QTest>

// The Windows Credential Manager behind the key store: what is written is read back, under its own key only,
// and is gone once removed. Runs in the test's own Wine prefix or user account.
class TestCPasswordStore : public QObject
{
    Q_OBJECT

private:
    // Reads sKey and returns the store's answer: found or not, and the password.
    static QPair<bool, QString> ReadBack(CPasswordStore& store, const QString& sKey)
    {
        QSignalSpy answered(&store, &CPasswordStore::PasswordRead);
        store.Read(sKey);
        if (!answered.wait(5000) || answered.count() != 1)
            return { false, QStringLiteral("no single answer") };
        const QList<QVariant> answer = answered.takeFirst();
        if (answer.at(0).toString() != sKey)
            return { false, QStringLiteral("answer for another key") };
        return { answer.at(2).toBool(), answer.at(1).toString() };
    }

private slots:
    void writtenIsReadBackAndRemoved()
    {
        CPasswordStore store;
        QSignalSpy unavailable(&store, &CPasswordStore::Unavailable);
        const QString sKey = QStringLiteral("operator@127.0.0.1:8883 %1").arg(QCoreApplication::applicationPid());
        const QString sPassword = QStringLiteral("p\u00e4ss w\u00f6rd\u20ac");

        store.Write(sKey, sPassword);
        QCOMPARE(ReadBack(store, sKey), qMakePair(true, sPassword));
        QCOMPARE(ReadBack(store, sKey + "x"), qMakePair(false, QString()));

        store.Write(sKey, "replaced");
        QCOMPARE(ReadBack(store, sKey), qMakePair(true, QStringLiteral("replaced")));

        store.Remove(sKey);
        QCOMPARE(ReadBack(store, sKey), qMakePair(false, QString()));
        store.Remove(sKey);
        QTest::qWait(0);
        QVERIFY2(unavailable.isEmpty(), qPrintable(unavailable.value(0).value(0).toString()));
        QVERIFY(store.IsAvailable());
    }
};

QTEST_GUILESS_MAIN(TestCPasswordStore)
#include "tst_cpasswordstore.moc"

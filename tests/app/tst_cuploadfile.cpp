#include "app/cuploadfile.h"
#include "windowtest.h"

class TestCUploadFile : public QObject
{
    Q_OBJECT

private slots:
    // An upload replaces the whole file, a shorter one included; an empty one leaves an empty file. A reader
    // holding the file open blocks the replacement on Windows: the write fails, the old file stays whole and
    // nothing is left behind; Linux replaces it under the reader. Once the reader lets go, the next write
    // gets through. The path is given in the platform's notation, as a user may type it. A folder that is not
    // there is said; a full disk, which leaves the earlier file in place, is tst_mainwindow's (capture).
    void replacesWholeFileOrNothing()
    {
        QTemporaryDir folder;
        const QString sFileName = folder.filePath("upload.json");
        const QByteArray first("first upload, the longer one");
        QVERIFY(CUploadFile(sFileName).Write(first));
        QFile reader(sFileName);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        CUploadFile file(QDir::toNativeSeparators(sFileName));
#ifdef Q_OS_WIN
        QVERIFY(!file.Write(QByteArray(3, '\0')) && !file.ErrorString().isEmpty());
        QCOMPARE(ReadFile(sFileName), first);
#else
        QVERIFY(file.Write(QByteArray(3, '\0')));
        QCOMPARE(ReadFile(sFileName), QByteArray(3, '\0'));
#endif
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList("upload.json"));
        QCOMPARE(reader.readAll(), first);
        reader.close();
        QVERIFY(CUploadFile(QDir::toNativeSeparators(sFileName)).Write(QByteArray()));
        QCOMPARE(ReadFile(sFileName), QByteArray());

        CUploadFile missing(folder.filePath("gone/upload.json"));
        QVERIFY(!missing.Write("frame") && !missing.ErrorString().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCUploadFile)
#include "tst_cuploadfile.moc"

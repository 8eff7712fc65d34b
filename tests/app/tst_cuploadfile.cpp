#include "app/cuploadfile.h"
#include "windowtest.h"

class TestCUploadFile : public QObject
{
    Q_OBJECT

private slots:
    // An upload replaces the whole file, a shorter one included; an empty one leaves an empty file. A file
    // that cannot be written (a full disk, a folder that is not there) leaves the earlier one in place and
    // says why.
    void replacesWholeFileOrNothing()
    {
        QTemporaryDir folder;
        const QString sFileName = folder.filePath("upload.json");
        for (const QByteArray& data :
            { QByteArray("first upload, the longer one"), QByteArray(3, '\0'), QByteArray() }) {
            QVERIFY(CUploadFile(sFileName).Write(data));
            QCOMPARE(ReadFile(sFileName), data);
        }
        CUploadFile missing(folder.filePath("gone/upload.json"));
        QVERIFY(!missing.Write("frame") && !missing.ErrorString().isEmpty());
        if (!kDiskCanFill)
            return;
        QVERIFY(CUploadFile(sFileName).Write("old frame"));
        CUploadFile file(sFileName);
        LimitFileSize(64);
        const bool bWritten = file.Write(QByteArray(1024, 'x'));
        LimitFileSize(RLIM_INFINITY);
        QVERIFY(!bWritten);
        QCOMPARE(file.ErrorString(), QString("File too large"));
        QCOMPARE(ReadFile(sFileName), QByteArray("old frame"));
    }

    // A reader holding the file open blocks the replacement on Windows: the write fails, the old file stays
    // whole and nothing is left behind; Linux replaces it under the reader. Once the reader lets go, the next
    // write gets through. The path is given in the platform's notation, as a user may type it.
    void heldOpenByAReader()
    {
        QTemporaryDir folder;
        const QString sFileName = folder.filePath("params.json");
        QVERIFY(CUploadFile(sFileName).Write("old"));
        QFile reader(sFileName);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        CUploadFile file(QDir::toNativeSeparators(sFileName));
#ifdef Q_OS_WIN
        QVERIFY(!file.Write("new") && !file.ErrorString().isEmpty());
        QCOMPARE(ReadFile(sFileName), QByteArray("old"));
#else
        QVERIFY(file.Write("new"));
        QCOMPARE(ReadFile(sFileName), QByteArray("new"));
#endif
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList("params.json"));
        QCOMPARE(reader.readAll(), QByteArray("old"));
        reader.close();
        QVERIFY(CUploadFile(QDir::toNativeSeparators(sFileName)).Write("newer"));
        QCOMPARE(ReadFile(sFileName), QByteArray("newer"));
    }
};

QTEST_GUILESS_MAIN(TestCUploadFile)
#include "tst_cuploadfile.moc"

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
};

QTEST_GUILESS_MAIN(TestCUploadFile)
#include "tst_cuploadfile.moc"

#include "app/cuploadfile.h"
#include "windowtest.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestCUploadFile : public QObject
{
    Q_OBJECT

private slots:
    // An upload replaces the whole file, a shorter one included, and an empty one leaves an empty file.
    void replacesWholeFile()
    {
        QTemporaryDir folder;
        const QString sFileName = folder.filePath("upload.json");
        for (const QByteArray& data : { QByteArray("first upload, the longer one"), QByteArray("second"),
                 QByteArray(3, '\0'), QByteArray() }) {
            CUploadFile file(sFileName);
            QVERIFY(file.Write(data));
            QCOMPARE(ReadFile(sFileName), data);
        }
    }

    // A file that cannot be written leaves the earlier one in place and says why: a full disk, a folder that
    // is not there.
    void failureKeepsOldFile()
    {
        if (!kDiskCanFill)
            QSKIP("no file size limit on this platform");
        QTemporaryDir folder;
        const QString sFileName = folder.filePath("capture_T1.tiff");
        QVERIFY(CUploadFile(sFileName).Write("old frame"));

        CUploadFile file(sFileName);
        LimitFileSize(64);
        const bool bWritten = file.Write(QByteArray(1024, 'x'));
        LimitFileSize(RLIM_INFINITY);
        QVERIFY(!bWritten);
        QCOMPARE(file.ErrorString(), QString("File too large"));
        QCOMPARE(ReadFile(sFileName), QByteArray("old frame"));

        CUploadFile missing(folder.filePath("gone/capture_T1.tiff"));
        QVERIFY(!missing.Write("frame"));
        QVERIFY(!missing.ErrorString().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCUploadFile)
#include "tst_cuploadfile.moc"

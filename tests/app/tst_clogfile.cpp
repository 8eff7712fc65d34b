#include "app/clogfile.h"
#include "windowtest.h"

class TestCLogFile : public QObject
{
    Q_OBJECT

private slots:
    // A record's lines, one per attribute in key order, all with the same time.
    void lines()
    {
        QCOMPARE(CLogFile::Lines(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 501)), "board",
                     *std::unique_ptr<CKavroParam>(Record(R"({"temp":41.5,"fan":true})"))),
            QStringList({ "31-Dec-2024 23:59:59.501\tboard\tfan\ttrue",
                "31-Dec-2024 23:59:59.501\tboard\ttemp\t41.5" }));
    }

    // Records of one day go into one file, appended; the first record after midnight starts the next day's
    // file. An empty record still opens the file, so the day's file exists.
    void oneFilePerDay()
    {
        QTemporaryDir folder;
        const QDateTime evening(QDate(2024, 12, 31), QTime(23, 59, 59));
        const QList<QPair<QDateTime, QStringList>> records = { { evening, { "a", "b" } },
            { evening, { "c" } }, { evening.addSecs(1), {} }, { evening.addSecs(2), { "d" } } };
        for (const auto& record : records) {
            CLogFile logFile(folder.path(), "Panel");
            QVERIFY(logFile.Open(record.first) && logFile.Append(record.second));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
            QStringList({ "Panel_Log_2024-12-31.log", "Panel_Log_2025-01-01.log" }));
        QCOMPARE(ReadFile(folder.filePath("Panel_Log_2024-12-31.log")), QByteArray("a\nb\nc\n"));
        QCOMPARE(ReadFile(folder.filePath("Panel_Log_2025-01-01.log")), QByteArray("d\n"));
    }

    // A file that does not open, or a disk that fills, is said with the file's name and the reason; the lines
    // already in the file stay.
    void failures()
    {
        QTemporaryDir folder;
        const QDateTime now(QDate(2025, 1, 2), QTime(8, 0));
        CLogFile missing(folder.filePath("gone"), "Panel");
        QVERIFY(!missing.Open(now));
        QCOMPARE(missing.FileName(), folder.filePath("gone/Panel_Log_2025-01-02.log"));
        QVERIFY(!missing.ErrorString().isEmpty());
        if (!kDiskCanFill)
            return;
        CLogFile logFile(folder.path(), "Panel");
        QVERIFY(logFile.Open(now));
        LimitFileSize(4);
        const bool bWritten = logFile.Append({ "first", "second" });
        LimitFileSize(RLIM_INFINITY);
        QVERIFY(!bWritten);
        QCOMPARE(logFile.ErrorString(), QString("File too large"));
        QCOMPARE(ReadFile(logFile.FileName()), QByteArray("firs"));
    }
};

QTEST_GUILESS_MAIN(TestCLogFile)
#include "tst_clogfile.moc"

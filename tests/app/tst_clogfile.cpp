#include "app/clogfile.h"
#include "windowtest.h"

class TestCLogFile : public QObject
{
    Q_OBJECT

private slots:
    // A record's lines, one per attribute in key order, all with the same time. Records of one day go into
    // one file, appended; the first record after midnight starts the next day's file. An empty record still
    // opens the file, so the day's file exists. A file that cannot be opened or written is tst_mainwindow's.
    void oneFilePerDay()
    {
        QTemporaryDir folder;
        const QDateTime evening(QDate(2024, 12, 31), QTime(23, 59, 59, 501));
        const QStringList lines = CLogFile::Lines(
            evening, "board", *std::unique_ptr<CKavroParam>(Record(R"({"temp":41.5,"fan":true})")));
        for (const auto& record : QList<QPair<QDateTime, QStringList>> { { evening, lines },
                 { evening, { "c" } }, { evening.addSecs(1), {} }, { evening.addSecs(2), { "d" } } }) {
            CLogFile logFile(folder.path(), "Panel");
            QVERIFY(logFile.Open(record.first) && logFile.Append(record.second));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
            QStringList({ "Panel_Log_2024-12-31.log", "Panel_Log_2025-01-01.log" }));
        QCOMPARE(ReadFile(folder.filePath("Panel_Log_2024-12-31.log")),
            QByteArray("31-Dec-2024 23:59:59.501\tboard\tfan\ttrue\n31-Dec-2024 "
                       "23:59:59.501\tboard\ttemp\t41.5\nc\n"));
        QCOMPARE(ReadFile(folder.filePath("Panel_Log_2025-01-01.log")), QByteArray("d\n"));
    }
};

QTEST_GUILESS_MAIN(TestCLogFile)
#include "tst_clogfile.moc"

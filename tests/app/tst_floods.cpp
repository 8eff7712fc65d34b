#include "guitestmain.h"
#include "windowtest.h"

#include <malloc.h>

// Bytes in live allocations. Under AddressSanitizer its allocator's count: freed blocks wait in its
// quarantine and would hide in the process size whether they are released or not.
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
extern "C" void __lsan_do_leak_check();
static qint64 MemoryInUse() { return qint64(__sanitizer_get_current_allocated_bytes()); }
#else
static qint64 MemoryInUse() { return qint64(mallinfo2().uordblks); }
#endif

const QStringList kTopics { "/hdr/config/flood", "/hdr/status/parameters/flood", "/hdr/status/logs",
    "/hdr/capture/upload/t1", "/hdr/status/upload" };
const QString kJsonError
    = "^Topic params_(status|config) \\[/hdr/(status/parameters|config) / flood\\] jsonError: ";
const QString kUnaskedUpload
    = "^A parameter upload of \\d+ bytes arrived; no Save is waiting for it here\\.$";

// The device floods the panel: empty payloads that are malformed JSON, payloads of 16 MiB, records of 10,000
// members, log text that is not UTF-8 (JSON nested too deep is refused by Qt's parser, with DeepNesting). The
// panel keeps turning its event loop, handles every message as its dispatch rules say, and afterwards holds
// no more memory than before. The message pane and the configuration viewer keep what they are given by
// design: they get new, empty documents for both measurements.
class TestFloods : public WindowTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartDevice("{}"));
        m_pWindow = std::make_unique<MainWindow>();
        m_pWindow->show();
        QVERIFY(Establish(*m_pWindow));
    }
    void cleanupTestCase()
    {
        m_pWindow.reset();
#if defined(__SANITIZE_ADDRESS__)
        // Leaks are looked for while the application object still holds what the offscreen platform never
        // frees; the check at the exit is left out then.
        __lsan_do_leak_check();
#endif
    }

    // The payload, sent on each of the topics nCount times (a "%1" in it numbers the round), and the lines
    // that match a pattern in the pane, the viewer and the message boxes together.
    void flood_data()
    {
        QTest::addColumn<QStringList>("topics");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("nCount");
        QTest::addColumn<QString>("sPattern");
        QTest::addColumn<int>("nMatches");
        // Every upload that nobody asked for is reported: in a box, or in the pane while a box is open.
        QTest::newRow("0-byte payloads on every topic")
            << kTopics << QByteArray() << 1000 << kJsonError + "|" + kUnaskedUpload << 3000;
        // A record with a 16 MiB description: shown, each text is cut to its first 64 Ki characters.
        QTest::newRow("16 MiB payloads on every topic")
            << kTopics << "{\"gamma\":{\"value\":1,\"description\":\"" + QByteArray(16 << 20, 'x') + "\"}}"
            << 1 << kUnaskedUpload + "|x \\[\\.\\.\\. \\d+ characters in all\\]$" << 3;
        QJsonObject record, attributes;
        for (int i = 0; i < 10000; ++i) {
            record.insert(
                QString("p%1r%2").arg(i).arg("%1"), QJsonObject { { "value", i }, { "min-value", 0 } });
            attributes.insert(QString("a%1").arg(i), i);
        }
        record.insert("detail", attributes);
        QTest::newRow("records of 10,000 members")
            << QStringList(kTopics.mid(0, 2)) << QJsonDocument(record).toJson(QJsonDocument::Compact) << 1
            << QString("^/hdr/config/flood/(p\\d+r1|detail):$") << 10001;
        QTest::newRow("log text not UTF-8 or with NULs")
            << QStringList { "/hdr/status/logs" } << QByteArray("flood \xff\xfe\xc3%1\0tail\0", 15) << 10000
            << QString("^flood \uFFFD\uFFFD\uFFFD\\d+$") << 10000;
    }

    void flood()
    {
        QFETCH(QStringList, topics);
        QFETCH(QByteArray, payload);
        QFETCH(int, nCount);
        QFETCH(QString, sPattern);
        QFETCH(int, nMatches);
        // The rounds nFrom to nTo - 1 of the payload on each topic.
        const auto publish = [&](int nFrom, int nTo) {
            for (int i = nFrom; i < nTo; ++i)
                for (const QString& sTopic : topics)
                    m_device.publish(sTopic, QByteArray(payload).replace("%1", QByteArray::number(i)));
        };
        // One round first, so that what the first of the kind sets up for good is in place.
        publish(0, 1);
        QVERIFY(Settled(sPattern) >= 0);
        const qint64 nBefore = MemoryInUse();
        QElapsedTimer sinceTick;
        qint64 nLongestGapMs = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { nLongestGapMs = qMax(nLongestGapMs, sinceTick.restart()); });
        sinceTick.start();
        ticker.start(20);
        publish(1, 1 + nCount);
        QCOMPARE(Settled(sPattern), nMatches);
        const qint64 nAfter = MemoryInUse();
        QVERIFY2(nAfter <= nBefore * 1.1, qPrintable(QString::number(nAfter - nBefore)));
        // Under the sanitizers a message of 16 MiB, or of 10,000 parameters, takes one turn of a few seconds
        // on a busy machine; laid out whole in the pane, the 16 MiB once stopped the window for minutes.
        QVERIFY2(nLongestGapMs < 20000, qPrintable(QString::number(nLongestGapMs)));
    }

private:
    // Waits until the window has handled what was sent, then lets the device start a capture (the window
    // empties its capture buffers for it) and report it failed. Counts the lines that match sPattern in the
    // pane, the viewer and the boxes together (-1 if the window did not get there), and empties all three.
    int Settled(const QString& sPattern)
    {
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":1}})");
        m_device.publish("/hdr/status/parameters", R"({"capture":{"value":255}})");
        // The failure is shown in a box, or in the pane while another box is open.
        if (!Handled(*m_pWindow, 120000) || !QTest::qWaitFor([this] {
                return !QApplication::activeModalWidget() && Lines().join('\n').contains("Capture Failed!");
            }))
            return -1;
        const int nMatches = Lines().filter(QRegularExpression(sPattern)).size();
        m_closer.clear();
        EmptyTextView(Widget<QPlainTextEdit>(m_pWindow.get(), "teMessages"));
        EmptyTextView(Viewer());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return nMatches;
    }

    // The lines of the pane, the viewer and the boxes.
    QStringList Lines() const
    {
        return PaneLines(m_pWindow.get()) + Viewer()->toPlainText().split('\n')
            + m_closer.summary().split('\n');
    }
    QPlainTextEdit* Viewer() const { return Widget<QPlainTextEdit>(m_pWindow.get(), "teConfigData"); }

    std::unique_ptr<MainWindow> m_pWindow;
};

OMBIX_GUI_TEST_MAIN(TestFloods)
#include "tst_floods.moc"

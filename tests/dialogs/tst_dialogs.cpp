#include "dialogs/capturedialog.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    // The capture file names: the base name typed (null: the default name is kept; empty: unlocked, nothing
    // typed), the default name ticked again after typing, the date appended, and the buffer's suffix.
    void captureFileName_data()
    {
        QTest::addColumn<QString>("sTyped");
        QTest::addColumn<bool>("bRelocked");
        QTest::addColumn<bool>("bDate");
        QTest::addColumn<QString>("sSuffix");
        QTest::addColumn<QString>("sExpected");
        const auto row = [](const char* sTag, const QString& sTyped, bool bRelocked, bool bDate,
                             const char* sSuffix, const char* sExpected) {
            QTest::newRow(sTag) << sTyped << bRelocked << bDate << QString(sSuffix) << QString(sExpected);
        };
        row("default name", QString(), false, false, "T1", "capture_T1");
        row("own name, nothing typed", "", false, false, "T1", "capture_T1");
        row("folder part and extension dropped", "../sub/shot.tiff", false, false, "META", "shot_META");
#ifdef Q_OS_WIN
        // Typed the Windows way: a drive letter and backslashes make folder parts as well.
        row("drive and backslashes", "C:\\shots\\shot.tiff", false, false, "T1", "shot_T1");
#endif
        row("relocked", "x", true, false, "T", "capture_T");
        row("date of the capture", QString(), false, true, "T3", "capture_T3_<time>");
    }
    void captureFileName()
    {
        QFETCH(QString, sTyped);
        QFETCH(bool, bRelocked);
        QFETCH(bool, bDate);
        QFETCH(QString, sSuffix);
        QFETCH(QString, sExpected);
        CaptureDialog dialog;
        auto* pName = dialog.findChild<QLineEdit*>("baseFileNameLineEdit");
        auto* pDefault = dialog.findChild<QAbstractButton*>("defaultNameCheckBox");
        if (!sTyped.isNull()) {
            pDefault->click();
            pName->selectAll();
            QTest::keyClicks(pName, sTyped);
        }
        if (bRelocked)
            pDefault->click();
        const bool bLocked = sTyped.isNull() || bRelocked;
        QCOMPARE(pName->isEnabled(), !bLocked);
        QVERIFY(!bLocked || pName->text() == "capture.tiff");
        if (bDate) {
            dialog.findChild<QAbstractButton*>("appendDateCheckBox")->click();
            dialog.findChild<QAbstractButton*>("captureButton")->click();
        }
        QString sName = dialog.MakeFileName(sSuffix).mid(QDir::currentPath().size() + 1);
        QCOMPARE(sName.replace(QRegularExpression("\\d{4}(_\\d\\d){2}_\\d{6}$"), "<time>"), sExpected);
    }

    // Capture asks for the path chosen (1 sensor, 2 HDMI) once and waits for the outcome; with no path
    // chosen it asks for nothing. A sensor path made unavailable is not requested (HDMI is); made available
    // again, the next capture may start.
    void capturePath_data()
    {
        QTest::addColumn<bool>("bSensorChosen"); // as the dialog starts, or neither path
        QTest::addColumn<bool>("bSensorUnavailable");
        QTest::addColumn<bool>("bSensorBack");
        QTest::addColumn<QList<int>>("started");
        QTest::addColumn<bool>("bCaptureEnabled");
        QTest::newRow("sensor, pressed twice") << true << false << false << QList<int> { 1 } << false;
        QTest::newRow("neither path checked") << false << false << false << QList<int>() << true;
        QTest::newRow("next run") << true << false << true << QList<int> { 1 } << true;
        QTest::newRow("sensor path unavailable") << true << true << false << QList<int> { 2 } << false;
    }
    void capturePath()
    {
        QFETCH(bool, bSensorChosen);
        QFETCH(bool, bSensorUnavailable);
        QFETCH(bool, bSensorBack);
        QFETCH(QList<int>, started);
        QFETCH(bool, bCaptureEnabled);
        CaptureDialog dialog;
        QList<int> seen;
        connect(&dialog, &CaptureDialog::startCapture, [&seen](int nMuxSel) { seen << nMuxSel; });
        auto* pSensor = dialog.findChild<QAbstractButton*>("ldrRadioButton");
        auto* pCapture = dialog.findChild<QAbstractButton*>("captureButton");
        if (!bSensorChosen) {
            pSensor->setAutoExclusive(false);
            pSensor->setChecked(false);
        }
        dialog.SetLdrDisabled(bSensorUnavailable);
        QCOMPARE(pSensor->isEnabled(), !bSensorUnavailable);
        pCapture->click();
        pCapture->click();
        if (bSensorBack)
            dialog.SetLdrDisabled(false);
        QCOMPARE(seen, started);
        QCOMPARE(pCapture->isEnabled(), bCaptureEnabled);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"

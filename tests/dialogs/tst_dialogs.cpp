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
    // typed), the default name ticked again after typing, and the name made for the buffer's suffix (after
    // the first "_"), with the date appended where it ends in "<time>".
    void captureFileName_data()
    {
        QTest::addColumn<QString>("sTyped");
        QTest::addColumn<bool>("bRelocked");
        QTest::addColumn<QString>("sExpected");
        QTest::newRow("own name, nothing typed") << QString("") << false << QString("capture_T1");
        QTest::newRow("folder part and extension dropped")
            << QString("../sub/shot.tiff") << false << QString("shot_META");
#ifdef Q_OS_WIN
        // Typed the Windows way: a drive letter and backslashes make folder parts as well.
        QTest::newRow("drive and backslashes")
            << QString("C:\\shots\\shot.tiff") << false << QString("shot_T1");
#endif
        QTest::newRow("relocked") << QString("x") << true << QString("capture_T");
        QTest::newRow("default name, date of the capture")
            << QString() << false << QString("capture_T3_<time>");
    }
    void captureFileName()
    {
        QFETCH(QString, sTyped);
        QFETCH(bool, bRelocked);
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
        if (sExpected.endsWith("<time>")) {
            dialog.findChild<QAbstractButton*>("appendDateCheckBox")->click();
            dialog.findChild<QAbstractButton*>("captureButton")->click();
        }
        QString sName = dialog.MakeFileName(sExpected.section('_', 1, 1)).mid(QDir::currentPath().size() + 1);
        QCOMPARE(sName.replace(QRegularExpression("\\d{4}(_\\d\\d){2}_\\d{6}$"), "<time>"), sExpected);
    }

    // Capture asks for the path chosen (1 sensor, 2 HDMI) once and waits for the outcome; with no path
    // chosen it asks for nothing. A sensor path made unavailable is not requested (HDMI is). Each run starts
    // by saying whether the sensor path is available, and then the next capture may start.
    void capturePath()
    {
        CaptureDialog dialog;
        QList<int> seen;
        connect(&dialog, &CaptureDialog::startCapture, [&seen](int nMuxSel) { seen << nMuxSel; });
        auto* pSensor = dialog.findChild<QAbstractButton*>("ldrRadioButton");
        auto* pCapture = dialog.findChild<QAbstractButton*>("captureButton");
        pSensor->setAutoExclusive(false);
        pSensor->setChecked(false);
        pCapture->click();
        QVERIFY(seen.isEmpty() && pCapture->isEnabled());
        pSensor->setChecked(true);
        pSensor->setAutoExclusive(true);
        for (const int nPath : { 1, 1, 2 }) {
            dialog.SetLdrDisabled(nPath == 2);
            QCOMPARE(pSensor->isEnabled(), nPath == 1);
            pCapture->click();
            pCapture->click();
            QCOMPARE(std::exchange(seen, {}), QList<int> { nPath });
            QVERIFY(!pCapture->isEnabled());
        }
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"

#include "dialogs/capturedialog.h"
#include "dialogs/configdatadlg.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    // "<actions> | <what they showed>". A word in capitals clicks the button whose text starts with it; a
    // capture shows the path it starts (1 sensor, 2 HDMI), "name <suffix>" the capture file name, "state" the
    // texts of the disabled widgets.
    void captureDialog_data()
    {
        QTest::addColumn<QString>("row");
        QTest::newRow("default name") << "name T1 | capture_T1";
        QTest::newRow("no extension") << "Default, type shot, name META | shot_META";
        QTest::newRow("folder part dropped") << "Default, type ../sub/shot.tiff, name T1 | shot_T1";
#ifdef Q_OS_WIN
        // Typed the Windows way: a drive letter and backslashes make folder parts as well.
        QTest::newRow("drive and backslashes") << "Default, type C:\\shots\\shot.tiff, name T1 | shot_T1";
        QTest::newRow("relative, backslashes") << "Default, type ..\\sub\\shot.tiff, name T2 | shot_T2";
#endif
        QTest::newRow("date of the capture") << "Append, Capture, name T3 | 1 capture_T3_<time>";
        QTest::newRow("sensor, pressed twice") << "Capture, Capture, state | 1 capture.tiff Capture";
        QTest::newRow("hdmi") << "HDMI, Capture | 2";
        QTest::newRow("neither path checked") << "neither, Capture, state | capture.tiff";
        QTest::newRow("next run") << "Capture, ldr-on, state | 1 capture.tiff";
        QTest::newRow("sensor path unavailable") << "ldr-off, state, Capture | capture.tiff Sensor 2";
        QTest::newRow("own name") << "Default, state, name T1 | capture_T1";
        QTest::newRow("relocked") << "Default, type x, Default, state, name T | capture.tiff capture_T";
    }
    void captureDialog()
    {
        QFETCH(QString, row);
        const QStringList parts = row.split(" | ");
        CaptureDialog dialog;
        QStringList seen;
        connect(&dialog, &CaptureDialog::startCapture,
            [&seen](int nMuxSel) { seen << QString::number(nMuxSel); });
        auto* pSensor = dialog.findChild<QAbstractButton*>("ldrRadioButton");
        auto* pName = dialog.findChild<QLineEdit*>("baseFileNameLineEdit");

        for (const QString& sAction : parts[0].split(", ")) {
            if (sAction == "neither") {
                pSensor->setAutoExclusive(false);
                pSensor->setChecked(false);
            } else if (sAction.startsWith("ldr")) {
                dialog.SetLdrDisabled(sAction == "ldr-off");
            } else if (sAction.startsWith("type")) {
                pName->selectAll();
                QTest::keyClicks(pName, sAction.section(' ', 1));
            } else if (sAction == "state") {
                for (QWidget* pWidget : dialog.findChildren<QWidget*>())
                    seen << (pWidget->isEnabled() ? QString() : pWidget->property("text").toString());
            } else if (sAction.startsWith("name")) {
                seen << dialog.MakeFileName(sAction.section(' ', 1)).mid(QDir::currentPath().size() + 1);
                seen.last().replace(QRegularExpression("\\d{4}(_\\d\\d){2}_\\d{6}$"), "<time>");
            }
            for (QAbstractButton* pButton : dialog.findChildren<QAbstractButton*>())
                if (sAction.at(0).isUpper() && pButton->text().startsWith(sAction))
                    pButton->click();
        }
        seen.removeAll(QString());
        QCOMPARE(seen.join(' '), parts[1]);
    }

    // Records appended while hidden stay in order after the user's own text, until a disconnect clears them.
    void viewer()
    {
        ConfigDataDlg viewer;
        auto* pText = viewer.findChild<QPlainTextEdit*>("teConfigData");
        viewer.AppendText("gain\n{ \"disabled\": false }");
        viewer.AppendText("gamma");
        pText->moveCursor(QTextCursor::End);
        QTest::keyClicks(pText, " note");
        viewer.AppendText("offset");
        QCOMPARE(pText->toPlainText(), QString("gain\n{ \"disabled\": false }\ngamma note\noffset"));
        viewer.ClearText();
        QCOMPARE(pText->toPlainText(), QString());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"

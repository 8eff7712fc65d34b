#include "dialogs/capturedialog.h"
#include "dialogs/configdatadlg.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

// Answers the folder chooser instead of the user, so no real modal dialog is opened.
class ScriptedCaptureDialog : public CaptureDialog
{
public:
    QString m_sAnswer;
    int m_nQuestions = 0;

protected:
    QString ChooseFolder() override
    {
        ++m_nQuestions;
        return m_sAnswer;
    }
};

template<typename T>
T* child(QWidget* pDialog, const char* pszName)
{
    T* pChild = pDialog->findChild<T*>(pszName);
    if (!pChild)
        qFatal("no widget %s", pszName);
    return pChild;
}

QString textOf(QWidget* pWidget)
{
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        return pButton->text();
    if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        return pLabel->text();
    if (auto* pLine = qobject_cast<QLineEdit*>(pWidget))
        return pLine->text();
    if (auto* pBox = qobject_cast<QGroupBox*>(pWidget))
        return pBox->title();
    if (auto* pEdit = qobject_cast<QPlainTextEdit*>(pWidget))
        return pEdit->toPlainText();
    return pWidget->windowTitle();
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formWidgets_data();
    void formWidgets();

    void fileNames_data();
    void fileNames();
    void fileNameTakesTimeOfLastCapture();
    void browseReplacesFolderUnlessCancelled();
    void defaultNameLocksAndResetsName();

    void captureButton_data();
    void captureButton();
    void disabledSensorPathIsNeverRequested();

    void viewerKeepsRecordsInOrder();
    void viewerKeepsUserTextAndClears();
    void viewerCloseOnlyHides();

private:
    std::unique_ptr<ScriptedCaptureDialog> m_pCapture;
    std::unique_ptr<ConfigDataDlg> m_pViewer;
    QTemporaryDir m_folder;
};

void TestDialogs::init()
{
    m_pCapture = std::make_unique<ScriptedCaptureDialog>();
    m_pViewer = std::make_unique<ConfigDataDlg>();
}

void TestDialogs::cleanup()
{
    m_pCapture.reset();
    m_pViewer.reset();
}

void TestDialogs::formWidgets_data()
{
    QTest::addColumn<bool>("capture");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("checked"); // -1: not a check box or radio button
    QTest::addColumn<QRect>("geometry"); // null: placed by a layout

    const QRect layout;
    QTest::newRow("capture dialog") << true << "CaptureDialog"
                                    << "CaptureDialog"
                                    << ""
                                    << "Still Frame Capture" << true << -1 << QRect(0, 0, 545, 214);
    QTest::newRow("base file box") << true << "groupBox"
                                   << "QGroupBox"
                                   << "CaptureDialog"
                                   << "Base File" << true << -1 << QRect(10, 10, 521, 111);
    QTest::newRow("path label") << true << "label_2"
                                << "QLabel"
                                << "groupBox"
                                << " Path:" << true << -1 << layout;
    QTest::newRow("name label") << true << "label"
                                << "QLabel"
                                << "groupBox"
                                << "Name:" << true << -1 << layout;
    QTest::newRow("browse") << true << "pathPushButton"
                            << "QPushButton"
                            << "groupBox"
                            << "Browse" << true << -1 << layout;
    QTest::newRow("default name") << true << "defaultNameCheckBox"
                                  << "QCheckBox"
                                  << "groupBox"
                                  << "Default" << true << 1 << layout;
    QTest::newRow("append date") << true << "appendDateCheckBox"
                                 << "QCheckBox"
                                 << "groupBox"
                                 << "Append date/time to file name" << true << 0 << layout;
    QTest::newRow("name field") << true << "baseFileNameLineEdit"
                                << "QLineEdit"
                                << "groupBox"
                                << "capture.tiff" << false << -1 << layout;
    QTest::newRow("capture") << true << "captureButton"
                             << "QPushButton"
                             << "CaptureDialog"
                             << "Capture" << true << -1 << QRect(440, 150, 75, 23);
    QTest::newRow("mux box") << true << "muxSelectGroupBox"
                             << "QGroupBox"
                             << "CaptureDialog"
                             << "Mux Select" << true << -1 << QRect(10, 125, 201, 71);
    QTest::newRow("sensor") << true << "ldrRadioButton"
                            << "QRadioButton"
                            << "muxSelectGroupBox"
                            << "Sensor" << true << 1 << QRect(20, 30, 104, 20);
    QTest::newRow("hdmi") << true << "hdmiRadioButton"
                          << "QRadioButton"
                          << "muxSelectGroupBox"
                          << "HDMI" << true << 0 << QRect(120, 30, 71, 20);

    QTest::newRow("viewer") << false << "ConfigDataDlg"
                            << "ConfigDataDlg"
                            << ""
                            << "Dialog" << true << -1 << QRect(0, 0, 891, 615);
    QTest::newRow("close holder") << false << "verticalLayoutWidget"
                                  << "QWidget"
                                  << "ConfigDataDlg"
                                  << "" << true << -1 << QRect(410, 580, 81, 31);
    QTest::newRow("close") << false << "closeButton"
                           << "QPushButton"
                           << "verticalLayoutWidget"
                           << "Close" << true << -1 << layout;
    QTest::newRow("text holder") << false << "verticalLayoutWidget_2"
                                 << "QWidget"
                                 << "ConfigDataDlg"
                                 << "" << true << -1 << QRect(9, 9, 871, 561);
    QTest::newRow("text") << false << "teConfigData"
                          << "QPlainTextEdit"
                          << "verticalLayoutWidget_2"
                          << "" << true << -1 << layout;
}

void TestDialogs::formWidgets()
{
    QFETCH(bool, capture);
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(int, checked);
    QFETCH(QRect, geometry);

    QDialog* pDialog = capture ? static_cast<QDialog*>(m_pCapture.get()) : m_pViewer.get();
    QWidget* pWidget = pDialog->objectName() == name ? pDialog : pDialog->findChild<QWidget*>(name);
    QVERIFY2(pWidget, qPrintable(name));

    if (pWidget == pDialog)
        QVERIFY(pWidget->inherits(qPrintable(className)));
    else
        QCOMPARE(pWidget->metaObject()->className(), className.toLatin1().constData());
    if (!parentName.isEmpty())
        QCOMPARE(pWidget->parentWidget()->objectName(), parentName);
    QCOMPARE(textOf(pWidget), text);
    QCOMPARE(pWidget->isEnabled(), enabled);
    if (checked >= 0)
        QCOMPARE(qobject_cast<QAbstractButton*>(pWidget)->isChecked(), checked == 1);
    if (!geometry.isNull())
        QCOMPARE(pWidget->geometry(), geometry);
}

void TestDialogs::fileNames_data()
{
    QTest::addColumn<QString>("typedName"); // null: keep the default name
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");

    QTest::newRow("default name") << QString() << "T1"
                                  << "capture_T1";
    QTest::newRow("metadata of default name") << QString() << "META"
                                              << "capture_META";
    QTest::newRow("no extension") << "shot"
                                  << "T1"
                                  << "shot_T1";
    QTest::newRow("folder part dropped") << "sub/shot.tiff"
                                         << "T1"
                                         << "shot_T1";
    QTest::newRow("climbing folder part dropped") << "../../elsewhere/shot.tiff"
                                                  << "HDMI"
                                                  << "shot_HDMI";
    QTest::newRow("only last extension dropped") << "a.b.tiff"
                                                 << "T1"
                                                 << "a.b_T1";
    QTest::newRow("trailing dot") << "shot."
                                  << "LDR"
                                  << "shot_LDR";
    QTest::newRow("empty name") << ""
                                << "T2"
                                << "_T2";
}

void TestDialogs::fileNames()
{
    QFETCH(QString, typedName);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);

    m_pCapture->m_sAnswer = m_folder.path();
    child<QPushButton>(m_pCapture.get(), "pathPushButton")->click();
    if (!typedName.isNull()) {
        child<QCheckBox>(m_pCapture.get(), "defaultNameCheckBox")->click();
        auto* pName = child<QLineEdit>(m_pCapture.get(), "baseFileNameLineEdit");
        pName->selectAll();
        QTest::keyClick(pName, Qt::Key_Backspace);
        QTest::keyClicks(pName, typedName);
    }

    QCOMPARE(m_pCapture->MakeFileName(suffix), m_folder.path() + "/" + expected);
}

void TestDialogs::fileNameTakesTimeOfLastCapture()
{
    m_pCapture->m_sAnswer = m_folder.path();
    child<QPushButton>(m_pCapture.get(), "pathPushButton")->click();
    child<QCheckBox>(m_pCapture.get(), "appendDateCheckBox")->setChecked(true);

    const QString sBefore = QDateTime::currentDateTime().toString("yyyy_MM_dd_hhmmss");
    child<QPushButton>(m_pCapture.get(), "captureButton")->click();
    const QString sAfter = QDateTime::currentDateTime().toString("yyyy_MM_dd_hhmmss");

    const QString sName = m_pCapture->MakeFileName("T3");
    const QString sPrefix = m_folder.path() + "/capture_T3_";
    QVERIFY2(sName == sPrefix + sBefore || sName == sPrefix + sAfter, qPrintable(sName));

    child<QCheckBox>(m_pCapture.get(), "appendDateCheckBox")->setChecked(false);
    QCOMPARE(m_pCapture->MakeFileName("T3"), m_folder.path() + "/capture_T3");
}

void TestDialogs::browseReplacesFolderUnlessCancelled()
{
    auto* pBrowse = child<QPushButton>(m_pCapture.get(), "pathPushButton");
    auto* pPath = child<QLineEdit>(m_pCapture.get(), "pathLineEdit");
    QCOMPARE(pPath->text(), QDir::currentPath());
    QVERIFY(pPath->isReadOnly());

    m_pCapture->m_sAnswer = m_folder.path();
    pBrowse->click();
    QCOMPARE(pPath->text(), m_folder.path());

    m_pCapture->m_sAnswer.clear();
    pBrowse->click();
    QCOMPARE(m_pCapture->m_nQuestions, 2);
    QCOMPARE(pPath->text(), m_folder.path());
    QCOMPARE(m_pCapture->MakeFileName("T1"), m_folder.path() + "/capture_T1");
}

void TestDialogs::defaultNameLocksAndResetsName()
{
    auto* pDefault = child<QCheckBox>(m_pCapture.get(), "defaultNameCheckBox");
    auto* pName = child<QLineEdit>(m_pCapture.get(), "baseFileNameLineEdit");

    pDefault->click();
    QVERIFY(pName->isEnabled());
    QCOMPARE(pName->text(), QString("capture.tiff"));

    pName->selectAll();
    QTest::keyClicks(pName, "shot.tiff");
    QCOMPARE(pName->text(), QString("shot.tiff"));

    pDefault->click();
    QVERIFY(!pName->isEnabled());
    QCOMPARE(pName->text(), QString("capture.tiff"));

    // The typed name was replaced by the default, so unlocking again does not bring it back.
    pDefault->click();
    QCOMPARE(pName->text(), QString("capture.tiff"));
}

void TestDialogs::captureButton_data()
{
    QTest::addColumn<bool>("sensor");
    QTest::addColumn<bool>("hdmi");
    QTest::addColumn<int>("muxSel"); // 0: nothing emitted

    QTest::newRow("sensor") << true << false << 1;
    QTest::newRow("hdmi") << false << true << 2;
    QTest::newRow("neither") << false << false << 0;
}

void TestDialogs::captureButton()
{
    QFETCH(bool, sensor);
    QFETCH(bool, hdmi);
    QFETCH(int, muxSel);

    auto* pSensor = child<QRadioButton>(m_pCapture.get(), "ldrRadioButton");
    auto* pHdmi = child<QRadioButton>(m_pCapture.get(), "hdmiRadioButton");
    auto* pCapture = child<QPushButton>(m_pCapture.get(), "captureButton");
    // Radio buttons of one box exclude each other; only a program can leave both unchecked.
    pSensor->setAutoExclusive(false);
    pHdmi->setAutoExclusive(false);
    pSensor->setChecked(sensor);
    pHdmi->setChecked(hdmi);

    QSignalSpy spy(m_pCapture.get(), &CaptureDialog::startCapture);
    pCapture->click();

    if (muxSel == 0) {
        QCOMPARE(spy.count(), 0);
        QVERIFY(pCapture->isEnabled());
        return;
    }
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), muxSel);
    QVERIFY(!pCapture->isEnabled());

    // A second press before the next run cannot start another capture.
    pCapture->click();
    QCOMPARE(spy.count(), 1);

    m_pCapture->SetLdrDisabled(false);
    QVERIFY(pCapture->isEnabled());
    QVERIFY(pSensor->isEnabled());
}

void TestDialogs::disabledSensorPathIsNeverRequested()
{
    auto* pSensor = child<QRadioButton>(m_pCapture.get(), "ldrRadioButton");
    auto* pHdmi = child<QRadioButton>(m_pCapture.get(), "hdmiRadioButton");
    QSignalSpy spy(m_pCapture.get(), &CaptureDialog::startCapture);

    m_pCapture->SetLdrDisabled(true);
    QVERIFY(!pSensor->isEnabled());
    QVERIFY(pHdmi->isChecked());
    child<QPushButton>(m_pCapture.get(), "captureButton")->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);

    // Offering the sensor again keeps the user's last choice.
    m_pCapture->SetLdrDisabled(false);
    QVERIFY(pSensor->isEnabled());
    QVERIFY(pHdmi->isChecked());
}

void TestDialogs::viewerKeepsRecordsInOrder()
{
    QVERIFY(!m_pViewer->isVisible());
    const QStringList records = { "params_config/exposure\n{ \"min-value\": 0.1 }",
        "params_config/gain\n{ \"disabled\": false }", "params_config/gamma" };
    for (const QString& sRecord : records)
        m_pViewer->AppendText(sRecord);

    QCOMPARE(child<QPlainTextEdit>(m_pViewer.get(), "teConfigData")->toPlainText(), records.join('\n'));
}

void TestDialogs::viewerKeepsUserTextAndClears()
{
    auto* pText = child<QPlainTextEdit>(m_pViewer.get(), "teConfigData");
    m_pViewer->AppendText("first");
    pText->moveCursor(QTextCursor::End);
    QTest::keyClicks(pText, " note");
    m_pViewer->AppendText("second");
    QCOMPARE(pText->toPlainText(), QString("first note\nsecond"));

    m_pViewer->ClearText();
    QCOMPARE(pText->toPlainText(), QString());
    m_pViewer->AppendText("after clear");
    QCOMPARE(pText->toPlainText(), QString("after clear"));
}

void TestDialogs::viewerCloseOnlyHides()
{
    m_pViewer->AppendText("kept");
    m_pViewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pViewer.get()));
    child<QPushButton>(m_pViewer.get(), "closeButton")->click();
    QVERIFY(!m_pViewer->isVisible());
    QCOMPARE(child<QPlainTextEdit>(m_pViewer.get(), "teConfigData")->toPlainText(), QString("kept"));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"

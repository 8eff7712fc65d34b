#include "app/mainwindow.h"
#include "guitestmain.h"
#include "modalboxcloser.h"
#include "windowtest.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <memory>

// The window as it opens: size and advanced panel, the disconnected look, the registered option lists.
class TestMainWindowFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void opensCollapsed();
    void advancedWidensAndCollapsesBack();
    void collapseFollowsResizeWhileExpanded();
    void disconnectedLook_data();
    void disconnectedLook();
    void comboBoxOptions_data();
    void comboBoxOptions();
    void titleIconAndLogo();
    void cleanupTestCase();

private:
    QPushButton* resizeButton() const { return Widget<QPushButton>(m_pWindow.get(), "resizeButton"); }
    QGroupBox* advancedPanel() const { return Widget<QGroupBox>(m_pWindow.get(), "advancedGroupBox"); }

    ModalBoxCloser m_closer;
    std::unique_ptr<MainWindow> m_pWindow;
};

void TestMainWindowFrame::initTestCase()
{
    // The first window shown in the process is the one that collapses on its first show.
    m_pWindow = std::make_unique<MainWindow>();
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    QCOMPARE(m_closer.summary(), QString());
}

void TestMainWindowFrame::opensCollapsed()
{
    QVERIFY(advancedPanel()->isHidden());
    QCOMPARE(resizeButton()->text(), QStringLiteral("Advanced"));
    QVERIFY(!resizeButton()->isChecked());

    // The compact size is what adjustSize() makes of the collapsed tree, not the size the form asks for.
    const QSize opened = m_pWindow->size();
    QVERIFY(opened != QSize(1207, 700));
    m_pWindow->adjustSize();
    QCOMPARE(m_pWindow->size(), opened);
    QVERIFY(opened.width() < 1207);
}

void TestMainWindowFrame::advancedWidensAndCollapsesBack()
{
    const QSize compact = m_pWindow->size();

    resizeButton()->click();
    QTRY_COMPARE(m_pWindow->size(), QSize(compact.width() + 500, compact.height()));
    QVERIFY(!advancedPanel()->isHidden());
    QCOMPARE(resizeButton()->text(), QStringLiteral("Less"));

    resizeButton()->click();
    QTRY_COMPARE(m_pWindow->size(), compact);
    QVERIFY(advancedPanel()->isHidden());
    QCOMPARE(resizeButton()->text(), QStringLiteral("Advanced"));
}

void TestMainWindowFrame::collapseFollowsResizeWhileExpanded()
{
    const QSize compact = m_pWindow->size();
    resizeButton()->click();
    QTRY_COMPARE(m_pWindow->width(), compact.width() + 500);

    const QSize resized(compact.width() + 500 + 40, compact.height() + 30);
    m_pWindow->resize(resized);
    QTRY_COMPARE(m_pWindow->size(), resized);

    resizeButton()->click();
    QTRY_COMPARE(m_pWindow->size(), QSize(compact.width() + 40, compact.height() + 30));
}

void TestMainWindowFrame::disconnectedLook_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hidden");

    // Every parameter control waits for the device's attributes; three of them are never shown.
    const QStringList neverShown
        = { "tonemapCB", "longExpCB", "lfmExpCB", "captureDlgButton", "viewConfigDataButton" };
    for (const QString& sName :
        ControlWidgetNames() + QStringList { "captureDlgButton", "viewConfigDataButton" })
        QTest::newRow(qPrintable(sName)) << sName << false << neverShown.contains(sName);
    // The file and command widgets wait for a device; the sensor image shows only while one is connected.
    for (const char* sName : { "leFileName", "btnLoadDefaults", "loadButton", "saveButton" })
        QTest::newRow(sName) << sName << false << false;
    for (const char* sName : { "logoSensorButton", "sensorLabel" })
        QTest::newRow(sName) << sName << true << true;
    for (const char* sName :
        { "leBrokerURL", "leBrokerPort", "btnConnect", "btnAbout", "resizeButton", "teMessages" })
        QTest::newRow(sName) << sName << true << false;
}

void TestMainWindowFrame::disconnectedLook()
{
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    QFETCH(bool, hidden);

    const QWidget* pWidget = m_pWindow->findChild<QWidget*>(name);
    QVERIFY2(pWidget, qPrintable(name));
    QCOMPARE(pWidget->isEnabled(), enabled);
    QCOMPARE(pWidget->isHidden(), hidden);
}

void TestMainWindowFrame::comboBoxOptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QList<uint>>("values");
    QTest::addColumn<QString>("current");

    QTest::newRow("AE priority") << "highlightsCmbBox" << QStringList { "Shadows", "Mid Tones", "Highlights" }
                                 << QList<uint> { 1, 3, 5 } << "Mid Tones";
    QTest::newRow("histogram colour") << "histoColorCmbBox" << QStringList { "All", "Red", "Green", "Blue" }
                                      << QList<uint> { 0, 1, 2, 3 } << "All";
    QTest::newRow("histogram FOI") << "histoFoiCmbBox" << QStringList { "Long", "Middle", "Short" }
                                   << QList<uint> { 0, 1, 2 } << "Long";
    QTest::newRow("histogram location")
        << "histoLocCmbBox" << QStringList { "Top Left", "Top Right", "Bot Left", "Bot Right" }
        << QList<uint> { 0, 1, 2, 3 } << "Top Left";
}

void TestMainWindowFrame::comboBoxOptions()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(QList<uint>, values);
    QFETCH(QString, current);

    const QComboBox* pComboBox = m_pWindow->findChild<QComboBox*>(name);
    QVERIFY(pComboBox);
    QStringList shownItems;
    QList<uint> itemValues;
    for (int nIndex = 0; nIndex < pComboBox->count(); ++nIndex) {
        shownItems << pComboBox->itemText(nIndex);
        itemValues << pComboBox->itemData(nIndex).toUInt();
    }
    QCOMPARE(shownItems, items);
    QCOMPARE(itemValues, values);
    QCOMPARE(pComboBox->currentText(), current);
}

void TestMainWindowFrame::titleIconAndLogo()
{
    QCOMPARE(m_pWindow->windowTitle(), QStringLiteral("Ombix Camera Control"));
    QVERIFY(!m_pWindow->windowIcon().isNull());

    const QSvgWidget* pLogo = Widget<QPushButton>(m_pWindow.get(), "logoButton")->findChild<QSvgWidget*>();
    QVERIFY(pLogo);
    QVERIFY(pLogo->renderer()->isValid());
    QCOMPARE(pLogo->size(), QSize(130, 100));
}

void TestMainWindowFrame::cleanupTestCase()
{
    m_pWindow.reset();
    QCOMPARE(m_closer.summary(), QString());
}

OMBIX_GUI_TEST_MAIN(TestMainWindowFrame)
#include "tst_mainwindowframe.moc"

#include "controls/cdoublesliderspinbox.h"

#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>
#include <memory>

// Each ValueChanged as "<value> now|later", the second word from delayedSend.
static QStringList Emitted(const QSignalSpy& spy)
{
    QStringList result;
    for (const QList<QVariant>& args : spy)
        result << QString::number(args.at(1).toDouble()) + (args.at(2).toBool() ? " later" : " now");
    return result;
}

class TestDoubleSliderSpinBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void valueToPosition_data();
    void valueToPosition();
    void sliderRelease_data();
    void sliderRelease();
    void spinBoxEdit_data();
    void spinBoxEdit();
    void deviceValue_data();
    void deviceValue();
    void updateRangeRescalesWithoutMovingSlider();
    void equalBoundsFromDevice();
    void spinBoxOnly();

private:
    std::unique_ptr<CDoubleSliderSpinBox> Make(
        int nWidth, double value, double minValue, double maxValue, QSlider* pSlider, double stepValue = 0.0);

    std::unique_ptr<QWidget> m_pPanel;
    QSlider* m_pSlider = nullptr;
    QDoubleSpinBox* m_pSpinBox = nullptr;
};

void TestDoubleSliderSpinBox::init()
{
    m_pPanel = std::make_unique<QWidget>();
    m_pSlider = new QSlider(Qt::Horizontal, m_pPanel.get());
    m_pSpinBox = new QDoubleSpinBox(m_pPanel.get());
}

void TestDoubleSliderSpinBox::cleanup() { m_pPanel.reset(); }

std::unique_ptr<CDoubleSliderSpinBox> TestDoubleSliderSpinBox::Make(
    int nWidth, double value, double minValue, double maxValue, QSlider* pSlider, double stepValue)
{
    m_pSlider->resize(nWidth, 20);
    return std::make_unique<CDoubleSliderSpinBox>(
        pSlider, m_pSpinBox, "brightness", value, minValue, maxValue, stepValue, true, false);
}

void TestDoubleSliderSpinBox::valueToPosition_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("position");

    QTest::newRow("brightness midpoint") << 300 << -1.5 << 0.0 << -0.75 << 150;
    QTest::newRow("blackfix midpoint") << 200 << -12.0 << 0.0 << -6.0 << 100;
    QTest::newRow("upper bound") << 300 << 0.0 << 16.66 << 16.66 << 300;
    QTest::newRow("half rounds up") << 200 << 0.0 << 400.0 << 5.0 << 3;
    QTest::newRow("equal bounds") << 300 << 5.0 << 5.0 << 7.0 << 0;
    QTest::newRow("far above the bounds") << 300 << 0.0 << 1.0 << 1e300 << 300;
    QTest::newRow("far below the bounds") << 300 << 0.0 << 1.0 << -1e300 << 0;
    QTest::newRow("not a number") << 300 << 0.0 << 1.0 << qQNaN() << 0;
}

void TestDoubleSliderSpinBox::valueToPosition()
{
    QFETCH(int, width);
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, value);
    QFETCH(int, position);

    auto pControl = Make(width, value, minValue, maxValue, m_pSlider);

    QCOMPARE(m_pSlider->maximum(), width);
    QCOMPARE(m_pSlider->value(), position);
    QVERIFY(!m_pSlider->hasTracking());
}

void TestDoubleSliderSpinBox::sliderRelease_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("minValue");
    QTest::addColumn<int>("release");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("position");

    QTest::newRow("brightness") << 300 << -1.5 << 100 << QStringList { "-1 now" } << -1.0 << 100;
    QTest::newRow("blackfix") << 200 << -12.0 << 50 << QStringList { "-9 now" } << -9.0 << 50;
    // -0.995 shows as -0.99: the spin box reports its own value first, and the slider snaps to it.
    QTest::newRow("more decimals than shown")
        << 300 << -1.5 << 101 << QStringList { "-0.99 later", "-0.995 now" } << -0.99 << 102;
}

void TestDoubleSliderSpinBox::sliderRelease()
{
    QFETCH(int, width);
    QFETCH(double, minValue);
    QFETCH(int, release);
    QFETCH(QStringList, emitted);
    QFETCH(double, stored);
    QFETCH(int, position);

    auto pControl = Make(width, minValue / 2, minValue, 0.0, m_pSlider);
    QSignalSpy spy(pControl.get(), SIGNAL(ValueChanged(QString, double, bool)));

    // Tracking is off, so setValue reports the position at once, as a release does.
    m_pSlider->setValue(release);

    QCOMPARE(Emitted(spy), emitted);
    QCOMPARE(spy.first().first().toString(), QString("brightness"));
    QCOMPARE(pControl->m_value.toDouble(), stored);
    QCOMPARE(m_pSpinBox->value(), stored);
    QCOMPARE(m_pSlider->value(), position);
}

void TestDoubleSliderSpinBox::spinBoxEdit_data()
{
    QTest::addColumn<double>("spinValue");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<int>("position");

    QTest::newRow("below the tolerance") << 0.0005 << QStringList() << 0;
    QTest::newRow("exactly the tolerance") << 0.001 << QStringList() << 0;
    QTest::newRow("just above the tolerance") << 0.0011 << QStringList { "0.0011 later" } << 33;
    QTest::newRow("upper bound") << 0.01 << QStringList { "0.01 later" } << 300;
}

void TestDoubleSliderSpinBox::spinBoxEdit()
{
    QFETCH(double, spinValue);
    QFETCH(QStringList, emitted);
    QFETCH(int, position);

    m_pSpinBox->setDecimals(4);
    auto pControl = Make(300, 0.0, 0.0, 0.01, m_pSlider);
    QSignalSpy spy(pControl.get(), SIGNAL(ValueChanged(QString, double, bool)));

    m_pSpinBox->setValue(spinValue);

    QCOMPARE(Emitted(spy), emitted);
    QCOMPARE(m_pSlider->value(), position);
}

void TestDoubleSliderSpinBox::deviceValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("position");

    QTest::newRow("shown exactly") << QVariant(2.5) << QStringList() << 2.5 << 75;
    QTest::newRow("within the tolerance") << QVariant(2.5004) << QStringList() << 2.5004 << 75;
    QTest::newRow("rounded by the spin box")
        << QVariant(1.2345) << QStringList { "1.23 later" } << 1.23 << 37;
    QTest::newRow("clamped by the spin box") << QVariant(12.0) << QStringList { "10 later" } << 10.0 << 300;
    QTest::newRow("unsigned number") << QVariant(3u) << QStringList() << 3.0 << 90;
}

void TestDoubleSliderSpinBox::deviceValue()
{
    QFETCH(QVariant, value);
    QFETCH(QStringList, emitted);
    QFETCH(double, stored);
    QFETCH(int, position);

    m_pSpinBox->setDecimals(2);
    auto pControl = Make(300, 5.0, 0.0, 10.0, m_pSlider);
    pControl->SetValue(5.0);
    QSignalSpy spy(pControl.get(), SIGNAL(ValueChanged(QString, double, bool)));

    pControl->SetValue(value);

    QCOMPARE(Emitted(spy), emitted);
    QCOMPARE(pControl->m_value.toDouble(), stored);
    QCOMPARE(m_pSlider->value(), position);
}

void TestDoubleSliderSpinBox::updateRangeRescalesWithoutMovingSlider()
{
    auto pControl = Make(300, -0.75, -1.5, 0.0, m_pSlider, 0.1);
    pControl->SetValue(-0.75);
    QSignalSpy spy(pControl.get(), SIGNAL(ValueChanged(QString, double, bool)));
    m_pSlider->resize(600, 20);

    pControl->SetAttributes(true, false, "Brightness", QVariant(-3.0), QVariant(0.0));

    QCOMPARE(m_pSlider->maximum(), 600);
    QCOMPARE(m_pSlider->value(), 150);
    QCOMPARE(m_pSpinBox->minimum(), -3.0);
    QCOMPARE(m_pSpinBox->singleStep(), 0.1);
    // The stored value now belongs to position 450: releasing there is no change, at 150 it is.
    m_pSlider->setValue(450);
    QCOMPARE(spy.count(), 0);
    m_pSlider->setValue(150);
    QCOMPARE(Emitted(spy), QStringList { "-2.25 now" });
}

void TestDoubleSliderSpinBox::equalBoundsFromDevice()
{
    auto pControl = Make(300, 2.0, 0.0, 4.0, m_pSlider);
    pControl->SetValue(2.0);
    pControl->SetAttributes(true, false, QString(), QVariant(5.0), QVariant(5.0));
    pControl->SetValue(5.0);
    QCOMPARE(m_pSlider->value(), 0);
    QSignalSpy spy(pControl.get(), SIGNAL(ValueChanged(QString, double, bool)));

    m_pSlider->setValue(120);

    QCOMPARE(Emitted(spy), QStringList { "5 now" });
}

void TestDoubleSliderSpinBox::spinBoxOnly()
{
    m_pSlider->setValue(42);
    auto pControl = Make(300, 1.0, 0.0, 16.0, nullptr);
    QSignalSpy spy(pControl.get(), SIGNAL(ValueChanged(QString, double, bool)));

    pControl->SetValue(14.5);
    QCOMPARE(m_pSpinBox->value(), 14.5);
    QTest::keyClick(m_pSpinBox, Qt::Key_Down);
    QCOMPARE(Emitted(spy), QStringList { "13.5 later" });
    pControl->SetAttributes(false, false, QString(), QVariant(0.0), QVariant(20.0));
    QCOMPARE(m_pSpinBox->maximum(), 20.0);
    QVERIFY(!m_pSpinBox->isEnabled());

    QCOMPARE(m_pSlider->value(), 42);
    QCOMPARE(m_pSlider->maximum(), 99);
    QVERIFY(m_pSlider->isEnabled());
}

QTEST_MAIN(TestDoubleSliderSpinBox)
#include "tst_cdoublesliderspinbox.moc"

#include "controls/cdoublesliderspinbox.h"

#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include <memory>

namespace {

const char* const kSignal = SIGNAL(ValueChanged(QString, double, bool));

// One emitted ValueChanged, reduced to what the window receives.
struct Emitted
{
    QString sName;
    double value;
    bool bDelayed;
};

QList<Emitted> Emissions(const QSignalSpy& spy)
{
    QList<Emitted> result;
    for (const QList<QVariant>& args : spy)
        result.append({ args.at(0).toString(), args.at(1).toDouble(), args.at(2).toBool() });
    return result;
}

} // namespace

class TestDoubleSliderSpinBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void valueToPosition_data();
    void valueToPosition();
    void sliderReleaseEmitsMappedValue_data();
    void sliderReleaseEmitsMappedValue();
    void releaseAtStoredPositionIsSilent();
    void spinBoxThreshold_data();
    void spinBoxThreshold();
    void spinBoxKeyEditIsDelayed();
    void valueTheSpinBoxCannotShowEmitsTwice();
    void setValue_data();
    void setValue();
    void updateRangeRescalesWithoutMovingSlider();
    void equalBoundsFromDeviceStayAtStart();
    void spinBoxOnly();
    void constructionEnablesByAttributes_data();
    void constructionEnablesByAttributes();

private:
    std::unique_ptr<CDoubleSliderSpinBox> Make(int nWidth, double value, double minValue, double maxValue,
        double stepValue = 0.0, bool bWithSlider = true);

    std::unique_ptr<QWidget> m_pParent;
    QSlider* m_pSlider = nullptr;
    QDoubleSpinBox* m_pSpinBox = nullptr;
};

void TestDoubleSliderSpinBox::init()
{
    m_pParent = std::make_unique<QWidget>();
    m_pSlider = new QSlider(Qt::Horizontal, m_pParent.get());
    m_pSpinBox = new QDoubleSpinBox(m_pParent.get());
}

void TestDoubleSliderSpinBox::cleanup()
{
    m_pParent.reset();
}

std::unique_ptr<CDoubleSliderSpinBox> TestDoubleSliderSpinBox::Make(
    int nWidth, double value, double minValue, double maxValue, double stepValue, bool bWithSlider)
{
    m_pSlider->resize(nWidth, 20);
    return std::make_unique<CDoubleSliderSpinBox>(bWithSlider ? m_pSlider : nullptr, m_pSpinBox, "param", value,
        minValue, maxValue, stepValue, true, false);
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
    QTest::newRow("lower bound") << 300 << -1.5 << 0.0 << -1.5 << 0;
    QTest::newRow("upper bound") << 300 << 0.0 << 16.66 << 16.66 << 300;
    QTest::newRow("half rounds up") << 200 << 0.0 << 400.0 << 5.0 << 3;
    QTest::newRow("equal bounds at the value") << 300 << 5.0 << 5.0 << 5.0 << 0;
    QTest::newRow("equal bounds off the value") << 300 << 5.0 << 5.0 << 7.0 << 0;
    QTest::newRow("far above the bounds") << 300 << 0.0 << 1.0 << 1e300 << 300;
    QTest::newRow("far below the bounds") << 300 << 0.0 << 1.0 << -1e300 << 0;
    QTest::newRow("infinite") << 300 << 0.0 << 1.0 << qInf() << 300;
    QTest::newRow("not a number") << 300 << 0.0 << 1.0 << qQNaN() << 0;
}

void TestDoubleSliderSpinBox::valueToPosition()
{
    QFETCH(int, width);
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, value);
    QFETCH(int, position);

    auto pControl = Make(width, value, minValue, maxValue);

    QCOMPARE(m_pSlider->minimum(), 0);
    QCOMPARE(m_pSlider->maximum(), width);
    QCOMPARE(m_pSlider->value(), position);
    QVERIFY(!m_pSlider->hasTracking());
}

void TestDoubleSliderSpinBox::sliderReleaseEmitsMappedValue_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("release");
    QTest::addColumn<double>("emitted");

    QTest::newRow("brightness") << 300 << -1.5 << 0.0 << -0.75 << 100 << -1.0;
    QTest::newRow("blackfix") << 200 << -12.0 << 0.0 << -6.0 << 50 << -9.0;
    QTest::newRow("to the upper bound") << 200 << -12.0 << 0.0 << -6.0 << 200 << 0.0;
    QTest::newRow("to the lower bound") << 300 << 0.0 << 10.0 << 1.0 << 0 << 0.0;
}

void TestDoubleSliderSpinBox::sliderReleaseEmitsMappedValue()
{
    QFETCH(int, width);
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, value);
    QFETCH(int, release);
    QFETCH(double, emitted);

    auto pControl = Make(width, value, minValue, maxValue);
    QSignalSpy spy(pControl.get(), kSignal);

    // With tracking off, setValue reports the new position at once, as a release does.
    m_pSlider->setValue(release);

    const QList<Emitted> emissions = Emissions(spy);
    QCOMPARE(emissions.size(), 1);
    QCOMPARE(emissions[0].sName, QString("param"));
    QCOMPARE(emissions[0].value, emitted);
    QCOMPARE(emissions[0].bDelayed, false);
    QCOMPARE(pControl->m_value.toDouble(), emitted);
    QCOMPARE(m_pSpinBox->value(), emitted);
}

void TestDoubleSliderSpinBox::releaseAtStoredPositionIsSilent()
{
    auto pControl = Make(300, -0.75, -1.5, 0.0);
    pControl->SetValue(-0.75);
    // New bounds rescale the slider but leave its handle where it was (150), so the stored value now
    // belongs to position 225.
    pControl->SetAttributes(true, false, QString(), QVariant(-3.0), QVariant(0.0));
    QCOMPARE(m_pSlider->value(), 150);
    QSignalSpy spy(pControl.get(), kSignal);

    m_pSlider->setValue(225);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(pControl->m_value.toDouble(), -0.75);

    m_pSlider->setValue(150);
    const QList<Emitted> emissions = Emissions(spy);
    QCOMPARE(emissions.size(), 1);
    QCOMPARE(emissions[0].value, -1.5);
}

void TestDoubleSliderSpinBox::spinBoxThreshold_data()
{
    QTest::addColumn<double>("spinValue");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("position");

    QTest::newRow("below the tolerance") << 0.0005 << false << 0;
    QTest::newRow("exactly the tolerance") << 0.001 << false << 0;
    QTest::newRow("just above the tolerance") << 0.0011 << true << 33;
}

void TestDoubleSliderSpinBox::spinBoxThreshold()
{
    QFETCH(double, spinValue);
    QFETCH(bool, taken);
    QFETCH(int, position);

    m_pSpinBox->setDecimals(4);
    auto pControl = Make(300, 0.0, 0.0, 0.01);
    QSignalSpy spy(pControl.get(), kSignal);

    m_pSpinBox->setValue(spinValue);

    const QList<Emitted> emissions = Emissions(spy);
    QCOMPARE(emissions.size(), taken ? 1 : 0);
    QCOMPARE(m_pSlider->value(), position);
    QCOMPARE(pControl->m_value.toDouble(), taken ? spinValue : 0.0);
    if (taken) {
        QCOMPARE(emissions[0].value, spinValue);
        QCOMPARE(emissions[0].bDelayed, true);
    }
}

void TestDoubleSliderSpinBox::spinBoxKeyEditIsDelayed()
{
    m_pSpinBox->setDecimals(2);
    auto pControl = Make(300, 1.0, 0.0, 10.0, 0.5);
    pControl->SetValue(1.0);
    QSignalSpy spy(pControl.get(), kSignal);

    QTest::keyClick(m_pSpinBox, Qt::Key_Up);

    const QList<Emitted> emissions = Emissions(spy);
    QCOMPARE(emissions.size(), 1);
    QCOMPARE(emissions[0].value, 1.5);
    QCOMPARE(emissions[0].bDelayed, true);
    QCOMPARE(m_pSlider->value(), 45);
}

void TestDoubleSliderSpinBox::valueTheSpinBoxCannotShowEmitsTwice()
{
    m_pSpinBox->setDecimals(2);
    auto pControl = Make(300, -0.75, -1.5, 0.0);
    QSignalSpy spy(pControl.get(), kSignal);

    // Position 101 maps to -0.995, which a two-decimal spin box shows as -0.99.
    m_pSlider->setValue(101);

    const QList<Emitted> emissions = Emissions(spy);
    QCOMPARE(emissions.size(), 2);
    QCOMPARE(emissions[0].value, -0.99);
    QCOMPARE(emissions[0].bDelayed, true);
    QCOMPARE(emissions[1].value, -0.995);
    QCOMPARE(emissions[1].bDelayed, false);
    QCOMPARE(pControl->m_value.toDouble(), -0.99);
    QCOMPARE(m_pSlider->value(), 102);
}

void TestDoubleSliderSpinBox::setValue_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QList<double>>("emitted");
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("position");

    QTest::newRow("shown exactly") << 2.5 << QList<double>() << 2.5 << 75;
    QTest::newRow("within the tolerance") << 2.5004 << QList<double>() << 2.5004 << 75;
    QTest::newRow("rounded by the spin box") << 1.2345 << QList<double> { 1.23 } << 1.23 << 37;
    QTest::newRow("clamped by the spin box") << 12.0 << QList<double> { 10.0 } << 10.0 << 300;
}

void TestDoubleSliderSpinBox::setValue()
{
    QFETCH(double, value);
    QFETCH(QList<double>, emitted);
    QFETCH(double, stored);
    QFETCH(int, position);

    m_pSpinBox->setDecimals(2);
    auto pControl = Make(300, 1.0, 0.0, 10.0);
    m_pSpinBox->setValue(5.0);
    QSignalSpy spy(pControl.get(), kSignal);

    pControl->SetValue(QVariant(value));

    const QList<Emitted> emissions = Emissions(spy);
    QCOMPARE(emissions.size(), emitted.size());
    for (int i = 0; i < emitted.size(); ++i) {
        QCOMPARE(emissions[i].value, emitted[i]);
        QCOMPARE(emissions[i].bDelayed, true);
    }
    QCOMPARE(pControl->m_value.toDouble(), stored);
    QCOMPARE(m_pSlider->value(), position);
}

void TestDoubleSliderSpinBox::updateRangeRescalesWithoutMovingSlider()
{
    auto pControl = Make(300, -0.75, -1.5, 0.0, 0.1);
    QSignalSpy spy(pControl.get(), kSignal);
    m_pSlider->resize(600, 20);

    pControl->SetAttributes(true, false, "Brightness", QVariant(-3.0), QVariant(3.0));

    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_pSlider->maximum(), 600);
    QCOMPARE(m_pSlider->value(), 150);
    QCOMPARE(m_pSpinBox->minimum(), -3.0);
    QCOMPARE(m_pSpinBox->maximum(), 3.0);
    QCOMPARE(m_pSpinBox->singleStep(), 0.1);
    QCOMPARE(pControl->m_value.toDouble(), -0.75);

    // The next device value uses the new scale.
    pControl->SetValue(1.5);
    QCOMPARE(m_pSlider->value(), 450);
}

void TestDoubleSliderSpinBox::equalBoundsFromDeviceStayAtStart()
{
    auto pControl = Make(300, 2.0, 0.0, 4.0);
    pControl->SetValue(2.0);
    pControl->SetAttributes(true, false, QString(), QVariant(5.0), QVariant(5.0));
    QSignalSpy spy(pControl.get(), kSignal);

    pControl->SetValue(5.0);
    QCOMPARE(m_pSlider->value(), 0);

    m_pSlider->setValue(120);
    const QList<Emitted> emissions = Emissions(spy);
    QCOMPARE(emissions.size(), 1);
    QCOMPARE(emissions[0].value, 5.0);
    QCOMPARE(pControl->m_value.toDouble(), 5.0);
}

void TestDoubleSliderSpinBox::spinBoxOnly()
{
    m_pSlider->setValue(42);
    auto pControl = Make(300, 1.0, 0.0, 16.0, 0.0, false);
    QSignalSpy spy(pControl.get(), kSignal);

    pControl->SetValue(14.5);
    QCOMPARE(m_pSpinBox->value(), 14.5);
    QCOMPARE(spy.count(), 0);

    m_pSpinBox->setValue(3.0);
    QCOMPARE(Emissions(spy).size(), 1);
    QCOMPARE(Emissions(spy)[0].bDelayed, true);

    pControl->SetAttributes(true, false, QString(), QVariant(0.0), QVariant(2.0));
    QCOMPARE(m_pSpinBox->maximum(), 2.0);
    pControl->EnableControl(false);
    QVERIFY(!m_pSpinBox->isEnabled());

    // The slider it was not given stays untouched.
    QCOMPARE(m_pSlider->value(), 42);
    QCOMPARE(m_pSlider->maximum(), 99);
    QVERIFY(m_pSlider->isEnabled());
}

void TestDoubleSliderSpinBox::constructionEnablesByAttributes_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("widgetsEnabled");

    QTest::newRow("enabled") << true << false << true;
    QTest::newRow("read-only") << true << true << false;
    QTest::newRow("disabled") << false << false << false;
}

void TestDoubleSliderSpinBox::constructionEnablesByAttributes()
{
    QFETCH(bool, enabled);
    QFETCH(bool, readOnly);
    QFETCH(bool, widgetsEnabled);

    m_pSlider->setEnabled(!widgetsEnabled);
    m_pSpinBox->setEnabled(!widgetsEnabled);
    CDoubleSliderSpinBox control(m_pSlider, m_pSpinBox, "gamma", 0.0, -2.0, 4.0, 0.0, enabled, readOnly);

    QCOMPARE(m_pSlider->isEnabled(), widgetsEnabled);
    QCOMPARE(m_pSpinBox->isEnabled(), widgetsEnabled);
}

QTEST_MAIN(TestDoubleSliderSpinBox)
#include "tst_cdoublesliderspinbox.moc"

#include "controls/cbinaryoption.h"
#include "controls/cbooleanoption.h"
#include "controls/ccomboboxoption.h"
#include "controls/ccontrolsmap.h"
#include "controls/cdoublesliderspinbox.h"
#include "controls/cmultioption.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// The main window's side of the string connections: every received signal as one line of text.
class Window : public QObject
{
    Q_OBJECT

public:
    // Connects whichever ValueChanged the control declares.
    void Watch(QObject* pControl)
    {
        for (const QByteArray& signature :
            { QByteArray("ValueChanged(QString,double,bool)"), QByteArray("ValueChanged(QString,bool)"),
                QByteArray("ValueChanged(QString,quint32,bool)") }) {
            if (pControl->metaObject()->indexOfSignal(signature) != -1)
                connect(pControl, "2" + signature, this, "1" + signature);
        }
    }

    QStringList m_received;

public slots:
    void ValueChanged(QString sParamName, double value, bool delayedSend)
    {
        m_received << QString("%1 %2 %3").arg(sParamName).arg(value).arg(delayedSend ? "later" : "now");
    }
    void ValueChanged(QString sParamName, bool value) { m_received << sParamName + (value ? " on" : " off"); }
    void ValueChanged(QString sParamName, quint32 value, bool delayedSend)
    {
        m_received << QString("%1 %2 %3").arg(sParamName).arg(value).arg(delayedSend ? "later" : "now");
    }
};

enum class Kind
{
    Slider,
    Boolean,
    Binary,
    Multi,
    ComboBox
};

// A control of one class around new widgets of a panel, with a user edit to perform.
struct Bound
{
    std::unique_ptr<CControlBase> pControl;
    QList<QWidget*> widgets;
    std::function<void()> edit;
};

using Options = QMap<quint32, QString>;

CComboBoxOptions Priorities()
{
    CComboBoxOptions options;
    options.m_options = { { 5, "Highlights" }, { 3, "Mid Tones" }, { 1, "Shadows" } };
    options.m_nCurrentIndex = 1;
    return options;
}

Bound Make(Kind eKind, QWidget* pPanel, bool bEnabled = true, bool bReadOnly = false)
{
    Bound bound;
    if (eKind == Kind::Slider) {
        auto* pSlider = new QSlider(Qt::Horizontal, pPanel);
        auto* pSpinBox = new QDoubleSpinBox(pPanel);
        pSlider->resize(300, 20);
        bound.pControl = std::make_unique<CDoubleSliderSpinBox>(
            pSlider, pSpinBox, "brightness", -0.75, -1.5, 0.0, 0.0, bEnabled, bReadOnly);
        bound.widgets = { pSlider, pSpinBox };
        bound.edit = [pSlider] { pSlider->setValue(100); };
    } else if (eKind == Kind::Boolean || eKind == Kind::Binary) {
        auto* pButton = new QCheckBox("Enable", pPanel);
        if (eKind == Kind::Boolean)
            bound.pControl = std::make_unique<CBooleanOption>(
                nullptr, pButton, nullptr, "awbEn", false, bEnabled, bReadOnly);
        else
            bound.pControl = std::make_unique<CBinaryOption>(
                nullptr, pButton, nullptr, "DenoiseEn", 0u, bEnabled, bReadOnly);
        bound.widgets = { pButton };
        bound.edit = [pButton] { QTest::mouseClick(pButton, Qt::LeftButton); };
    } else if (eKind == Kind::Multi) {
        auto* pGroup = new QButtonGroup(pPanel);
        auto* p50 = new QRadioButton("50", pPanel);
        auto* p60 = new QRadioButton("60", pPanel);
        pGroup->addButton(p50);
        pGroup->addButton(p60);
        p60->setChecked(true);
        const QMap<QAbstractButton*, QVariant> values { { p50, 50 }, { p60, 60 } };
        bound.pControl = std::make_unique<CMultiOption>(pGroup, "freq", values, 0u, bEnabled, bReadOnly);
        bound.widgets = { p50, p60 };
        bound.edit = [p50] { QTest::mouseClick(p50, Qt::LeftButton); };
    } else {
        auto* pComboBox = new QComboBox(pPanel);
        bound.pControl = std::make_unique<CComboBoxOption>(
            pComboBox, "highlightMode", Priorities(), 0u, bEnabled, bReadOnly);
        bound.widgets = { pComboBox };
        bound.edit = [pComboBox] { pComboBox->setCurrentIndex(2); };
    }
    pPanel->show();
    return bound;
}

QList<bool> EnabledStates(const Bound& bound)
{
    QList<bool> states;
    for (QWidget* pWidget : bound.widgets)
        states << pWidget->isEnabled();
    return states;
}

QList<bool> All(const Bound& bound, bool bState)
{
    return QVector<bool>(bound.widgets.size(), bState).toList();
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestOptionControls : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_pPanel = std::make_unique<QWidget>(); }
    void cleanup() { m_pPanel.reset(); }

    void userEditReachesWindow_data();
    void userEditReachesWindow();
    void enabledState_data();
    void enabledState();
    void buttonClicks_data();
    void buttonClicks();
    void buttonDeviceValue_data();
    void buttonDeviceValue();
    void radioGroup();
    void comboBoxFill_data();
    void comboBoxFill();
    void comboBoxValues();
    void mapDeletesEachControlOnce();

private:
    std::unique_ptr<QWidget> m_pPanel;
};

void TestOptionControls::userEditReachesWindow_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QString>("received");

    QTest::newRow("slider") << Kind::Slider << QByteArray("ValueChanged(QString, double, bool)")
                            << "brightness -1 now";
    QTest::newRow("boolean") << Kind::Boolean << QByteArray("ValueChanged(QString, bool)") << "awbEn on";
    QTest::newRow("binary") << Kind::Binary << QByteArray("ValueChanged(QString, quint32, bool)")
                            << "DenoiseEn 1 now";
    QTest::newRow("radio group") << Kind::Multi << QByteArray("ValueChanged(QString, quint32, bool)")
                                 << "freq 50 now";
    QTest::newRow("combo box") << Kind::ComboBox << QByteArray("ValueChanged(QString, quint32, bool)")
                               << "highlightMode 5 now";
}

void TestOptionControls::userEditReachesWindow()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, signature);
    QFETCH(QString, received);

    const Bound bound = Make(kind, m_pPanel.get());
    Window window;
    QVERIFY(QObject::connect(bound.pControl.get(), "2" + signature, &window, "1" + signature));

    bound.edit();

    QCOMPARE(window.m_received, QStringList { received });
}

void TestOptionControls::enabledState_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("slider") << Kind::Slider;
    QTest::newRow("boolean") << Kind::Boolean;
    QTest::newRow("binary") << Kind::Binary;
    QTest::newRow("radio group") << Kind::Multi;
    QTest::newRow("combo box") << Kind::ComboBox;
}

void TestOptionControls::enabledState()
{
    QFETCH(Kind, kind);

    const Bound readOnly = Make(kind, m_pPanel.get(), true, true);
    QCOMPARE(EnabledStates(readOnly), All(readOnly, false));
    const Bound writable = Make(kind, m_pPanel.get(), true, false);
    QCOMPARE(EnabledStates(writable), All(writable, true));

    // The device's attributes decide, and leave the value alone.
    const QVariant value = writable.pControl->m_value;
    writable.pControl->SetAttributes(true, true, "read-only", QVariant(-1.5), QVariant(0.0));
    QCOMPARE(EnabledStates(writable), All(writable, false));
    writable.pControl->SetAttributes(true, false, "writable", QVariant(-1.5), QVariant(0.0));
    QCOMPARE(EnabledStates(writable), All(writable, true));
    QCOMPARE(writable.pControl->m_value, value);

    // EnableControl overrides the read-only flag.
    readOnly.pControl->EnableControl(true);
    QCOMPARE(EnabledStates(readOnly), All(readOnly, true));
    readOnly.pControl->EnableControl(false);
    QCOMPARE(EnabledStates(readOnly), All(readOnly, false));
}

void TestOptionControls::buttonClicks_data()
{
    QTest::addColumn<bool>("binary");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("grouped");
    QTest::addColumn<QStringList>("received");

    const QStringList flags { "midBoost on", "midBoost off", "midBoost on" };
    const QStringList numbers { "osdhist 1 now", "osdhist 0 now", "osdhist 1 now" };
    QTest::newRow("boolean, checkable") << false << true << false << flags;
    QTest::newRow("boolean, plain push button")
        << false << false << false << QStringList { "midBoost off", "midBoost off", "midBoost off" };
    QTest::newRow("boolean, through a group") << false << true << true << flags;
    QTest::newRow("binary, checkable") << true << true << false << numbers;
    QTest::newRow("binary, through a group") << true << true << true << numbers;
}

void TestOptionControls::buttonClicks()
{
    QFETCH(bool, binary);
    QFETCH(bool, checkable);
    QFETCH(bool, grouped);
    QFETCH(QStringList, received);

    auto* pButton = new QPushButton("AutoGain", m_pPanel.get());
    pButton->setCheckable(checkable);
    QButtonGroup* pGroup = grouped ? new QButtonGroup(m_pPanel.get()) : nullptr;
    if (pGroup) {
        pGroup->setExclusive(false);
        pGroup->addButton(pButton);
    }
    std::unique_ptr<CControlBase> pControl;
    if (binary)
        pControl = std::make_unique<CBinaryOption>(pGroup, pButton, nullptr, "osdhist", 0u, true, false);
    else
        pControl = std::make_unique<CBooleanOption>(pGroup, pButton, nullptr, "midBoost", false, true, false);
    Window window;
    window.Watch(pControl.get());

    for (int i = 0; i < received.size(); ++i)
        pButton->click();

    QCOMPARE(window.m_received, received);
}

void TestOptionControls::buttonDeviceValue_data()
{
    QTest::addColumn<bool>("binary");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("clicked");

    QTest::newRow("boolean from 1") << false << QVariant(1u) << true << QVariant(true) << "awbEn off";
    QTest::newRow("boolean from 0") << false << QVariant(0u) << false << QVariant(false) << "awbEn on";
    QTest::newRow("binary keeps 5") << true << QVariant(5u) << true << QVariant(5u) << "DenoiseEn 0 now";
    QTest::newRow("binary from text") << true << QVariant("on") << false << QVariant(0u) << "DenoiseEn 1 now";
}

void TestOptionControls::buttonDeviceValue()
{
    QFETCH(bool, binary);
    QFETCH(QVariant, value);
    QFETCH(bool, checked);
    QFETCH(QVariant, stored);
    QFETCH(QString, clicked);

    const Bound bound = Make(binary ? Kind::Binary : Kind::Boolean, m_pPanel.get());
    auto* pButton = static_cast<QCheckBox*>(bound.widgets.first());
    pButton->setChecked(!checked);
    Window window;
    window.Watch(bound.pControl.get());

    bound.pControl->SetValue(value);
    QCOMPARE(pButton->isChecked(), checked);
    QCOMPARE(bound.pControl->m_value, stored);
    QCOMPARE(window.m_received, QStringList());

    // The next click reports the state it leaves, not the stored number.
    bound.edit();
    QCOMPARE(window.m_received, QStringList { clicked });
}

void TestOptionControls::radioGroup()
{
    const Bound bound = Make(Kind::Multi, m_pPanel.get());
    auto* p50 = static_cast<QRadioButton*>(bound.widgets[0]);
    auto* p60 = static_cast<QRadioButton*>(bound.widgets[1]);
    auto* pStray = new QRadioButton("stray", m_pPanel.get());
    p50->group()->addButton(pStray);
    Window window;
    window.Watch(bound.pControl.get());

    bound.pControl->SetValue(QVariant(50u));
    QVERIFY(p50->isChecked());
    bound.pControl->SetValue(QVariant(60));
    QVERIFY(p60->isChecked() && !p50->isChecked());
    bound.pControl->SetValue(QVariant(55));
    QVERIFY(p60->isChecked());
    QCOMPARE(window.m_received, QStringList());

    bound.edit();
    bound.edit();
    pStray->click();
    QCOMPARE(window.m_received, (QStringList { "freq 50 now", "freq 50 now", "freq 0 now" }));

    // A click on a button outside the map must not make it one of the control's buttons.
    bound.pControl->SetValue(QVariant(60));
    bound.pControl->SetValue(QVariant(0));
    QVERIFY(p60->isChecked());
    bound.pControl->EnableControl(false);
    QVERIFY(!p50->isEnabled() && !p60->isEnabled());
    QVERIFY(pStray->isEnabled());
}

void TestOptionControls::comboBoxFill_data()
{
    QTest::addColumn<Options>("options");
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("current");

    QTest::newRow("priorities") << Priorities().m_options << 1
                                << QStringList { "Shadows", "Mid Tones", "Highlights" } << "Mid Tones";
    QTest::newRow("colours") << Options { { 0, "All" }, { 1, "Red" }, { 2, "Green" }, { 3, "Blue" } } << 0
                             << QStringList { "All", "Red", "Green", "Blue" } << "All";
    QTest::newRow("values beyond the int range")
        << Options { { 4000000000u, "huge" }, { 7, "seven" }, { 2147483648u, "big" } } << 2
        << QStringList { "seven", "big", "huge" } << "huge";
    QTest::newRow("no options") << Options() << 0 << QStringList() << QString();
}

void TestOptionControls::comboBoxFill()
{
    QFETCH(Options, options);
    QFETCH(int, currentIndex);
    QFETCH(QStringList, items);
    QFETCH(QString, current);

    auto* pComboBox = new QComboBox(m_pPanel.get());
    pComboBox->addItems({ "left over" });
    CComboBoxOption control(pComboBox, "osdcolor", { options, currentIndex }, 0u, true, false);
    QSignalSpy spy(&control, SIGNAL(ValueChanged(QString, quint32, bool)));

    QStringList texts;
    for (int i = 0; i < pComboBox->count(); ++i) {
        texts << pComboBox->itemText(i);
        QCOMPARE(pComboBox->itemData(i, Qt::UserRole), QVariant(options.key(texts.last())));
    }
    QCOMPARE(texts, items);
    QCOMPARE(pComboBox->currentText(), current);
    QCOMPARE(spy.count(), 0);
}

void TestOptionControls::comboBoxValues()
{
    const Bound bound = Make(Kind::ComboBox, m_pPanel.get());
    auto* pComboBox = static_cast<QComboBox*>(bound.widgets.first());
    Window window;
    window.Watch(bound.pControl.get());

    bound.pControl->SetValue(5u);
    QCOMPARE(pComboBox->currentText(), QString("Highlights"));
    bound.pControl->SetValue(4u);
    QCOMPARE(bound.pControl->m_value, QVariant(4u));
    QCOMPARE(pComboBox->currentText(), QString("Highlights"));
    QCOMPARE(window.m_received, QStringList());

    pComboBox->setCurrentIndex(1);
    QTest::keyClick(pComboBox, Qt::Key_Up);
    QCOMPARE(window.m_received, (QStringList { "highlightMode 3 now", "highlightMode 1 now" }));

    // Selecting the item that carries the stored value reports nothing.
    bound.pControl->m_value = QVariant(3u);
    pComboBox->setCurrentIndex(1);
    pComboBox->setCurrentIndex(-1);
    QCOMPARE(window.m_received.size(), 2);
}

void TestOptionControls::mapDeletesEachControlOnce()
{
    QList<QPointer<CControlBase>> controls;
    QList<QPointer<QWidget>> widgets;
    {
        CControlsMap map;
        for (Kind eKind : { Kind::Slider, Kind::Boolean, Kind::Binary, Kind::Multi, Kind::ComboBox }) {
            Bound bound = Make(eKind, m_pPanel.get());
            widgets << bound.widgets.first();
            CControlBase* pControl = bound.pControl.release();
            controls << pControl;
            map[pControl->ParamName()] = pControl;
        }
        map["DefResMode"] = nullptr;
        QVERIFY(!map.contains("Brightness"));
    }

    for (const QPointer<CControlBase>& pControl : qAsConst(controls))
        QVERIFY(pControl.isNull());
    for (const QPointer<QWidget>& pWidget : qAsConst(widgets))
        QVERIFY(!pWidget.isNull());
}

QTEST_MAIN(TestOptionControls)
#include "tst_optioncontrols.moc"

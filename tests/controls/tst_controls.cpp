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
#include <QRadioButton>
#include <QSlider>
#include <QtTest>
#include <functional>
#include <list>

// A panel of controls, each registered under its parameter name and watched through the string signature
// the main window connects to (a renamed or retyped signal leaves its spy empty).
struct Panel
{
    Panel()
    {
        auto* pGroup = new QButtonGroup(&m_widget);
        const QMap<QAbstractButton*, QVariant> freqs { { new QRadioButton("hz50", &m_widget), 50 },
            { new QRadioButton("hz60", &m_widget), 60 } };
        for (QAbstractButton* pButton : freqs.keys())
            pGroup->addButton(pButton);
        m_pComboBox->addItem("left over");
        const CComboBoxOptions modes { { { 5, "High" }, { 3, "Mid" }, { 1, "Low" } }, 1 };

        Add(new CBooleanOption(nullptr, new QCheckBox("awb", &m_widget), nullptr, "awb", false, true, false));
        Add(new CBinaryOption(nullptr, new QCheckBox("nr", &m_widget), nullptr, "nr", 0u, true, false));
        Add(new CMultiOption(pGroup, "freq", freqs, 0u, true, false));
        Add(new CComboBoxOption(m_pComboBox, "mode", modes, 0u, true, false));
    }
    // A slider control "g" on a slider of the width (none for 0) and a spin box of the decimals.
    void AddSlider(int nWidth, double dMin, double dMax, double dStart, int nDecimals)
    {
        m_pSlider->resize(nWidth, 20);
        m_pSlider->setValue(42); // where a slider the control does not own stays
        m_pSpinBox->setDecimals(nDecimals);
        auto* pControl = new CDoubleSliderSpinBox(
            nWidth ? m_pSlider : nullptr, m_pSpinBox, "g", dStart, dMin, dMax, 0.0, true, false);
        Add(pControl);
        QCOMPARE(m_pSlider->hasTracking(), nWidth == 0);
        pControl->SetValue(dStart);
    }
    void Add(CControlBase* pControl)
    {
        m_controls[pControl->ParamName()] = pControl;
        if (qobject_cast<CBooleanOption*>(pControl))
            m_spies.emplace_back(pControl, SIGNAL(ValueChanged(QString, bool)));
        else if (qobject_cast<CDoubleSliderSpinBox*>(pControl))
            m_spies.emplace_back(pControl, SIGNAL(ValueChanged(QString, double, bool)));
        else
            m_spies.emplace_back(pControl, SIGNAL(ValueChanged(QString, quint32, bool)));
    }
    // Every ValueChanged so far, its arguments separated by spaces.
    QStringList Emitted() const
    {
        QStringList emitted;
        for (const QSignalSpy& spy : m_spies)
            for (const QList<QVariant>& args : spy)
                emitted << QVariant(args).toStringList().join(' ');
        return emitted;
    }

    QWidget m_widget;
    QComboBox* m_pComboBox = new QComboBox(&m_widget);
    QSlider* m_pSlider = new QSlider(Qt::Horizontal, &m_widget);
    QDoubleSpinBox* m_pSpinBox = new QDoubleSpinBox(&m_widget);
    CControlsMap m_controls;
    std::list<QSignalSpy> m_spies;
};

using Action = std::function<void(Panel&)>;

namespace {

Action Slide(int nPosition)
{
    return [nPosition](Panel& panel) { panel.m_pSlider->setValue(nPosition); };
}
Action Spin(double dValue)
{
    return [dValue](Panel& panel) { panel.m_pSpinBox->setValue(dValue); };
}
Action Width(int nWidth)
{
    return [nWidth](Panel& panel) { panel.m_pSlider->resize(nWidth, 20); };
}
// New bounds, as the window applies them from a status report.
Action Bounds(double dMin, double dMax)
{
    return [dMin, dMax](Panel& panel) {
        panel.m_controls["g"]->m_minValue = dMin;
        panel.m_controls["g"]->m_maxValue = dMax;
        panel.m_controls["g"]->UpdateRange();
    };
}
// A value from the device.
Action Set(const QString& sParam, double dValue)
{
    return [sParam, dValue](Panel& panel) { panel.m_controls[sParam]->SetValue(dValue); };
}
Action Click(const QString& sText)
{
    return [sText](Panel& panel) {
        for (QAbstractButton* pButton : panel.m_widget.findChildren<QAbstractButton*>())
            if (pButton->text() == sText)
                pButton->click();
    };
}
Action Pick(int nIndex)
{
    return [nIndex](Panel& panel) { panel.m_pComboBox->setCurrentIndex(nIndex); };
}

} // namespace

Q_DECLARE_METATYPE(Action)

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    // A slider control made on a slider of nWidth (0: spin box only) with its bounds, start value and the
    // spin box's decimals; after the actions, its signals, its value and the slider's position.
    void slider_data()
    {
        QTest::addColumn<QList<int>>("slider"); // width, spin-box decimals
        QTest::addColumn<QList<double>>("bounds"); // minimum, maximum, start value
        QTest::addColumn<QList<Action>>("actions");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<double>("dValue");
        QTest::addColumn<int>("nPosition");
        const auto row = [](const char* sTag, int nWidth, QList<double> bounds, int nDecimals,
                             QList<Action> actions, QStringList emitted, double dValue, int nPosition) {
            QTest::newRow(sTag) << QList<int> { nWidth, nDecimals } << bounds << actions << emitted << dValue
                                << nPosition;
        };
        row("release where the value is", 200, { -12, 0, -6 }, 2, { Slide(100) }, {}, -6, 100);
        row("release elsewhere", 300, { -1.5, 0, -0.75 }, 2, { Slide(100) }, { "g -1 false" }, -1, 100);
        row("more decimals than shown", 300, { -1.5, 0, -0.75 }, 2, { Slide(101) },
            { "g -0.99 true", "g -0.995 false" }, -0.99, 102);
        row("spin box within 0.001", 300, { 0, 0.01, 0 }, 4, { Spin(0.001) }, {}, 0, 0);
        row("device value shown exactly", 300, { 0, 10, 5 }, 2, { Set("g", 2.5) }, {}, 2.5, 75);
        // A reported value the spin box rounds or clamps is not sent back.
        row("device value rounded", 300, { 0, 10, 5 }, 2, { Set("g", 1.2345) }, {}, 1.2345, 37);
        row("device value far below", 300, { 0, 1, 0.5 }, 2, { Set("g", -1e300) }, {}, -1e300, 0);
        row("equal bounds", 300, { 5, 5, 5 }, 2, { Set("g", 5) }, {}, 5, 0);
        row("spin box only", 0, { 0, 16, 14.5 }, 2, { Spin(13.5) }, { "g 13.5 true" }, 13.5, 42);
        // New bounds from the device, or a narrower slider, clamp the widgets: that is nobody's edit.
        row("bounds, then the device's value", 300, { -8, 8, 0 }, 2, { Bounds(2, 8), Set("g", 5) }, {}, 5,
            150);
        row("narrower slider", 300, { 0, 10, 5 }, 2, { Width(100), Bounds(0, 10) }, {}, 5, 50);
    }
    void slider()
    {
        QFETCH(QList<int>, slider);
        QFETCH(QList<double>, bounds);
        QFETCH(QList<Action>, actions);
        QFETCH(QStringList, emitted);
        QFETCH(double, dValue);
        QFETCH(int, nPosition);
        Panel panel;
        panel.AddSlider(slider[0], bounds[0], bounds[1], bounds[2], slider[1]);
        for (const Action& act : actions)
            act(panel);
        QCOMPARE(panel.Emitted(), emitted);
        QCOMPARE(panel.m_controls["g"]->m_value.toDouble(), dValue);
        QCOMPARE(panel.m_pSlider->value(), nPosition);
    }

    // The buttons, the radio group and the combo box: after the actions, the signals, the checked buttons
    // and the combo box's item.
    void options_data()
    {
        QTest::addColumn<QList<Action>>("actions");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QString>("sItem");
        const auto row = [](const char* sTag, QList<Action> actions, QStringList emitted, QStringList checked,
                             const char* sItem) {
            QTest::newRow(sTag) << actions << emitted << checked << QString(sItem);
        };
        row("check box", { Set("awb", 1), Click("awb"), Click("awb") }, { "awb false", "awb true" },
            { "awb" }, "Mid");
        row("binary", { Set("nr", 5), Click("nr"), Click("nr") }, { "nr 0 false", "nr 1 false" }, { "nr" },
            "Mid");
        row("radio from device", { Set("freq", 60), Set("freq", 55) }, {}, { "hz60" }, "Mid");
        row("radio clicks", { Click("hz50"), Click("hz50") }, { "freq 50 false", "freq 50 false" },
            { "hz50" }, "Mid");
        row("combo box from device", { Set("mode", 5), Set("mode", 4) }, {}, {}, "High");
        row("combo box selection", { Set("mode", 5), Pick(0), Pick(0) }, { "mode 1 false" }, {}, "Low");
    }
    void options()
    {
        QFETCH(QList<Action>, actions);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, checked);
        QFETCH(QString, sItem);
        Panel panel;
        for (const Action& act : actions)
            act(panel);
        QStringList checkedNow;
        for (QAbstractButton* pButton : panel.m_widget.findChildren<QAbstractButton*>())
            if (pButton->isChecked())
                checkedNow << pButton->text();
        QCOMPARE(panel.Emitted(), emitted);
        QCOMPARE(checkedNow, checked);
        QCOMPARE(panel.m_pComboBox->currentText(), sItem);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

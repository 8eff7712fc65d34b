#include "controls/cbinaryoption.h"
#include "controls/cbooleanoption.h"
#include "controls/ccomboboxoption.h"
#include "controls/ccontrolsmap.h"
#include "controls/cdoublesliderspinbox.h"
#include "controls/cmultioption.h"

#include <QtTest>
#include <QtWidgets>
#include <functional>
#include <list>

// A panel of controls, each registered under its parameter name and watched through the string signature
// the main window connects to (a renamed or retyped signal leaves its spy empty).
struct Panel
{
    // With a slider control "g" (none for an empty list): width of its slider (none for 0), its bounds and
    // start value, and the decimals of its spin box.
    explicit Panel(const QList<double>& slider)
    {
        auto* pGroup = new QButtonGroup(&m_widget);
        const QMap<QAbstractButton*, QVariant> freqs { { new QRadioButton("hz50", &m_widget), 50 },
            { new QRadioButton("hz60", &m_widget), 60 } };
        for (QAbstractButton* pButton : freqs.keys())
            pGroup->addButton(pButton);
        m_pComboBox->addItem("left over");
        const CComboBoxOptions modes { { { 5, "High" }, { 3, "Mid" }, { 1, "Low" } }, 1 };
        Add(new CBooleanOption(nullptr, new QCheckBox("awb", &m_widget), nullptr, "awb", false, true, false),
            SIGNAL(ValueChanged(QString, bool)));
        Add(new CBinaryOption(nullptr, new QCheckBox("nr", &m_widget), nullptr, "nr", 0u, true, false));
        Add(new CMultiOption(pGroup, "freq", freqs, 0u, true, false));
        Add(new CComboBoxOption(m_pComboBox, "mode", modes, 0u, true, false));
        for (QAbstractButton* pButton : m_widget.findChildren<QAbstractButton*>())
            pButton->setObjectName(pButton->text());
        if (slider.isEmpty())
            return;
        m_pSlider->resize(int(slider[0]), 20);
        m_pSlider->setValue(42); // where a slider the control does not own stays
        m_pSpinBox->setDecimals(int(slider[4]));
        auto* pControl = new CDoubleSliderSpinBox(slider[0] ? m_pSlider : nullptr, m_pSpinBox, "g", slider[3],
            slider[1], slider[2], 0.0, true, false);
        Add(pControl, SIGNAL(ValueChanged(QString, double, bool)));
        QCOMPARE(m_pSlider->hasTracking(), slider[0] == 0);
        pControl->SetValue(slider[3]);
    }
    void Add(CControlBase* pControl, const char* sSignal = SIGNAL(ValueChanged(QString, quint32, bool)))
    {
        m_controls[pControl->ParamName()] = pControl;
        m_spies.emplace_back(pControl, sSignal);
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

// Sets a property of the panel's widget of type T, as the user or the layout would.
template<typename T>
Action Put(const char* sProperty, const QVariant& value)
{
    return [=](Panel& panel) { panel.m_widget.findChild<T*>()->setProperty(sProperty, value); };
}
Action Slide(int nPosition) { return Put<QSlider>("value", nPosition); }
Action Spin(double dValue) { return Put<QDoubleSpinBox>("value", dValue); }
Action Pick(int nIndex) { return Put<QComboBox>("currentIndex", nIndex); }
Action Width(int nWidth) { return Put<QSlider>("size", QSize(nWidth, 20)); }
// New bounds for the slider control from the device.
Action Bounds(double dMin, double dMax)
{
    return [=](Panel& panel) { panel.m_controls["g"]->SetAttributes(true, false, QString(), dMin, dMax); };
}
// A value from the device.
Action Set(const QString& sParam, double dValue)
{
    return [sParam, dValue](Panel& panel) { panel.m_controls[sParam]->SetValue(dValue); };
}
// The event loop's turn after a pass of inbound messages: the slider control shows the values reported in it.
const Action kTurn = [](Panel&) { QCoreApplication::sendPostedEvents(); };
Action Click(const QString& sText)
{
    return [sText](Panel& panel) { panel.m_widget.findChild<QAbstractButton*>(sText)->click(); };
}
} // namespace

Q_DECLARE_METATYPE(Action)

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    // The panel, with a slider control made on a slider of a width (0: spin box only) with its bounds and
    // start value and a spin box with decimals (none: no slider control); after the actions, the signals,
    // then the checked buttons, the combo box's item, and the slider control's value and slider position.
    void controls_data()
    {
        QTest::addColumn<QList<double>>("slider"); // width, minimum, maximum, start value, decimals
        QTest::addColumn<QList<Action>>("actions");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("shown");
        const auto row
            = [](const char* sTag, QList<double> slider, QList<Action> actions, QStringList emitted,
                  QStringList shown) { QTest::newRow(sTag) << slider << actions << emitted << shown; };
        // A release sends the value. A value with more decimals than the spin box shows comes back from the
        // spin box rounded, as a delayed edit.
        row("released", { 300, -1.5, 0, -0.75, 2 }, { Slide(100), Slide(101) },
            { "g -1 false", "g -0.99 true", "g -0.995 false" }, { "Mid", "-0.99", "102" });
        // A spin-box edit is sent delayed, unless it is within 0.001 of the value.
        row("spin box only", { 0, 0, 16, 0, 4 }, { Spin(0.001), Spin(13.5) }, { "g 13.5 true" },
            { "Mid", "13.5", "42" });
        // A reported value is shown, clamped or rounded by the spin box, and never sent back; of the values
        // reported in one pass the last is shown, and an edit made before it is shown stands.
        row("device values", { 300, 0, 10, 5, 2 }, { Set("g", -1e300), kTurn, Set("g", 9), Set("g", 1.2345) },
            {}, { "Mid", "1.2345", "37" });
        row("edit before a report is shown", { 300, 0, 10, 5, 2 }, { Set("g", 2), Spin(3) }, { "g 3 true" },
            { "Mid", "3", "90" });
        row("equal bounds", { 300, 5, 5, 5, 2 }, { Set("g", 5) }, {}, { "Mid", "5", "0" });
        // A narrower slider and new bounds from the device clamp the widgets: that is nobody's edit.
        row("new width, bounds", { 300, -8, 8, 0, 2 }, { Width(100), Bounds(2, 8), Set("g", 5) }, {},
            { "Mid", "5", "50" });
        // The buttons, the radio group and the combo box: every click is sent; the device's values are
        // shown, one it does not know is ignored.
        row("boolean", {}, { Set("awb", 1), Click("awb"), Click("awb") }, { "awb false", "awb true" },
            { "awb", "Mid" });
        row("binary", {}, { Set("nr", 5), Click("nr"), Click("nr") }, { "nr 0 false", "nr 1 false" },
            { "nr", "Mid" });
        row("radio", {}, { Click("hz50"), Click("hz50"), Set("freq", 60), Set("freq", 55) },
            { "freq 50 false", "freq 50 false" }, { "hz60", "Mid" });
        row("combo box", {}, { Pick(0), Pick(0), Set("mode", 5), Set("mode", 4) }, { "mode 1 false" },
            { "High" });
    }
    void controls()
    {
        QFETCH(QList<double>, slider);
        QFETCH(QList<Action>, actions);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, shown);
        Panel panel(slider);
        for (const Action& act : actions + QList<Action> { kTurn })
            act(panel);
        QCOMPARE(panel.Emitted(), emitted);
        QStringList shownNow;
        for (QAbstractButton* pButton : panel.m_widget.findChildren<QAbstractButton*>())
            if (pButton->isChecked())
                shownNow << pButton->text();
        shownNow << panel.m_pComboBox->currentText();
        if (!slider.isEmpty())
            shownNow << panel.m_controls["g"]->m_value.toString()
                     << QString::number(panel.m_pSlider->value());
        QCOMPARE(shownNow, shown);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

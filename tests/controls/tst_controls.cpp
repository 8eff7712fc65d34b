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
Action Turn()
{
    return [](Panel&) { QCoreApplication::sendPostedEvents(); };
}
Action Click(const QString& sText)
{
    return [sText](Panel& panel) {
        for (QAbstractButton* pButton : panel.m_widget.findChildren<QAbstractButton*>())
            if (pButton->text() == sText)
                pButton->click();
    };
}
} // namespace

Q_DECLARE_METATYPE(Action)

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    // A slider control made on a slider of a width (0: spin box only) with its bounds and start value, and
    // a spin box with decimals; after the actions, its signals, its value and the slider's position.
    void slider_data()
    {
        QTest::addColumn<QList<double>>("slider"); // width, minimum, maximum, start value, decimals
        QTest::addColumn<QList<Action>>("actions");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<double>("dValue");
        QTest::addColumn<int>("nPosition");
        const auto row = [](const char* sTag, QList<double> slider, QList<Action> actions,
                             QStringList emitted, double dValue, int nPosition) {
            QTest::newRow(sTag) << slider << actions << emitted << dValue << nPosition;
        };
        // A release sends the value. A value with more decimals than the spin box shows comes back from the
        // spin box rounded, as a delayed edit.
        row("released", { 300, -1.5, 0, -0.75, 2 }, { Slide(100), Slide(101) },
            { "g -1 false", "g -0.99 true", "g -0.995 false" }, -0.99, 102);
        // A spin-box edit is sent delayed, unless it is within 0.001 of the value.
        row("spin box only", { 0, 0, 16, 0, 4 }, { Spin(0.001), Spin(13.5) }, { "g 13.5 true" }, 13.5, 42);
        // A reported value is shown, clamped or rounded by the spin box, and never sent back; of the values
        // reported in one pass the last is shown, and an edit made before it is shown stands.
        row("device values", { 300, 0, 10, 5, 2 },
            { Set("g", -1e300), Turn(), Set("g", 9), Set("g", 1.2345) }, {}, 1.2345, 37);
        row("edit before a report is shown", { 300, 0, 10, 5, 2 }, { Set("g", 2), Spin(3) }, { "g 3 true" },
            3, 90);
        row("equal bounds", { 300, 5, 5, 5, 2 }, { Set("g", 5) }, {}, 5, 0);
        // A narrower slider and new bounds from the device clamp the widgets: that is nobody's edit.
        row("new width, bounds", { 300, -8, 8, 0, 2 }, { Width(100), Bounds(2, 8), Set("g", 5) }, {}, 5, 50);
    }
    void slider()
    {
        QFETCH(QList<double>, slider);
        QFETCH(QList<Action>, actions);
        QFETCH(QStringList, emitted);
        QFETCH(double, dValue);
        QFETCH(int, nPosition);
        Panel panel;
        panel.AddSlider(int(slider[0]), slider[1], slider[2], slider[3], int(slider[4]));
        for (const Action& act : actions)
            act(panel);
        Turn()(panel);
        QCOMPARE(panel.Emitted(), emitted);
        QCOMPARE(panel.m_controls["g"]->m_value.toDouble(), dValue);
        QCOMPARE(panel.m_pSlider->value(), nPosition);
    }

    // The buttons, the radio group and the combo box: after the actions, the signals, then the checked
    // buttons and the combo box's item.
    void options_data()
    {
        QTest::addColumn<QList<Action>>("actions");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("shown");
        const auto row = [](const char* sTag, QList<Action> actions, QStringList emitted, QStringList shown) {
            QTest::newRow(sTag) << actions << emitted << shown;
        };
        row("boolean", { Set("awb", 1), Click("awb"), Click("awb") }, { "awb false", "awb true" },
            { "awb", "Mid" });
        row("binary", { Set("nr", 5), Click("nr"), Click("nr") }, { "nr 0 false", "nr 1 false" },
            { "nr", "Mid" });
        // Every click is sent; the device's values are shown, one it does not know is ignored.
        row("radio", { Click("hz50"), Click("hz50"), Set("freq", 60), Set("freq", 55) },
            { "freq 50 false", "freq 50 false" }, { "hz60", "Mid" });
        row("combo box", { Pick(0), Pick(0), Set("mode", 5), Set("mode", 4) }, { "mode 1 false" },
            { "High" });
    }
    void options()
    {
        QFETCH(QList<Action>, actions);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, shown);
        Panel panel;
        for (const Action& act : actions)
            act(panel);
        QStringList shownNow;
        for (QAbstractButton* pButton : panel.m_widget.findChildren<QAbstractButton*>())
            if (pButton->isChecked())
                shownNow << pButton->text();
        QCOMPARE(panel.Emitted(), emitted);
        QCOMPARE(shownNow << panel.m_pComboBox->currentText(), shown);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

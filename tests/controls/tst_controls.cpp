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
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>
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
        Add(new CBooleanOption(
            nullptr, new QPushButton("push", &m_widget), nullptr, "push", false, true, false));
        Add(new CBinaryOption(nullptr, new QCheckBox("nr", &m_widget), nullptr, "nr", 0u, true, false));
        Add(new CMultiOption(pGroup, "freq", freqs, 0u, true, false));
        Add(new CComboBoxOption(m_pComboBox, "mode", modes, 0u, true, false));
    }
    // "<slider width, 0: no slider> <min> <max> <start value> <spin-box decimals>"
    void AddSlider(const QStringList& setup)
    {
        m_pSlider->resize(setup[0].toInt(), 20);
        m_pSlider->setValue(42); // where a slider the control does not own stays
        m_pSpinBox->setDecimals(setup[4].toInt());
        auto* pControl = new CDoubleSliderSpinBox(setup[0] == "0" ? nullptr : m_pSlider, m_pSpinBox, "g",
            setup[3].toDouble(), setup[1].toDouble(), setup[2].toDouble(), 0.0, true, false);
        Add(pControl);
        QCOMPARE(m_pSlider->hasTracking(), setup[0] == "0");
        pControl->SetValue(setup[3].toDouble());
    }
    // As the window applies bounds from a status report.
    void SetBounds(double minValue, double maxValue)
    {
        m_controls["g"]->m_minValue = minValue;
        m_controls["g"]->m_maxValue = maxValue;
        m_controls["g"]->UpdateRange();
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

    QWidget m_widget;
    QComboBox* m_pComboBox = new QComboBox(&m_widget);
    QSlider* m_pSlider = new QSlider(Qt::Horizontal, &m_widget);
    QDoubleSpinBox* m_pSpinBox = new QDoubleSpinBox(&m_widget);
    CControlsMap m_controls;
    std::list<QSignalSpy> m_spies;
};

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    // Actions: make <slider width, 0: no slider> <min> <max> <start value> <spin-box decimals>, slide <pos>,
    // spin <value>, width <slider width>, bounds <min> <max>, set <param> <value>, click <text>, pick
    // <index>.
    // "<actions> | <signals emitted> | [=<slider control's value> @<slider position>] <checked buttons>
    // <current combo-box item>"
    void controls_data()
    {
        QTest::addColumn<QString>("row");
        QTest::newRow("release where the value is") << "make 200 -12 0 -6 2, slide 100 |  | =-6 @100 Mid";
        QTest::newRow("release elsewhere")
            << "make 300 -1.5 0 -0.75 2, slide 100 | g -1 false | =-1 @100 Mid";
        QTest::newRow("more decimals than shown")
            << "make 300 -1.5 0 -0.75 2, slide 101 | g -0.99 true, g -0.995 false | =-0.99 @102 Mid";
        QTest::newRow("spin box within 0.001") << "make 300 0 0.01 0 4, spin 0.001 |  | =0 @0 Mid";
        QTest::newRow("spin box beyond 0.001")
            << "make 300 0 0.01 0 4, spin 0.0011 | g 0.0011 true | =0.0011 @33 Mid";
        QTest::newRow("device value shown exactly") << "make 300 0 10 5 2, set g 2.5 |  | =2.5 @75 Mid";
        QTest::newRow("device value rounded")
            << "make 300 0 10 5 2, set g 1.2345 | g 1.23 true | =1.23 @37 Mid";
        QTest::newRow("device value far below") << "make 300 0 1 0.5 2, set g -1e300 | g 0 true | =0 @0 Mid";
        QTest::newRow("equal bounds") << "make 300 5 5 5 2, set g 5 |  | =5 @0 Mid";
        QTest::newRow("spin box only") << "make 0 0 16 14.5 2, spin 13.5 | g 13.5 true | =13.5 @42 Mid";
        // New bounds from the device, or a new slider width, clamp the widgets: that is nobody's edit.
        QTest::newRow("bounds clamp the spin box") << "make 300 -8 8 0 2, bounds 2 8 |  | =0 @0 Mid";
        QTest::newRow("bounds, then the device's value")
            << "make 300 -8 8 0 2, bounds 2 8, set g 5 |  | =5 @150 Mid";
        QTest::newRow("narrower slider") << "make 300 0 10 5 2, width 100, bounds 0 10 |  | =5 @50 Mid";
        QTest::newRow("wider slider") << "make 100 0 10 5 2, width 300, bounds 0 10 |  | =5 @150 Mid";

        QTest::newRow("check box") << "click awb, click awb | awb true, awb false | Mid";
        QTest::newRow("push button") << "click push, click push | push false, push false | Mid";
        QTest::newRow("boolean from device") << "set awb 1 |  | awb Mid";
        QTest::newRow("binary") << "set nr 5, click nr, click nr | nr 0 false, nr 1 false | nr Mid";
        QTest::newRow("radio from device") << "set freq 60, set freq 55 |  | hz60 Mid";
        QTest::newRow("radio clicks") << "click hz50, click hz50 | freq 50 false, freq 50 false | hz50 Mid";
        QTest::newRow("combo box from device") << "set mode 5, set mode 4 |  | High";
        QTest::newRow("combo box selection") << "set mode 5, pick 0, pick 0 | mode 1 false | Low";
    }
    void controls()
    {
        QFETCH(QString, row);
        const QStringList parts = row.split(" | ");
        Panel panel;

        for (const QString& sAction : parts[0].split(", ")) {
            const QStringList words = sAction.split(' ');
            if (words[0] == "make")
                panel.AddSlider(words.mid(1));
            else if (words[0] == "slide")
                panel.m_pSlider->setValue(words[1].toInt());
            else if (words[0] == "width")
                panel.m_pSlider->resize(words[1].toInt(), 20);
            else if (words[0] == "bounds")
                panel.SetBounds(words[1].toDouble(), words[2].toDouble());
            else if (words[0] == "spin")
                panel.m_pSpinBox->setValue(words[1].toDouble());
            else if (words[0] == "pick")
                panel.m_pComboBox->setCurrentIndex(words[1].toInt());
            else if (words[0] == "set")
                panel.m_controls[words[1]]->SetValue(words[2].toDouble());
            for (QAbstractButton* pButton : panel.m_widget.findChildren<QAbstractButton*>())
                if (words[0] == "click" && pButton->text() == words[1])
                    pButton->click();
        }

        QStringList emitted, state;
        for (const QSignalSpy& spy : panel.m_spies)
            for (const QList<QVariant>& args : spy)
                emitted << QVariant(args).toStringList().join(' ');
        if (panel.m_controls.contains("g"))
            state << QString("=%1 @%2")
                         .arg(panel.m_controls["g"]->m_value.toDouble())
                         .arg(panel.m_pSlider->value());
        for (QAbstractButton* pButton : panel.m_widget.findChildren<QAbstractButton*>())
            state << (pButton->isChecked() ? pButton->text() : QString());
        state << panel.m_pComboBox->currentText();
        state.removeAll(QString());
        QCOMPARE(emitted.join(", ") + " | " + state.join(' '), parts[1] + " | " + parts[2]);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

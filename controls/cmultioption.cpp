#include "controls/cmultioption.h"

#include <QAbstractButton>
#include <QButtonGroup>

CMultiOption::CMultiOption(QButtonGroup* pGroup, QString sParamName,
    const QMap<QAbstractButton*, QVariant>& buttonValues, quint32 value, bool bEnabled, bool bReadOnly)
    : CControlBase(
        sParamName, QVariant(int(value)), QVariant(0), QVariant(0), QVariant(0), bEnabled, bReadOnly)
{
    connect(pGroup, SIGNAL(buttonClicked(QAbstractButton*)), this, SLOT(buttonClicked(QAbstractButton*)));
    m_buttonValues = buttonValues;
    EnableControl(EnabledByAttributes());
}

void CMultiOption::EnableControl(bool bEnable)
{
    for (QAbstractButton* pButton : m_buttonValues.keys())
        pButton->setEnabled(bEnable);
}

// Stores the value as given; the group's exclusivity unchecks the previously checked button.
void CMultiOption::SetValue(QVariant value)
{
    m_value = value;
    const int nValue = value.toInt();
    for (auto it = m_buttonValues.cbegin(); it != m_buttonValues.cend(); ++it) {
        if (it.value().toInt() == nValue) {
            it.key()->setChecked(true);
            return;
        }
    }
}

// A button missing from the map reports 0; looking it up must not add it to the map.
void CMultiOption::buttonClicked(QAbstractButton* pButton)
{
    m_value = QVariant(m_buttonValues.value(pButton).toInt());
    emit ValueChanged(m_sParamName, m_value.toUInt(), false);
}

#include "controls/cbinaryoption.h"

#include <QAbstractButton>

CBinaryOption::CBinaryOption(QButtonGroup* pGroup, QAbstractButton* pButton, QAbstractButton* pSecondButton,
    QString sParamName, quint32 value, bool bEnabled, bool bReadOnly)
    : CButtonOption(
        pButton, pSecondButton, sParamName, QVariant(value), QVariant(0), QVariant(1), bEnabled, bReadOnly)
{
    ConnectClicks(pGroup);
}

void CBinaryOption::SetValue(QVariant value)
{
    const quint32 u = value.toUInt();
    m_value = QVariant(u);
    ShowChecked(u != 0);
}

void CBinaryOption::buttonClicked()
{
    m_value = QVariant(m_pButton->isChecked() ? 1 : 0);
    emit ValueChanged(m_sParamName, m_value.toUInt(), false);
}

// Reads the bound button, whichever button of the group was clicked.
void CBinaryOption::buttonClicked(QAbstractButton*) { buttonClicked(); }

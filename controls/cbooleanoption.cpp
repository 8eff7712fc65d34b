#include "controls/cbooleanoption.h"

#include <QAbstractButton>

CBooleanOption::CBooleanOption(QButtonGroup* pGroup, QAbstractButton* pButton, QAbstractButton* pSecondButton,
    QString sParamName, bool value, bool bEnabled, bool bReadOnly)
    : CButtonOption(pButton, pSecondButton, sParamName, QVariant(value), QVariant(false), QVariant(true),
        bEnabled, bReadOnly)
{
    ConnectClicks(pGroup);
}

void CBooleanOption::SetValue(QVariant value)
{
    const bool b = value.toBool();
    m_value = QVariant(b);
    ShowChecked(b);
}

void CBooleanOption::buttonClicked()
{
    const bool bChecked = m_pButton->isChecked();
    m_value = QVariant(bChecked);
    emit ValueChanged(m_sParamName, bChecked);
}

// Reads the bound button, whichever button of the group was clicked.
void CBooleanOption::buttonClicked(QAbstractButton*) { buttonClicked(); }

#include "controls/cbuttonoption.h"

#include <QAbstractButton>
#include <QButtonGroup>

CButtonOption::CButtonOption(QAbstractButton* pButton, QAbstractButton* pSecondButton, QString sParamName,
    QVariant value, QVariant minValue, QVariant maxValue, bool bEnabled, bool bReadOnly)
    : CControlBase(sParamName, value, minValue, maxValue, QVariant(0), bEnabled, bReadOnly)
    , m_pButton(pButton)
    , m_pSecondButton(pSecondButton)
{
    EnableControl(EnabledByAttributes());
}

void CButtonOption::EnableControl(bool bEnable)
{
    m_pButton->setEnabled(bEnable);
    if (m_pSecondButton)
        m_pSecondButton->setEnabled(bEnable);
}

void CButtonOption::ConnectClicks(QButtonGroup* pGroup)
{
    if (pGroup)
        connect(pGroup, SIGNAL(buttonClicked(QAbstractButton*)), this, SLOT(buttonClicked(QAbstractButton*)));
    else
        connect(m_pButton, SIGNAL(clicked()), this, SLOT(buttonClicked()));
}

void CButtonOption::ShowChecked(bool bChecked)
{
    if (m_pButton->isChecked() != bChecked)
        m_pButton->setChecked(bChecked);
}

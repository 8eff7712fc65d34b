#include "controls/ccontrolbase.h"

CControlBase::CControlBase(QString sParamName, QVariant value, QVariant minValue, QVariant maxValue,
    QVariant stepValue, bool bEnabled, bool bReadOnly)
    : QWidget(nullptr)
    , m_value(value)
    , m_minValue(minValue)
    , m_maxValue(maxValue)
    , m_sParamName(sParamName)
    , m_stepValue(stepValue)
    , m_bEnabled(bEnabled)
    , m_bReadOnly(bReadOnly)
{ }

void CControlBase::SetAttributes(
    bool bEnabled, bool bReadOnly, QString sDescription, QVariant minValue, QVariant maxValue)
{
    EnableControl(bEnabled && !bReadOnly);
    m_bEnabled = bEnabled;
    m_bReadOnly = bReadOnly;
    m_sDescription = sDescription;
    m_minValue = minValue;
    m_maxValue = maxValue;
    UpdateRange();
}

void CControlBase::UpdateRange() { }

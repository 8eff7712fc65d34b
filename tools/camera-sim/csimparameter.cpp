#include "csimparameter.h"

#include <QStringList>
#include <cmath>

CSimParameter::CSimParameter(const QString& sName, EKind eKind, double dDefault, const QString& sDescription)
    : m_sName(sName)
    , m_eKind(eKind)
    , m_dDefault(dDefault)
    , m_dValue(dDefault)
    , m_sDescription(sDescription)
{ }

CSimParameter CSimParameter::Flag(const QString& sName, bool bDefault, const QString& sDescription)
{
    return CSimParameter(sName, eFlag, bDefault ? 1.0 : 0.0, sDescription);
}

CSimParameter CSimParameter::Number(
    const QString& sName, double dDefault, double dMin, double dMax, const QString& sDescription)
{
    CSimParameter param(sName, eNumber, dDefault, sDescription);
    param.m_dMin = dMin;
    param.m_dMax = dMax;
    return param;
}

CSimParameter CSimParameter::Choice(
    const QString& sName, int nDefault, const QVector<int>& choices, const QString& sDescription)
{
    CSimParameter param(sName, eChoice, nDefault, sDescription);
    param.m_choices = choices;
    return param;
}

CSimParameter& CSimParameter::ReadOnly()
{
    m_bReadOnly = true;
    return *this;
}

CSimParameter& CSimParameter::Disabled()
{
    m_bDisabled = true;
    return *this;
}

bool CSimParameter::Apply(const QJsonValue& value, QString* pReason)
{
    double dValue = 0.0;
    if (!Convert(value, &dValue, pReason))
        return false;
    if ((m_bReadOnly || m_bDisabled) && dValue != m_dValue) {
        *pReason = m_bReadOnly ? QStringLiteral("read-only") : QStringLiteral("disabled");
        return false;
    }
    m_dValue = dValue;
    return true;
}

bool CSimParameter::Convert(const QJsonValue& value, double* pValue, QString* pReason) const
{
    switch (m_eKind) {
    case eFlag:
        if (value.isBool()) {
            *pValue = value.toBool() ? 1.0 : 0.0;
            return true;
        }
        if (value.isDouble() && (value.toDouble() == 0.0 || value.toDouble() == 1.0)) {
            *pValue = value.toDouble();
            return true;
        }
        *pReason = QStringLiteral("expects true or false");
        return false;
    case eNumber:
        if (value.isDouble() && std::isfinite(value.toDouble())) {
            *pValue = qBound(m_dMin, value.toDouble(), m_dMax);
            return true;
        }
        *pReason = QStringLiteral("expects a number");
        return false;
    case eChoice: {
        // A check box that drives a 0/1 choice may be written as a flag in a hand-made file.
        const double dValue = value.isBool() ? (value.toBool() ? 1.0 : 0.0) : value.toDouble(NAN);
        if (std::isfinite(dValue) && dValue == std::trunc(dValue) && std::fabs(dValue) <= 1e9
            && m_choices.contains(int(dValue))) {
            *pValue = dValue;
            return true;
        }
        *pReason = QStringLiteral("expects one of ") + ChoicesText();
        return false;
    }
    }
    return false;
}

QJsonValue CSimParameter::ToJson(double dValue) const
{
    switch (m_eKind) {
    case eFlag:
        return QJsonValue(dValue != 0.0);
    case eChoice:
        return QJsonValue(int(dValue));
    case eNumber:
        break;
    }
    return QJsonValue(dValue);
}

QString CSimParameter::ChoicesText() const
{
    QStringList texts;
    for (int nChoice : m_choices)
        texts << QString::number(nChoice);
    return texts.join(QStringLiteral(", "));
}

QJsonObject CSimParameter::Description() const
{
    QJsonObject record { { QStringLiteral("description"), m_sDescription },
        { QStringLiteral("read-only"), m_bReadOnly }, { QStringLiteral("disabled"), m_bDisabled } };
    if (m_eKind == eNumber) {
        record.insert(QStringLiteral("min-value"), m_dMin);
        record.insert(QStringLiteral("max-value"), m_dMax);
    }
    return record;
}

QJsonObject CSimParameter::Status() const
{
    QJsonObject record { { QStringLiteral("value"), Value() } };
    if (m_eKind == eNumber) {
        record.insert(QStringLiteral("min-value"), m_dMin);
        record.insert(QStringLiteral("max-value"), m_dMax);
    }
    return record;
}

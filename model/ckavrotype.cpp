#include "model/ckavrotype.h"

CKavroType::CKavroType(EValueType eType, const QString& sValue)
    : m_eType(eType)
    , m_sValue(sValue)
{ }

CKavroType::~CKavroType() = default;

QString CKavroType::ToString() const { return m_sValue; }

QVariant CKavroType::ToVariant() const
{
    switch (m_eType) {
    case eUInt:
        return QVariant(ToUInt());
    case eDouble: {
        bool bOk = false;
        const double dValue = m_sValue.toDouble(&bOk);
        if (!bOk)
            throw ConversionError("double");
        return QVariant(dValue);
    }
    case eBool:
        return QVariant(ToBool());
    default:
        return QVariant(m_sValue);
    }
}

bool CKavroType::ToBool() const
{
    const QString sLower = m_sValue.toLower();
    if (sLower == QLatin1String("true"))
        return true;
    if (sLower == QLatin1String("false"))
        return false;
    throw ConversionError("bool");
}

uint CKavroType::ToUInt() const
{
    bool bOk = false;
    const uint nValue = m_sValue.toUInt(&bOk, 10);
    if (!bOk)
        throw ConversionError("uint");
    return nValue;
}

QString CKavroType::ConversionError(const char* sTarget) const
{
    return QStringLiteral("CKavroType: Error converting [%1] to %2").arg(m_sValue, QLatin1String(sTarget));
}

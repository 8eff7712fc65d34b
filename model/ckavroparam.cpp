#include "model/ckavroparam.h"

#include <QJsonValue>

namespace {

CKavroType* NumberAttribute(const QJsonValue& value)
{
    const QString sText = value.toVariant().toString();
    const bool bNegative = sText.length() > 1 && sText.at(0) == QLatin1Char('-');
    if (bNegative || sText.contains(QLatin1Char('.')))
        return new CKavroType(CKavroType::eDouble, QVariant(value.toDouble()).toString());
    // A failed reading (too large, exponent form) stores 0.
    return new CKavroType(CKavroType::eUInt, QString::number(sText.toUInt(nullptr, 10)));
}

} // namespace

CKavroParam::CKavroParam() = default;

CKavroParam::CKavroParam(bool bValue)
{
    insert(QStringLiteral("value"),
        new CKavroType(CKavroType::eBool, bValue ? QStringLiteral("true") : QStringLiteral("false")));
}

CKavroParam::CKavroParam(quint32 nValue)
{
    insert(QStringLiteral("value"), new CKavroType(CKavroType::eUInt, QVariant(nValue).toString()));
}

CKavroParam::CKavroParam(double dValue)
{
    insert(QStringLiteral("value"), new CKavroType(CKavroType::eDouble, QVariant(dValue).toString()));
}

CKavroParam::~CKavroParam()
{
    for (CKavroType* pValue : qAsConst(*this))
        delete pValue;
}

void CKavroParam::FromJson(const QJsonObject& obj)
{
    for (auto it = obj.constBegin(); it != obj.constEnd(); ++it) {
        const QJsonValue value = it.value();
        CKavroType* pAttribute = nullptr;
        switch (value.type()) {
        case QJsonValue::Bool:
            pAttribute = new CKavroType(
                CKavroType::eBool, value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            break;
        case QJsonValue::String:
            pAttribute = new CKavroType(CKavroType::eString, value.toString());
            break;
        case QJsonValue::Double:
            pAttribute = NumberAttribute(value);
            break;
        default:
            continue;
        }
        delete take(it.key());
        insert(it.key(), pAttribute);
    }
}

QJsonObject CKavroParam::ToJson() const
{
    QJsonObject obj;
    for (auto it = constBegin(); it != constEnd(); ++it)
        obj.insert(it.key(), QJsonValue::fromVariant(it.value()->ToVariant()));
    return obj;
}

#pragma once

#include <QString>
#include <QVariant>

// One typed attribute value of a parameter record. The value is kept as text and converted only when a
// consumer asks for it; a conversion that does not fit the text throws the message of the failure as a
// QString ("CKavroType: Error converting [<text>] to uint|double|bool").
class CKavroType
{
public:
    enum EValueType : qint32
    {
        eUInt = 0,
        eDouble = 1,
        eBool = 2,
        eString = 3,
    };

    CKavroType(EValueType eType, const QString& sValue);
    virtual ~CKavroType();

    virtual QString ToString() const;

    EValueType Type() const { return m_eType; }
    QVariant ToVariant() const;
    bool ToBool() const;
    uint ToUInt() const;

private:
    QString ConversionError(const char* sTarget) const;

    EValueType m_eType;
    QString m_sValue;
};

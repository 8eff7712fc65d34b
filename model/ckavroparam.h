#pragma once

#include "model/ckavrotype.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

// One parameter record: attribute name ("value", "min-value", "disabled", ...) to typed value. The record
// owns its values. Records travel by pointer, and whoever receives one deletes it.
class CKavroParam : public QMap<QString, CKavroType*>
{
public:
    CKavroParam();
    explicit CKavroParam(bool bValue);
    explicit CKavroParam(quint32 nValue);
    explicit CKavroParam(double dValue);
    CKavroParam(const CKavroParam&) = delete;
    CKavroParam& operator=(const CKavroParam&) = delete;
    virtual ~CKavroParam();

    // Adds one attribute per member of obj that converts: booleans, strings and numbers. Integral
    // non-negative numbers become eUInt (0 when they do not fit 32 bits), the others eDouble.
    void FromJson(const QJsonObject& obj);
    // One member per attribute, typed by ToVariant(); throws on a value that does not convert.
    QJsonObject ToJson() const;
};

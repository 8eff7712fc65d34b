#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVector>

// One parameter of the simulated camera: the kind of value it holds, its bounds or choices, its default,
// whether the panel may change it, and its current value. Values are kept as doubles and typed only on
// the way out: flags as JSON booleans, choices as integers, numbers as doubles.
class CSimParameter
{
public:
    enum EKind
    {
        eFlag, // true or false
        eNumber, // any double between the bounds; values outside are clamped
        eChoice, // one integer out of a fixed list
    };

    static CSimParameter Flag(const QString& sName, bool bDefault, const QString& sDescription);
    static CSimParameter Number(
        const QString& sName, double dDefault, double dMin, double dMax, const QString& sDescription);
    static CSimParameter Choice(
        const QString& sName, int nDefault, const QVector<int>& choices, const QString& sDescription);
    CSimParameter& ReadOnly();
    CSimParameter& Disabled();

    QString Name() const { return m_sName; }
    double NumericValue() const { return m_dValue; }
    QJsonValue Value() const { return ToJson(m_dValue); }
    void Reset() { m_dValue = m_dDefault; }

    // Takes a value sent by the panel or found in a parameter file. Returns false with the reason when the
    // parameter cannot take it; the current value is kept then. A read-only or disabled parameter accepts
    // only its current value, so a parameter file that the camera uploaded loads back without complaint.
    bool Apply(const QJsonValue& value, QString* pReason);

    // The record of the configuration topic: description, flags and, for numbers, the bounds.
    QJsonObject Description() const;
    // The record of the status topic: the value and, for numbers, the bounds, so that a panel that sees
    // the status before the description still takes the value within the right range.
    QJsonObject Status() const;

private:
    CSimParameter(const QString& sName, EKind eKind, double dDefault, const QString& sDescription);
    bool Convert(const QJsonValue& value, double* pValue, QString* pReason) const;
    QJsonValue ToJson(double dValue) const;
    QString ChoicesText() const;

    QString m_sName;
    EKind m_eKind;
    double m_dDefault;
    double m_dValue;
    double m_dMin = 0.0;
    double m_dMax = 0.0;
    QVector<int> m_choices;
    bool m_bReadOnly = false;
    bool m_bDisabled = false;
    QString m_sDescription;
};

#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

// Common base of the parameter controls. A control binds one device parameter to widgets of the main
// window's widget tree: it keeps the parameter's value and attributes, shows device values in its widgets
// and turns user edits into a ValueChanged signal (declared by each subclass with its own arguments).
// It is a QWidget only to be a QObject: it is never shown and owns none of the widgets it wraps.
class CControlBase : public QWidget
{
    Q_OBJECT

public:
    CControlBase(QString sParamName, QVariant value, QVariant minValue, QVariant maxValue, QVariant stepValue,
        bool bEnabled, bool bReadOnly);

    // Applies the attributes of a configuration record: enabled state first, then the bounds.
    void SetAttributes(
        bool bEnabled, bool bReadOnly, QString sDescription, QVariant minValue, QVariant maxValue);

    // Enables or disables every wrapped widget; the stored enabled/read-only flags are not consulted.
    virtual void EnableControl(bool bEnable) = 0;
    // Re-applies the stored bounds and step to the widgets.
    virtual void UpdateRange();
    // Stores the value and brings the widgets to it; never emits ValueChanged by itself.
    virtual void SetValue(QVariant value) = 0;

    QString ParamName() const { return m_sParamName; }

    QVariant m_value;
    QVariant m_minValue;
    QVariant m_maxValue;

protected:
    bool EnabledByAttributes() const { return m_bEnabled && !m_bReadOnly; }

    QString m_sParamName;
    QString m_sDescription;
    QVariant m_stepValue;
    bool m_bEnabled;
    bool m_bReadOnly;
};

#pragma once

#include "controls/ccontrolbase.h"

#include <QMap>

class QAbstractButton;
class QButtonGroup;

// A parameter chosen from an exclusive group of radio buttons, each standing for one number. Every click
// reports the clicked button's number, also when that button was already checked; device values only
// check the matching button.
class CMultiOption : public CControlBase
{
    Q_OBJECT

public:
    CMultiOption(QButtonGroup* pGroup, QString sParamName,
        const QMap<QAbstractButton*, QVariant>& buttonValues, quint32 value, bool bEnabled, bool bReadOnly);

    void EnableControl(bool bEnable) override;
    void SetValue(QVariant value) override;

signals:
    void ValueChanged(QString sParamName, quint32 value, bool delayedSend);

private slots:
    void buttonClicked(QAbstractButton* pButton);

private:
    QMap<QAbstractButton*, QVariant> m_buttonValues;
};

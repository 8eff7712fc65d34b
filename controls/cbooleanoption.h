#pragma once

#include "controls/cbuttonoption.h"

// A boolean parameter shown as the check state of one check box or push button. Every click reports the
// button's new state, also when it did not change (a push button that is not checkable always reports
// false); device values only set the check state.
class CBooleanOption : public CButtonOption
{
    Q_OBJECT

public:
    CBooleanOption(QButtonGroup* pGroup, QAbstractButton* pButton, QAbstractButton* pSecondButton,
        QString sParamName, bool value, bool bEnabled, bool bReadOnly);

    void SetValue(QVariant value) override;

signals:
    void ValueChanged(QString sParamName, bool value);

private slots:
    void buttonClicked();
    void buttonClicked(QAbstractButton* pButton);
};

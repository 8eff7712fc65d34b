#pragma once

#include "controls/cbuttonoption.h"

// A numeric on/off parameter shown as the check state of one check box or push button. Clicks report 1 or
// 0; a device value is stored as received and checks the button when it is not zero.
class CBinaryOption : public CButtonOption
{
    Q_OBJECT

public:
    CBinaryOption(QButtonGroup* pGroup, QAbstractButton* pButton, QAbstractButton* pSecondButton,
        QString sParamName, quint32 value, bool bEnabled, bool bReadOnly);

    void SetValue(QVariant value) override;

signals:
    void ValueChanged(QString sParamName, quint32 value, bool delayedSend);

private slots:
    void buttonClicked();
    void buttonClicked(QAbstractButton* pButton);
};

#pragma once

#include "controls/ccontrolbase.h"

class QAbstractButton;
class QButtonGroup;

// Shared part of the controls driven by one check box or push button (and an optional second button
// that follows its enabled state). Subclasses declare the buttonClicked() and
// buttonClicked(QAbstractButton*) slots and their own ValueChanged signal.
class CButtonOption : public CControlBase
{
    Q_OBJECT

public:
    void EnableControl(bool bEnable) override;

protected:
    CButtonOption(QAbstractButton* pButton, QAbstractButton* pSecondButton, QString sParamName,
        QVariant value, QVariant minValue, QVariant maxValue, bool bEnabled, bool bReadOnly);

    // Without a group the button's clicked() drives buttonClicked(); with one, the group's
    // buttonClicked(QAbstractButton*) drives the slot of that signature. Call from the subclass
    // constructor, where the subclass's slots are known.
    void ConnectClicks(QButtonGroup* pGroup);
    // Checks or unchecks the button if its state differs; setChecked raises no click, so nothing is echoed.
    void ShowChecked(bool bChecked);

    QAbstractButton* m_pButton;
    QAbstractButton* m_pSecondButton;
};

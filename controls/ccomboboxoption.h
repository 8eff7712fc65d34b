#pragma once

#include "controls/ccomboboxoptions.h"
#include "controls/ccontrolbase.h"

class QComboBox;

// A parameter whose value is one of a fixed list of numbers, shown in a combo box that the control fills
// itself: items in ascending order of value, each carrying its value as Qt::UserRole data. User
// selections are reported; device values only select the matching item.
class CComboBoxOption : public CControlBase
{
    Q_OBJECT

public:
    CComboBoxOption(QComboBox* pComboBox, QString sParamName, const CComboBoxOptions& options, quint32 value,
        bool bEnabled, bool bReadOnly);

    void EnableControl(bool bEnable) override;
    void SetValue(QVariant value) override;

signals:
    void ValueChanged(QString sParamName, quint32 value, bool delayedSend);

private slots:
    void currentIndexChanged(int selectedIndex);

private:
    static void FillComboBox(QComboBox* pComboBox, const CComboBoxOptions& options);

    QComboBox* m_pComboBox;
    QMap<quint32, QString> m_options;
};

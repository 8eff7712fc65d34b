#include "controls/ccomboboxoption.h"

#include <QComboBox>

CComboBoxOption::CComboBoxOption(QComboBox* pComboBox, QString sParamName, const CComboBoxOptions& options,
    quint32 value, bool bEnabled, bool bReadOnly)
    : CControlBase(
        sParamName, QVariant(int(value)), QVariant(0), QVariant(0), QVariant(0), bEnabled, bReadOnly)
    , m_pComboBox(pComboBox)
{
    // Filled before the connection, so filling reports nothing.
    FillComboBox(pComboBox, options);
    connect(pComboBox, SIGNAL(currentIndexChanged(int)), this, SLOT(currentIndexChanged(int)));
    m_options = options.m_options;
    pComboBox->setEnabled(EnabledByAttributes());
}

void CComboBoxOption::EnableControl(bool bEnable) { m_pComboBox->setEnabled(bEnable); }

// The value is stored first, so the selection change it causes finds nothing new to report.
void CComboBoxOption::SetValue(QVariant value)
{
    const quint32 u = value.toUInt();
    m_value = QVariant(u);
    if (!m_options.contains(u) || m_pComboBox->currentData(Qt::UserRole).toUInt() == u)
        return;
    const int nIndex
        = m_pComboBox->findData(QVariant(u), Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (nIndex != -1)
        m_pComboBox->setCurrentIndex(nIndex);
}

void CComboBoxOption::currentIndexChanged(int selectedIndex)
{
    if (selectedIndex == -1)
        return;
    const quint32 u = m_pComboBox->itemData(selectedIndex, Qt::UserRole).toUInt();
    if (!m_options.contains(u) || m_value.toUInt() == u)
        return;
    m_value = QVariant(u);
    emit ValueChanged(m_sParamName, u, false);
}

// QMap iterates its keys in ascending order, so appending keeps the items sorted by value.
void CComboBoxOption::FillComboBox(QComboBox* pComboBox, const CComboBoxOptions& options)
{
    pComboBox->clear();
    pComboBox->setInsertPolicy(QComboBox::InsertAtBottom);
    for (auto it = options.m_options.cbegin(); it != options.m_options.cend(); ++it)
        pComboBox->addItem(it.value(), QVariant(it.key()));
    if (pComboBox->count() > 0)
        pComboBox->setCurrentIndex(options.m_nCurrentIndex);
}

#pragma once

#include <QMap>
#include <QString>

// Option list handed to a combo-box control: value -> label, and the index of the item to make current
// once the combo box is filled (items stand in ascending order of value).
struct CComboBoxOptions
{
    QMap<quint32, QString> m_options;
    int m_nCurrentIndex = 0;
};

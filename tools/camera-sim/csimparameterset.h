#pragma once

#include "csimparameter.h"

#include <QVector>

// The 36 parameters of the camera, in the order the panel registers them, with the camera's own bounds,
// defaults and descriptions.
class CSimParameterSet
{
public:
    CSimParameterSet();

    const QVector<CSimParameter>& All() const { return m_params; }
    // Null for a name the camera does not know; names are case-sensitive.
    CSimParameter* Find(const QString& sName);
    const CSimParameter* Find(const QString& sName) const;
    void ResetToDefaults();

private:
    QVector<CSimParameter> m_params;
};

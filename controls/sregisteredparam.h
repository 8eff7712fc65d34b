#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// A row of the window's registration table as seen from outside the window: the parameter, the object
// names of the form's widgets that show it (a button group by its buttons) and how it is registered.
struct SRegisteredParam
{
    QString sParamName;
    QStringList widgetNames;
    bool bNumber; // a slider and spin-box pair, or a spin box alone
    bool bReadOnly;
    bool bHidden;
};

// The rows of the registration table, in registration order, read from a form of the window's own.
std::vector<SRegisteredParam> RegisteredParams();

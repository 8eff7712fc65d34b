#pragma once

#include "controls/ccontrolbase.h"

#include <QMap>
#include <QString>

// Parameter name (case-sensitive) to control. The map owns its controls and deletes them when it goes.
class CControlsMap : public QMap<QString, CControlBase*>
{
public:
    CControlsMap() = default;
    CControlsMap(const CControlsMap&) = delete;
    CControlsMap& operator=(const CControlsMap&) = delete;
    virtual ~CControlsMap();

    // Deletes every control and empties the map.
    void DeleteAll();
};

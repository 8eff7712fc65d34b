#include "controls/ccontrolsmap.h"

CControlsMap::~CControlsMap() { DeleteAll(); }

void CControlsMap::DeleteAll()
{
    for (CControlBase* pControl : qAsConst(*this))
        delete pControl;
    clear();
}

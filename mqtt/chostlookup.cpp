#include "mqtt/chostlookup.h"

#include <QHostInfo>

CHostLookup::CHostLookup(const QString& sHostName, Callback callback)
    : m_callback(std::move(callback))
{
    // The slot-by-name form: an aborted lookup of the functor form leaks its functor in Qt 5.
    m_nLookupId = QHostInfo::lookupHost(sHostName, this, SLOT(LookedUp(QHostInfo)));
}

CHostLookup::~CHostLookup()
{
    if (m_nLookupId != -1)
        QHostInfo::abortHostLookup(m_nLookupId);
}

void CHostLookup::LookedUp(const QHostInfo& info)
{
    m_nLookupId = -1;
    m_callback(info.error() == QHostInfo::NoError ? info.addresses() : QList<QHostAddress>());
}

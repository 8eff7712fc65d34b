#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <functional>

class QHostInfo;

// Resolves one host name on Qt's resolver threads and hands the addresses (none on failure) to a callback
// from the event loop. Deleting the object abandons the lookup: the callback is not called afterwards.
class CHostLookup : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const QList<QHostAddress>& addresses)>;

    CHostLookup(const QString& sHostName, Callback callback);
    ~CHostLookup() override;

private slots:
    void LookedUp(const QHostInfo& info);

private:
    int m_nLookupId = -1;
    Callback m_callback;
};

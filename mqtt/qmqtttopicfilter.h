#pragma once

#include "mqtt/qmqtttopicname.h"

#include <QMetaType>
#include <QString>

// A subscription filter: a topic that may hold the wildcards "+" (one level) and "#" (the rest).
class QMqttTopicFilter
{
public:
    QMqttTopicFilter(const QString& filter = QString());
    QMqttTopicFilter(const QLatin1String& filter);

    QString filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    bool isValid() const;
    bool match(const QMqttTopicName& name) const;

    friend bool operator==(const QMqttTopicFilter& lhs, const QMqttTopicFilter& rhs)
    {
        return lhs.m_filter == rhs.m_filter;
    }
    friend bool operator!=(const QMqttTopicFilter& lhs, const QMqttTopicFilter& rhs) { return !(lhs == rhs); }
    friend bool operator<(const QMqttTopicFilter& lhs, const QMqttTopicFilter& rhs)
    {
        return lhs.m_filter < rhs.m_filter;
    }

private:
    QString m_filter;
};

Q_DECLARE_METATYPE(QMqttTopicFilter)

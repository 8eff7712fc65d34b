#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

// The name of a topic a message is published on: no wildcards, not empty.
class QMqttTopicName
{
public:
    QMqttTopicName(const QString& name = QString());
    QMqttTopicName(const QLatin1String& name);

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    bool isValid() const;
    int levelCount() const;
    QStringList levels() const;

    friend bool operator==(const QMqttTopicName& lhs, const QMqttTopicName& rhs)
    {
        return lhs.m_name == rhs.m_name;
    }
    friend bool operator!=(const QMqttTopicName& lhs, const QMqttTopicName& rhs) { return !(lhs == rhs); }
    friend bool operator<(const QMqttTopicName& lhs, const QMqttTopicName& rhs)
    {
        return lhs.m_name < rhs.m_name;
    }

private:
    QString m_name;
};

Q_DECLARE_METATYPE(QMqttTopicName)

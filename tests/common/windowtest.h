#pragma once

#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTest>

// Plays the camera in window tests: a second MQTT client on the test's broker that publishes what the
// device would and records the messages it receives.
class TestDevice
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
    };

    TestDevice()
    {
        QObject::connect(&m_client, &QMqttClient::messageReceived, &m_client,
            [this](const QByteArray& payload, const QMqttTopicName& topic) {
                m_messages.append({ topic.name(), payload });
            });
    }

    // Connect, or subscribe, and wait up to 5 s for the broker's answer.
    bool connectTo(const MosquittoBroker& broker)
    {
        m_client.setHostname(broker.host());
        m_client.setPort(broker.port());
        m_client.connectToHost();
        return QTest::qWaitFor([this] { return m_client.state() == QMqttClient::Connected; }, 5000);
    }
    bool listen(const QString& sFilter)
    {
        QMqttSubscription* pSubscription = m_client.subscribe(QMqttTopicFilter(sFilter));
        return pSubscription
            && QTest::qWaitFor(
                [pSubscription] { return pSubscription->state() == QMqttSubscription::Subscribed; }, 5000);
    }

    void publish(const QString& sTopic, const QByteArray& payload, bool bRetain = false)
    {
        m_client.publish(QMqttTopicName(sTopic), payload, 0, bRetain);
    }
    QList<Message> messages() const { return m_messages; }
    void clear() { m_messages.clear(); }
    QMqttClient& client() { return m_client; }

private:
    QMqttClient m_client;
    QList<Message> m_messages;
};

// A widget of the window's form by its object name.
template<typename T>
T* Widget(const QWidget* pWindow, const char* sName)
{
    return pWindow->findChild<T*>(QLatin1String(sName));
}

// The lines of the message pane.
inline QStringList PaneLines(const QWidget* pWindow)
{
    return Widget<QPlainTextEdit>(pWindow, "teMessages")->toPlainText().split(QLatin1Char('\n'));
}

// Fills the address fields with the broker's and presses Connect.
inline void ClickConnect(QWidget& window, const MosquittoBroker& broker)
{
    Widget<QLineEdit>(&window, "leBrokerURL")->setText(broker.host());
    Widget<QLineEdit>(&window, "leBrokerPort")->setText(QString::number(broker.port()));
    Widget<QAbstractButton>(&window, "btnConnect")->click();
}

// The settings file that windows read from now on, holding the broker address given and nothing else.
inline bool WriteSettingsFile(const QJsonObject& brokerAddress)
{
    const QString sFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/"
        + QCoreApplication::applicationName();
    const QByteArray text = QJsonDocument(QJsonObject { { "broker_address", brokerAddress } }).toJson();
    QFile file(sFolder + "/UCControlConfig.json");
    return QDir().mkpath(sFolder) && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

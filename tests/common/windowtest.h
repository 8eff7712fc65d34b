#pragma once

#include "mqtt/qmqttclient.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

class CKavroParam;
class MainWindow;
class MosquittoBroker;

// Plays the camera in window tests: a second MQTT client on the test's broker that publishes what the
// device would and records, with their arrival time, the messages the window publishes.
class TestDevice : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        qint64 nAtMs; // on clock()
    };

    explicit TestDevice(QObject* parent = nullptr);

    // Connects and waits for the broker's answer; false when it does not come within 5 s.
    bool connectTo(const MosquittoBroker& broker);
    // Subscribes and waits until the broker has confirmed the subscription.
    bool listen(const QString& sFilter);
    void publish(const QString& sTopic, const QByteArray& payload, bool bRetain = false);
    // Reports connection_status on the status topic, retained so that a window that subscribes later
    // gets it at once.
    void reportStatus(const QByteArray& value);

    QList<Message> messages() const { return m_messages; }
    QList<QByteArray> payloads() const;
    void clear() { m_messages.clear(); }
    QElapsedTimer& clock() { return m_clock; }
    QMqttClient& client() { return m_client; }

private:
    QMqttClient m_client;
    QList<Message> m_messages;
    QElapsedTimer m_clock;
};

// A widget of the window's form by its object name.
template<typename T>
T* Widget(const QWidget* pWindow, const char* sName)
{
    return pWindow->findChild<T*>(QLatin1String(sName));
}

// Object names of the widgets that the 36 parameter controls wrap, in registration order.
QStringList ControlWidgetNames();

// The lines of the message pane.
QStringList PaneLines(const QWidget* pWindow);

// A record as the link makes it from one parameter object of a JSON payload.
CKavroParam* Record(const QByteArray& json);

// Hands the window one record of the device's configuration topic, or of its status topic, as the link does.
void ConfigRecord(MainWindow& window, const QString& paramName, const QByteArray& json);
void StatusRecord(MainWindow& window, const QString& paramName, const QByteArray& json);

// Fills the address fields with the broker's and presses Connect.
void ClickConnect(MainWindow& window, const MosquittoBroker& broker);

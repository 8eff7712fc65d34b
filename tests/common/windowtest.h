#pragma once

#include "app/mainwindow.h"
#include "modalboxcloser.h"
#include "model/ckavroparam.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

// The boxes of the connection panel, as "title | text".
const QString kCheck = QStringLiteral("Please check the MQTT broker/Kavro device");
const QString kAborted = QStringLiteral("Connection Status | Connection to MQTT Broker aborted.");
const QString kTerminated = QStringLiteral("Connection Status | Connection to MQTT Broker terminated.");
const QString kFailed = "Connection Status | Connection to MQTT Broker failed.\n" + kCheck;
const QString kLost = "Connection Alert | Disconnected from MQTT broker" + kCheck;
// The device's report of itself that completes a connection.
const QByteArray kActive = R"({"connection_status":{"value":"active"}})";

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
        QMqttSubscription* pSub = m_client.subscribe(QMqttTopicFilter(sFilter));
        return pSub
            && QTest::qWaitFor([pSub] { return pSub->state() == QMqttSubscription::Subscribed; }, 5000);
    }

    void publish(const QString& sTopic, const QByteArray& payload, bool bRetain = false)
    {
        m_client.publish(QMqttTopicName(sTopic), payload, 0, bRetain);
    }
    QList<Message> messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

    // The payload of the last message on the topic; empty if none came.
    QByteArray last(const QString& sTopic) const
    {
        const auto it = std::find_if(m_messages.crbegin(), m_messages.crend(),
            [&sTopic](const Message& message) { return message.topic == sTopic; });
        return it == m_messages.crend() ? QByteArray() : it->payload;
    }
    // The value in the camera's last status report of the parameter.
    QJsonValue reported(const QString& sName) const
    {
        return QJsonDocument::fromJson(last("/hdr/status/parameters/" + sName))[sName]["value"];
    }
    // The payloads of what the panels have published, in order.
    QStringList commands() const
    {
        QStringList commands;
        for (const Message& message : m_messages)
            if (message.topic.startsWith("/hdr/set/"))
                commands << message.payload;
        return commands;
    }
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

// The text a widget of the window shows.
inline QString Text(const QWidget* pWindow, const char* sName)
{
    return pWindow->findChild<QWidget*>(sName)->property("text").toString();
}

inline void Click(const QWidget* pWindow, const char* sName)
{
    Widget<QAbstractButton>(pWindow, sName)->click();
}

// The lines of the message pane.
inline QStringList PaneLines(const QWidget* pWindow)
{
    return Widget<QPlainTextEdit>(pWindow, "teMessages")->toPlainText().split(QLatin1Char('\n'));
}

// Fills the address fields and presses Connect.
inline void ClickConnect(QWidget& window, const QString& sHost, quint16 nPort)
{
    Widget<QLineEdit>(&window, "leBrokerURL")->setText(sHost);
    Widget<QLineEdit>(&window, "leBrokerPort")->setText(QString::number(nPort));
    Click(&window, "btnConnect");
}

// A file dialog of the window's that chooses sPath.
inline MainWindow::FileDialog Choose(const QString& sPath)
{
    return [sPath](QWidget*, const QString&, const QString&, const QString&) { return sPath; };
}

// A record as the link makes it from one parameter's JSON object.
inline CKavroParam* Record(const QByteArray& json)
{
    auto* pRecord = new CKavroParam;
    pRecord->FromJson(QJsonDocument::fromJson(json).object());
    return pRecord;
}

// The window's application folder: its settings file and its logs.
inline QString AppFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/" + qAppName();
}
inline QString SettingsPath() { return AppFolder() + "/UCControlConfig.json"; }

inline QByteArray ReadFile(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteFile(const QString& sPath, const QByteArray& data)
{
    QFile file(sPath);
    return QDir().mkpath(QFileInfo(sPath).path()) && file.open(QIODevice::WriteOnly)
        && file.write(data) == data.size();
}

// The settings file that windows read from now on, holding the broker address given and nothing else.
inline bool WriteSettingsFile(const QJsonObject& brokerAddress)
{
    return WriteFile(
        SettingsPath(), QJsonDocument(QJsonObject { { "broker_address", brokerAddress } }).toJson());
}

#ifdef Q_OS_WIN
// Windows has no limit on the size of a process's files: the rows that fill the disk are left out there.
constexpr bool kDiskCanFill = false;
using rlim_t = quint64;
constexpr rlim_t RLIM_INFINITY = ~rlim_t(0);
inline void LimitFileSize(rlim_t) { }
#else
constexpr bool kDiskCanFill = true;

// Lets no file grow beyond nBytes, as on a full disk; RLIM_INFINITY lifts the limit.
inline void LimitFileSize(rlim_t nBytes)
{
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = qMin(nBytes, limit.rlim_max);
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

// Gives a text view a new, empty document: cleared, a document would keep the capacity it once needed. The
// view deletes the document it made before.
inline void EmptyTextView(QPlainTextEdit* pEdit)
{
    const bool bUndoRedo = pEdit->isUndoRedoEnabled();
    pEdit->setDocument(nullptr);
    pEdit->setUndoRedoEnabled(bUndoRedo);
}

// The set-up the window tests share: a private broker with the test's device on it, which records what the
// windows publish ("<topic> <payload>" in m_received) and answers a capture request with m_onCapture; a
// closer for the windows' boxes.
class WindowTest : public QObject
{
protected:
    WindowTest()
    {
        connect(&m_device.client(), &QMqttClient::messageReceived, this,
            [this](const QByteArray& payload, const QMqttTopicName& topic) {
                m_received << topic.name().toUtf8() + " " + payload;
                if (payload.startsWith("{\"capture\"") && m_onCapture)
                    m_onCapture();
            });
    }

    // Starts the broker (again) and connects the device, which retains config as its configuration.
    bool StartDevice(const QByteArray& config)
    {
        if (!m_broker.start())
            qWarning("%s", qPrintable(m_broker.errorString()));
        else if (m_device.client().state() == QMqttClient::Connected
            || (m_device.connectTo(m_broker) && m_device.listen("/hdr/set/#")))
            m_device.publish("/hdr/config/parameters", config, true);
        return m_device.client().state() == QMqttClient::Connected;
    }
    // Connects the window unless it is connected, and plays the device's report of itself until the window
    // shows the connection established.
    bool Establish(QWidget& window)
    {
        if (Text(&window, "btnConnect") == "Connect")
            ClickConnect(window, m_broker.host(), m_broker.port());
        QTimer reports;
        connect(&reports, &QTimer::timeout, this,
            [this] { m_device.publish("/hdr/status/parameters/connection", kActive); });
        reports.start(200);
        return QTest::qWaitFor([&window] { return Text(&window, "btnConnect") == "Disconnect"; }, 15000);
    }
    // True once the window has handled everything the device published before: the device sends a log line
    // after it, and the window shows that line.
    bool Handled(QWidget& window, int nTimeoutMs = 10000)
    {
        const QString sMarker = QStringLiteral("handled up to here %1").arg(++m_nMarkers);
        m_device.publish("/hdr/status/logs", sMarker.toUtf8());
        return QTest::qWaitFor([&] { return PaneLines(&window).contains(sMarker); }, nTimeoutMs);
    }

    MosquittoBroker m_broker;
    TestDevice m_device;
    ModalBoxCloser m_closer;
    QList<QByteArray> m_received;
    std::function<void()> m_onCapture;
    int m_nMarkers = 0;
};

#pragma once

#include "model/ckavroparam.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>
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

    // The payload of the last message on the topic; empty if none came.
    QByteArray last(const QString& sTopic) const
    {
        for (auto it = m_messages.crbegin(); it != m_messages.crend(); ++it) {
            if (it->topic == sTopic)
                return it->payload;
        }
        return QByteArray();
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
        for (const Message& message : m_messages) {
            if (message.topic.startsWith("/hdr/set/"))
                commands << message.payload;
        }
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

// Fills the address fields with the broker's and presses Connect.
inline void ClickConnect(QWidget& window, const MosquittoBroker& broker)
{
    Widget<QLineEdit>(&window, "leBrokerURL")->setText(broker.host());
    Widget<QLineEdit>(&window, "leBrokerPort")->setText(QString::number(broker.port()));
    Widget<QAbstractButton>(&window, "btnConnect")->click();
}

// Connects the window to the broker unless it is connected, and plays the device's report of itself until
// the window shows the connection established.
inline bool Establish(QWidget& window, const MosquittoBroker& broker, TestDevice& device)
{
    auto* pButton = Widget<QAbstractButton>(&window, "btnConnect");
    if (pButton->text() == QLatin1String("Connect"))
        ClickConnect(window, broker);
    QElapsedTimer sinceReport;
    return QTest::qWaitFor(
        [&] {
            if (pButton->text() == QLatin1String("Disconnect"))
                return true;
            if (!sinceReport.isValid() || sinceReport.elapsed() > 200) {
                device.publish(
                    "/hdr/status/parameters/connection", R"({"connection_status":{"value":"active"}})");
                sinceReport.start();
            }
            return false;
        },
        15000);
}

// True once the window has handled everything the device published before: the device sends a log line
// after it, and the window shows that line.
inline bool InboundHandled(QWidget& window, TestDevice& device, int nTimeoutMs = 10000)
{
    static int s_nMarkers = 0;
    const QString sMarker = QStringLiteral("handled up to here %1").arg(++s_nMarkers);
    device.publish("/hdr/status/logs", sMarker.toUtf8());
    return QTest::qWaitFor([&] { return PaneLines(&window).contains(sMarker); }, nTimeoutMs);
}

// A record as the link makes it from one parameter's JSON object.
inline CKavroParam* Record(const QByteArray& json)
{
    auto* pRecord = new CKavroParam;
    pRecord->FromJson(QJsonDocument::fromJson(json).object());
    return pRecord;
}

// The window's application folder: its settings file and its logs.
inline QString DocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
inline QString AppFolder() { return DocumentsFolder() + "/" + QCoreApplication::applicationName(); }

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

// Gives a text view a new, empty document. Cleared, a document would keep the capacity it once needed; the
// view deletes the document it made itself when it gets another, and the one given earlier is deleted here.
inline void EmptyTextView(QPlainTextEdit* pEdit)
{
    QTextDocument* pOld = pEdit->document();
    const bool bGivenEarlier = pOld->parent() == pEdit;
    auto* pDocument = new QTextDocument(pEdit);
    pDocument->setDocumentLayout(new QPlainTextDocumentLayout(pDocument));
    pDocument->setUndoRedoEnabled(pOld->isUndoRedoEnabled());
    pEdit->setDocument(pDocument);
    if (bGivenEarlier)
        delete pOld;
}

// The settings file as Connect to 127.0.0.1:1883 writes it where there was none.
const QByteArray kSavedSettings = "{\n    \"broker_address\": {\n        \"port\": \"1883\",\n"
                                  "        \"url\": \"127.0.0.1\"\n    }\n}\n";

inline QString SettingsPath() { return AppFolder() + "/UCControlConfig.json"; }

// The start of the box for a settings file that does not parse (the parser's reason follows), and of the
// box for one that cannot be saved. They name the file as the window does: its folder in the platform's
// notation, the file name after a slash.
inline QString SettingsPathShown() { return QDir::toNativeSeparators(AppFolder()) + "/UCControlConfig.json"; }
inline QString LoadErrorBox()
{
    return "Load Configuration | \n\nError loading config json file:\n\n" + SettingsPathShown() + "\n\n";
}
inline QString SaveErrorBox()
{
    return "Save Configuration | Error opening config json file to save:\n\n" + SettingsPathShown();
}

// True if the boxes shown are as many as expected and each starts with the text expected for it.
inline bool BoxesStartWith(const QStringList& boxes, const QStringList& expected)
{
    for (int i = 0; i < boxes.size() && boxes.size() == expected.size(); ++i) {
        if (!boxes.at(i).startsWith(expected.at(i)))
            return false;
    }
    return boxes.size() == expected.size();
}

// The settings file that windows read from now on, holding the broker address given and nothing else.
inline bool WriteSettingsFile(const QJsonObject& brokerAddress)
{
    return WriteFile(
        SettingsPath(), QJsonDocument(QJsonObject { { "broker_address", brokerAddress } }).toJson());
}

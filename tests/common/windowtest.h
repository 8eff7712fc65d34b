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

// The settings file that windows read from now on, holding the broker address given and nothing else.
inline bool WriteSettingsFile(const QJsonObject& brokerAddress)
{
    return WriteFile(AppFolder() + "/UCControlConfig.json",
        QJsonDocument(QJsonObject { { "broker_address", brokerAddress } }).toJson());
}

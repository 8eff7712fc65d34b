// Fuzzed device traffic through the whole inbound path into a real main window, built once with its
// controls registered. An input is a series of messages separated by lines "==", each its topic on the first
// line and its payload after it. A message goes, as the broker would deliver it, to every subscription of the
// built-in configuration whose filter matches its topic; from there the link decodes it into records for the
// window's DataUpdate and raw data for its MessageUpdate: connection and capture status, configuration
// records that change bounds, parameter uploads, capture buffers on any sub-topic, and log text.
#include "app/mainwindow.h"
#include "cfuzzenvironment.h"
#include "link/ckavrocomm.h"
#include "link/ckavrosubscription.h"
#include "model/ckavroparam.h"
#include "mqtt/qmqtttopicfilter.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <vector>

namespace {

// The window with its own link, and the subscriptions of the built-in configuration feeding that link as
// the link's own would once connected. The message pane and the configuration viewer keep only their last
// lines, so that a long run is not slowed down by what earlier inputs left there.
class CInboundPath
{
public:
    CInboundPath()
    {
        for (const char* sPane : { "teMessages", "teConfigData" })
            m_window.findChild<QPlainTextEdit*>(QLatin1String(sPane))->setMaximumBlockCount(200);
        QFile defaults(QStringLiteral(":/default-config.json"));
        defaults.open(QIODevice::ReadOnly);
        const QJsonObject config = QJsonDocument::fromJson(defaults.readAll())["mqtt_config"].toObject();
        auto* pLink = m_window.findChild<CKavroComm*>();
        for (const bool bRaw : { false, true }) {
            const QJsonObject topics = config[bRaw ? "subscribe_topics_raw" : "subscribe_topics"].toObject();
            for (auto it = topics.constBegin(); it != topics.constEnd(); ++it) {
                auto pSubscription = std::make_unique<CKavroSubscription>();
                pSubscription->Subscribe(it.key(), it.value().toString(), nullptr, bRaw);
                QObject::connect(pSubscription.get(), &CKavroSubscription::SubscriptionMessage, pLink,
                    &CKavroComm::ReceiveSubscriptionMessage);
                m_subscriptions.emplace_back(
                    QMqttTopicFilter(it.value().toString()), std::move(pSubscription));
            }
        }
    }

    void Deliver(const QByteArray& topic, const QByteArray& payload)
    {
        // The broker delivers only valid UTF-8 topic names without wildcards.
        const QString sTopic = QString::fromUtf8(topic);
        const QMqttTopicName name(sTopic);
        if (sTopic.toUtf8() != topic || !name.isValid())
            return;
        const QMqttMessage message(name, payload);
        for (const auto& pSubscription : m_subscriptions) {
            if (pSubscription.first.match(name))
                QMetaObject::invokeMethod(pSubscription.second.get(), "ReceiveSubscriptionMessage",
                    Qt::DirectConnection, Q_ARG(QMqttMessage, message));
        }
    }

private:
    MainWindow m_window;
    std::vector<std::pair<QMqttTopicFilter, std::unique_ptr<CKavroSubscription>>> m_subscriptions;
};

// The capture dialog keeps its files in the folder that is current when the window is built: the home.
CInboundPath* MakePath()
{
    const QString sWorkingFolder = QDir::currentPath();
    QDir::setCurrent(CFuzzEnvironment::Home());
    auto* pPath = new CInboundPath;
    QDir::setCurrent(sWorkingFolder);
    return pPath;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static CInboundPath* s_pPath = MakePath();
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(pData), int(nSize));
    const QByteArray separator("\n==\n");
    for (int nStart = 0; nStart <= input.size();) {
        int nEnd = input.indexOf(separator, nStart);
        if (nEnd < 0)
            nEnd = input.size();
        const QByteArray message = input.mid(nStart, nEnd - nStart);
        const int nTopicEnd = message.indexOf('\n');
        s_pPath->Deliver(message.left(nTopicEnd), nTopicEnd < 0 ? QByteArray() : message.mid(nTopicEnd + 1));
        nStart = nEnd + separator.size();
    }
    CFuzzEnvironment::ProcessEvents();
    return 0;
}

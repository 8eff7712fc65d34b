// Measures the two hot paths of inbound traffic: the link splitting a status message of all 36 parameters
// into records, and a large capture buffer travelling from a publisher through a local mosquitto to a
// subscriber. Prints medians of repeated runs; start it by hand, it is not part of the test suite.
#include "benchsystem.h"
#include "link/ckavrocomm.h"
#include "model/ckavroparam.h"
#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double MedianMs(int nRuns, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < nRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QByteArray StatusMessage()
{
    QJsonObject message;
    for (int i = 0; i < 36; ++i)
        message.insert(QStringLiteral("param%1").arg(i),
            QJsonObject {
                { "value", i * 0.25 }, { "min-value", -8 }, { "max-value", 16.66 }, { "disabled", false } });
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

void BenchDecoding()
{
    CKavroComm link;
    int nRecords = 0;
    QObject::connect(
        &link, &CKavroComm::DataUpdate, [&nRecords](QString, QString, QString, QString, CKavroParam* pParam) {
            ++nRecords;
            delete pParam;
        });
    const QByteArray message = StatusMessage();
    const double dMs = MedianMs(2000, [&] {
        link.ReceiveSubscriptionMessage("params_status", "/hdr/status/parameters", "", message, false);
    });
    std::printf("decode 36-parameter status message (%d bytes): median %.3f ms (%d records)\n",
        int(message.size()), dMs, nRecords);
}

void BenchLargePayload(quint16 nPort)
{
    QMqttClient publisher;
    QMqttClient subscriber;
    for (QMqttClient* pClient : { &publisher, &subscriber }) {
        pClient->setHostname(QStringLiteral("127.0.0.1"));
        pClient->setPort(nPort);
        pClient->connectToHost();
    }
    if (!BenchSystem::WaitFor(
            [&] {
                return publisher.state() == QMqttClient::Connected
                    && subscriber.state() == QMqttClient::Connected;
            },
            5000))
        return void(std::printf("large payload: clients did not connect\n"));
    QMqttSubscription* pSubscription = subscriber.subscribe(QStringLiteral("/bench/capture/#"));
    if (!pSubscription
        || !BenchSystem::WaitFor(
            [&] { return pSubscription->state() == QMqttSubscription::Subscribed; }, 5000))
        return void(std::printf("large payload: subscription failed\n"));

    for (int nMiB : { 1, 16 }) {
        const QByteArray payload(nMiB * 1024 * 1024, '\x5a');
        const double dMs = MedianMs(9, [&] {
            bool bReceived = false;
            auto connection = QObject::connect(pSubscription, &QMqttSubscription::messageReceived,
                [&bReceived](const QMqttMessage&) { bReceived = true; });
            publisher.publish(QStringLiteral("/bench/capture/t1"), payload);
            BenchSystem::WaitFor([&] { return bReceived; }, 30000);
            QObject::disconnect(connection);
        });
        std::printf("publish -> broker -> subscriber, %d MiB: median %.1f ms (%.0f MiB/s)\n", nMiB, dMs,
            nMiB / (dMs / 1000));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    BenchDecoding();
    MosquittoBroker broker;
    if (!broker.start()) {
        std::printf("broker did not start: %s\n", qPrintable(broker.errorString()));
        return 1;
    }
    BenchLargePayload(broker.port());
    return 0;
}

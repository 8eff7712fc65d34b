#pragma once

#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

// Small waits shared by the MQTT tests; each returns false when the expected state does not come.
namespace MqttTestSupport {

constexpr int kTimeoutMs = 15000;

inline bool WaitForState(
    const QMqttClient& client, QMqttClient::ClientState state, int nTimeoutMs = kTimeoutMs)
{
    return QTest::qWaitFor([&] { return client.state() == state; }, nTimeoutMs);
}

inline bool ConnectTo(QMqttClient& client, const MosquittoBroker& broker)
{
    client.setHostname(broker.host());
    client.setPort(broker.port());
    client.connectToHost();
    return WaitForState(client, QMqttClient::Connected);
}

inline bool WaitForSubscribed(const QMqttSubscription* pSubscription)
{
    return pSubscription
        && QTest::qWaitFor(
            [&] { return pSubscription->state() == QMqttSubscription::Subscribed; }, kTimeoutMs);
}

// A loopback port with nothing listening on it.
inline quint16 UnusedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// The states a spy on a stateChanged signal has recorded, as numbers.
inline QList<int> States(const QSignalSpy& spy)
{
    QList<int> states;
    for (const QList<QVariant>& arguments : spy)
        states.append(arguments.at(0).toInt());
    return states;
}

} // namespace MqttTestSupport

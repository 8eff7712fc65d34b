#pragma once

#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QtTest>

// Connects a client to the test broker and waits for the broker's answer.
inline bool ConnectToBroker(QMqttClient& client, const MosquittoBroker& broker)
{
    client.setHostname(broker.host());
    client.setPort(broker.port());
    client.connectToHost();
    return QTest::qWaitFor([&client] { return client.state() == QMqttClient::Connected; }, 5000);
}

// Waits until the broker has acknowledged a subscription.
inline bool WaitSubscribed(QMqttSubscription* pSubscription)
{
    return pSubscription
        && QTest::qWaitFor(
            [pSubscription] { return pSubscription->state() == QMqttSubscription::Subscribed; }, 5000);
}

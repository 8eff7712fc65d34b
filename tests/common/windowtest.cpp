#include "windowtest.h"

#include "app/mainwindow.h"
#include "model/ckavroparam.h"
#include "mosquittobroker.h"

#include <QJsonDocument>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

TestDevice::TestDevice(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    connect(&m_client, &QMqttClient::messageReceived, this,
        [this](const QByteArray& payload, const QMqttTopicName& topic) {
            m_messages.append({ topic.name(), payload, m_clock.elapsed() });
        });
}

bool TestDevice::connectTo(const MosquittoBroker& broker)
{
    m_client.setHostname(broker.host());
    m_client.setPort(broker.port());
    QSignalSpy connected(&m_client, &QMqttClient::connected);
    m_client.connectToHost();
    return m_client.state() == QMqttClient::Connected || connected.wait(5000);
}

bool TestDevice::listen(const QString& sFilter)
{
    QMqttSubscription* pSubscription = m_client.subscribe(QMqttTopicFilter(sFilter));
    if (!pSubscription)
        return false;
    QSignalSpy stateChanged(pSubscription, &QMqttSubscription::stateChanged);
    while (pSubscription->state() != QMqttSubscription::Subscribed) {
        if (pSubscription->state() == QMqttSubscription::Error || !stateChanged.wait(5000))
            return false;
    }
    return true;
}

void TestDevice::publish(const QString& sTopic, const QByteArray& payload, bool bRetain)
{
    m_client.publish(QMqttTopicName(sTopic), payload, 0, bRetain);
}

void TestDevice::reportStatus(const QByteArray& value)
{
    publish(QStringLiteral("/hdr/status/parameters/connection"),
        "{\"connection_status\":{\"value\":\"" + value + "\"}}", true);
}

QList<QByteArray> TestDevice::payloads() const
{
    QList<QByteArray> result;
    for (const Message& message : m_messages)
        result << message.payload;
    return result;
}

QStringList ControlWidgetNames()
{
    return QStringLiteral(
        "tonemapCB midBoostCB deltaEvCB accmCB unityButton sysFreq50RB sysFreq60RB autoGainButton "
        "flipImageCB "
        "sensorGainSlider sensorGainSpinBox exposureSlider exposureSpinBox brightnessSlider "
        "brightnessSpinBox "
        "gammaSlider gammaSpinBox detailSlider detailSpinBox saturationSlider saturationSpinBox "
        "blueYellowSlider "
        "blueYellowSpinBox greenRedSlider greenRedSpinBox blackFixSlider blackFixSpinBox vgCompSlider "
        "vgCompSpinBox "
        "AESpeedSlider AESpeedSpinBox awbCB highlightsCmbBox autoExpCB longExpCB lfmExpCB deltMaxSpinBox "
        "whtLvlSpinBox blkLvlSpinBox denoiseEnableCB yThreshSlider yThreshSpinBox crcbThreshSlider "
        "crcbThreshSpinBox histoEnButton histoColorCmbBox histoFoiCmbBox histoLocCmbBox wSlider wSpinBox "
        "blackLevelSlider blackLevelSpinBox")
        .split(QLatin1Char(' '));
}

QStringList PaneLines(const QWidget* pWindow)
{
    return Widget<QPlainTextEdit>(pWindow, "teMessages")->toPlainText().split(QLatin1Char('\n'));
}

CKavroParam* Record(const QByteArray& json)
{
    auto* pRecord = new CKavroParam;
    pRecord->FromJson(QJsonDocument::fromJson(json).object());
    return pRecord;
}

void ConfigRecord(MainWindow& window, const QString& paramName, const QByteArray& json)
{
    window.DataUpdate("params_config", "/hdr/config", "parameters", paramName, Record(json));
}

void StatusRecord(MainWindow& window, const QString& paramName, const QByteArray& json)
{
    window.DataUpdate("params_status", "/hdr/status/parameters", "", paramName, Record(json));
}

void ClickConnect(MainWindow& window, const MosquittoBroker& broker)
{
    Widget<QLineEdit>(&window, "leBrokerURL")->setText(broker.host());
    Widget<QLineEdit>(&window, "leBrokerPort")->setText(QString::number(broker.port()));
    Widget<QPushButton>(&window, "btnConnect")->click();
}

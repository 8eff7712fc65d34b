#include "csimdevice.h"

#include "csimtestpattern.h"
#include "kavrotopics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QVector>
#include <QtDebug>
#include <cmath>

namespace {

const QString kConnectionStatus = QStringLiteral("connection_status");
const QString kCapture = QStringLiteral("capture");
const QString kValue = QStringLiteral("value");

constexpr int kCaptureDone = 0;
constexpr int kCaptureFailed = 255;
constexpr int kCaptureSensor = 1;
constexpr int kCaptureHdmi = 2;

QByteArray Compact(const QJsonObject& obj) { return QJsonDocument(obj).toJson(QJsonDocument::Compact); }

// A parameter message carries {"name":{"value":v}}; a hand-made file may say {"name":v}.
QJsonValue ValueOf(const QJsonValue& member)
{
    return member.isObject() ? member.toObject().value(kValue) : member;
}

bool ParseMembers(const QString& sTopic, const QByteArray& payload, QJsonObject* pMembers)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning().noquote() << QStringLiteral("ignored %1 bytes on %2: %3 at offset %4")
                                    .arg(payload.size())
                                    .arg(sTopic, error.errorString())
                                    .arg(error.offset);
        return false;
    }
    if (!doc.isObject()) {
        qWarning().noquote() << QStringLiteral("ignored a message on %1: not a JSON object").arg(sTopic);
        return false;
    }
    *pMembers = doc.object();
    return true;
}

QJsonObject InfoRecord(
    const QString& sFirstKey, const QString& sFirst, const QString& sSecondKey, const QString& sSecond)
{
    return QJsonObject { { sFirstKey, sFirst }, { sSecondKey, sSecond } };
}

} // namespace

CSimDevice::CSimDevice(const QString& sSensorModel, bool bFailCapture, QObject* pParent)
    : QObject(pParent)
    , m_sSensorModel(sSensorModel)
    , m_bFailCapture(bFailCapture)
{ }

QStringList CSimDevice::CommandTopics() { return { kParamsSetTopic, kControlSetTopic }; }

QString CSimDevice::ConnectionStatusTopic() { return kStatusPrefix + kConnectionStatus; }

QByteArray CSimDevice::ConnectionStatusMessage(const QString& sStatus)
{
    return Compact({ { kConnectionStatus, QJsonObject { { kValue, sStatus } } } });
}

void CSimDevice::Announce()
{
    emit Publish(kConfigTopic, Compact(DescriptionMessage()), true);
    for (const CSimParameter& param : m_params.All())
        ReportValue(param);
    emit Publish(ConnectionStatusTopic(), ConnectionStatusMessage(QStringLiteral("active")), true);
}

void CSimDevice::PublishOffline()
{
    emit Publish(ConnectionStatusTopic(), ConnectionStatusMessage(QStringLiteral("offline")), true);
}

QJsonObject CSimDevice::DescriptionMessage() const
{
    QJsonObject message;
    for (const CSimParameter& param : m_params.All())
        message.insert(param.Name(), param.Description());
    message.insert(QStringLiteral("fpga"), InfoRecord("version", "3.2.1", "date", "2024-03-18"));
    message.insert(QStringLiteral("software_version"), InfoRecord("version", "1.8.0", "date", "2024-05-02"));
    message.insert(QStringLiteral("board_type"), InfoRecord("type", "KHB-2", "version", "rev C"));
    message.insert(QStringLiteral("sensor_type"),
        InfoRecord("manufacturer", "Kavro simulated sensor", "model", m_sSensorModel));
    return message;
}

void CSimDevice::HandleMessage(const QString& sTopic, const QByteArray& payload)
{
    const bool bParameters = sTopic == kParamsSetTopic;
    if (!bParameters && sTopic != kControlSetTopic) {
        qWarning().noquote() << QStringLiteral("ignored a message on %1: not a command topic").arg(sTopic);
        return;
    }
    QJsonObject members;
    if (!ParseMembers(sTopic, payload, &members))
        return;
    for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
        if (bParameters)
            ApplyParameter(it.key(), it.value());
        else
            RunCommand(it.key(), it.value());
    }
}

void CSimDevice::ApplyParameter(const QString& sName, const QJsonValue& member)
{
    if (sName == kCapture) {
        StartCapture(ValueOf(member));
        return;
    }
    CSimParameter* pParam = m_params.Find(sName);
    if (!pParam) {
        qWarning().noquote() << QStringLiteral("ignored unknown parameter \"%1\"").arg(sName);
        return;
    }
    QString sReason;
    if (!pParam->Apply(ValueOf(member), &sReason))
        qWarning().noquote() << QStringLiteral("ignored a value of %1: %2").arg(sName, sReason);
    // Reported also when refused or clamped, so the panel's control shows what the camera really uses.
    ReportValue(*pParam);
}

void CSimDevice::RunCommand(const QString& sName, const QJsonValue& member)
{
    if (ValueOf(member) != QJsonValue(true)) {
        qWarning().noquote() << QStringLiteral("ignored command \"%1\": its value is not true").arg(sName);
        return;
    }
    if (sName == QLatin1String("load-defaults"))
        LoadDefaults();
    else if (sName == QLatin1String("upload"))
        UploadParameters();
    else
        qWarning().noquote() << QStringLiteral("ignored unknown command \"%1\"").arg(sName);
}

void CSimDevice::LoadDefaults()
{
    m_params.ResetToDefaults();
    for (const CSimParameter& param : m_params.All())
        ReportValue(param);
}

void CSimDevice::UploadParameters()
{
    QJsonObject file;
    for (const CSimParameter& param : m_params.All())
        file.insert(param.Name(), QJsonObject { { kValue, param.Value() } });
    emit Publish(kUploadTopic, QJsonDocument(file).toJson(QJsonDocument::Indented), false);
}

void CSimDevice::ReportValue(const CSimParameter& param)
{
    emit Publish(kStatusPrefix + param.Name(), Compact({ { param.Name(), param.Status() } }), true);
}

void CSimDevice::ReportCapture(int nResult)
{
    // Never retained: a panel that connects later must not take an old result for a new capture.
    emit Publish(
        kStatusPrefix + kCapture, Compact({ { kCapture, QJsonObject { { kValue, nResult } } } }), false);
}

void CSimDevice::StartCapture(const QJsonValue& value)
{
    const double dMux = value.toDouble(NAN);
    if (dMux != kCaptureSensor && dMux != kCaptureHdmi) {
        qWarning().noquote() << QStringLiteral("ignored capture: expects 1 (sensor) or 2 (HDMI)");
        return;
    }
    Capture(int(dMux));
}

void CSimDevice::Capture(int nMux)
{
    if (m_bFailCapture) {
        qWarning().noquote() << QStringLiteral("capture failed on purpose (--fail-capture)");
        ReportCapture(kCaptureFailed);
        return;
    }
    ++m_nFrame;
    const QDateTime time = QDateTime::currentDateTime();
    const QStringList buffers = CaptureBuffers(nMux);
    // Everything is rendered before the first upload, so a failure uploads nothing.
    QVector<QByteArray> images;
    for (const QString& sBuffer : buffers) {
        images.append(CSimTestPattern(sBuffer, m_nFrame, time).Tiff());
        if (images.last().isEmpty()) {
            qWarning().noquote() << QStringLiteral("capture failed: no TIFF image writer");
            ReportCapture(kCaptureFailed);
            return;
        }
    }
    for (int i = 0; i < buffers.size(); ++i)
        emit Publish(kCapturePrefix + buffers.at(i), images.at(i), false);
    emit Publish(kCapturePrefix + QStringLiteral("meta"), CaptureMetaData(nMux, buffers, time), false);
    ReportCapture(kCaptureDone);
}

QStringList CSimDevice::CaptureBuffers(int nMux) const
{
    if (nMux == kCaptureHdmi)
        return { QStringLiteral("hdmi") };
    if (m_sSensorModel == QLatin1String("AR0233"))
        return { QStringLiteral("ldr") };
    return { QStringLiteral("t1"), QStringLiteral("t2"), QStringLiteral("t3") };
}

QByteArray CSimDevice::CaptureMetaData(int nMux, const QStringList& buffers, const QDateTime& time) const
{
    QJsonArray images;
    for (const QString& sBuffer : buffers) {
        const QSize size = CSimTestPattern(sBuffer, m_nFrame, time).Size();
        images.append(QJsonObject { { QStringLiteral("buffer"), sBuffer },
            { QStringLiteral("format"), QStringLiteral("tiff") }, { QStringLiteral("width"), size.width() },
            { QStringLiteral("height"), size.height() } });
    }
    const QJsonObject meta { { QStringLiteral("frame"), qint64(m_nFrame) },
        { QStringLiteral("time"), time.toString(Qt::ISODateWithMs) }, { QStringLiteral("mux"), nMux },
        { QStringLiteral("sensor_model"), m_sSensorModel },
        { QStringLiteral("exposure_ms"), CurrentNumber(QStringLiteral("manualTAms")) },
        { QStringLiteral("gain"), CurrentNumber(QStringLiteral("aroGlobalGain")) },
        { QStringLiteral("images"), images } };
    return QJsonDocument(meta).toJson(QJsonDocument::Indented);
}

double CSimDevice::CurrentNumber(const QString& sName) const
{
    const CSimParameter* pParam = m_params.Find(sName);
    return pParam ? pParam->NumericValue() : 0.0;
}

void CSimDevice::PublishLogLine()
{
    // A slow drift keeps the stream from looking frozen.
    const double dTemperature = 41.0 + 1.5 * std::sin(m_nLogTick++ / 20.0);
    const QString sLine = QStringLiteral("kavro: exposure %1 ms, gain %2, temperature %3 C")
                              .arg(CurrentNumber(QStringLiteral("manualTAms")), 0, 'f', 2)
                              .arg(CurrentNumber(QStringLiteral("aroGlobalGain")), 0, 'f', 2)
                              .arg(dTemperature, 0, 'f', 1);
    emit Publish(kLogTopic, sLine.toUtf8(), false);
}

void CSimDevice::PublishNextStatus()
{
    const QVector<CSimParameter>& params = m_params.All();
    ReportValue(params.at(m_nNextStatus++ % params.size()));
}

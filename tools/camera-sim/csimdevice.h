#pragma once

#include "csimparameterset.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

// The simulated Kavro camera, without its broker connection. It takes the messages that arrive on its two
// command topics (HandleMessage) and answers through the Publish signal, which CSimConnection forwards to
// the broker:
//   /hdr/set/parameters       one parameter, or a whole parameter file: applied, clamped and reported back
//   /hdr/set/controls         "load-defaults" and "upload"
//   /hdr/config/parameters    the description of every parameter and the device information (retained)
//   /hdr/status/parameters/N  the value of parameter N and "connection_status" (retained), "capture" (not)
//   /hdr/status/upload        the parameter file asked for with "upload"
//   /hdr/capture/upload/B     the buffers of a still-frame capture: TIFF images, then "meta"
//   /hdr/status/logs          one line of text per log tick
class CSimDevice : public QObject
{
    Q_OBJECT

public:
    CSimDevice(const QString& sSensorModel, bool bFailCapture, QObject* pParent = nullptr);

    // The topics the camera listens on.
    static QStringList CommandTopics();
    // The retained connection status, also the broker's last will of the camera.
    static QString ConnectionStatusTopic();
    static QByteArray ConnectionStatusMessage(const QString& sStatus);

    const CSimParameterSet& Parameters() const { return m_params; }

    // Everything a panel needs when it arrives: the description, every current value and "active".
    void Announce();
    void HandleMessage(const QString& sTopic, const QByteArray& payload);
    void PublishLogLine();
    // Reports the current value of the next parameter, in turn; the status stream of a long run.
    void PublishNextStatus();
    void PublishOffline();

signals:
    void Publish(const QString& sTopic, const QByteArray& payload, bool bRetain);

private:
    void ApplyParameter(const QString& sName, const QJsonValue& member);
    void RunCommand(const QString& sName, const QJsonValue& member);
    void LoadDefaults();
    void UploadParameters();
    void StartCapture(const QJsonValue& value);
    void Capture(int nMux);
    QStringList CaptureBuffers(int nMux) const;
    QByteArray CaptureMetaData(int nMux, const QStringList& buffers, const QDateTime& time) const;
    QJsonObject DescriptionMessage() const;
    void ReportValue(const CSimParameter& param);
    void ReportCapture(int nResult);
    double CurrentNumber(const QString& sName) const;

    CSimParameterSet m_params;
    QString m_sSensorModel;
    bool m_bFailCapture;
    quint32 m_nFrame = 0;
    quint32 m_nLogTick = 0;
    int m_nNextStatus = 0;
};

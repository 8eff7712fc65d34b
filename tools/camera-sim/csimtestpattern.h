#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

class QPainter;

// The picture the simulated camera "captures" into one buffer: colour bars over a grey ramp, with the
// buffer name, the frame number and the time written in. The HDR buffers differ in brightness as the
// exposures of a real capture would (t1 the long, t3 the short one).
class CSimTestPattern
{
public:
    CSimTestPattern(const QString& sBuffer, quint32 nFrame, const QDateTime& time);

    QSize Size() const;
    QImage Render() const;
    // The rendered image as a TIFF file; empty when the TIFF writer is not available.
    QByteArray Tiff() const;

private:
    double Exposure() const;
    void DrawBars(QPainter& painter, const QRect& area) const;
    void DrawRamp(QPainter& painter, const QRect& area) const;
    void DrawCaption(QPainter& painter, const QRect& area) const;

    QString m_sBuffer;
    quint32 m_nFrame;
    QDateTime m_time;
};

#include "csimtestpattern.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QVector>

namespace {

// The LZW option of the TIFF writer: colour bars shrink to a few kilobytes.
constexpr int kTiffLzw = 1;

} // namespace

CSimTestPattern::CSimTestPattern(const QString& sBuffer, quint32 nFrame, const QDateTime& time)
    : m_sBuffer(sBuffer)
    , m_nFrame(nFrame)
    , m_time(time)
{ }

QSize CSimTestPattern::Size() const
{
    return m_sBuffer == QLatin1String("hdmi") ? QSize(1280, 720) : QSize(640, 400);
}

double CSimTestPattern::Exposure() const
{
    if (m_sBuffer == QLatin1String("t2"))
        return 0.5;
    if (m_sBuffer == QLatin1String("t3"))
        return 0.25;
    return 1.0;
}

QImage CSimTestPattern::Render() const
{
    QImage image(Size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    const QRect bars(0, 0, image.width(), image.height() * 2 / 3);
    const QRect ramp(0, bars.bottom() + 1, image.width(), image.height() - bars.height());
    DrawBars(painter, bars);
    DrawRamp(painter, ramp);
    DrawCaption(painter, ramp);
    return image;
}

void CSimTestPattern::DrawBars(QPainter& painter, const QRect& area) const
{
    const QVector<QRgb> colours { qRgb(255, 255, 255), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(0, 255, 0),
        qRgb(255, 0, 255), qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 0, 0) };
    const int nLevel = qRound(255 * Exposure());
    for (int i = 0; i < colours.size(); ++i) {
        const QRgb rgb = colours.at(i);
        const QColor colour(qRed(rgb) * nLevel / 255, qGreen(rgb) * nLevel / 255, qBlue(rgb) * nLevel / 255);
        const int nLeft = area.width() * i / colours.size();
        const int nRight = area.width() * (i + 1) / colours.size();
        painter.fillRect(QRect(nLeft, area.top(), nRight - nLeft, area.height()), colour);
    }
}

void CSimTestPattern::DrawRamp(QPainter& painter, const QRect& area) const
{
    const int nLevel = qRound(255 * Exposure());
    QLinearGradient gradient(area.topLeft(), area.topRight());
    gradient.setColorAt(0.0, Qt::black);
    gradient.setColorAt(1.0, QColor(nLevel, nLevel, nLevel));
    painter.fillRect(area, gradient);
}

void CSimTestPattern::DrawCaption(QPainter& painter, const QRect& area) const
{
    const QString sCaption = QStringLiteral("Kavro %1  frame %2  %3")
                                 .arg(m_sBuffer)
                                 .arg(m_nFrame)
                                 .arg(m_time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    QFont font = painter.font();
    font.setPixelSize(area.height() / 5);
    painter.setFont(font);
    const QRect box
        = area.adjusted(area.width() / 20, area.height() / 3, -area.width() / 20, -area.height() / 3);
    painter.fillRect(box, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, sCaption);
}

QByteArray CSimTestPattern::Tiff() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(kTiffLzw);
    if (!writer.write(Render()))
        return QByteArray();
    return bytes;
}

// Renders the pictures of the main window that the user guide shows: guide-shots <output folder>.
// The real window is shown offscreen at twice the pixel density, in its compact and in its advanced view,
// and the parts the guide names are outlined and numbered as in the guide's legends.
#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// One numbered part: the widgets whose united outline marks it.
struct Callout
{
    int nNumber;
    QStringList widgetNames;
};

const QList<Callout> kCompactCallouts {
    { 1, { "groupBox_3" } },
    { 2, { "groupBox_2" } },
    { 3, { "groupBox" } },
    { 4, { "fileLabel", "captureDlgButton", "saveButton" } },
    { 5, { "autoGainButton", "flipImageCB" } },
    { 6, { "sensorGainLabel", "detailSpinBox" } },
    { 7, { "groupBox_6" } },
    { 8, { "awbGroupBox" } },
    { 9, { "denoiseGroupBox" } },
};

const QList<Callout> kAdvancedCallouts {
    { 10, { "teMessages" } },
    { 11, { "histoGroupBox" } },
    { 12, { "groupBox_4" } },
    { 13, { "greenRedLabel_2", "blackLevelSpinBox" } },
};

const QColor kMarkColor(0xd6, 0x28, 0x28);

QRect CalloutRect(const QMainWindow& window, const Callout& callout)
{
    QRect rect;
    for (const QString& sName : callout.widgetNames) {
        const QWidget* pWidget = window.centralWidget()->findChild<QWidget*>(sName);
        if (pWidget && pWidget->isVisible())
            rect |= QRect(pWidget->mapTo(&window, QPoint(0, 0)), pWidget->size());
    }
    return rect.adjusted(-3, -3, 3, 3);
}

void DrawCallout(QPainter& painter, const QRect& rect, int nNumber)
{
    painter.setPen(QPen(kMarkColor, 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect, 4, 4);

    const QRectF badge(rect.left() - 9, rect.top() - 9, 20, 20);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(kMarkColor);
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(12);
    painter.setFont(font);
    painter.drawText(badge, Qt::AlignCenter, QString::number(nNumber));
}

bool SavePicture(QMainWindow& window, const QList<Callout>& callouts, const QString& sPath)
{
    QCoreApplication::processEvents();
    // Room around the window, so that the badges at its edges are whole.
    const int nMargin = 12;
    const QPixmap shot = window.grab();
    const qreal dpr = shot.devicePixelRatio();
    QPixmap picture(shot.size() + QSize(2, 2) * int(nMargin * dpr));
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::white);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(nMargin, nMargin);
    painter.drawPixmap(0, 0, shot);
    painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    painter.drawRect(QRectF(-0.5, -0.5, window.width() + 1, window.height() + 1));
    for (const Callout& callout : callouts) {
        const QRect rect = CalloutRect(window, callout);
        if (rect.isValid())
            DrawCallout(painter, rect, callout.nNumber);
    }
    painter.end();
    if (picture.save(sPath))
        return true;
    std::fprintf(stderr, "guide-shots: cannot write %s\n", qPrintable(sPath));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    // The window reads its settings from the documents folder: give it an empty home, not the builder's.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    if (argc != 2 || !home.isValid()) {
        std::fprintf(stderr, "usage: guide-shots <output folder>\n");
        return 2;
    }
    const QDir outDir(QString::fromLocal8Bit(argv[1]));

    MainWindow window;
    window.show();
    if (!SavePicture(window, kCompactCallouts, outDir.filePath(QStringLiteral("window-compact.png"))))
        return 1;
    window.findChild<QPushButton*>(QStringLiteral("resizeButton"))->click();
    return SavePicture(window, kAdvancedCallouts, outDir.filePath(QStringLiteral("window-advanced.png"))) ? 0
                                                                                                          : 1;
}

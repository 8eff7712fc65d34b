// The start-up baseline: a minimal Qt Widgets program that shows an empty QMainWindow and prints when its
// first frame has been painted, as ombix-bench-panel does for the real window. With the argument "text" the
// window holds one group box with a label: the least a window with text costs, since the first text drawn
// sets up the font configuration and text shaping, and the first group box the style's image plugins.
#include "benchsystem.h"
#include "cpaintwatch.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QVBoxLayout>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    if (app.arguments().contains(QStringLiteral("text"))) {
        auto* pGroup = new QGroupBox(QStringLiteral("Exposure"), &window);
        auto* pLayout = new QVBoxLayout(pGroup);
        pLayout->addWidget(new QLabel(QStringLiteral("Manual exposure time, ms"), pGroup));
        window.setCentralWidget(pGroup);
    }
    CPaintWatch watch(&window);
    watch.m_onFirstFrame = [](qint64 nNs) {
        std::printf("result painted_ns=%lld\n", static_cast<long long>(nNs));
        std::fflush(stdout);
        qApp->quit();
    };
    window.show();
    return app.exec();
}

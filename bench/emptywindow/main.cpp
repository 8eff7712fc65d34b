// The start-up baseline: a minimal Qt Widgets program that shows an empty QMainWindow and prints when its
// first frame has been painted, as ombix-bench-panel does for the real window.
#include "benchsystem.h"
#include "cpaintwatch.h"

#include <QApplication>
#include <QMainWindow>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    CPaintWatch watch(&window);
    watch.m_onFirstFrame = [](qint64 nNs) {
        std::printf("result painted_ns=%lld\n", static_cast<long long>(nNs));
        std::fflush(stdout);
        qApp->quit();
    };
    window.show();
    return app.exec();
}

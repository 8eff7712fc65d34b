#include "app/mainwindow.h"
#include "modalboxcloser.h"
#include "windowtest.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

double ResidentMiB()
{
    const QList<QByteArray> fields = ReadFile(QStringLiteral("/proc/self/statm")).split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

QString AllocatedMiB()
{
#if defined(__SANITIZE_ADDRESS__)
    return QString::number(double(__sanitizer_get_current_allocated_bytes()) / 1048576.0, 'f', 1);
#else
    return QStringLiteral("-");
#endif
}

} // namespace

// ombix-soak, started by scripts/run-soak: a real main window in a long run against a broker and the
// simulated camera. It connects, and once per cycle disconnects and connects again; at the start, once per
// report interval and at the end it prints the elapsed minutes, the resident set size, the bytes in live
// allocations (AddressSanitizer's count in a sanitizer build), the lines of the message pane and the
// connections made so far. The message pane keeps every line by design: at the end the memory is reported
// once more with the pane emptied, and once the window is closed. Message boxes are closed as a user would.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QList<QPair<QString, QString>> options = { { "host", "127.0.0.1" }, { "port", "1883" },
        { "minutes", "30" }, { "cycle-seconds", "60" }, { "report-minutes", "5" } };
    for (const auto& [sName, sDefault] : options)
        parser.addOption({ sName, "Default: " + sDefault, sName, sDefault });
    parser.process(app);

    auto pWindow = std::make_unique<MainWindow>();
    ModalBoxCloser closer;
    QElapsedTimer clock;
    int nConnections = 0;
    int nMissed = 0;
    const auto report = [&](const char* sWhen) {
        const int nPaneLines
            = pWindow ? Widget<QPlainTextEdit>(pWindow.get(), "teMessages")->document()->blockCount() : 0;
        std::printf("soak %s: %.1f min, RSS %.1f MiB, allocated %s MiB, pane %d lines, connections %d "
                    "established, %d missed\n",
            sWhen, double(clock.elapsed()) / 60000.0, ResidentMiB(), qPrintable(AllocatedMiB()), nPaneLines,
            nConnections, nMissed);
        std::fflush(stdout);
    };
    // A cycle that does not find the connection established counts as missed; it connects anew either way.
    QTimer cycle;
    QObject::connect(&cycle, &QTimer::timeout, [&] {
        const QString sButton = Text(pWindow.get(), "btnConnect");
        ++(sButton == "Disconnect" ? nConnections : nMissed);
        if (sButton != "Connect")
            Click(pWindow.get(), "btnConnect");
        Click(pWindow.get(), "btnConnect");
    });
    QTimer reports;
    QObject::connect(&reports, &QTimer::timeout, [&] { report("running"); });
    QTimer::singleShot(int(parser.value("minutes").toDouble() * 60000), &app, [&] {
        cycle.stop();
        reports.stop();
        report("end");
        EmptyTextView(Widget<QPlainTextEdit>(pWindow.get(), "teMessages"));
        report("pane emptied");
        pWindow.reset();
        report("window closed");
        app.quit();
    });

    Widget<QLineEdit>(pWindow.get(), "leBrokerURL")->setText(parser.value("host"));
    Widget<QLineEdit>(pWindow.get(), "leBrokerPort")->setText(parser.value("port"));
    pWindow->show();
    clock.start();
    report("start");
    Click(pWindow.get(), "btnConnect");
    cycle.start(int(parser.value("cycle-seconds").toDouble() * 1000));
    reports.start(int(parser.value("report-minutes").toDouble() * 60000));
    return app.exec();
}

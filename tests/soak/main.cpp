#include "csoakdriver.h"

#include <QApplication>
#include <QCommandLineParser>

// ombix-soak: the main window in a long run against a broker and the simulated camera (scripts/run-soak).
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs the panel against a broker and reports its memory."));
    parser.addHelpOption();
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Broker address."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Broker port."),
        QStringLiteral("port"), QStringLiteral("1883"));
    const QCommandLineOption minutes(QStringLiteral("minutes"), QStringLiteral("Length of the run."),
        QStringLiteral("minutes"), QStringLiteral("30"));
    const QCommandLineOption cycle(QStringLiteral("cycle-seconds"),
        QStringLiteral("Interval of disconnect and connect."), QStringLiteral("seconds"),
        QStringLiteral("60"));
    const QCommandLineOption report(QStringLiteral("report-minutes"),
        QStringLiteral("Interval of the reports."), QStringLiteral("minutes"), QStringLiteral("5"));
    parser.addOptions({ host, port, minutes, cycle, report });
    parser.process(app);

    CSoakDriver driver(parser.value(host), quint16(parser.value(port).toUInt()),
        parser.value(minutes).toDouble(), parser.value(cycle).toDouble(), parser.value(report).toDouble());
    QObject::connect(&driver, &CSoakDriver::Finished, &app, &QCoreApplication::quit);
    driver.Start();
    return app.exec();
}

// ombix-bench-panel MODE [--port N] [--file PATH] [--count N] [--interval-ms N] [--seconds N] [--last TEXT]
// The panel side of bench/run; see CPanelBench. Started by ombix-bench, with HOME set to a private folder.
#include "cpanelbench.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument("mode", "startup, status-flood, log-flood, edits, capture or idle");
    for (const char* sName : { "port", "file", "count", "interval-ms", "seconds", "last" })
        parser.addOption(QCommandLineOption(QString::fromLatin1(sName), QString(), "value"));
    parser.process(app);

    CPanelBench::Options options;
    options.sMode = parser.positionalArguments().value(0);
    options.nPort = quint16(parser.value("port").toUInt());
    options.sFloodFile = parser.value("file");
    options.nCount = parser.value("count").toInt();
    options.nIntervalMs = parser.value("interval-ms").toInt();
    options.nSeconds = parser.value("seconds").toInt();
    options.sLastLine = parser.value("last");

    CPanelBench bench(options);
    bench.Start();
    return app.exec();
}

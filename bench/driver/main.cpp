// ombix-bench [--runs N] [--idle-runs N] [--idle-seconds N] [--only B1,B5]: runs the benchmarks and prints
// the table; bench/run builds everything in Release first and then starts this.
#include "cbenchdriver.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption runs("runs", "Runs of each benchmark (5).", "n", "5");
    const QCommandLineOption idleRuns("idle-runs", "Runs of the idle benchmark (3).", "n", "3");
    const QCommandLineOption idleSeconds("idle-seconds", "Length of one idle run (60).", "s", "60");
    const QCommandLineOption only("only", "Comma-separated benchmarks to run (all).", "list");
    parser.addOptions({ runs, idleRuns, idleSeconds, only });
    parser.addHelpOption();
    parser.process(app);

    CBenchDriver::Options options;
    options.nRuns = qMax(1, parser.value(runs).toInt());
    options.nIdleRuns = qMax(1, parser.value(idleRuns).toInt());
    options.nIdleSeconds = qMax(1, parser.value(idleSeconds).toInt());
    options.only = parser.value(only).split(QLatin1Char(','), Qt::SkipEmptyParts);
    options.sBinDir = QCoreApplication::applicationDirPath();
    return CBenchDriver(options).Run() ? 0 : 1;
}

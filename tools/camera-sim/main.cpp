#include "csimconnection.h"
#include "csimdevice.h"
#include "csimsignalwatcher.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

namespace {

struct SOptions
{
    QString sHost;
    quint16 nPort = 0;
    QString sSensorModel;
    int nLogIntervalMs = 0;
    int nStatusIntervalMs = 0;
    bool bFailCapture = false;
    bool bTls = false;
    QString sCaFile;
    QString sUserName;
    QString sPassword;
};

// Parses the command line; prints the problem and returns false for an unusable value.
bool ReadOptions(const QCoreApplication& app, SOptions* pOptions)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated Kavro HDR camera that talks to the control panel through an MQTT broker."));
    parser.addHelpOption();
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Broker address."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Broker port."),
        QStringLiteral("port"), QStringLiteral("1883"));
    const QCommandLineOption model(QStringLiteral("sensor-model"),
        QStringLiteral("Reported sensor model; AR0233 captures a single LDR image."), QStringLiteral("model"),
        QStringLiteral("AR0239"));
    const QCommandLineOption logInterval(QStringLiteral("log-interval-ms"),
        QStringLiteral("Interval of the log lines; 0 turns them off."), QStringLiteral("ms"),
        QStringLiteral("1000"));
    const QCommandLineOption statusInterval(QStringLiteral("status-interval-ms"),
        QStringLiteral("Interval of unasked status reports, one parameter in turn; 0 turns them off."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption failCapture(
        QStringLiteral("fail-capture"), QStringLiteral("Answer every capture with a failure."));
    const QCommandLineOption tls(QStringLiteral("tls"),
        QStringLiteral("Connect with TLS; the broker's certificate must be made out to the broker address."));
    const QCommandLineOption caFile(QStringLiteral("ca-file"),
        QStringLiteral("PEM file of the CA certificates trusted instead of the system's."),
        QStringLiteral("file"));
    const QCommandLineOption userName(
        QStringLiteral("username"), QStringLiteral("User name for the broker."), QStringLiteral("name"));
    const QCommandLineOption password(QStringLiteral("password"),
        QStringLiteral("Password for the broker (other users of the machine can read it in the process "
                       "list: for tests and demos)."),
        QStringLiteral("password"));
    parser.addOptions(
        { host, port, model, logInterval, statusInterval, failCapture, tls, caFile, userName, password });
    parser.process(app);

    bool bPortOk = false;
    const uint nPort = parser.value(port).toUInt(&bPortOk);
    bool bIntervalOk = false;
    pOptions->nLogIntervalMs = parser.value(logInterval).toInt(&bIntervalOk);
    bool bStatusIntervalOk = false;
    pOptions->nStatusIntervalMs = parser.value(statusInterval).toInt(&bStatusIntervalOk);
    QTextStream err(stderr);
    if (!bPortOk || nPort == 0 || nPort > 65535) {
        err << "kavro-camera-sim: invalid port: " << parser.value(port) << Qt::endl;
        return false;
    }
    if (!bIntervalOk || pOptions->nLogIntervalMs < 0) {
        err << "kavro-camera-sim: invalid log interval: " << parser.value(logInterval) << Qt::endl;
        return false;
    }
    if (!bStatusIntervalOk || pOptions->nStatusIntervalMs < 0) {
        err << "kavro-camera-sim: invalid status interval: " << parser.value(statusInterval) << Qt::endl;
        return false;
    }
    pOptions->sHost = parser.value(host);
    pOptions->nPort = quint16(nPort);
    pOptions->sSensorModel = parser.value(model);
    pOptions->bFailCapture = parser.isSet(failCapture);
    pOptions->bTls = parser.isSet(tls);
    pOptions->sCaFile = parser.value(caFile);
    pOptions->sUserName = parser.value(userName);
    pOptions->sPassword = parser.value(password);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // Text in the capture images needs fonts, hence a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavro-camera-sim"));
    qSetMessagePattern(QStringLiteral("kavro-camera-sim: %{message}"));

    SOptions options;
    if (!ReadOptions(app, &options))
        return 1;

    CSimDevice device(options.sSensorModel, options.bFailCapture);
    CSimConnection connection(
        &device, options.sHost, options.nPort, options.nLogIntervalMs, options.nStatusIntervalMs);
    connection.SetSecurity(options.bTls, options.sCaFile, options.sUserName, options.sPassword);
    CSimSignalWatcher watcher;
    if (!watcher.IsActive())
        qWarning("cannot watch SIGINT and SIGTERM; they end the program without saying goodbye");
    QObject::connect(&watcher, &CSimSignalWatcher::Triggered, &connection, &CSimConnection::Shutdown);
    QObject::connect(&connection, &CSimConnection::Finished, &app, &QCoreApplication::quit);
    connection.Start();
    return app.exec();
}

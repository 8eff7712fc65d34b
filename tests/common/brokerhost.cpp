// ombix-broker-host: runs private mosquitto brokers for tests that cannot start one themselves (the Windows
// build of the tests under Wine). It listens on 127.0.0.1, on the port given as its argument or on a free
// one, and prints "listening <port>". Each connection owns one broker, driven by the requests that the
// Windows MosquittoBroker sends; closing the connection stops it.
#include "mosquittobroker.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <memory>

namespace {

// Carries out one request line on the connection's broker and returns the answer line.
QByteArray Answer(MosquittoBroker& broker, const QByteArray& line)
{
    const QList<QByteArray> fields = line.trimmed().split(' ');
    const QByteArray command = fields.value(0);
    const QByteArray argument = QByteArray::fromPercentEncoding(fields.value(1));
    bool bOk = true;
    QByteArray text;
    if (command == "config") {
        broker.setExtraConfig(QString::fromUtf8(argument));
    } else if (command == "file") {
        const QList<QByteArray> parts = argument.split(' ');
        text = broker
                   .writeFile(QString::fromUtf8(QByteArray::fromPercentEncoding(parts.value(0))),
                       QByteArray::fromPercentEncoding(parts.value(1)))
                   .toUtf8();
        bOk = !text.isEmpty();
    } else if (command == "start") {
        bOk = broker.start();
    } else if (command == "stop") {
        broker.stop();
    } else if (command == "kill") {
        broker.kill();
    } else if (command == "pause") {
        broker.pause();
    } else if (command == "resume") {
        broker.resume();
    } else if (command == "log") {
        text = broker.log().toUtf8();
    } else {
        bOk = false;
        text = "unknown request: " + command;
    }
    if (!bOk && text.isEmpty())
        text = broker.errorString().toUtf8();
    return QByteArray::number(int(bOk)) + ' ' + QByteArray::number(broker.port()) + ' '
        + QByteArray::number(int(broker.isRunning())) + ' ' + text.toPercentEncoding() + '\n';
}

void Serve(QTcpSocket* pSocket)
{
    auto pBroker = std::make_shared<MosquittoBroker>();
    QObject::connect(pSocket, &QTcpSocket::readyRead, pSocket, [pSocket, pBroker] {
        while (pSocket->canReadLine())
            pSocket->write(Answer(*pBroker, pSocket->readLine()));
    });
    QObject::connect(pSocket, &QTcpSocket::disconnected, pSocket, &QObject::deleteLater);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTcpServer server;
    const quint16 nPort = app.arguments().size() > 1 ? quint16(app.arguments().at(1).toUInt()) : 0;
    if (!server.listen(QHostAddress::LocalHost, nPort)) {
        std::fprintf(stderr, "ombix-broker-host: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server] {
        while (QTcpSocket* pSocket = server.nextPendingConnection())
            Serve(pSocket);
    });
    std::printf("listening %u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}

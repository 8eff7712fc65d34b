#include "mosquittobroker.h"

#include <QTcpServer>

quint16 MosquittoBroker::freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}

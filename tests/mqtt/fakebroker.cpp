#include "fakebroker.h"

#include <QTcpSocket>

namespace {

enum PacketType : quint8
{
    kConnect = 1,
    kConnAck = 2,
    kSubscribe = 8,
    kSubAck = 9,
    kPingReq = 12,
    kPingResp = 13,
    kDisconnect = 14,
};

// Splits one complete packet off the front of buffer; false while it is still incomplete.
bool TakePacket(QByteArray& buffer, quint8& nType, QByteArray& body)
{
    int nLength = 0;
    int nShift = 0;
    int nPos = 1;
    for (;; ++nPos) {
        if (nPos >= buffer.size() || nPos > 4)
            return false;
        const quint8 nByte = quint8(buffer.at(nPos));
        nLength |= (nByte & 0x7f) << nShift;
        nShift += 7;
        if (!(nByte & 0x80))
            break;
    }
    const int nStart = nPos + 1;
    if (buffer.size() < nStart + nLength)
        return false;
    nType = quint8(buffer.at(0)) >> 4;
    body = buffer.mid(nStart, nLength);
    buffer.remove(0, nStart + nLength);
    return true;
}

} // namespace

bool FakeBroker::listen()
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeBroker::Accept, Qt::UniqueConnection);
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void FakeBroker::Accept()
{
    while (QTcpSocket* pSocket = m_server.nextPendingConnection()) {
        connect(pSocket, &QTcpSocket::readyRead, this, [this, pSocket] { Read(pSocket); });
        connect(pSocket, &QTcpSocket::disconnected, this, [this, pSocket] {
            m_buffers.remove(pSocket);
            pSocket->deleteLater();
        });
    }
}

void FakeBroker::Read(QTcpSocket* pSocket)
{
    QByteArray& buffer = m_buffers[pSocket];
    buffer += pSocket->readAll();
    quint8 nType = 0;
    QByteArray body;
    while (TakePacket(buffer, nType, body)) {
        switch (nType) {
        case kConnect:
            if (m_nConnAckCode >= 0)
                Answer(pSocket, kConnAck, QByteArray(1, '\0') + char(m_nConnAckCode));
            if (m_nConnAckCode > 0) {
                pSocket->disconnectFromHost(); // may drop the buffer at once
                return;
            }
            break;
        case kSubscribe:
            Answer(pSocket, kSubAck, body.left(2) + char(m_nGrantedQoS));
            break;
        case kPingReq:
            ++m_nPings;
            if (m_bAnswerPings)
                Answer(pSocket, kPingResp, QByteArray());
            break;
        case kDisconnect:
            pSocket->disconnectFromHost();
            return;
        default:
            break;
        }
    }
}

void FakeBroker::Answer(QTcpSocket* pSocket, quint8 nType, const QByteArray& body)
{
    QByteArray packet;
    packet.append(char(nType << 4));
    packet.append(char(body.size()));
    pSocket->write(packet + body);
}

#pragma once

#include <QHash>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A scripted stand-in for a broker on 127.0.0.1 that answers CONNECT with a chosen return code (or not at
// all), SUBSCRIBE with a chosen granted QoS and PINGREQ only when told to: enough to provoke refusals,
// rejected subscriptions and keep-alive time-outs that a healthy mosquitto never produces.
class FakeBroker : public QObject
{
    Q_OBJECT

public:
    bool listen();
    quint16 port() const { return m_server.serverPort(); }

    void setConnAckCode(int nCode) { m_nConnAckCode = nCode; }
    void setGrantedQoS(quint8 nQoS) { m_nGrantedQoS = nQoS; }
    void setAnswerPings(bool bAnswer) { m_bAnswerPings = bAnswer; }
    int pingCount() const { return m_nPings; }

private:
    void Accept();
    void Read(QTcpSocket* pSocket);
    void Answer(QTcpSocket* pSocket, quint8 nType, const QByteArray& body);

    QHash<QTcpSocket*, QByteArray> m_buffers;
    // After the buffers: its sockets report their end into them while it is destroyed.
    QTcpServer m_server;
    int m_nConnAckCode = 0; // negative: never answer
    quint8 m_nGrantedQoS = 0;
    bool m_bAnswerPings = true;
    int m_nPings = 0;
};

#include "tests/support/LocalHttpServer.h"

#include <QTcpSocket>

LocalHttpServer::LocalHttpServer() {
  m_server.listen(QHostAddress::LocalHost, 0);
  connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::OnConnection);
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
}

void LocalHttpServer::OnConnection() {
  while (QTcpSocket* socket = m_server.nextPendingConnection()) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
      const QByteArray request = socket->peek(8192);
      if (!request.contains("\r\n\r\n")) return;
      socket->readAll();
      ++m_requests;
      const QList<QByteArray> words = request.split(' ');
      const std::string path = words.size() > 1 ? words[1].toStdString() : "/";
      const Answer answer = m_answers.contains(path) ? m_answers[path] : Answer{};
      if (answer.stall) return;
      const std::string reply =
          "HTTP/1.0 " + std::to_string(answer.status) +
          " Status\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(answer.body.size()) +
          "\r\nConnection: close\r\n\r\n" + answer.body;
      socket->write(reply.data(), static_cast<qint64>(reply.size()));
      socket->disconnectFromHost();
    });
  }
}

#pragma once

#include <map>
#include <string>

#include <QTcpServer>

// An HTTP/1.0 server on 127.0.0.1, served from the thread that runs its event loop. Each path
// answers with a status and a body (404 when not served); a stalling path never answers.
class LocalHttpServer : public QObject {
 public:
  LocalHttpServer();

  void Serve(const std::string& path, int status, const std::string& body) { m_answers[path] = {status, body, false}; }
  void Stall(const std::string& path) { m_answers[path] = {0, {}, true}; }

  std::string Url(const std::string& path) const;  // "http://127.0.0.1:<port>" + path
  int Requests() const { return m_requests; }

 private:
  void OnConnection();

  struct Answer {
    int status = 404;
    std::string body;
    bool stall = false;
  };
  QTcpServer m_server;
  std::map<std::string, Answer> m_answers;
  int m_requests = 0;
};

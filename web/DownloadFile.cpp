#include "web/DownloadFile.h"

#include <memory>

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "runtime/AtomicFile.h"

bool DownloadFile(const std::string& url, const std::string& path, std::chrono::milliseconds deadline,
                  long long maxBytes, const std::atomic<bool>* cancel) {
  const QUrl address(QString::fromStdString(url));
  if (!address.isValid() || (address.scheme() != "http" && address.scheme() != "https")) return false;

  QEventLoop loop;
  QNetworkAccessManager manager;
  QNetworkRequest request(address);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(5);
  std::unique_ptr<QNetworkReply> reply(manager.get(request));

  QByteArray body;
  bool tooLarge = false;
  bool timedOut = false;
  QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
    body += reply->readAll();
    if (body.size() > maxBytes) {
      tooLarge = true;
      reply->abort();
    }
  });
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    reply->abort();
  });
  timer.start(deadline);
  bool cancelled = false;
  QTimer cancelPoll;
  if (cancel) {
    QObject::connect(&cancelPoll, &QTimer::timeout, &loop, [&] {
      if (cancel->load()) {
        cancelled = true;
        reply->abort();
      }
    });
    cancelPoll.start(100);
  }
  if (!reply->isFinished() && !(cancel && cancel->load())) loop.exec();
  timer.stop();
  cancelPoll.stop();
  cancelled = cancelled || (cancel && cancel->load());

  body += reply->readAll();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (timedOut || cancelled || tooLarge || body.size() > maxBytes || reply->error() != QNetworkReply::NoError ||
      status < 200 || status > 299)
    return false;
  return ReplaceFileAtomically(path, body.toStdString(), 0644);
}

#include "app/concurrency/reply_finished.h"

#include <QCoroNetworkReply>
#include <QNetworkReply>
#include <QThread>

namespace sayloom {

QCoro::Task<void> replyFinished(QNetworkReply* reply, std::stop_token stop) {
  const std::stop_callback onStop(stop, [reply] {
    if (QThread::currentThread() == reply->thread()) {
      reply->abort();
    } else {
      QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
    }
  });
  if (!reply->isFinished()) {
    co_await qCoro(reply).waitForFinished();
  }
}

}  // namespace sayloom

#include "lab/AlertPost.h"

#include <QDateTime>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace rig::lab {

void AlertAbort::Abort() {
  std::lock_guard lock(mutex_);
  aborted_ = true;
  // Queued to the loop's own thread; dropped if the loop is gone by then.
  if (loop_) QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
}

bool AlertAbort::Aborted() const {
  std::lock_guard lock(mutex_);
  return aborted_;
}

void AlertAbort::Rearm() {
  std::lock_guard lock(mutex_);
  aborted_ = false;
}

QString PostAlert(const AlertPost& post, AlertKind kind, std::chrono::milliseconds timeout, AlertAbort* abort) {
  if (!post.Url.isValid() || post.Url.scheme().isEmpty()) return QStringLiteral("网址无效");
  QNetworkAccessManager manager;
  QNetworkRequest request(post.Url);
  request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json; charset=utf-8"));
  request.setTransferTimeout(static_cast<int>(timeout.count()));
  QEventLoop loop;
  if (abort) {
    std::lock_guard lock(abort->mutex_);
    if (abort->aborted_) return QStringLiteral("已中止");
    abort->loop_ = &loop;
  }
  QNetworkReply* reply = manager.post(request, post.Body);
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(timeout + std::chrono::milliseconds(500), &loop, &QEventLoop::quit);  // whatever Qt does
  loop.exec();
  if (abort) {
    std::lock_guard lock(abort->mutex_);
    abort->loop_ = nullptr;
  }
  QString problem;
  if (!reply->isFinished()) {
    reply->abort();
    problem = abort && abort->Aborted() ? QStringLiteral("已中止")
                                        : QStringLiteral("超时（%1 秒）").arg(timeout.count() / 1000);
  } else {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
      problem = QStringLiteral("超时（%1 秒）").arg(timeout.count() / 1000);
    else if (status == 0)
      problem = QStringLiteral("无法连接：") + reply->errorString();
    else
      problem = AlertAnswerProblem(kind, status, reply->readAll());
  }
  delete reply;
  return problem;
}

QString SendTestAlert(const AlertSettings& settings, const QString& rigName) {
  if (!settings.Enabled()) return QStringLiteral("未填写网址");
  const QString text = QStringLiteral("测试消息：%1 的告警可以送到这里。").arg(rigName);
  const QString problem = PostAlert(BuildAlertPost(settings, text, {}, QDateTime::currentMSecsSinceEpoch()),
                                    settings.Kind, std::chrono::seconds(10));
  return problem.isEmpty() ? QStringLiteral("发送成功") : QStringLiteral("发送失败：") + problem;
}

}  // namespace rig::lab

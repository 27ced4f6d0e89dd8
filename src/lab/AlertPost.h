#pragma once
// One HTTP POST to a webhook, made and waited for on the calling thread
// (never the window's) with Qt Network and an event loop of its own.
#include <QString>
#include <chrono>
#include <mutex>

#include "lab/AlertMessage.h"

class QEventLoop;

namespace rig::lab {

// Ends, from another thread, the POST a thread is waiting on.
class AlertAbort {
 public:
  void Abort();
  bool Aborted() const;
  void Rearm();

 private:
  friend QString PostAlert(const AlertPost&, AlertKind, std::chrono::milliseconds, AlertAbort*);
  mutable std::mutex mutex_;
  QEventLoop* loop_ = nullptr;
  bool aborted_ = false;
};

// Sends `post`; empty when the webhook took it, else the problem in words
// ("无法连接：…", "超时（10 秒）", "HTTP 500", "errcode 93000：…").
QString PostAlert(const AlertPost& post, AlertKind kind, std::chrono::milliseconds timeout,
                  AlertAbort* abort = nullptr);

// The settings dialog's "发送测试消息": "发送成功" or "发送失败：…".
QString SendTestAlert(const AlertSettings& settings, const QString& rigName);

}  // namespace rig::lab

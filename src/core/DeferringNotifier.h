#pragma once
// Passes notices on, except while a received frame is being handled: a modal
// box then would keep the station's reader waiting and run the other
// station's frames inside the box's event loop. Such notices are shown as soon
// as the window thread is free again, in the order they were raised.
#include <QObject>
#include <QTimer>

#include "core/Notifier.h"

namespace rig {

class TDeferringNotifier : public INotifier {
 public:
  // `context` is an object of the window thread that outlives the notices.
  TDeferringNotifier(INotifier& target, QObject* context) : target_(target), context_(context) {}

  // While a scope lives, notices wait.
  class DeferScope {
   public:
    explicit DeferScope(TDeferringNotifier& n) : n_(n) { ++n_.depth_; }
    ~DeferScope() { --n_.depth_; }

   private:
    TDeferringNotifier& n_;
  };

  void Notice(const QString& text, NoticeIcon icon) override {
    if (depth_ == 0) return target_.Notice(text, icon);
    QTimer::singleShot(0, context_, [this, text, icon] { target_.Notice(text, icon); });
  }
  void Error(const QString& text) override {
    if (depth_ == 0) return target_.Error(text);
    QTimer::singleShot(0, context_, [this, text] { target_.Error(text); });
  }
  // Questions need their answer now; nothing asks one while handling a frame.
  bool Confirm(const QString& text) override { return target_.Confirm(text); }
  UnsavedChoice AskUnsaved(const QString& text) override { return target_.AskUnsaved(text); }

 private:
  INotifier& target_;
  QObject* context_;
  int depth_ = 0;
};

}  // namespace rig

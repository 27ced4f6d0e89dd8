#pragma once
#include <QPointer>
#include <QWidget>

#include "core/Notifier.h"

namespace rig {

// Notices as modal message boxes owned by `owner`.
class TMessageBoxNotifier : public INotifier {
 public:
  explicit TMessageBoxNotifier(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Notice(const QString& text, NoticeIcon icon) override;
  void Error(const QString& text) override;
  bool Confirm(const QString& text) override;
  UnsavedChoice AskUnsaved(const QString& text) override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace rig

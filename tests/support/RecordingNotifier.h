#pragma once
// Keeps every notice instead of showing a box, so a test sees what the
// operator would have seen and never blocks on a modal box.
#include <QString>
#include <functional>
#include <vector>

#include "core/Notifier.h"

namespace rigtest {

struct RecordedNotice {
  bool error = false;  // the application's error box rather than "提示"
  rig::NoticeIcon icon = rig::NoticeIcon::Information;
  QString text;
};

class RecordingNotifier : public rig::INotifier {
 public:
  void Notice(const QString& text, rig::NoticeIcon icon) override {
    notices.push_back({false, icon, text});
    if (onNotice) onNotice();
  }
  void Error(const QString& text) override {
    notices.push_back({true, rig::NoticeIcon::None, text});
    if (onNotice) onNotice();
  }

  bool Confirm(const QString& text) override {
    confirmations.push_back(text);
    if (onAsk) onAsk();
    return confirmAnswer;
  }

  rig::UnsavedChoice AskUnsaved(const QString& text) override {
    unsavedQuestions.push_back(text);
    if (onAsk) onAsk();
    return unsavedAnswer;
  }

  QStringList Texts() const {
    QStringList t;
    for (const RecordedNotice& n : notices) t << n.text;
    return t;
  }

  std::vector<RecordedNotice> notices;
  QStringList confirmations;
  bool confirmAnswer = true;  // what the operator answers
  QStringList unsavedQuestions;
  rig::UnsavedChoice unsavedAnswer = rig::UnsavedChoice::Cancel;
  std::function<void()> onNotice;  // runs as the box would be shown
  // Runs while a question is open, as the box's own event loop would run
  // whatever arrives before the operator answers.
  std::function<void()> onAsk;
};

}  // namespace rigtest

#pragma once
// Operator notices. Every message box the program shows goes through one
// INotifier owned by the main window, so tests can record what the operator
// would have seen without a modal box stopping them.
#include <QString>

namespace rig {

enum class NoticeIcon { Information, None };

// The operator's answer when something would drop a test not yet saved.
enum class UnsavedChoice { Save, Discard, Cancel };

class INotifier {
 public:
  virtual ~INotifier() = default;

  // A box captioned "提示" with an OK button.
  virtual void Notice(const QString& text, NoticeIcon icon = NoticeIcon::Information) = 0;

  // The application's standard error box (application title as caption, error
  // icon): for an error that ended what the operator was doing.
  virtual void Error(const QString& text) = 0;

  // A box captioned "提示" with OK and Cancel and a warning icon; true for OK.
  virtual bool Confirm(const QString& text) = 0;

  // A box captioned "提示" with "保存", "放弃" and "取消" and a warning icon;
  // closing it is "取消".
  virtual UnsavedChoice AskUnsaved(const QString& text) = 0;
};

}  // namespace rig

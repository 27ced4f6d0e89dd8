#pragma once
// The alert settings ([Alerts] in Config.ini): the webhook, its kind, the
// signing secret and the events worth a message, with a "发送测试消息" that
// posts off the window thread.
#include <QDialog>
#include <map>

#include "lab/AlertSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace rig {

class INotifier;

class TfrmAlertSettings : public QDialog {
  Q_OBJECT
 public:
  TfrmAlertSettings(const QString& exeDir, INotifier& notifier, QWidget* parent = nullptr);

  lab::AlertSettings Entered() const;
  void TestClick();  // 发送测试消息
  void SaveClick();  // 保存

 signals:
  void TestAnswered(const QString& words);

 private:
  QString exeDir_;
  INotifier& notifier_;
  lab::AlertSettings loaded_;
  QLineEdit* url_ = nullptr;
  QComboBox* kind_ = nullptr;
  QLineEdit* secret_ = nullptr;
  std::map<RigEventKind, QCheckBox*> events_;
  QLabel* answer_ = nullptr;
  int testPress_ = 0;  // only the latest press's answer is shown
};

// Opens the dialog modally; true when the settings were saved.
bool ShowAlertSettings(const QString& exeDir, INotifier& notifier, QWidget* owner);

}  // namespace rig

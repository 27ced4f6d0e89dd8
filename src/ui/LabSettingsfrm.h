#pragma once
// The lab database settings ([Lab] in Config.ini) with a connection test
// that runs off the window thread.
#include <QDialog>

#include "lab/LabSettings.h"

class QLabel;
class QLineEdit;
class QSpinBox;

namespace rig {

class INotifier;

class TfrmLabSettings : public QDialog {
  Q_OBJECT
 public:
  TfrmLabSettings(const QString& exeDir, INotifier& notifier, QWidget* parent = nullptr);

  lab::LabSettings Entered() const;
  void TestClick();  // 测试连接
  void SaveClick();  // 保存

 signals:
  void TestAnswered(const QString& words);

 private:
  QString exeDir_;
  INotifier& notifier_;
  QLineEdit* host_ = nullptr;
  QSpinBox* port_ = nullptr;
  QLineEdit* database_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* passFile_ = nullptr;
  QLineEdit* rigName_ = nullptr;
  QLabel* answer_ = nullptr;
  int testPress_ = 0;  // the latest 测试连接: an earlier press's late answer is not shown
};

// Opens the dialog modally; true when the settings were saved.
bool ShowLabSettings(const QString& exeDir, INotifier& notifier, QWidget* owner);

}  // namespace rig

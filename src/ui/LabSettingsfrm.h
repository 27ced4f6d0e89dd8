#pragma once
// The lab database settings ([Lab] in Config.ini) with a connection test
// that runs off the window thread.
#include <QDialog>
#include <functional>

#include "lab/LabSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace rig {

class INotifier;

class TfrmLabSettings : public QDialog {
  Q_OBJECT
 public:
  // `reconcile` starts 上传以前的测试 and says whether a lab database is set.
  TfrmLabSettings(const QString& exeDir, INotifier& notifier, QWidget* parent = nullptr,
                  std::function<bool()> reconcile = {});

  lab::LabSettings Entered() const;
  void TestClick();  // 测试连接
  void SaveClick();  // 保存
  void ReconcileClick();  // 上传以前的测试

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
  QComboBox* sslMode_ = nullptr;
  QLineEdit* sslRootCert_ = nullptr;
  std::function<bool()> reconcile_;
  QLabel* answer_ = nullptr;
  int testPress_ = 0;  // the latest 测试连接: an earlier press's late answer is not shown
};

// Opens the dialog modally; true when the settings were saved.
bool ShowLabSettings(const QString& exeDir, INotifier& notifier, QWidget* owner, std::function<bool()> reconcile = {});

}  // namespace rig

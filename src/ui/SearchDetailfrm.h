#pragma once
// One saved test in full: identity, type, parameters, refusal option, start
// time, and every action of every cycle. Read only.
#include <QDialog>

#include "storage/TestDetail.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QTimeEdit;
class QTreeView;

namespace rig {

class INotifier;
class TActionGridModel;

class TfrmSearchDetail : public QDialog {
  Q_OBJECT
 public:
  TfrmSearchDetail(const QString& exeDir, INotifier& notifier, QWidget* parent = nullptr);

  void SetAutoId(const QString& autoId) { autoId_ = autoId; }
  void FormShow();
  void LoadTestSummary();

  const TActionGridModel& Actions() const { return *model_; }

 private:
  void ShowHeader(const DetailHeader& h);
  void ApplyColumnWidths();
  QLabel* AddLabel(const char* name, const QString& text, int x, int y);
  QLineEdit* AddEdit(const char* name, int x, int y, int width, const QString& hint = {});

  QString exeDir_;
  INotifier& notifier_;
  QString autoId_;
  QWidget* header_ = nullptr;  // Panel2
  QLineEdit* identity_[4] = {};
  QLabel* typeText_ = nullptr;  // Label36
  QLabel *firstCaption_ = nullptr, *firstUnit_ = nullptr, *secondCaption_ = nullptr, *secondUnit_ = nullptr;
  QLineEdit *firstValue_ = nullptr, *secondValue_ = nullptr, *countValue_ = nullptr;
  QLabel* countUnit_ = nullptr;
  QList<QWidget*> secondRow_;
  QLineEdit* secondRowValues_[3] = {};
  QLabel* actionType_ = nullptr;  // Label7
  QDateEdit* date_ = nullptr;     // DateTimePicker1
  QTimeEdit* time_ = nullptr;     // DateTimePicker3
  QTreeView* list_ = nullptr;     // ListView1
  TActionGridModel* model_ = nullptr;
};

// Opens the detail window of the test with `autoId` modally.
void ShowTestDetail(QWidget* parent, const QString& exeDir, const QString& autoId, INotifier& notifier);

}  // namespace rig

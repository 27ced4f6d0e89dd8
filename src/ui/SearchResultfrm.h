#pragma once
// The saved-test search window: filters, order, the list, delete and the way
// into a test's detail window.
#include <QDialog>
#include <vector>

#include "storage/TestSearch.h"

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace rig {

class INotifier;
class TSearchListModel;

class TfrmSearchResult : public QDialog {
  Q_OBJECT
 public:
  TfrmSearchResult(const QString& exeDir, INotifier& notifier, QWidget* parent = nullptr);

  // Handlers, named as the operator's controls.
  void BitBtn3Click();  // 查询
  void BitBtn2Click();  // 删除
  void BitBtn6Click();  // 退出
  void ListView1DblClick();
  // 实验室总览…: the overview over this window.
  void OverviewClick();
  // 开关履历…: the history of the switch named in the filters.
  void SwitchHistoryClick();
  // The lab search for every test of `rigName`.
  void ShowRigTests(const QString& rigName);

 signals:
  // Asked for the detail window of the test with this AutoID.
  void DetailRequested(const QString& autoId);
  // Asked for the detail window of a test in the lab database.
  void LabDetailRequested(const QString& testId);
  // A lab search's rows are shown.
  void LabSearchDone();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  int SelectedRow() const;  // -1 when no line is selected
  bool FromLab() const;
  void SearchLab(const SearchFilter& filter);
  void ShowRows(std::vector<SearchRow> rows, bool lab);

  QString exeDir_;
  INotifier& notifier_;
  QLineEdit* edit_[4] = {};  // Edit1 出厂编号, Edit2 开关型号, Edit3 工位, Edit4 操作员
  QDateEdit* from_ = nullptr;  // DateTimePicker1
  QDateEdit* to_ = nullptr;    // DateTimePicker2
  QRadioButton* ascending_ = nullptr;   // RadioButton1 顺序
  QRadioButton* descending_ = nullptr;  // RadioButton2 逆序
  QTreeView* list_ = nullptr;           // ListView1
  TSearchListModel* model_ = nullptr;
  QComboBox* source_ = nullptr;         // 本机 / 实验室数据库
  QLineEdit* rig_ = nullptr;            // 试验台, for the lab database
};

// Fetches a lab test off the window thread, then opens its detail window.
void ShowLabTestDetail(QWidget* parent, const QString& exeDir, const QString& testId, INotifier& notifier);

// Opens the search window modally; double-clicked tests open their detail
// window over it. Nothing is kept between openings.
void ShowSearchResults(QWidget* parent, const QString& exeDir, INotifier& notifier);

}  // namespace rig

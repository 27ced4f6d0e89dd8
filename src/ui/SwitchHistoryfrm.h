#pragma once
// A switch's history: its programmes and tests in time order, found by its
// factory number (and model) on this rig and, once a lab source is given,
// merged with the lab's. A double click opens the test's detail window or
// the programme's record.
#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "endurance/SwitchHistory.h"

class QLineEdit;
class QTableWidget;

namespace rig {

class INotifier;

// The lab's items for a query; run off the window thread, may throw
// std::exception (its what() is shown).
using LabHistorySource = std::function<std::vector<SwitchHistoryItem>(const SwitchHistoryQuery&)>;
// Another rig's programme in words, by its lab id (nothing: the lab has it
// no more); run off the window thread, may throw std::exception.
using LabRecordSource = std::function<std::optional<QString>(const QString& labId)>;

class TfrmSwitchHistory : public QDialog {
  Q_OBJECT
 public:
  TfrmSwitchHistory(const QString& exeDir, INotifier& notifier, QWidget* parent = nullptr);

  // Empty: this rig's items only.
  LabHistorySource labSource;
  // Empty: another rig's programme is only named.
  LabRecordSource labRecord;

  void SetQuery(const SwitchHistoryQuery& query);
  void QueryClick();           // 查询
  void ItemDblClick(int row);  // a test's detail window, a programme's record
  const std::vector<SwitchHistoryItem>& Items() const { return items_; }

 signals:
  // The lab's items are merged into the list (or the lab could not answer).
  void LabAnswered();
  // Another rig's programme record was shown (or could not be fetched).
  void LabRecordAnswered();

 private:
  void ShowItems(std::vector<SwitchHistoryItem> items);
  void ShowLabProgramme(const SwitchHistoryItem& item);

  QString exeDir_;
  INotifier& notifier_;
  QLineEdit* number_ = nullptr;
  QLineEdit* model_ = nullptr;
  QTableWidget* table_ = nullptr;
  std::vector<SwitchHistoryItem> items_;
  int queries_ = 0;  // a lab answer to an older query is dropped
  bool recordAsked_ = false;  // another rig's programme record is on its way
};

// Opens the window modally, queried at once when `query` names a switch.
void ShowSwitchHistory(QWidget* parent, const QString& exeDir, INotifier& notifier,
                       const SwitchHistoryQuery& query = {});

}  // namespace rig

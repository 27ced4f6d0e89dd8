#pragma once
// The search window's list of saved tests as a table model: a hundred
// thousand listed tests are shown without a widget item per cell.
#include <QAbstractTableModel>
#include <vector>

#include "storage/TestSearch.h"

namespace rig {

class TSearchListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  // The columns: caption and design width; AutoID and path ride along at 1.
  static constexpr int kAutoIdColumn = 9;
  static constexpr int kPathColumn = 10;
  static int DesignWidth(int column);

  // Lab rows carry the test id as AutoID and the rig's name where local rows
  // carry the detail path.
  void SetRows(std::vector<SearchRow> rows, bool lab = false);
  bool Lab() const { return lab_; }
  const SearchRow& Row(int row) const { return rows_.at(static_cast<size_t>(row)); }
  void RemoveListedRow(int row);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<SearchRow> rows_;
  bool lab_ = false;
};

}  // namespace rig

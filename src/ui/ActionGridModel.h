#pragma once
// The detail window's action list as a table model: a long life test has
// tens of thousands of lines, which a model shows without building a widget
// item per cell.
#include <QAbstractTableModel>

#include "storage/TestDetail.h"

namespace rig {

class TActionGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetGrid(ActionGrid grid);
  const ActionGrid& Grid() const { return grid_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  ActionGrid grid_;
};

}  // namespace rig

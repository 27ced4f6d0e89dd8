#pragma once
// The detail window's action list as a table model. A long life test has
// tens of thousands of lines: they are read from the detail file a batch at
// a time as the list scrolls to them, and each cell's text is made only
// when the cell is drawn.
#include <QAbstractTableModel>
#include <memory>

#include "storage/ActionLines.h"
#include "storage/TestDetail.h"

namespace rig {

class TActionGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  ~TActionGridModel() override;

  // Lines read from a detail file.
  void SetLines(std::vector<ActionGrid::Column> columns, std::unique_ptr<TActionLines> lines);
  // Fixed lines (the design columns, no lines).
  void SetGrid(ActionGrid grid);
  const std::vector<ActionGrid::Column>& Columns() const { return grid_.Columns; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  static constexpr int kBatchLines = 256;

 private:
  ActionGrid grid_;  // the columns; the lines when there is no file
  std::unique_ptr<TActionLines> lines_;
  int shown_ = 0;  // lines of lines_ the view knows of
};

}  // namespace rig

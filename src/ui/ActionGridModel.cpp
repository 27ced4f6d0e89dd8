#include "ui/ActionGridModel.h"

#include <QBrush>
#include <QColor>

namespace rig {

void TActionGridModel::SetGrid(ActionGrid grid) {
  beginResetModel();
  grid_ = std::move(grid);
  endResetModel();
}

int TActionGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(grid_.Lines.size());
}

int TActionGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(grid_.Columns.size());
}

QVariant TActionGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const ActionGrid::Line& line = grid_.Lines[static_cast<size_t>(index.row())];
  const int column = index.column();
  if (role == Qt::DisplayRole) {
    if (column == 0) return line.Caption;
    const size_t cell = static_cast<size_t>(column - 1);
    return cell < line.Cells.size() ? line.Cells[cell] : QString();
  }
  if (role == Qt::ForegroundRole) {
    const Rgb c = ActionCellColour(column);
    if (c.Valid()) return QBrush(QColor(c.R, c.G, c.B));
  }
  return {};
}

QVariant TActionGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= columnCount()) return {};
  return grid_.Columns[static_cast<size_t>(section)].Caption;
}

}  // namespace rig

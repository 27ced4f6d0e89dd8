#include "ui/ActionGridModel.h"

#include <QBrush>
#include <QColor>

namespace rig {

TActionGridModel::~TActionGridModel() = default;

void TActionGridModel::SetGrid(ActionGrid grid) {
  beginResetModel();
  grid_ = std::move(grid);
  lines_.reset();
  shown_ = 0;
  endResetModel();
}

void TActionGridModel::SetLines(std::vector<ActionGrid::Column> columns, std::unique_ptr<TActionLines> lines) {
  beginResetModel();
  grid_ = ActionGrid{std::move(columns), {}};
  lines_ = std::move(lines);
  lines_->Fetch(kBatchLines);  // the first screen
  shown_ = lines_->LineCount();
  endResetModel();
}

int TActionGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return lines_ ? shown_ : static_cast<int>(grid_.Lines.size());
}

int TActionGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(grid_.Columns.size());
}

bool TActionGridModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && lines_ && (!lines_->AtEnd() || shown_ < lines_->LineCount());
}

void TActionGridModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  lines_->Fetch(kBatchLines);
  const int now = lines_->LineCount();
  if (now <= shown_) return;
  beginInsertRows(QModelIndex(), shown_, now - 1);
  shown_ = now;
  endInsertRows();
}

QVariant TActionGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const int row = index.row(), column = index.column();
  if (role == Qt::DisplayRole) {
    if (lines_) return column == 0 ? lines_->Caption(row) : lines_->Cell(row, column - 1);
    const ActionGrid::Line& line = grid_.Lines[static_cast<size_t>(row)];
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

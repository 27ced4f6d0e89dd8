#include "ui/SearchListModel.h"

namespace rig {
namespace {

struct ListColumn {
  const char16_t* Caption;
  int Width;
  QString SearchRow::*Field;
};
const ListColumn kColumns[] = {
    {u"出厂编号", 80, &SearchRow::OutIndex},       {u"开关型号", 80, &SearchRow::OpenType},
    {u"开始时间", 150, &SearchRow::StartTestTime}, {u"终止时间", 150, &SearchRow::EndTestTime},
    {u"测试类型", 250, &SearchRow::ModeText},      {u"磨合次数", 80, &SearchRow::DoneCount},
    {u"设定次数", 80, &SearchRow::SetCount},       {u"工位", 100, &SearchRow::WorkArea},
    {u"操作员", 80, &SearchRow::WorkName},         {u"AutoID", 1, &SearchRow::AutoID},
    {u"路径", 1, &SearchRow::DetailPath},
};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

}  // namespace

int TSearchListModel::DesignWidth(int column) {
  return column >= 0 && column < kColumnCount ? kColumns[column].Width : 0;
}

void TSearchListModel::SetRows(std::vector<SearchRow> rows, bool lab) {
  beginResetModel();
  rows_ = std::move(rows);
  lab_ = lab;
  endResetModel();
}

void TSearchListModel::RemoveListedRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

int TSearchListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TSearchListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TSearchListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) {
    return {};
  }
  return rows_[static_cast<size_t>(index.row())].*(kColumns[index.column()].Field);
}

QVariant TSearchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) return {};
  if (lab_ && section == kPathColumn) return QStringLiteral("试验台");
  return QString::fromUtf16(kColumns[section].Caption);
}

}  // namespace rig

#include "storage/ActionLines.h"

#include <QFileInfo>
#include <limits>

#include "storage/SQLite3.h"
#include "storage/SQLiteException.h"
#include "storage/SQLiteStatement.h"

namespace rig {

enum class Grouping { FirstRowOnly, FirstActionOfRun, NewCount, EveryFourth };

struct RendererSpec {
  int Mode;
  const char16_t* Words;  // one action word per break triple
  int RowLimit;           // 0: all rows
  Grouping Group;
};

namespace {

constexpr RendererSpec kRenderers[] = {
    {1, u"合", 1, Grouping::FirstRowOnly},       {2, u"分", 1, Grouping::FirstRowOnly},
    {3, u"合分", 2, Grouping::FirstActionOfRun}, {4, u"分合", 2, Grouping::FirstActionOfRun},
    {5, u"分合分", 3, Grouping::FirstActionOfRun}, {17, u"分合", 0, Grouping::NewCount},
    {18, u"合分", 0, Grouping::NewCount},        {19, u"分合", 0, Grouping::NewCount},
    {20, u"分合分合", 0, Grouping::EveryFourth},
};

const RendererSpec* RendererFor(int mode) {
  for (const RendererSpec& r : kRenderers) {
    if (r.Mode == mode) return &r;
  }
  return nullptr;
}

[[noreturn]] void Unreadable(const QString& what) { throw ESQLiteException(what); }

// The integer a cell holds, as the text ValueText gives would be read;
// throws when it is none. Integer and text columns need no copy.
int IntOf(const TSQLiteStatement& q, int column) {
  bool ok = false;
  int value = 0;
  if (q.Kind(column) == ColumnKind::Integer) {
    const int64_t v = q.Int64(column);
    ok = !q.IsNull(column) && v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
    value = static_cast<int>(v);
  } else if (q.Kind(column) == ColumnKind::Text) {
    value = q.TextView(column).trimmed().toInt(&ok);
  } else {
    value = q.ValueText(column).trimmed().toInt(&ok);
  }
  if (!ok) Unreadable(QStringLiteral("Not an integer"));
  return value;
}

// True when the cell reads exactly "1".
bool IsOne(const TSQLiteStatement& q, int column) {
  switch (q.Kind(column)) {
    case ColumnKind::Integer: return !q.IsNull(column) && q.Int64(column) == 1;
    case ColumnKind::Text: return !q.IsNull(column) && q.TextView(column) == "1";
    default: return q.ValueText(column) == "1";
  }
}

int Required(int column, const char* name) {
  if (column < 0) Unreadable(QStringLiteral("Field not found in dataset: ") + QLatin1String(name));
  return column;
}

const QString kBreakNames[3] = {QStringLiteral("A1"), QStringLiteral("B1"), QStringLiteral("C1")};

}  // namespace

std::vector<ActionGrid::Column> ActionColumns(int mode) {
  std::vector<ActionGrid::Column> columns;
  const RendererSpec* spec = RendererFor(mode);
  if (!spec) return columns;
  columns.push_back({QStringLiteral("动作次数"), 80});
  for (const char16_t* w = spec->Words; *w; ++w) {
    columns.push_back({QString(), 80});
    columns.push_back({QString(QChar(*w)), 80});
    columns.push_back({QString(), 80});
  }
  return columns;
}

TActionLines::TActionLines(int mode, const QString& path) : spec_(RendererFor(mode)) {
  headerCells_ = spec_ ? 3 * static_cast<int>(std::char_traits<char16_t>::length(spec_->Words)) : 0;
  lines_.push_back({0, 0, Line::Header});
  if (!spec_ || !QFileInfo(path).isFile()) {  // nothing to read; never create a file here
    done_ = true;
    return;
  }
  try {
    db_ = std::make_unique<TSQLiteDatabase>(path.toUtf8());
    query_ = std::make_unique<TSQLiteStatement>(*db_, "SELECT * FROM ControlState order by AutoID asc");
  } catch (const ESQLiteException&) {
    Finish();  // a damaged detail file shows the header line
  }
}

TActionLines::~TActionLines() = default;

void TActionLines::Finish() {
  done_ = true;
  query_.reset();
  db_.reset();
}

void TActionLines::Fetch(int lines) {
  const int64_t target = int64_t{LineCount()} + lines;
  try {
    while (!done_ && LineCount() < target) ReadRow();
  } catch (const ESQLiteException&) {
    Finish();  // what was read stays
  }
}

uint32_t TActionLines::MarkId() {
  const int column = strState_[pendingMark_];
  QByteArray bytes;
  if (query_->Kind(column) == ColumnKind::Text) {
    const QByteArrayView view = query_->TextView(column);
    if (view.isEmpty()) return 0;
    bytes = QByteArray::fromRawData(view.data(), view.size());
  } else {
    bytes = query_->ValueText(column);
    if (bytes.isEmpty()) return 0;
  }
  auto found = markIds_.constFind(bytes);
  if (found != markIds_.constEnd()) return *found;
  const auto id = static_cast<uint32_t>(marks_.size());
  marks_.push_back(decode_(bytes));
  markIds_.insert(QByteArray(bytes.constData(), bytes.size()), id);  // a copy of its own
  return id;
}

void TActionLines::ReadRow() {
  if (spec_->RowLimit != 0 && used_ >= spec_->RowLimit) return Finish();
  if (!query_->Next()) return Finish();
  ++used_;
  const TSQLiteStatement& q = *query_;
  if (!columnsKnown_) {
    for (int b = 0; b < 3; ++b) {
      strState_[b] = q.ColumnIndex(QStringLiteral("StrState%1").arg(b + 1));
      state_[b] = q.ColumnIndex(QStringLiteral("State%1").arg(b + 1));
    }
    dealTimes_ = q.ColumnIndex(QStringLiteral("DealTimes"));
    czDealTimes_ = q.ColumnIndex(QStringLiteral("CZDealTimes"));
    columnsKnown_ = true;
  }
  // Read in the order a row is shown: its marks, the grouping, then the cells.
  Row row;
  for (pendingMark_ = 0; pendingMark_ < 3; ++pendingMark_) {
    Required(strState_[pendingMark_], "StrState");
    row.Mark[pendingMark_] = MarkId();
  }
  bool newLine = false;
  Line line{static_cast<uint32_t>(rows_.size()), 0, Line::Dash};
  switch (spec_->Group) {
    case Grouping::FirstRowOnly:
      newLine = true;
      break;
    case Grouping::FirstActionOfRun:
      newLine = IntOf(q, Required(czDealTimes_, "CZDealTimes")) == 1;
      break;
    case Grouping::NewCount: {
      const int count = IntOf(q, Required(dealTimes_, "DealTimes"));
      newLine = count != previousCount_;
      previousCount_ = count;
      line = {line.FirstRow, count, Line::Number};
      break;
    }
    case Grouping::EveryFourth: {
      const int count = IntOf(q, Required(dealTimes_, "DealTimes"));
      newLine = IntOf(q, Required(czDealTimes_, "CZDealTimes")) % 4 == 1;
      line = {line.FirstRow, count, Line::Number};
      break;
    }
  }
  if (newLine) lines_.push_back(line);
  rows_.push_back(row);
  Row& stored = rows_.back();
  for (int b = 0; b < 3; ++b) {
    if (IsOne(q, Required(state_[b], "State"))) stored.Closed |= static_cast<uint8_t>(1u << b);
    ++stored.Cells;
  }
}

int TActionLines::LineCount() const {
  // The last line may still gain cells until the next one starts.
  return static_cast<int>(lines_.size()) - (done_ ? 0 : 1);
}

int TActionLines::RowEnd(int line) const {
  return line + 1 < static_cast<int>(lines_.size()) ? static_cast<int>(lines_[line + 1].FirstRow)
                                                     : static_cast<int>(rows_.size());
}

QString TActionLines::Caption(int line) const {
  const Line& l = lines_.at(line);
  switch (l.Kind) {
    case Line::Header: return QString();
    case Line::Dash: return QStringLiteral("-");
    case Line::Number: return QString::number(l.Count);
  }
  return QString();
}

int TActionLines::CellCount(int line) const {
  const int first = static_cast<int>(lines_.at(line).FirstRow), end = RowEnd(line);
  int cells = line == 0 ? headerCells_ : 0;
  for (int r = first; r < end; ++r) cells += rows_[r].Cells;  // 3 each but a cut last row
  return cells;
}

QString TActionLines::Cell(int line, int cell) const {
  if (line == 0) {
    if (cell < headerCells_) return kBreakNames[cell % 3];
    cell -= headerCells_;
  }
  const int row = static_cast<int>(lines_.at(line).FirstRow) + cell / 3;
  const int b = cell % 3;
  if (cell < 0 || row >= RowEnd(line) || b >= rows_[row].Cells) return QString();
  const Row& r = rows_[row];
  return ((r.Closed >> b) & 1 ? QStringLiteral("● ") : QStringLiteral("○ ")) + marks_[r.Mark[b]];
}

size_t TActionLines::MemoryBytes() const {
  size_t bytes = rows_.capacity() * sizeof(Row) + lines_.capacity() * sizeof(Line);
  for (const QString& m : marks_) bytes += sizeof(QString) + static_cast<size_t>(m.capacity()) * 2;
  return bytes;
}

}  // namespace rig

#pragma once
// The action list of one saved test, read from its detail file a screenful
// at a time: a 32,000-cycle life test has 128,000 actions, and the list
// keeps each as a few bytes, turning it into cell texts only when a cell is
// shown. The detail file stays open until it has been read to the end.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/GbkText.h"
#include "storage/TestDetail.h"

namespace rig {

class TSQLiteDatabase;
class TSQLiteStatement;
struct RendererSpec;

// The list columns of a mode: "动作次数", then a break triple per action
// word; empty for a code that is none of the nine modes.
std::vector<ActionGrid::Column> ActionColumns(int mode);

class TActionLines {
 public:
  // `mode` one of the nine modes. A file that is missing or cannot be read
  // gives the header line only; a missing file is never created.
  TActionLines(int mode, const QString& path);
  ~TActionLines();
  TActionLines(const TActionLines&) = delete;
  TActionLines& operator=(const TActionLines&) = delete;

  // Reads on until `lines` more lines are complete or nothing is left; a row
  // that cannot be read ends the reading, keeping what was built.
  void Fetch(int lines);
  bool AtEnd() const { return done_; }

  // Lines complete so far (line 0 is the header line).
  int LineCount() const;
  QString Caption(int line) const;
  int CellCount(int line) const;
  QString Cell(int line, int cell) const;

  // What the list holds in memory, in bytes.
  size_t MemoryBytes() const;

 private:
  struct Row {
    uint8_t Closed = 0;  // bit b: break b closed
    uint8_t Cells = 0;   // cells of the row (3, fewer when reading stopped inside it)
    uint32_t Mark[3] = {0, 0, 0};
  };
  struct Line {
    uint32_t FirstRow;
    int32_t Count;  // the caption's DealTimes
    enum : uint8_t { Header, Dash, Number } Kind;
  };

  void ReadRow();
  void Finish();
  uint32_t MarkId();
  int RowEnd(int line) const;

  const RendererSpec* spec_;
  int headerCells_ = 0;
  std::unique_ptr<TSQLiteDatabase> db_;
  std::unique_ptr<TSQLiteStatement> query_;
  bool done_ = false;
  bool columnsKnown_ = false;
  int strState_[3] = {-1, -1, -1}, state_[3] = {-1, -1, -1}, dealTimes_ = -1, czDealTimes_ = -1;
  int used_ = 0;
  int previousCount_ = 0;
  int pendingMark_ = 0;  // the StrState column MarkId reads
  std::vector<Row> rows_;
  std::vector<Line> lines_;
  std::vector<QString> marks_{QString()};  // distinct mark texts; 0 is the empty mark
  QHash<QByteArray, uint32_t> markIds_;
  TGbkDecoder decode_;
};

}  // namespace rig

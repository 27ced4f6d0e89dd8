// The readers of saved tests (SearchTests, LoadTestSummary, RenderActions)
// fed damaged or hostile database files. The first byte chooses:
//   0  the rest is SaveData.db, byte for byte;
//   1  the rest is a detail file, named by rows of every mode in a sound
//      SaveData.db;
//   2  both files are built from the input: tables with missing columns,
//      odd declared types, and cells of any type (texts not GBK, numbers out
//      of range, blobs, NULLs, dates that are no dates, detail paths that
//      name folders, missing files or files elsewhere), now and then a view
//      in place of the table that never ends.
// Whatever the files hold, the readers may only throw ESQLiteException (the
// documented failure of SearchTests and LoadTestSummary), never create a
// file, and the action grid keeps its shape: the mode's columns, the header
// line, three cells per row used, no more rows than the mode shows; read a
// few lines at a time it ends the same.
#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "ScratchDir.h"
#include "core/GbkText.h"
#include "storage/ActionLines.h"
#include "storage/ModeTexts.h"
#include "storage/SQLite3.h"
#include "storage/Schema.h"
#include "storage/TestDetail.h"
#include "storage/TestSearch.h"

namespace {

using rig::ActionGrid;
using rig::ESQLiteException;
using rig::SqlParams;
using rig::SqlValue;
using rig::TSQLiteDatabase;

[[noreturn]] void Fail(const char* what, long a = 0, long b = 0) {
  std::fprintf(stderr, "saved_tests: %s (%ld, %ld)\n", what, a, b);
  std::abort();
}

const QString& Dir() { return rigfuzz::ScratchDir(); }
QString SavePath() { return Dir() + QStringLiteral("SaveData.db"); }
QString DetailPath() { return Dir() + QStringLiteral("20240101/detail.db"); }

void Clean() {
  QDir dir(Dir());
  dir.removeRecursively();
  QDir().mkpath(Dir() + QStringLiteral("20240101"));
}

void WriteFile(const QString& path, const std::string& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("cannot set up");
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

struct ModeShape {
  int Mode;
  int Words;
  int RowLimit;  // 0: all
};
constexpr ModeShape kModes[] = {{1, 1, 1},  {2, 1, 1},  {3, 2, 2},  {4, 2, 2}, {5, 3, 3},
                                {17, 2, 0}, {18, 2, 0}, {19, 2, 0}, {20, 4, 0}};

// The grid of `shape` after rendering a file of `rows` rows (-1: unknown).
void CheckGrid(const ActionGrid& g, const ModeShape& shape, long rows) {
  const size_t triple = 3u * static_cast<size_t>(shape.Words);
  if (g.Columns.size() != 1 + triple) Fail("columns", static_cast<long>(g.Columns.size()), shape.Mode);
  if (g.Lines.empty()) Fail("no header line", shape.Mode);
  const ActionGrid::Line& header = g.Lines[0];
  if (!header.Caption.isEmpty() || header.Cells.size() < triple) Fail("header line", shape.Mode);
  static const QString kBreaks[3] = {QStringLiteral("A1"), QStringLiteral("B1"), QStringLiteral("C1")};
  size_t cells = header.Cells.size() - triple;
  for (size_t k = 0; k < triple; ++k) {
    if (header.Cells[k] != kBreaks[k % 3]) Fail("header cell", static_cast<long>(k), shape.Mode);
  }
  for (size_t k = triple; k < header.Cells.size(); ++k) {
    if (!header.Cells[k].startsWith(u'●') && !header.Cells[k].startsWith(u'○')) Fail("cell", 0, static_cast<long>(k));
  }
  for (size_t l = 1; l < g.Lines.size(); ++l) {
    const ActionGrid::Line& line = g.Lines[l];
    // A row that fails half-way (a State column missing) ends the filling
    // with what it had added: only the last line can be short.
    const bool last = l + 1 == g.Lines.size();
    if (!last && (line.Cells.empty() || line.Cells.size() % 3 != 0)) Fail("line cells", static_cast<long>(l), shape.Mode);
    for (const QString& c : line.Cells) {
      if (!(c.startsWith(QStringLiteral("● ")) || c.startsWith(QStringLiteral("○ ")))) Fail("cell text", static_cast<long>(l));
    }
    if (shape.RowLimit != 0 && line.Caption != QStringLiteral("-")) Fail("operation test caption", static_cast<long>(l));
    bool number = false;
    line.Caption.toLongLong(&number);
    if (shape.RowLimit == 0 && !number) Fail("life test caption", static_cast<long>(l));
    cells += line.Cells.size();
  }
  const long used = static_cast<long>((cells + 2) / 3);
  if (shape.RowLimit != 0 && used > shape.RowLimit) Fail("rows beyond the mode's limit", used, shape.Mode);
  if (rows >= 0 && used > rows) Fail("more rows shown than the file holds", used, rows);
}

// The list read a few lines at a time, as the detail window reads it while
// the operator scrolls, ends with the lines one read of everything gives.
void CheckBatches(const ActionGrid& whole, int mode, const QString& path) {
  rig::TActionLines lines(mode, path);
  for (int batch = 1; !lines.AtEnd(); batch = batch % 7 + 1) {
    const int before = lines.LineCount();
    lines.Fetch(batch);
    if (lines.LineCount() < before) Fail("lines lost", before, mode);
  }
  if (static_cast<size_t>(lines.LineCount()) != whole.Lines.size()) Fail("batch line count", lines.LineCount(), mode);
  for (int l = 0; l < lines.LineCount(); ++l) {
    const ActionGrid::Line& w = whole.Lines[static_cast<size_t>(l)];
    if (lines.Caption(l) != w.Caption || static_cast<size_t>(lines.CellCount(l)) != w.Cells.size()) {
      Fail("batch line", l, mode);
    }
    for (int c = 0; c < lines.CellCount(l); ++c) {
      if (lines.Cell(l, c) != w.Cells[static_cast<size_t>(c)]) Fail("batch cell", l, c);
    }
  }
}

void RenderEveryMode(const QString& path, long rows) {
  const bool existed = QFileInfo::exists(path);
  for (const ModeShape& shape : kModes) {
    ActionGrid grid = ActionGrid::Design();
    rig::RenderActions(shape.Mode, path, &grid);
    CheckGrid(grid, shape, rows);
    CheckBatches(grid, shape.Mode, path);
  }
  ActionGrid grid = ActionGrid::Design();
  rig::RenderActions(6, path, &grid);
  if (grid.Columns.size() != ActionGrid::Design().Columns.size() || !grid.Lines.empty()) Fail("mode 6 drew a grid");
  if (!existed && QFileInfo::exists(path)) Fail("a missing detail file was created");
}

void ReadEverything(const QStringList& extraIds, long detailRows) {
  QStringList ids = extraIds;
  rig::SearchFilter filter;
  filter.From = QDate(1900, 1, 1);
  filter.To = QDate(2100, 12, 31);
  try {
    for (const rig::SearchRow& row : rig::SearchTests(Dir(), filter)) ids << row.AutoID;
  } catch (const ESQLiteException&) {
  }
  for (const QString& id : ids) {
    rig::DetailHeader header;
    ActionGrid grid = ActionGrid::Design();
    try {
      rig::LoadTestSummary(Dir(), id, &header, &grid);
    } catch (const ESQLiteException&) {
    }
    if (!grid.Lines.empty()) {
      const int words = static_cast<int>(grid.Columns.size() - 1) / 3;
      const ModeShape* shape = nullptr;
      for (const ModeShape& s : kModes) {
        if (s.Words == words && header.TypeText.startsWith(rig::SavedModeText(s.Mode))) shape = &s;
      }
      if (shape) CheckGrid(grid, *shape, detailRows);
    }
  }
}

// A sound SaveData.db with one row per mode (and one unknown) naming `detail`.
void WriteSoundSummary(const QString& detail) {
  TSQLiteDatabase db(SavePath().toUtf8());
  db.RunSQL("PRAGMA synchronous=OFF");
  db.RunSQL("BEGIN");
  db.RunSQL(rig::SchemaStatement(QStringLiteral("TestInfo")));
  for (int mode : {1, 2, 3, 4, 5, 17, 18, 19, 20, 0}) {
    db.RunSQL(
        "INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
        "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
        "VALUES ('ZW32','0815','A','B','2024-01-01 10:00:00','2024-01-01 11:00:00',1,?1,?2,1,2,3,4,5,3,1)",
        {rig::ToGbk(detail), int64_t{mode}});
  }
  db.RunSQL("COMMIT");
}

// --- built from the input ---------------------------------------------------

const QStringList kTextColumns = {"OpenType", "OutIndex", "WorkArea", "WorkName", "StartTestTime", "EndTestTime",
                                  "DetailSaveDBName", "StrState1", "StrState2", "StrState3"};
const char* const kTypes[] = {"INTEGER", "TEXT", "REAL", "BLOB", "NUMERIC", "", "VARCHAR(20)", "BOOLEAN", "FLOAT"};

SqlValue AnyValue(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: return std::monostate{};
    case 1: return in.ConsumeIntegral<int64_t>();
    case 2: {
      const double choices[] = {in.ConsumeFloatingPoint<double>(), std::numeric_limits<double>::infinity(), -1e300,
                                9.3e18, 0.5};
      return choices[in.ConsumeIntegralInRange(0, 4)];
    }
    case 3: return rig::SqlBlob{QByteArray::fromStdString(in.ConsumeRandomLengthString(64))};
    default: return QByteArray::fromStdString(in.ConsumeRandomLengthString(64));
  }
}

// A value that looks like what the column holds, often enough to get deep.
SqlValue ColumnValue(FuzzedDataProvider& in, const QString& column) {
  if (in.ConsumeIntegralInRange(0, 3) == 0) return AnyValue(in);
  if (column == QLatin1String("iDealType")) {
    const int modes[] = {1, 2, 3, 4, 5, 17, 18, 19, 20, 0, 6, -1};
    return int64_t{modes[in.ConsumeIntegralInRange(0, 11)]};
  }
  if (column == QLatin1String("StartTestTime") || column == QLatin1String("EndTestTime")) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(in.ConsumeIntegralInRange(0, 9999), 4, 10, QLatin1Char('0'))
        .arg(in.ConsumeIntegralInRange(0, 99), 2, 10, QLatin1Char('0'))
        .arg(in.ConsumeIntegralInRange(0, 99), 2, 10, QLatin1Char('0'))
        .arg(in.ConsumeIntegralInRange(0, 99), 2, 10, QLatin1Char('0'))
        .arg(in.ConsumeIntegralInRange(0, 99), 2, 10, QLatin1Char('0'))
        .arg(in.ConsumeIntegralInRange(0, 99), 2, 10, QLatin1Char('0'))
        .toLatin1();
  }
  if (column == QLatin1String("DetailSaveDBName")) {
    const QString choices[] = {DetailPath(),
                               QStringLiteral("C:\\HX4417\\20240101\\detail.db"),
                               Dir() + QStringLiteral("20240101"),
                               Dir() + QStringLiteral("nowhere/missing.db"),
                               QStringLiteral("missing.db"),
                               QString(),
                               SavePath(),
                               Dir() + QStringLiteral("20240101/../20240101/detail.db")};
    return rig::ToGbk(choices[in.ConsumeIntegralInRange(0, 7)]);
  }
  if (column.startsWith(QLatin1String("StrState"))) {
    const QString marks[] = {QStringLiteral("拒合"), QStringLiteral("拒分"), QString(), QStringLiteral("●")};
    return rig::ToGbk(marks[in.ConsumeIntegralInRange(0, 3)]);
  }
  if (column.startsWith(QLatin1String("State"))) return int64_t{in.ConsumeIntegralInRange(0, 2)};
  if (in.ConsumeBool()) return QByteArray::number(in.ConsumeIntegralInRange(-2, 40));
  return int64_t{in.ConsumeIntegralInRange(-2, 40)};
}

// Creates `table` with some of `columns` (odd types too) and up to
// `maxRows` rows; returns the rows written.
long BuildTable(FuzzedDataProvider& in, const QString& path, const char* table, const QStringList& columns,
                int maxRows) {
  QStringList kept, declared;
  const int idKind = in.ConsumeIntegralInRange(0, 3);  // rowid alias, plain, text, missing
  if (idKind == 0) declared << QStringLiteral("AutoID INTEGER PRIMARY KEY AUTOINCREMENT");
  if (idKind == 1) declared << QStringLiteral("AutoID INTEGER");
  if (idKind == 2) declared << QStringLiteral("AutoID TEXT");
  if (idKind != 3) kept << QStringLiteral("AutoID");
  for (const QString& c : columns) {
    if (in.ConsumeIntegralInRange(0, 15) == 0) continue;  // a column the reader needs is missing
    // Mostly the schema's own type.
    const char* type = in.ConsumeIntegralInRange(0, 2) != 0 ? (kTextColumns.contains(c) ? "TEXT" : "INTEGER")
                                                            : kTypes[in.ConsumeIntegralInRange<size_t>(0, std::size(kTypes) - 1)];
    declared << c + QLatin1Char(' ') + QLatin1String(type);
    kept << c;
  }
  if (declared.isEmpty()) declared << QStringLiteral("Unrelated INTEGER");
  TSQLiteDatabase db(path.toUtf8());
  db.RunSQL("PRAGMA synchronous=OFF");  // a scratch file: no waiting for the disk
  db.RunSQL(QStringLiteral("CREATE TABLE %1(%2)").arg(QLatin1String(table), declared.join(u',')).toLatin1());
  const long rows = in.ConsumeIntegralInRange(0, maxRows);
  db.RunSQL("BEGIN");
  for (long r = 0; r < rows; ++r) {
    SqlParams values;
    QStringList marks;
    for (const QString& c : kept) {
      if (c != QLatin1String("AutoID")) values.push_back(ColumnValue(in, c));
      else if (idKind != 2 && in.ConsumeBool()) values.push_back(std::monostate{});  // NULL: assigned, or left NULL
      else values.push_back(int64_t{r + 1});
      marks << QStringLiteral("?%1").arg(values.size());
    }
    try {
      db.RunSQL(QStringLiteral("INSERT INTO %1(%2) VALUES (%3)")
                    .arg(QLatin1String(table), kept.join(u','), marks.join(u','))
                    .toLatin1(),
                values);
    } catch (const ESQLiteException&) {
      // a clashing AutoID: the row is left out
    }
  }
  db.RunSQL("COMMIT");
  const long count =
      db.QueryTable(QStringLiteral("SELECT count(*) AS N FROM %1").arg(QLatin1String(table)).toLatin1())->ValueInteger(0);
  if (in.ConsumeIntegralInRange(0, 15) == 0) {
    // The table behind a view that never ends.
    db.RunSQL(QStringLiteral("ALTER TABLE %1 RENAME TO Rows").arg(QLatin1String(table)).toLatin1());
    db.RunSQL(QStringLiteral("CREATE VIEW %1 AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) "
                             "SELECT Rows.* FROM Rows, c")
                  .arg(QLatin1String(table))
                  .toLatin1());
  }
  return count;
}

const QStringList kSummaryColumns = {"OpenType", "OutIndex",  "WorkArea", "WorkName", "StartTestTime", "EndTestTime",
                                     "iWorkIndex", "DetailSaveDBName", "iDealType", "Param1", "Param2", "Param3",
                                     "Param4", "Param5", "iDealTimes", "iCancelDeal"};
const QStringList kDetailColumns = {"DealTimes", "CZDealTimes", "State1",    "State2",
                                    "State3",    "StrState1",   "StrState2", "StrState3"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Clean();
  FuzzedDataProvider in(data, size);
  const QStringList someIds = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("-1"), QStringLiteral("abc"),
                               QString()};
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      WriteFile(SavePath(), in.ConsumeRemainingBytesAsString());
      ReadEverything(someIds, -1);
      break;
    case 1:
      WriteFile(DetailPath(), in.ConsumeRemainingBytesAsString());
      WriteSoundSummary(DetailPath());
      RenderEveryMode(DetailPath(), -1);
      ReadEverything({}, -1);
      break;
    default: {
      const long rows = BuildTable(in, DetailPath(), "ControlState", kDetailColumns, 24);
      BuildTable(in, SavePath(), "TestInfo", kSummaryColumns, 6);
      RenderEveryMode(DetailPath(), rows);
      RenderEveryMode(Dir() + QStringLiteral("nowhere/missing.db"), 0);
      ReadEverything(someIds, rows);
      break;
    }
  }
  return 0;
}

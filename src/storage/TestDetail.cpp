#include "storage/TestDetail.h"

#include <limits>

#include "core/GbkText.h"
#include "storage/ActionLines.h"
#include "storage/ModeTexts.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteTable3.h"
#include "storage/SavedTestFiles.h"

namespace rig {
namespace {

int ToInt(const QByteArray& text) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  if (!ok) throw ESQLiteException(QStringLiteral("Not an integer: ") + FromGbk(text));
  return v;
}

struct HeaderSpec {
  int Mode;
  const char16_t *FirstCaption, *FirstUnit;
  const char16_t *SecondCaption, *SecondUnit;  // nullptr: hidden
  bool Count;
  bool SecondRow;
};

constexpr HeaderSpec kHeaders[] = {
    {1, u"持续", u"ms", nullptr, nullptr, false, false},
    {2, u"持续", u"ms", nullptr, nullptr, false, false},
    {3, u"合延时", u"ms分", nullptr, nullptr, false, false},
    {4, u"分延时", u"ms合", nullptr, nullptr, false, false},
    {5, u"分延时", u"ms", u"合延时", u"ms分", false, false},
    {17, u"分延时", u"s", u"合延时", u"s", true, false},
    {18, u"合延时", u"ms", u"分延时", u"s", true, false},
    {19, u"分延时", u"ms", u"合延时", u"s", true, false},
    {20, u"分延时", u"ms", u"合延时", u"ms", false, true},
};

QString Str(const char16_t* s) { return QString::fromUtf16(s); }

}  // namespace

ActionGrid ActionGrid::Design() {
  ActionGrid g;
  g.Columns = {{QStringLiteral("动作次数"), 80}, {QStringLiteral("A1拒合"), 80}, {QStringLiteral("B1"), 150},
               {QStringLiteral("C1"), 150}};
  return g;
}

Rgb ActionCellColour(int column) {
  if (column <= 0) return {};
  switch ((column - 1) % 3) {
    case 0: return {255, 255, 0};
    case 1: return {0, 128, 0};
    default: return {255, 0, 0};
  }
}

void RenderActions(int mode, const QString& path, ActionGrid* grid) {
  std::vector<ActionGrid::Column> columns = ActionColumns(mode);
  if (columns.empty()) return;
  grid->Columns = std::move(columns);
  grid->Lines.clear();
  TActionLines lines(mode, path);
  lines.Fetch(std::numeric_limits<int>::max());
  for (int l = 0; l < lines.LineCount(); ++l) {
    ActionGrid::Line line{lines.Caption(l), {}};
    const int cells = lines.CellCount(l);
    line.Cells.reserve(static_cast<size_t>(cells));
    for (int c = 0; c < cells; ++c) line.Cells.push_back(lines.Cell(l, c));
    grid->Lines.push_back(std::move(line));
  }
}

void LoadTestSummary(const QString& exeDir, const QString& autoId, DetailHeader* h, ActionGrid* grid) {
  grid->Lines.clear();
  if (const int mode = LoadTestHeader(exeDir, autoId, h)) RenderActions(mode, h->DetailPath, grid);
}

int LoadTestHeader(const QString& exeDir, const QString& autoId, DetailHeader* h) {
  int renderMode = 0;
  TSQLiteDatabase db((exeDir + QStringLiteral("SaveData.db")).toUtf8());
  bool idOk = false;
  const qint64 id = autoId.trimmed().toLongLong(&idOk);
  if (!idOk) throw ESQLiteException(QStringLiteral("Error executing SQL: AutoID \"%1\" is not a number").arg(autoId));
  auto table = db.QueryTable("SELECT * FROM TestInfo where AutoID=?1", {int64_t{id}});
  TSQLiteTable& t = *table;
  auto text = [&t](const char* column) { return FromGbk(t.ValueText(t.ColumnIndex(QString::fromLatin1(column)))); };
  try {
    h->OutIndex = text("OutIndex");
    h->OpenType = text("OpenType");
    h->WorkArea = text("WorkArea");
    h->WorkName = text("WorkName");
    h->DetailPath = ResolveDetailPath(exeDir, t.ValueText(t.ColumnIndex(QStringLiteral("DetailSaveDBName"))));
    const int mode = ToInt(t.ValueText(t.ColumnIndex(QStringLiteral("iDealType"))));

    QString type;
    h->Second.Visible = false;
    h->Count.Visible = false;
    h->SecondRowVisible = false;
    for (const HeaderSpec& s : kHeaders) {
      if (s.Mode != mode) continue;
      type = SavedModeText(mode);
      if (IsLifeMode(mode)) {
        type += QStringLiteral(",磨合次数：") + text("iDealTimes") + QStringLiteral(",设定次数：") +
                text(mode == 20 ? "Param5" : "Param3");
      }
      h->First = {Str(s.FirstCaption), text("Param1"), Str(s.FirstUnit), true};
      if (s.SecondCaption) h->Second = {Str(s.SecondCaption), text("Param2"), Str(s.SecondUnit), true};
      if (s.Count) h->Count = {QString(), text("Param3"), QStringLiteral("次"), true};
      if (s.SecondRow) {
        h->SecondRowVisible = true;
        h->SecondRow[0] = text("Param3");
        h->SecondRow[1] = text("Param4");
        h->SecondRow[2] = text("Param5");
      }
      renderMode = mode;
    }
    h->TypeText = type;
    h->ActionType = ToInt(t.ValueText(t.ColumnIndex(QStringLiteral("iCancelDeal")))) == 1 ? QStringLiteral("忽略拒动作")
                                                                                           : QStringLiteral("不忽略拒动作");
    const QString start = text("StartTestTime");
    auto part = [&start](int from, int len) { return ToInt(start.mid(from - 1, len).toLatin1()); };
    const QDateTime when(QDate(part(1, 4), part(6, 2), part(9, 2)), QTime(part(12, 2), part(15, 2), part(18, 2)));
    if (!when.isValid()) throw ESQLiteException(QStringLiteral("Invalid start time: ") + start);
    h->StartTime = when;
  } catch (const ESQLiteException&) {
    // Filling stops here; the rest keeps its design contents.
  }
  return renderMode;
}

}  // namespace rig

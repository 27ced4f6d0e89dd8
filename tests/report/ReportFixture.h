#pragma once
// Saved tests made the way the record store writes them, with refusals put
// where a case wants them, and the outputs read back: pdftotext for a PDF,
// the workbook's sheet XML for an .xlsx, a CSV parser.
#include <QProcess>
#include <QXmlStreamReader>
#include <map>

#include "storage/SavedTestsFixture.h"

namespace rigtest {

struct PlannedRefusal {
  int Action;  // 0-based index of the action
  int Break;   // 0 A1, 1 B1, 2 C1
  const char16_t* Mark;
};

struct PlannedTest {
  int Mode = 17;
  std::array<int, 5> Params{10, 20, 0, 0, 0};
  int Cycles = 0;           // counts 1..Cycles
  int ActionsPerCycle = 2;  // actions sharing one count
  bool Ignore = false;
  std::vector<PlannedRefusal> Refusals;
  QString OutIndex = QStringLiteral("F07-2026");
  QString OpenType = QStringLiteral("ZW32-12");
  QString WorkArea = QStringLiteral("三号台");
  QString WorkName = QStringLiteral("王工");
  QString Start = QStringLiteral("2026-11-07 14:05:09");
  QString End = QStringLiteral("2026-11-07 16:40:12");

  int Actions() const { return Cycles * ActionsPerCycle; }
  int CountOf(int action) const { return action / ActionsPerCycle + 1; }
  bool ClosedAfter(int action) const { return action % 2 == 1; }  // open, close, open, ...
};

// Writes `plan` into `folder` (TestInfo row and detail file); returns the AutoID.
inline qint64 SaveTest(const SavedTestsFolder& folder, const PlannedTest& plan, const QString& detailName = "detail.db") {
  const QString path = folder.dir.File(detailName);
  QFile::copy(folder.dir.File("SpaceData.db"), path);
  {
    rig::TSQLiteDatabase db(path.toUtf8());
    db.RunSQL("BEGIN");
    for (int i = 0; i < plan.Actions(); ++i) {
      QString marks[3];
      for (const PlannedRefusal& r : plan.Refusals) {
        if (r.Action == i) marks[r.Break] = QString::fromUtf16(r.Mark);
      }
      const int64_t closed = plan.ClosedAfter(i) ? 1 : 0;
      db.RunSQL(
          "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
          "VALUES (?1,?2,?3,?3,?3,?4,?5,?6)",
          {int64_t{plan.CountOf(i)}, int64_t{i + 1}, closed, rig::ToGbk(marks[0]), rig::ToGbk(marks[1]),
           rig::ToGbk(marks[2])});
    }
    db.RunSQL("COMMIT");
  }
  rig::TSQLiteDatabase db(folder.dir.File("SaveData.db").toUtf8());
  const std::array<int, 5>& p = plan.Params;
  db.RunSQL(
      "INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
      "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
      "VALUES (?1,?2,?3,?4,?5,?6,2,?7,?8,?9,?10,?11,?12,?13,?14,?15)",
      {rig::ToGbk(plan.OpenType), rig::ToGbk(plan.OutIndex), rig::ToGbk(plan.WorkArea), rig::ToGbk(plan.WorkName),
       rig::ToGbk(plan.Start), rig::ToGbk(plan.End), rig::ToGbk(path), int64_t{plan.Mode}, int64_t{p[0]},
       int64_t{p[1]}, int64_t{p[2]}, int64_t{p[3]}, int64_t{p[4]}, int64_t{plan.Cycles},
       int64_t{plan.Ignore ? 1 : 0}});
  return db.QueryTable("SELECT max(AutoID) AS M FROM TestInfo")->ValueInteger(0);
}

// Output of a command-line tool; empty when it failed.
inline QString ToolOutput(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return QString();
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Cells of one sheet of an .xlsx ("B7" -> text), shared and inline strings
// resolved; `sheet` is 1-based in workbook order.
struct Sheet {
  std::map<QString, QString> Value;
  std::map<QString, QString> Style;  // the cell's s attribute
  QString At(const QString& ref) const {
    auto it = Value.find(ref);
    return it == Value.end() ? QString() : it->second;
  }
};

inline Sheet ReadSheet(const QString& xlsx, int sheet) {
  const QStringList strings = [&] {
    QStringList out;
    QXmlStreamReader x(ToolOutput("unzip", {"-p", xlsx, "xl/sharedStrings.xml"}));
    while (!x.atEnd()) {
      if (x.readNext() == QXmlStreamReader::StartElement && x.name() == QLatin1String("t")) out << x.readElementText();
    }
    return out;
  }();
  Sheet s;
  QXmlStreamReader x(ToolOutput("unzip", {"-p", xlsx, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)}));
  QString ref, type;
  while (!x.atEnd()) {
    x.readNext();
    if (!x.isStartElement()) continue;
    if (x.name() == QLatin1String("c")) {
      ref = x.attributes().value("r").toString();
      type = x.attributes().value("t").toString();
      s.Style[ref] = x.attributes().value("s").toString();
    } else if (x.name() == QLatin1String("v")) {
      const QString v = x.readElementText();
      s.Value[ref] = type == QLatin1String("s") ? strings.value(v.toInt()) : v;
    } else if (x.name() == QLatin1String("t")) {
      s.Value[ref] = x.readElementText();
    }
  }
  return s;
}

// RFC 4180 records: quoted fields, doubled quotes, CRLF.
inline std::vector<QStringList> ParseCsv(const QString& text) {
  std::vector<QStringList> rows;
  QStringList row;
  QString field;
  bool quoted = false;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
      else if (c == '"') quoted = false;
      else field += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row << field, field.clear();
    } else if (c == '\n') {
      row << field, field.clear();
      rows.push_back(row), row.clear();
    } else if (c != '\r') {
      field += c;
    }
  }
  if (!field.isEmpty() || !row.isEmpty()) rows.push_back(row << field);
  return rows;
}

}  // namespace rigtest

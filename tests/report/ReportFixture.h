#pragma once
// Saved tests made the way the record store writes them, with refusals put
// where a case wants them, and the outputs read back: pdftotext for a PDF,
// the workbook's sheet XML for an .xlsx, a CSV parser.
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <map>

#include "storage/SavedTestsFixture.h"

namespace rigtest {

// A break left in the wrong position at one action: the opposite of what the
// mode wants there. `Mark` names the refusal the rule must find; `Marked`
// says whether the stored row carries it (as the refusal check writes it)
// or only the position shows it (as under "忽略拒动作").
struct PlannedRefusal {
  int Action;  // 0-based index of the action
  int Break;   // 0 A1, 1 B1, 2 C1
  const char16_t* Mark;
  bool Marked = true;
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
  // Where the mode wants the breaks after `action`, written out per mode:
  // single close, single open, close-open (3, 18) and open-close-... (others).
  bool ClosedAfter(int action) const {
    if (Mode == 1) return true;
    if (Mode == 2) return false;
    if (Mode == 3 || Mode == 18) return action % 2 == 0;
    return action % 2 == 1;
  }
  // The stored position of one break: wrong where a refusal is planned.
  bool StoredClosed(int action, int brk) const {
    bool wrong = false;
    for (const PlannedRefusal& r : Refusals) wrong |= r.Action == action && r.Break == brk;
    return ClosedAfter(action) != wrong;
  }
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
        if (r.Action == i && r.Marked) marks[r.Break] = QString::fromUtf16(r.Mark);
      }
      auto closed = [&](int b) { return int64_t{plan.StoredClosed(i, b) ? 1 : 0}; };
      db.RunSQL(
          "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
          "VALUES (?1,?2,?3,?4,?5,?6,?7,?8)",
          {int64_t{plan.CountOf(i)}, int64_t{i + 1}, closed(0), closed(1), closed(2), rig::ToGbk(marks[0]),
           rig::ToGbk(marks[1]), rig::ToGbk(marks[2])});
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
  std::map<QString, QString> Type;   // the cell's t attribute: "" for a number, "s"/"inlineStr" for text
  QString Xml;                       // the sheet as written
  bool IsNumber(const QString& ref) const { return Value.count(ref) && Type.count(ref) && Type.at(ref).isEmpty(); }
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
  s.Xml = ToolOutput("unzip", {"-p", xlsx, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)});
  QXmlStreamReader x(s.Xml);
  QString ref, type;
  while (!x.atEnd()) {
    x.readNext();
    if (!x.isStartElement()) continue;
    if (x.name() == QLatin1String("c")) {
      ref = x.attributes().value("r").toString();
      type = x.attributes().value("t").toString();
      s.Style[ref] = x.attributes().value("s").toString();
      s.Type[ref] = type;
    } else if (x.name() == QLatin1String("v")) {
      const QString v = x.readElementText();
      s.Value[ref] = type == QLatin1String("s") ? strings.value(v.toInt()) : v;
    } else if (x.name() == QLatin1String("t")) {
      s.Value[ref] = x.readElementText();
    }
    // Control characters travel as "_x000D_" and the like.
    if (s.Value.count(ref)) {
      QString& v = s.Value[ref];
      static const QRegularExpression kEscape(QStringLiteral("_x([0-9A-F]{4})_"));
      for (auto m = kEscape.match(v); m.hasMatch(); m = kEscape.match(v))
        v.replace(m.capturedStart(), m.capturedLength(), QChar(m.captured(1).toUShort(nullptr, 16)));
    }
  }
  return s;
}

// The workbook's number format of style `s` of a cell ("yyyy-mm-dd hh:mm:ss"); empty for General.
inline QString NumberFormat(const QString& xlsx, const QString& style) {
  QXmlStreamReader x(ToolOutput("unzip", {"-p", xlsx, "xl/styles.xml"}));
  std::map<QString, QString> formats;
  std::vector<QString> cellFormats;
  bool inCellXfs = false;
  while (!x.atEnd()) {
    x.readNext();
    if (x.isStartElement() && x.name() == QLatin1String("numFmt"))
      formats[x.attributes().value("numFmtId").toString()] = x.attributes().value("formatCode").toString();
    if (x.name() == QLatin1String("cellXfs")) inCellXfs = x.isStartElement();
    if (inCellXfs && x.isStartElement() && x.name() == QLatin1String("xf"))
      cellFormats.push_back(x.attributes().value("numFmtId").toString());
  }
  const size_t i = style.toUInt();  // style "" is 0, the default
  return i < cellFormats.size() ? formats[cellFormats[i]] : QString();
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

#include "endurance/ProgrammeStore.h"

#include <sqlite3.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include "core/DurableFolder.h"
#include "storage/ReportNumber.h"
#include "storage/SQLite3.h"
#include "storage/SQLiteStatement.h"

namespace rig {
namespace {

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS Programme(Id INTEGER PRIMARY KEY AUTOINCREMENT, Station INTEGER,"
    " SwitchModel TEXT, FactoryNumber TEXT, StationText TEXT, OperatorName TEXT, Manufacturer TEXT,"
    " Customer TEXT, Remarks TEXT, Standard INTEGER, ClassName TEXT, Target INTEGER, CreatedAt TEXT,"
    " EndedAt TEXT, FailOperation INTEGER, FailBlock INTEGER, FailActionNo INTEGER, FailBreak INTEGER,"
    " FailKind INTEGER, FailMarked INTEGER, FailAt TEXT, DriftLimit REAL)",
    "CREATE TABLE IF NOT EXISTS ProgrammeBlock(ProgrammeId INTEGER, BlockNo INTEGER, Mode INTEGER,"
    " Delays TEXT, SetCount INTEGER, VoltageNote TEXT, VoltageConfirmedBy TEXT, VoltageConfirmedAt TEXT,"
    " Cycles INTEGER, CycleMeanMs REAL, CycleSumSquares REAL, CycleSlowestMs REAL, PRIMARY KEY(ProgrammeId, BlockNo))",
    "CREATE TABLE IF NOT EXISTS ProgrammeRun(ProgrammeId INTEGER, RunNo INTEGER, BlockNo INTEGER,"
    " StartTime TEXT, BaseCount INTEGER, LastCount INTEGER, Open INTEGER, PRIMARY KEY(ProgrammeId, RunNo))",
    "CREATE TABLE IF NOT EXISTS ProgrammeInspection(ProgrammeId INTEGER, BlockNo INTEGER, Checked TEXT,"
    " Work INTEGER, WorkText TEXT, ByWhom TEXT, At TEXT, Measurements TEXT, PRIMARY KEY(ProgrammeId, BlockNo))",
    // Each action's arrival, beside the detail file (whose rows stay as they are).
    "CREATE TABLE IF NOT EXISTS ProgrammeActionTime(ProgrammeId INTEGER, BlockNo INTEGER, Operation INTEGER,"
    " ActionNo INTEGER, ArrivedMs INTEGER)",
    // Given once, at the first report or export; never rewritten by a save.
    "CREATE TABLE IF NOT EXISTS ProgrammeReportNumber(ProgrammeId INTEGER PRIMARY KEY, Number TEXT NOT NULL)",
};

QByteArray Text(const QString& s) { return s.toUtf8(); }
QByteArray Time(const QDateTime& t) { return t.isValid() ? t.toString(Qt::ISODateWithMs).toUtf8() : QByteArray(); }
QString TextOf(const TSQLiteTable& t, int c) { return QString::fromUtf8(t.ValueText(c)); }
QDateTime TimeOf(const TSQLiteTable& t, int c) { return QDateTime::fromString(TextOf(t, c), Qt::ISODateWithMs); }

QByteArray DelaysText(const ProgrammeBlock& b) {
  QStringList parts;
  for (const auto& [n, v] : b.Delays) parts << QStringLiteral("%1=%2").arg(n).arg(v);
  return parts.join(';').toUtf8();
}
std::vector<std::pair<int, int32_t>> DelaysOf(const QString& text) {
  std::vector<std::pair<int, int32_t>> delays;
  for (const QString& part : text.split(';', Qt::SkipEmptyParts)) {
    const QStringList nv = part.split('=');
    if (nv.size() == 2) delays.emplace_back(nv[0].toInt(), nv[1].toInt());
  }
  return delays;
}

QByteArray MeasurementsText(const std::vector<Measurement>& ms) {
  QJsonArray a;
  for (const Measurement& m : ms)
    a.append(QJsonObject{{"name", m.Name}, {"unit", m.Unit}, {"value", m.Value}, {"low", m.Low}, {"high", m.High},
                         {"margin", m.Margin}});
  return QJsonDocument(a).toJson(QJsonDocument::Compact);
}
std::vector<Measurement> MeasurementsOf(const QByteArray& text) {
  std::vector<Measurement> ms;
  for (const QJsonValue& v : QJsonDocument::fromJson(text).array()) {
    const QJsonObject o = v.toObject();
    ms.push_back({o["name"].toString(), o["unit"].toString(), o["value"].toDouble(), o["low"].toDouble(),
                  o["high"].toDouble(), o["margin"].toDouble()});
  }
  return ms;
}

// Opens the file for one change or reading; a file made now has its name synced.
std::unique_ptr<TSQLiteDatabase> Open(const QString& path) {
  const bool made = !QFile::exists(path);
  auto db = std::make_unique<TSQLiteDatabase>(path.toUtf8());
  WaitForOtherConnections(*db);
  db->RunSQL("PRAGMA synchronous=EXTRA");  // a commit outlasts a power cut, its journal's removal too
  for (const char* s : kSchema) db->RunSQL(s);
  // Files from before the lab knew programmes get the lab's key and the count of stores.
  for (const char* column : {"LabId TEXT", "Revision INTEGER NOT NULL DEFAULT 0"})
    if (db->QueryTable("SELECT 1 FROM pragma_table_info('Programme') WHERE name=?1",
                       {QByteArray(column).split(' ').front()})->RowCount() == 0)
      db->RunSQL(QByteArray("ALTER TABLE Programme ADD COLUMN ") + column);
  if (made) SyncFolderOf(path);
  return db;
}

void ReadChildren(TSQLiteDatabase& db, Programme& p) {
  const SqlParams id{p.Id};
  auto b = db.QueryTable("SELECT Mode, Delays, SetCount, VoltageNote, VoltageConfirmedBy, VoltageConfirmedAt, "
                         "Cycles, CycleMeanMs, CycleSumSquares, CycleSlowestMs "
                         "FROM ProgrammeBlock WHERE ProgrammeId=?1 ORDER BY BlockNo", id);
  for (; !b->IsAtEnd(); b->MoveNext())
    p.Blocks.push_back({static_cast<int>(b->ValueInteger(0)), DelaysOf(TextOf(*b, 1)),
                        static_cast<int32_t>(b->ValueInteger(2)), TextOf(*b, 3), TextOf(*b, 4), TimeOf(*b, 5),
                        CycleStats{b->ValueInteger(6), b->ValueText(7).toDouble(), b->ValueText(8).toDouble(),
                                   b->ValueText(9).toDouble()}});
  auto r = db.QueryTable("SELECT RunNo, BlockNo, StartTime, BaseCount, LastCount, Open FROM ProgrammeRun "
                         "WHERE ProgrammeId=?1 ORDER BY RunNo", id);
  for (; !r->IsAtEnd(); r->MoveNext())
    p.Runs.push_back({r->ValueInteger(0), static_cast<int>(r->ValueInteger(1)), TimeOf(*r, 2),
                      static_cast<int32_t>(r->ValueInteger(3)), static_cast<int32_t>(r->ValueInteger(4)),
                      r->ValueInteger(5) != 0});
  auto i = db.QueryTable("SELECT BlockNo, Checked, Work, WorkText, ByWhom, At, Measurements FROM ProgrammeInspection "
                         "WHERE ProgrammeId=?1 ORDER BY BlockNo", id);
  for (; !i->IsAtEnd(); i->MoveNext())
    p.Inspections.push_back({static_cast<int>(i->ValueInteger(0)), TextOf(*i, 1),
                             static_cast<InspectionWork>(i->ValueInteger(2)), TextOf(*i, 3), TextOf(*i, 4),
                             TimeOf(*i, 5), MeasurementsOf(i->ValueText(6))});
}

const char* kProgrammeColumns =
    "SELECT Id, Station, SwitchModel, FactoryNumber, StationText, OperatorName, Manufacturer, Customer, Remarks,"
    " Standard, ClassName, Target, CreatedAt, EndedAt, FailOperation, FailBlock, FailActionNo, FailBreak, FailKind,"
    " FailMarked, FailAt, DriftLimit, LabId, Revision FROM Programme ";

std::vector<Programme> ReadProgrammes(TSQLiteDatabase& db, const QByteArray& where, const SqlParams& params) {
  std::vector<Programme> out;
  auto t = db.QueryTable(kProgrammeColumns + where, params);
  for (; !t->IsAtEnd(); t->MoveNext()) {
    Programme p;
    p.Id = t->ValueInteger(0);
    p.Station = static_cast<int>(t->ValueInteger(1));
    p.Identity = {TextOf(*t, 2), TextOf(*t, 3), TextOf(*t, 4), TextOf(*t, 5), TextOf(*t, 6), TextOf(*t, 7), TextOf(*t, 8)};
    p.Standard = static_cast<EnduranceStandard>(t->ValueInteger(9));
    p.ClassName = TextOf(*t, 10);
    p.Target = static_cast<int32_t>(t->ValueInteger(11));
    p.CreatedAt = TimeOf(*t, 12);
    p.EndedAt = TimeOf(*t, 13);
    if (t->ValueInteger(14) > 0)
      p.Failure = ProgrammeFailure{static_cast<int32_t>(t->ValueInteger(14)), static_cast<int>(t->ValueInteger(15)),
                                   static_cast<int32_t>(t->ValueInteger(16)), static_cast<int>(t->ValueInteger(17)),
                                   static_cast<Deviation>(t->ValueInteger(18)), t->ValueInteger(19) != 0, TimeOf(*t, 20)};
    if (!t->ValueText(21).isEmpty()) p.DriftLimit = t->ValueText(21).toDouble();
    p.LabId = TextOf(*t, 22);
    p.Revision = t->ValueInteger(23);
    out.push_back(std::move(p));
  }
  for (Programme& p : out) ReadChildren(db, p);
  return out;
}

}  // namespace

QString ProgrammesPath(const QString& exeDir) { return exeDir + QStringLiteral("Programmes.db"); }

void TProgrammeStore::Save(Programme& p) const { Save(p, {}); }

void TProgrammeStore::Save(Programme& p, const std::vector<ActionTime>& times) const {
  auto db = Open(ProgrammesPath(exeDir_));
  db->RunSQL("BEGIN IMMEDIATE");
  try {
    // Counted and keyed from the file, not the caller's copy: a revision is
    // never reused, a key never made twice.
    auto stored = db->QueryTable("SELECT coalesce(max(Revision), 0), coalesce(max(LabId), '') FROM Programme WHERE Id=?1",
                                 {p.Id});
    const int64_t revision = stored->ValueInteger(0) + 1;
    QString labId = p.LabId.isEmpty() ? TextOf(*stored, 1) : p.LabId;
    if (labId.isEmpty()) labId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const ProgrammeIdentity& id = p.Identity;
    const std::optional<ProgrammeFailure>& f = p.Failure;
    SqlParams row{p.Id > 0 ? SqlValue(p.Id) : SqlValue(), int64_t{p.Station}, Text(id.SwitchModel),
                  Text(id.FactoryNumber), Text(id.StationText), Text(id.OperatorName), Text(id.Manufacturer),
                  Text(id.Customer), Text(id.Remarks), int64_t{static_cast<int>(p.Standard)}, Text(p.ClassName),
                  int64_t{p.Target}, Time(p.CreatedAt), Time(p.EndedAt)};
    if (f) {
      for (int64_t v : {int64_t{f->Operation}, int64_t{f->Block}, int64_t{f->ActionNo}, int64_t{f->Break},
                        int64_t{static_cast<int>(f->Kind)}, int64_t{f->Marked ? 1 : 0}})
        row.emplace_back(v);
      row.emplace_back(Time(f->At));
    } else {
      row.resize(row.size() + 7);
    }
    row.emplace_back(p.DriftLimit);
    row.emplace_back(Text(labId));
    row.emplace_back(revision);
    db->RunSQL("INSERT OR REPLACE INTO Programme(Id, Station, SwitchModel, FactoryNumber, StationText, OperatorName,"
               " Manufacturer, Customer, Remarks, Standard, ClassName, Target, CreatedAt, EndedAt, FailOperation,"
               " FailBlock, FailActionNo, FailBreak, FailKind, FailMarked, FailAt, DriftLimit, LabId, Revision)"
               " VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17,?18,?19,?20,?21,?22,?23,?24)",
               row);
    const int64_t pid = p.Id > 0 ? p.Id : sqlite3_last_insert_rowid(db->Handle());
    for (const char* table : {"ProgrammeBlock", "ProgrammeRun", "ProgrammeInspection"})
      db->RunSQL(QByteArray("DELETE FROM ") + table + " WHERE ProgrammeId=?1", {pid});
    for (size_t b = 0; b < p.Blocks.size(); ++b) {
      const ProgrammeBlock& k = p.Blocks[b];
      db->RunSQL("INSERT INTO ProgrammeBlock VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12)",
                 {pid, int64_t(b + 1), int64_t{k.Mode}, DelaysText(k), int64_t{k.Count}, Text(k.VoltageNote),
                  Text(k.VoltageConfirmedBy), Time(k.VoltageConfirmedAt), k.Cycles.Cycles, k.Cycles.MeanMs,
                  k.Cycles.SumSquares, k.Cycles.SlowestMs});
    }
    for (size_t r = 0; r < p.Runs.size(); ++r) {
      const BlockRun& k = p.Runs[r];
      db->RunSQL("INSERT INTO ProgrammeRun VALUES(?1,?2,?3,?4,?5,?6,?7)",
                 {pid, int64_t(r + 1), int64_t{k.Block}, Time(k.StartTime), int64_t{k.BaseCount}, int64_t{k.LastCount},
                  int64_t{k.Open ? 1 : 0}});
    }
    for (const Inspection& k : p.Inspections)
      db->RunSQL("INSERT INTO ProgrammeInspection VALUES(?1,?2,?3,?4,?5,?6,?7,?8)",
                 {pid, int64_t{k.Block}, Text(k.Checked), int64_t{static_cast<int>(k.Work)}, Text(k.WorkText),
                  Text(k.ByWhom), Time(k.At), MeasurementsText(k.Measurements)});
    if (!times.empty()) {
      TSQLiteStatement add(*db, "INSERT INTO ProgrammeActionTime VALUES(?1,?2,?3,?4,?5)");
      for (const ActionTime& t : times) {
        add.Bind({pid, int64_t{t.Block}, int64_t{t.Operation}, int64_t{t.ActionNo}, t.ArrivedMs});
        add.Run();
      }
    }
    db->RunSQL("COMMIT");
    p.Id = pid;
    p.LabId = labId;
    p.Revision = revision;
    for (size_t r = 0; r < p.Runs.size(); ++r) p.Runs[r].Id = static_cast<int64_t>(r + 1);
  } catch (...) {
    try {
      db->RunSQL("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
  db.reset();  // closed before anyone else reads it
  if (sink_) sink_->ProgrammeChanged(p);
}

std::optional<Programme> TProgrammeStore::Load(int64_t id) const {
  if (!QFile::exists(ProgrammesPath(exeDir_))) return std::nullopt;
  auto db = Open(ProgrammesPath(exeDir_));
  std::vector<Programme> found = ReadProgrammes(*db, "WHERE Id=?1", {id});
  if (found.empty()) return std::nullopt;
  return std::move(found.front());
}

std::vector<ActionTime> TProgrammeStore::ActionTimes(int64_t id) const {
  std::vector<ActionTime> out;
  if (!QFile::exists(ProgrammesPath(exeDir_))) return out;
  auto db = Open(ProgrammesPath(exeDir_));
  TSQLiteStatement q(*db, "SELECT BlockNo, Operation, ActionNo, ArrivedMs FROM ProgrammeActionTime "
                          "WHERE ProgrammeId=?1 ORDER BY rowid");
  q.Bind({id});
  while (q.Next())
    out.push_back({static_cast<int>(q.Int64(0)), static_cast<int32_t>(q.Int64(1)), static_cast<int32_t>(q.Int64(2)),
                   q.Int64(3)});
  return out;
}

QString TProgrammeStore::GiveReportNumber(int64_t id) const {
  auto db = Open(ProgrammesPath(exeDir_));
  db->RunSQL("INSERT OR IGNORE INTO ProgrammeReportNumber VALUES(?1,?2)",
             {id, Text(FormatReportNumber(ReportPrefix(exeDir_) + QStringLiteral("P"), id))});
  return TextOf(*db->QueryTable("SELECT Number FROM ProgrammeReportNumber WHERE ProgrammeId=?1", {id}), 0);
}

std::vector<Programme> TProgrammeStore::Unfinished() const {
  if (!QFile::exists(ProgrammesPath(exeDir_))) return {};
  auto db = Open(ProgrammesPath(exeDir_));
  return ReadProgrammes(*db, "WHERE EndedAt IS NULL OR EndedAt='' ORDER BY Id", {});
}

std::vector<Programme> TProgrammeStore::All() const {
  if (!QFile::exists(ProgrammesPath(exeDir_))) return {};
  auto db = Open(ProgrammesPath(exeDir_));
  return ReadProgrammes(*db, "ORDER BY Id", {});
}

std::vector<Programme> TProgrammeStore::OfSwitch(const QString& text) const {
  if (!QFile::exists(ProgrammesPath(exeDir_))) return {};
  auto db = Open(ProgrammesPath(exeDir_));
  // lower() folds ASCII letters only, as the saved-test search does.
  return ReadProgrammes(*db, "WHERE instr(lower(FactoryNumber), lower(?1)) > 0 ORDER BY Id", {Text(text)});
}

}  // namespace rig

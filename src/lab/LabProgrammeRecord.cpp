#include "lab/LabProgrammeRecord.h"

#include <libpq-fe.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "endurance/Programme.h"
#include "endurance/ProgrammeRules.h"
#include "endurance/ProgrammeTexts.h"
#include "lab/LabConnection.h"
#include "lab/PgCells.h"
#include "testing/TestModes.h"

namespace rig::lab {
namespace {

const char* const kProgramme =
    "SELECT rig_name, station, open_type, out_index, manufacturer, customer, remarks, standard, class_name, target, "
    "verdict, fail_operation, fail_block, fail_break, (extract(epoch FROM created_at) * 1000)::bigint, "
    "(extract(epoch FROM ended_at) * 1000)::bigint FROM lab_programmes WHERE programme_id = $1::uuid";
// Each block with the inspection after it, when there is one.
const char* const kBlocks =
    "SELECT b.block_no, b.mode, b.count_set, b.cycles_done, b.cycle_mean_ms, b.cycle_spread_ms, b.cycle_slowest_ms, "
    "b.voltage_note, b.voltage_confirmed_by, i.block_no IS NOT NULL, i.checked, i.work, i.work_text, i.by_whom, "
    "(extract(epoch FROM i.done_at) * 1000)::bigint, i.measurements::text "
    "FROM lab_programme_blocks b LEFT JOIN lab_inspections i USING (programme_id, block_no) "
    "WHERE b.programme_id = $1::uuid ORDER BY b.block_no";

QString TimeText(const PGresult* r, int row, int col) {
  return Time(r, row, col).toString(QStringLiteral("yyyy-MM-dd hh:mm"));  // empty when null
}

QString CyclesText(const PGresult* r, int row) {
  if (Null(r, row, 4)) return QStringLiteral("尚无测得的循环");
  return QStringLiteral("平均 %1 s，离散 %2 s，最慢 %3 s")
      .arg(Real(r, row, 4) / 1000, 0, 'f', 2)
      .arg(Real(r, row, 5) / 1000, 0, 'f', 2)
      .arg(Real(r, row, 6) / 1000, 0, 'f', 2);
}

QString InspectionText(const PGresult* r, int row) {
  Inspection i;
  const QString work = Cell(r, row, 11);
  i.Work = work == QLatin1String("nothing")       ? InspectionWork::Nothing
           : work == QLatin1String("lubrication") ? InspectionWork::Lubrication
                                                  : InspectionWork::Other;
  i.WorkText = Cell(r, row, 12);
  QString text = QStringLiteral("　检查：%1 %2，%3，%4")
                     .arg(Cell(r, row, 13), TimeText(r, row, 14), Cell(r, row, 10), InspectionWorkText(i));
  for (const QJsonValue v : QJsonDocument::fromJson(PQgetvalue(r, row, 15)).array()) {
    const QJsonObject o = v.toObject();
    text += QStringLiteral("；") + MeasurementText({o["name"].toString(), o["unit"].toString(), o["value"].toDouble(),
                                                     o["low"].toDouble(), o["high"].toDouble(), o["margin"].toDouble()});
  }
  return text;
}

}  // namespace

std::optional<QString> FetchLabProgrammeRecord(LabConnection& c, const QString& programmeId) {
  const std::string id = programmeId.toStdString();
  PgResult head = c.Query(kProgramme, {id});
  const PGresult* p = head.get();
  if (PQntuples(p) == 0) return std::nullopt;
  QStringList lines;
  lines << QStringLiteral("开关型号：%1").arg(Cell(p, 0, 2)) << QStringLiteral("出厂编号：%1").arg(Cell(p, 0, 3));
  lines << QStringLiteral("%1 工位%2，%3 %4").arg(Cell(p, 0, 0)).arg(Int(p, 0, 1)).arg(Cell(p, 0, 7), Cell(p, 0, 8));
  if (const QString maker = Cell(p, 0, 4); !maker.isEmpty()) lines << QStringLiteral("制造厂：%1").arg(maker);
  if (const QString customer = Cell(p, 0, 5); !customer.isEmpty()) lines << QStringLiteral("委托方：%1").arg(customer);
  const QString ended = TimeText(p, 0, 15);
  lines << QStringLiteral("开始：%1；%2")
               .arg(TimeText(p, 0, 14), ended.isEmpty() ? QStringLiteral("未结束") : QStringLiteral("结束：") + ended);
  lines << QString();
  lines << QStringLiteral("%1 %2，目标%3次（1次 = 试验方式的1个循环）").arg(Cell(p, 0, 7), Cell(p, 0, 8), CountText(Int(p, 0, 9)));

  PgResult blocks = c.Query(kBlocks, {id});
  const PGresult* b = blocks.get();
  for (int row = 0; row < PQntuples(b); ++row) {
    const TestModeInfo* mode = FindTestMode(static_cast<int>(Int(b, row, 1)));
    QString line = QStringLiteral("第%1段（%2）：%3/%4次；%5")
                       .arg(Int(b, row, 0))
                       .arg(mode ? QString::fromUtf16(mode->Word) : QString())
                       .arg(CountText(Int(b, row, 3)), CountText(Int(b, row, 2)), CyclesText(b, row));
    if (const QString note = Cell(b, row, 7); !note.isEmpty()) {
      const QString by = Cell(b, row, 8);
      line += QStringLiteral("；控制电压 %1%2").arg(note, by.isEmpty() ? QStringLiteral("（未确认）")
                                                                     : QStringLiteral("（%1确认）").arg(by));
    }
    lines << line;
    if (Cell(b, row, 9) == QLatin1String("t")) lines << InspectionText(b, row);
  }
  if (!Null(p, 0, 11))
    lines << QStringLiteral("首次拒动作：第%1次（第%2段，%3）").arg(CountText(Int(p, 0, 11))).arg(Int(p, 0, 12)).arg(Cell(p, 0, 13));
  lines << QStringLiteral("判定：") + Cell(p, 0, 10);
  if (const QString remarks = Cell(p, 0, 6); !remarks.isEmpty()) lines << QStringLiteral("备注：") + remarks;
  return lines.join('\n');
}

std::optional<QString> FetchLabProgrammeRecord(const LabSettings& settings, const QString& programmeId) {
  LabConnection c(settings, 5);
  c.Exec("SET statement_timeout = 10000");
  return FetchLabProgrammeRecord(c, programmeId);
}

}  // namespace rig::lab

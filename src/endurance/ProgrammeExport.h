#pragma once
// A programme's exports, as a test's are made: an Excel workbook with a
// summary sheet (汇总) and one sheet per block (第1段, 第2段, …: its runs,
// counts, cycle times, voltage confirmation, inspection and measurements
// judged), and one CSV file of a single table, a line per value:
//   类别,段,项目,值,单位,下限,上限,判定
// 类别 is 方案, 判定, 段, 测试, 检查 or 测量; 段 is the block (empty for the
// programme's own lines). Both are written through a temporary file.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "endurance/Programme.h"

namespace rig {

// The workbook's sheet names, in order: 汇总 then 第n段 for each block.
QString ProgrammeSummarySheet();
QString BlockSheetName(int block);

// A file name proposed for the programme's report or export: its report
// number and what the file is, "HX4417-P00003_方案报告.pdf".
QString ProgrammeFileName(const QString& reportNumber, const QString& what, const QString& suffix);

// The CSV's header line.
QStringList ProgrammeCsvColumns();
// The whole CSV: UTF-8 with a byte-order mark, CRLF.
QByteArray ProgrammeCsv(const Programme& p, const QString& reportNumber);

// Throw ReportError naming the file when it cannot be written.
void WriteProgrammeCsv(const Programme& p, const QString& reportNumber, const QString& path);
void WriteProgrammeXlsx(const Programme& p, const QString& reportNumber, const QString& path);

}  // namespace rig

#pragma once
// Hand measurements read from a CSV file an analyser wrote (closing and
// opening times, travel, any named value), for the inspection after a block.
//
// The file: UTF-8 with or without a byte-order mark, or GBK; fields split by
// comma, semicolon or tab (whichever the header line holds most of outside
// quotes); quoted fields may hold separators, doubled quotes and line breaks;
// numbers with a decimal point. The first line is the header. Two layouts:
//   - rows (每行一个测量): a line per measurement, the columns named by the
//     mapping: name and value required, unit, low and high limits optional;
//   - columns (每列一个测量): each column headed by a measurement's name with
//     its unit in brackets, "合闸时间(ms)" or "合闸时间（ms）"; the last line
//     with values is read; columns without a unit in brackets (序号, 日期)
//     are left out.
// The mapping names columns by their header text, so a file whose columns
// come in another order still maps; it is remembered in Config.ini.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace rig {

struct MeasurementCsvMapping {
  enum class Layout { Rows, Columns };
  Layout Shape = Layout::Rows;
  // Header texts of the rows layout's columns; empty: the file has none.
  QString Name, Value, Unit, Low, High;
  bool operator==(const MeasurementCsvMapping&) const = default;
};

struct CsvTable {
  QStringList Header;
  std::vector<QStringList> Rows;  // the lines after the header, blank ones left out
  std::vector<int> Lines;         // the file line (1-based) each row starts on
  int HeaderLine = 1;
  QString Error;                  // why the file could not be read; empty when it could
};

// The text of the file: UTF-8 (byte-order mark or not) when it is valid UTF-8, else GBK.
QString DecodeCsvText(const QByteArray& bytes);
CsvTable ParseCsvTable(const QByteArray& bytes);

struct ImportedMeasurement {
  QString Name, Unit;
  double Value = 0;
  std::optional<double> Low, High;  // only when the file gives them
};

struct MeasurementImport {
  std::vector<ImportedMeasurement> Measurements;
  QString Error;  // names the line and column; empty when read
};

// Whether `mapping` names columns `header` has (the rows layout) or the
// header has a measurement column (the columns layout).
bool MappingFits(const MeasurementCsvMapping& mapping, const QStringList& header);
// A first mapping for a file never mapped: the columns layout when no
// column is called like a name or value column and some carry a unit.
MeasurementCsvMapping GuessMapping(const QStringList& header);
MeasurementImport ReadMeasurements(const CsvTable& table, const MeasurementCsvMapping& mapping);

// "合闸时间(ms)" -> {"合闸时间", "ms"}; nothing without a unit in brackets.
std::optional<std::pair<QString, QString>> NameAndUnit(const QString& header);

// One line of the inspection dialog's measurement table, as typed.
struct MeasurementEntry {
  QString Name, Unit, Value, Low, High, Margin;
  bool operator==(const MeasurementEntry&) const = default;
};
// An imported value goes to the line of the same name (its limits and
// margin kept unless the file gives limits), or to a new line at the end.
void MergeImported(std::vector<MeasurementEntry>& entries, const std::vector<ImportedMeasurement>& imported);

// The mapping kept in Config.ini under [MeasurementCsv]; nothing when none was kept.
std::optional<MeasurementCsvMapping> LoadMeasurementMapping(const QString& exeDir);
// Throws EIniWriteError when Config.ini cannot be written.
void SaveMeasurementMapping(const QString& exeDir, const MeasurementCsvMapping& mapping);

}  // namespace rig

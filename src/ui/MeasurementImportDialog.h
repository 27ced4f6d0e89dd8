#pragma once
// "从CSV导入…" of the inspection dialog: the operator picks an analyser's
// CSV file; the columns are mapped once (asked again only when a file lacks
// the kept columns) and kept in Config.ini; the values fill the dialog's
// measurement table. Reading and mapping are src/endurance/MeasurementCsv.
#include <QString>
#include <QStringList>
#include <optional>

#include "endurance/MeasurementCsv.h"

class QTableWidget;
class QWidget;

namespace rig {

class INotifier;

// Reads `path` into `table` (名称, 单位, 测量值, 下限, 上限, 临界裕量 columns).
// Returns false with the reason told through `notifier` when it could not.
bool ImportMeasurementFile(const QString& path, QTableWidget& table, const QString& exeDir, INotifier& notifier,
                           QWidget* parent);

// Asks which column is which (or the columns layout); nothing when cancelled.
std::optional<MeasurementCsvMapping> AskMeasurementMapping(const QStringList& header, const MeasurementCsvMapping& start,
                                                           QWidget* parent);

}  // namespace rig

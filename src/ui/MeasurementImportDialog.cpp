#include "ui/MeasurementImportDialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>

#include "core/IniFile.h"
#include "core/Notifier.h"

namespace rig {
namespace {

std::vector<MeasurementEntry> EntriesOf(const QTableWidget& table) {
  std::vector<MeasurementEntry> entries;
  const auto cell = [&](int r, int c) { return table.item(r, c) ? table.item(r, c)->text() : QString(); };
  for (int r = 0; r < table.rowCount(); ++r)
    entries.push_back({cell(r, 0), cell(r, 1), cell(r, 2), cell(r, 3), cell(r, 4), cell(r, 5)});
  return entries;
}

void Show(QTableWidget& table, const std::vector<MeasurementEntry>& entries) {
  table.setRowCount(static_cast<int>(entries.size()));
  for (int r = 0; r < static_cast<int>(entries.size()); ++r) {
    const MeasurementEntry& e = entries[r];
    const QString cells[6] = {e.Name, e.Unit, e.Value, e.Low, e.High, e.Margin};
    for (int c = 0; c < 6; ++c) table.setItem(r, c, new QTableWidgetItem(cells[c]));
  }
}

}  // namespace

std::optional<MeasurementCsvMapping> AskMeasurementMapping(const QStringList& header, const MeasurementCsvMapping& start,
                                                           QWidget* parent) {
  QDialog d(parent);
  d.setObjectName(QStringLiteral("frmMeasurementMapping"));
  d.setWindowTitle(QStringLiteral("CSV文件的列"));
  auto* form = new QFormLayout(&d);
  auto* rows = new QRadioButton(QStringLiteral("每行一个测量（名称、测量值等各占一列）"), &d);
  auto* columns = new QRadioButton(QStringLiteral("每列一个测量（列名如“合闸时间(ms)”，读最后一行）"), &d);
  (start.Shape == MeasurementCsvMapping::Layout::Columns ? columns : rows)->setChecked(true);
  form->addRow(rows);
  form->addRow(columns);
  const char16_t* roles[5] = {u"名称列", u"测量值列", u"单位列", u"下限列", u"上限列"};
  const QString chosen[5] = {start.Name, start.Value, start.Unit, start.Low, start.High};
  QComboBox* boxes[5] = {};
  for (int i = 0; i < 5; ++i) {
    boxes[i] = new QComboBox(&d);
    boxes[i]->setObjectName(QStringLiteral("MappingColumn%1").arg(i));
    boxes[i]->addItem(i < 2 ? QStringLiteral("（请选择）") : QStringLiteral("（无）"), QString());
    for (const QString& h : header) boxes[i]->addItem(h, h);
    boxes[i]->setCurrentIndex(std::max(0, boxes[i]->findData(chosen[i])));
    form->addRow(QString::fromUtf16(roles[i]), boxes[i]);
    QObject::connect(columns, &QRadioButton::toggled, boxes[i], &QWidget::setDisabled);
    boxes[i]->setDisabled(columns->isChecked());
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  if (d.exec() != QDialog::Accepted) return std::nullopt;
  MeasurementCsvMapping m;
  m.Shape = columns->isChecked() ? MeasurementCsvMapping::Layout::Columns : MeasurementCsvMapping::Layout::Rows;
  QString* fields[5] = {&m.Name, &m.Value, &m.Unit, &m.Low, &m.High};
  for (int i = 0; i < 5; ++i) *fields[i] = boxes[i]->currentData().toString();
  return m;
}

bool ImportMeasurementFile(const QString& path, QTableWidget& table, const QString& exeDir, INotifier& notifier,
                           QWidget* parent) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    notifier.Error(QStringLiteral("无法读取文件：%1（%2）").arg(path, file.errorString()));
    return false;
  }
  const CsvTable csv = ParseCsvTable(file.readAll());
  if (!csv.Error.isEmpty()) {
    notifier.Error(QStringLiteral("%1：%2").arg(path, csv.Error));
    return false;
  }
  std::optional<MeasurementCsvMapping> mapping = LoadMeasurementMapping(exeDir);
  if (!mapping || !MappingFits(*mapping, csv.Header)) {
    mapping = AskMeasurementMapping(csv.Header, GuessMapping(csv.Header), parent);
    if (!mapping) return false;
  }
  const MeasurementImport read = ReadMeasurements(csv, *mapping);
  if (!read.Error.isEmpty()) {
    notifier.Error(QStringLiteral("%1：%2").arg(path, read.Error));
    return false;
  }
  try {
    SaveMeasurementMapping(exeDir, *mapping);
  } catch (const EIniWriteError& e) {  // the values are read all the same
    notifier.Error(QString::fromUtf8(e.what()));
  }
  std::vector<MeasurementEntry> entries = EntriesOf(table);
  MergeImported(entries, read.Measurements);
  Show(table, entries);
  return true;
}

}  // namespace rig

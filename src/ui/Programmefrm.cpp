#include "ui/Programmefrm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "core/Notifier.h"
#include "endurance/ProgrammeRunner.h"
#include "endurance/ProgrammeExport.h"
#include "endurance/ProgrammeReport.h"
#include "endurance/ProgrammeTexts.h"
#include "report/ReportError.h"
#include "storage/SQLiteException.h"
#include "ui/MeasurementImportDialog.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

enum BlockColumn { kMode, kCount, kDelays, kVoltage, kConfirmed, kColumns };

QString DelaysText(const ProgrammeBlock& b) {
  QStringList parts;
  for (const auto& [n, v] : b.Delays) parts << QStringLiteral("%1=%2").arg(n).arg(v);
  return parts.join(QStringLiteral("; "));
}

std::vector<std::pair<int, int32_t>> DelaysFrom(const QString& text) {
  std::vector<std::pair<int, int32_t>> delays;
  for (const QString& part : QString(text).replace(QStringLiteral("；"), QStringLiteral(";")).split(';', Qt::SkipEmptyParts)) {
    const QStringList nv = part.split('=');
    delays.emplace_back(nv.value(0).trimmed().toInt(), nv.value(1).trimmed().toInt());
  }
  return delays;
}

QComboBox* LifeModes(QWidget* parent) {
  auto* box = new QComboBox(parent);
  for (const TestModeInfo& m : TestModes())
    if (m.Life) box->addItem(QString::fromUtf16(m.Word), m.Code);
  return box;
}

}  // namespace

TfrmProgramme::TfrmProgramme(TProgrammeRunner& runner, INotifier& notifier, QWidget* parent)
    : QDialog(parent), runner_(runner), notifier_(notifier) {
  setObjectName(QStringLiteral("frmProgramme"));
  setWindowTitle(QStringLiteral("试验方案"));
  auto* column = new QVBoxLayout(this);

  auto* form = new QFormLayout;
  const char16_t* labels[6] = {u"开关型号", u"出厂编号", u"工位", u"操作员", u"制造厂", u"委托方"};
  for (int i = 0; i < 6; ++i) {
    identity_[i] = new QLineEdit(this);
    identity_[i]->setObjectName(QStringLiteral("Identity%1").arg(i));
    form->addRow(QString::fromUtf16(labels[i]), identity_[i]);
  }
  remarks_ = new QPlainTextEdit(this);
  remarks_->setObjectName(QStringLiteral("Remarks"));
  remarks_->setFixedHeight(48);
  form->addRow(QStringLiteral("备注"), remarks_);

  auto* aim = new QHBoxLayout;
  standard_ = new QComboBox(this);
  standard_->setObjectName(QStringLiteral("Standard"));
  for (EnduranceStandard s : {EnduranceStandard::Breaker, EnduranceStandard::Disconnector, EnduranceStandard::Custom})
    standard_->addItem(StandardName(s), static_cast<int>(s));
  class_ = new QComboBox(this);
  class_->setObjectName(QStringLiteral("Class"));
  customName_ = new QLineEdit(this);
  customName_->setPlaceholderText(QStringLiteral("等级名称"));
  customTarget_ = new QSpinBox(this);
  customTarget_->setRange(1, 10000000);
  customTarget_->setValue(2000);
  customTarget_->setSuffix(QStringLiteral(" 次"));
  presetMode_ = LifeModes(this);
  presetMode_->setCurrentIndex(1);  // 合分
  auto* preset = new QPushButton(QStringLiteral("按预设生成各段"), this);
  preset->setObjectName(QStringLiteral("Preset"));
  for (QWidget* w : std::initializer_list<QWidget*>{standard_, class_, customName_, customTarget_, presetMode_, preset})
    aim->addWidget(w);
  form->addRow(QStringLiteral("标准和等级"), aim);
  column->addLayout(form);

  blocks_ = new QTableWidget(0, kColumns, this);
  blocks_->setObjectName(QStringLiteral("Blocks"));
  blocks_->setHorizontalHeaderLabels({QStringLiteral("试验方式"), QStringLiteral("次数"), QStringLiteral("延时（参数=值）"),
                                      QStringLiteral("控制电压"), QStringLiteral("电压确认")});
  blocks_->horizontalHeader()->setStretchLastSection(true);
  column->addWidget(blocks_, 1);
  auto* edit = new QHBoxLayout;
  auto* add = new QPushButton(QStringLiteral("加一段"), this);
  auto* remove = new QPushButton(QStringLiteral("删去末段"), this);
  takeOn_ = new QPushButton(QStringLiteral("确定方案"), this);
  takeOn_->setObjectName(QStringLiteral("TakeOn"));
  for (QPushButton* b : {add, remove, takeOn_}) edit->addWidget(b);
  edit->addStretch();
  column->addLayout(edit);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("ProgrammeStatus"));
  status_->setWordWrap(true);
  column->addWidget(status_);
  record_ = new QPlainTextEdit(this);
  record_->setObjectName(QStringLiteral("ProgrammeRecord"));
  record_->setReadOnly(true);
  record_->setFixedHeight(130);
  column->addWidget(record_);
  auto* run = new QHBoxLayout;
  confirm_ = new QPushButton(QStringLiteral("确认控制电压…"), this);
  start_ = new QPushButton(QStringLiteral("开始下一段"), this);
  inspect_ = new QPushButton(QStringLiteral("记录检查…"), this);
  end_ = new QPushButton(QStringLiteral("结束方案"), this);
  confirm_->setObjectName(QStringLiteral("ConfirmVoltage"));
  start_->setObjectName(QStringLiteral("StartBlock"));
  inspect_->setObjectName(QStringLiteral("Inspect"));
  end_->setObjectName(QStringLiteral("EndProgramme"));
  report_ = new QPushButton(QStringLiteral("导出报告…"), this);
  report_->setObjectName(QStringLiteral("ProgrammeReport"));
  excel_ = new QPushButton(QStringLiteral("导出Excel…"), this);
  excel_->setObjectName(QStringLiteral("ProgrammeExcel"));
  csv_ = new QPushButton(QStringLiteral("导出CSV…"), this);
  csv_->setObjectName(QStringLiteral("ProgrammeCsv"));
  for (QPushButton* b : {confirm_, start_, inspect_, end_, report_, excel_, csv_}) run->addWidget(b);
  column->addLayout(run);

  connect(standard_, &QComboBox::currentIndexChanged, this, [this] { FillClasses(); });
  connect(preset, &QPushButton::clicked, this, &TfrmProgramme::PresetClick);
  connect(add, &QPushButton::clicked, this, &TfrmProgramme::AddBlockClick);
  connect(remove, &QPushButton::clicked, this, &TfrmProgramme::RemoveBlockClick);
  connect(takeOn_, &QPushButton::clicked, this, &TfrmProgramme::TakeOnClick);
  connect(confirm_, &QPushButton::clicked, this, &TfrmProgramme::ConfirmVoltageClick);
  connect(start_, &QPushButton::clicked, this, &TfrmProgramme::StartBlockClick);
  connect(inspect_, &QPushButton::clicked, this, &TfrmProgramme::InspectClick);
  connect(end_, &QPushButton::clicked, this, &TfrmProgramme::EndClick);
  connect(report_, &QPushButton::clicked, this, &TfrmProgramme::ReportClick);
  connect(excel_, &QPushButton::clicked, this, &TfrmProgramme::ExcelClick);
  connect(csv_, &QPushButton::clicked, this, &TfrmProgramme::CsvClick);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &TfrmProgramme::Refresh);
  timer->start(500);

  FillClasses();
  if (runner_.Current()) Show(*runner_.Current());
  else PresetClick();
  resize(860, 620);
  Refresh();
}

void TfrmProgramme::FillClasses() {
  const auto standard = static_cast<EnduranceStandard>(standard_->currentData().toInt());
  class_->clear();
  for (const EnduranceClass& c : ClassesOf(standard))
    class_->addItem(QStringLiteral("%1（%2次）").arg(QString::fromUtf16(c.Name)).arg(c.Operations), QString::fromUtf16(c.Name));
  class_->setCurrentIndex(class_->count() - 1);
  const bool custom = standard == EnduranceStandard::Custom;
  class_->setVisible(!custom);
  customName_->setVisible(custom);
  customTarget_->setVisible(custom);
}

void TfrmProgramme::AddBlockRow(const ProgrammeBlock& b) {
  const int row = blocks_->rowCount();
  blocks_->insertRow(row);
  QComboBox* mode = LifeModes(blocks_);
  mode->setCurrentIndex(std::max(0, mode->findData(b.Mode)));
  blocks_->setCellWidget(row, kMode, mode);
  blocks_->setItem(row, kCount, new QTableWidgetItem(QString::number(b.Count)));
  blocks_->setItem(row, kDelays, new QTableWidgetItem(DelaysText(b)));
  blocks_->setItem(row, kVoltage, new QTableWidgetItem(b.VoltageNote));
  auto* confirmed = new QTableWidgetItem(b.VoltageConfirmedBy.isEmpty() ? QString()
                                             : QStringLiteral("%1 %2").arg(b.VoltageConfirmedBy, b.VoltageConfirmedAt.toString(QStringLiteral("MM-dd hh:mm"))));
  confirmed->setFlags(confirmed->flags() & ~Qt::ItemIsEditable);
  blocks_->setItem(row, kConfirmed, confirmed);
}

Programme TfrmProgramme::Entered() const {
  const auto standard = static_cast<EnduranceStandard>(standard_->currentData().toInt());
  Programme p = standard == EnduranceStandard::Custom
                    ? PresetProgramme(standard, customName_->text().trimmed(), 18, customTarget_->value())
                    : PresetProgramme(standard, class_->currentData().toString());
  p.Blocks.clear();
  p.Identity = {identity_[0]->text(), identity_[1]->text(), identity_[2]->text(), identity_[3]->text(),
                identity_[4]->text(), identity_[5]->text(), remarks_->toPlainText()};
  for (int r = 0; r < blocks_->rowCount(); ++r) {
    ProgrammeBlock b;
    b.Mode = static_cast<QComboBox*>(blocks_->cellWidget(r, kMode))->currentData().toInt();
    b.Count = blocks_->item(r, kCount)->text().trimmed().toInt();
    b.Delays = DelaysFrom(blocks_->item(r, kDelays)->text());
    b.VoltageNote = blocks_->item(r, kVoltage)->text().trimmed();
    p.Blocks.push_back(b);
  }
  return p;
}

void TfrmProgramme::Show(const Programme& p) {
  const QString texts[6] = {p.Identity.SwitchModel, p.Identity.FactoryNumber, p.Identity.StationText,
                            p.Identity.OperatorName, p.Identity.Manufacturer, p.Identity.Customer};
  for (int i = 0; i < 6; ++i) identity_[i]->setText(texts[i]);
  remarks_->setPlainText(p.Identity.Remarks);
  standard_->setCurrentIndex(standard_->findData(static_cast<int>(p.Standard)));
  class_->setCurrentIndex(std::max(0, class_->findData(p.ClassName)));
  customName_->setText(p.ClassName);
  customTarget_->setValue(p.Target);
  blocks_->setRowCount(0);
  for (const ProgrammeBlock& b : p.Blocks) AddBlockRow(b);
}

void TfrmProgramme::PresetClick() {
  const Programme kept = Entered();
  Programme p = PresetProgramme(kept.Standard, kept.ClassName, presetMode_->currentData().toInt(), kept.Target);
  p.Identity = kept.Identity;
  Show(p);
}

void TfrmProgramme::AddBlockClick() {
  ProgrammeBlock b;
  b.Mode = presetMode_->currentData().toInt();
  b.Delays = DefaultDelays(b.Mode);
  b.Count = 2000;
  AddBlockRow(b);
}

void TfrmProgramme::RemoveBlockClick() { blocks_->setRowCount(std::max(0, blocks_->rowCount() - 1)); }

void TfrmProgramme::Say(const QString& why) {
  if (!why.isEmpty()) notifier_.Notice(why);
  Refresh();
}

void TfrmProgramme::TakeOnClick() { Say(runner_.Attach(Entered())); }

void TfrmProgramme::ConfirmVoltageClick() {
  const Programme* p = runner_.Current() ? &*runner_.Current() : nullptr;
  const int block = p ? NextStep(*p).Block : 0;
  if (!p || block == 0) return Say(QStringLiteral("没有要开始的一段"));
  bool ok = false;
  const QString who = QInputDialog::getText(this, QStringLiteral("确认控制电压"),
                                            QStringLiteral("第%1段控制电压：%2\n已按此设好，确认人：").arg(block).arg(p->Blocks[block - 1].VoltageNote),
                                            QLineEdit::Normal, QString(), &ok);
  if (ok) Say(runner_.ConfirmVoltage(block, who));
}

void TfrmProgramme::StartBlockClick() { Say(runner_.StartNextBlock()); }

void TfrmProgramme::InspectClick() {
  const Programme* p = runner_.Current() ? &*runner_.Current() : nullptr;
  if (!p || NextStep(*p).Kind != StepKind::Inspect) return Say(QStringLiteral("现在没有要记录的检查"));
  if (std::optional<Inspection> i = AskInspection(NextStep(*p).Block, runner_.Storage().ExeDir(), notifier_, this)) Say(runner_.RecordInspection(*i));
}

void TfrmProgramme::EndClick() {
  if (!notifier_.Confirm(QStringLiteral("结束后试验方案不能再继续，判定以现在为准。是否结束？"))) return;
  Say(runner_.End());
}

void TfrmProgramme::Export(const QString& caption, const QString& what, const QString& suffix, const QString& filter,
                           const std::function<void(const Programme&, const QString&, const QString&)>& write) {
  if (!runner_.Current()) return Say(QStringLiteral("没有试验方案"));
  const Programme p = *runner_.Current();
  QString number;
  try {
    number = runner_.Storage().GiveReportNumber(p.Id);
  } catch (const ESQLiteException& e) {
    return Say(QStringLiteral("无法给出报告编号：%1").arg(e.Message()));
  }
  const QString path = QFileDialog::getSaveFileName(this, caption, ProgrammeFileName(number, what, suffix), filter);
  if (path.isEmpty()) return;
  try {
    write(p, number, path);
  } catch (const ReportError& e) {
    Say(e.Message);
  }
}

void TfrmProgramme::ReportClick() {
  Export(QStringLiteral("导出试验方案报告"), QStringLiteral("方案报告"), QStringLiteral("pdf"), QStringLiteral("PDF 文件 (*.pdf)"),
         [](const Programme& p, const QString& number, const QString& path) {
           WriteProgrammeReport(p, path, {number, QDateTime::currentDateTime()});
         });
}

void TfrmProgramme::ExcelClick() {
  Export(QStringLiteral("导出试验方案记录"), QStringLiteral("方案记录"), QStringLiteral("xlsx"),
         QStringLiteral("Excel 工作簿 (*.xlsx)"), WriteProgrammeXlsx);
}

void TfrmProgramme::CsvClick() {
  Export(QStringLiteral("导出试验方案记录"), QStringLiteral("方案记录"), QStringLiteral("csv"), QStringLiteral("CSV 文件 (*.csv)"),
         WriteProgrammeCsv);
}

void TfrmProgramme::Refresh() {
  const bool taken = runner_.Current().has_value();
  status_->setText(taken ? runner_.PanelLine() : QStringLiteral("方案尚未确定：编辑后按“确定方案”"));
  const QString record = taken ? ProgrammeRecordText(*runner_.Current()) : QString();
  if (record_->toPlainText() != record) record_->setPlainText(record);
  const StepKind step = taken ? NextStep(*runner_.Current()).Kind : StepKind::Ended;
  const bool startable = step == StepKind::StartBlock || step == StepKind::ContinueBlock;
  takeOn_->setEnabled(!taken);
  blocks_->setEnabled(!taken);
  confirm_->setEnabled(startable);
  start_->setEnabled(startable);
  inspect_->setEnabled(step == StepKind::Inspect);
  end_->setEnabled(taken && step != StepKind::Running && step != StepKind::Ended);
  for (QPushButton* b : {report_, excel_, csv_}) b->setEnabled(taken);
  if (taken) {
    const Programme& p = *runner_.Current();
    for (int r = 0; r < blocks_->rowCount() && r < static_cast<int>(p.Blocks.size()); ++r)
      if (!p.Blocks[r].VoltageConfirmedBy.isEmpty())
        blocks_->item(r, kConfirmed)->setText(QStringLiteral("%1 %2").arg(p.Blocks[r].VoltageConfirmedBy,
                                                                          p.Blocks[r].VoltageConfirmedAt.toString(QStringLiteral("MM-dd hh:mm"))));
  }
}

std::optional<Inspection> AskInspection(int block, const QString& exeDir, INotifier& notifier, QWidget* parent) {
  QDialog d(parent);
  d.setObjectName(QStringLiteral("frmInspection"));
  d.setWindowTitle(QStringLiteral("第%1段后的检查").arg(block));
  auto* form = new QFormLayout(&d);
  auto* checked = new QLineEdit(&d);
  checked->setPlaceholderText(QStringLiteral("如：外观、紧固件、脱扣弹簧、辅助开关"));
  auto* nothing = new QRadioButton(QStringLiteral("无"), &d);
  auto* lubrication = new QRadioButton(QStringLiteral("润滑（按制造厂说明）"), &d);
  auto* other = new QRadioButton(QStringLiteral("其他"), &d);
  nothing->setChecked(true);
  auto* otherText = new QLineEdit(&d);
  auto* byWhom = new QLineEdit(&d);
  auto* work = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{nothing, lubrication, other, otherText}) work->addWidget(w);
  form->addRow(QStringLiteral("检查内容"), checked);
  form->addRow(QStringLiteral("处理"), work);
  form->addRow(QStringLiteral("检查人"), byWhom);
  // Optional measurements by hand, each judged against its limits.
  auto* measured = new QTableWidget(3, 6, &d);
  measured->setObjectName(QStringLiteral("Measurements"));
  measured->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("单位"), QStringLiteral("测量值"),
                                       QStringLiteral("下限"), QStringLiteral("上限"), QStringLiteral("临界裕量")});
  const char16_t* usual[3][2] = {{u"合闸时间", u"ms"}, {u"分闸时间", u"ms"}, {u"行程", u"mm"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 2; ++c) measured->setItem(r, c, new QTableWidgetItem(QString::fromUtf16(usual[r][c])));
  form->addRow(QStringLiteral("测量（可选）"), measured);
  auto* import = new QPushButton(QStringLiteral("从CSV导入…"), &d);
  import->setObjectName(QStringLiteral("ImportMeasurements"));
  form->addRow(QString(), import);
  QObject::connect(import, &QPushButton::clicked, &d, [&] {
    const QString path = QFileDialog::getOpenFileName(&d, QStringLiteral("从CSV导入测量"), exeDir,
                                                      QStringLiteral("CSV 文件 (*.csv *.txt);;所有文件 (*)"));
    if (!path.isEmpty()) ImportMeasurementFile(path, *measured, exeDir, notifier, &d);
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  if (d.exec() != QDialog::Accepted) return std::nullopt;
  Inspection i;
  i.Block = block;
  i.Checked = checked->text();
  i.Work = lubrication->isChecked() ? InspectionWork::Lubrication : other->isChecked() ? InspectionWork::Other : InspectionWork::Nothing;
  i.WorkText = otherText->text();
  i.ByWhom = byWhom->text();
  const auto cell = [measured](int r, int c) { return measured->item(r, c) ? measured->item(r, c)->text().trimmed() : QString(); };
  for (int r = 0; r < measured->rowCount(); ++r)
    if (!cell(r, 0).isEmpty() && !cell(r, 2).isEmpty())
      i.Measurements.push_back({cell(r, 0), cell(r, 1), cell(r, 2).toDouble(), cell(r, 3).toDouble(), cell(r, 4).toDouble(),
                                cell(r, 5).toDouble()});
  return i;
}

}  // namespace rig

#include "ui/SearchDetailfrm.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/Notifier.h"
#include "storage/SQLiteException.h"
#include "ui/ActionGridModel.h"
#include "ui/DesignFont.h"
#include "ui/ReportActions.h"

namespace rig {

TfrmSearchDetail::TfrmSearchDetail(const QString& exeDir, INotifier& notifier, QWidget* parent)
    : QDialog(parent), exeDir_(exeDir), notifier_(notifier) {
  setObjectName(QStringLiteral("frmSearchDetail"));
  setWindowTitle(QStringLiteral("磨合测试结果详细信息"));
  setFont(DesignFont());
  resize(928, 480);

  header_ = new QWidget(this);
  header_->setObjectName(QStringLiteral("Panel2"));
  header_->setFixedHeight(257);
  AddLabel("LabelOpenType", QStringLiteral("开关型号"), 26, 32);
  identity_[0] = AddEdit("Edit1", 81, 28, 150);
  AddLabel("LabelOutIndex", QStringLiteral("出厂编号"), 290, 32);
  identity_[1] = AddEdit("Edit2", 345, 28, 150);
  AddLabel("LabelWorkArea", QStringLiteral("工位"), 538, 32);
  identity_[2] = AddEdit("Edit3", 577, 28, 150);
  AddLabel("LabelWorkName", QStringLiteral("操作员"), 762, 32);
  identity_[3] = AddEdit("Edit4", 809, 28, 150);

  AddLabel("LabelType", QStringLiteral("测试类型"), 26, 70);
  typeText_ = AddLabel("Label36", QString(), 97, 70);

  firstCaption_ = AddLabel("Label89", QString(), 75, 121);
  firstValue_ = AddEdit("Edit20", 119, 117, 100, QStringLiteral("[1,200000]"));
  firstUnit_ = AddLabel("Label24", QString(), 228, 121);
  secondCaption_ = AddLabel("Label25", QString(), 312, 121);
  secondValue_ = AddEdit("Edit21", 359, 117, 100, QStringLiteral("[1,200000]"));
  secondUnit_ = AddLabel("Label26", QString(), 461, 121);
  countValue_ = AddEdit("Edit5", 554, 114, 100, QStringLiteral("[1,32000]"));
  countUnit_ = AddLabel("Label8", QString(), 663, 121);

  secondRow_ = {AddLabel("Label31", QStringLiteral("分延时"), 75, 145)};
  secondRowValues_[0] = AddEdit("Edit22", 119, 141, 100, QStringLiteral("[1,3000]"));
  secondRow_ << secondRowValues_[0] << AddLabel("Label27", QStringLiteral("s"), 228, 145)
             << AddLabel("Label28", QStringLiteral("合延时"), 312, 145);
  secondRowValues_[1] = AddEdit("Edit23", 359, 141, 100, QStringLiteral("[1,3000]"));
  secondRow_ << secondRowValues_[1] << AddLabel("Label29", QStringLiteral("s"), 461, 145);
  secondRowValues_[2] = AddEdit("Edit24", 554, 141, 100, QStringLiteral("[1,32000]"));
  secondRow_ << secondRowValues_[2] << AddLabel("Label30", QStringLiteral("次"), 663, 145);

  AddLabel("LabelActionType", QStringLiteral("动作类型"), 26, 182);
  actionType_ = AddLabel("Label7", QString(), 97, 182);

  AddLabel("LabelTestTime", QStringLiteral("测试时间"), 57, 222);
  date_ = new QDateEdit(header_);
  date_->setObjectName(QStringLiteral("DateTimePicker1"));
  date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  date_->setGeometry(118, 218, 147, 21);
  time_ = new QTimeEdit(header_);
  time_->setObjectName(QStringLiteral("DateTimePicker3"));
  time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  time_->setGeometry(270, 218, 112, 21);

  auto* reportButton = new QPushButton(QStringLiteral("导出报告…"), header_);
  reportButton->setObjectName(QStringLiteral("ReportButton"));
  reportButton->setGeometry(809, 216, 150, 25);
  reportButton->setMenu(MakeTestReportMenu(this, exeDir_, [this] { return autoId_; }, notifier_));

  auto* strip = new QWidget(this);
  strip->setFixedHeight(33);
  auto* legend = new QLabel(QStringLiteral("断口状态（○指示分       ● 指示合）"), strip);
  legend->move(16, 11);

  model_ = new TActionGridModel(this);
  list_ = new QTreeView(this);
  list_->setObjectName(QStringLiteral("ListView1"));
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Every column keeps its width however wide the window: the last one too.
  list_->header()->setStretchLastSection(false);
  list_->setStyleSheet(QStringLiteral(
      "QTreeView { background: rgb(192, 220, 192); }"
      "QTreeView::item { border-right: 1px solid #a0b4a0; border-bottom: 1px solid #a0b4a0; }"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header_);
  layout->addWidget(strip);
  layout->addWidget(list_, 1);

  // Design contents until a test is loaded.
  ShowHeader(DetailHeader());
  model_->SetGrid(ActionGrid::Design());
  ApplyColumnWidths();
}

void TfrmSearchDetail::ApplyColumnWidths() {
  for (int c = 0; c < model_->columnCount(); ++c) list_->setColumnWidth(c, model_->Columns()[c].Width);
}

QLabel* TfrmSearchDetail::AddLabel(const char* name, const QString& text, int x, int y) {
  auto* label = new QLabel(text, header_);
  label->setObjectName(QString::fromLatin1(name));
  label->move(x, y);
  label->adjustSize();
  return label;
}

QLineEdit* TfrmSearchDetail::AddEdit(const char* name, int x, int y, int width, const QString& hint) {
  auto* edit = new QLineEdit(header_);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(x, y, width, 21);
  edit->setToolTip(hint);
  return edit;
}

void TfrmSearchDetail::ShowHeader(const DetailHeader& h) {
  const QString identity[4] = {h.OpenType, h.OutIndex, h.WorkArea, h.WorkName};
  for (int i = 0; i < 4; ++i) identity_[i]->setText(identity[i]);
  typeText_->setText(h.TypeText);
  struct Slot {
    QLabel* caption;
    QLineEdit* value;
    QLabel* unit;
    const DetailField& field;
  } fields[] = {{firstCaption_, firstValue_, firstUnit_, h.First},
               {secondCaption_, secondValue_, secondUnit_, h.Second},
               {nullptr, countValue_, countUnit_, h.Count}};
  for (const Slot& s : fields) {
    if (s.caption) s.caption->setText(s.field.Caption);
    s.value->setText(s.field.Value);
    s.unit->setText(s.field.Unit);
    for (QWidget* w : {static_cast<QWidget*>(s.caption), static_cast<QWidget*>(s.value), static_cast<QWidget*>(s.unit)}) {
      if (w) {
        w->setVisible(s.field.Visible);
        if (auto* l = qobject_cast<QLabel*>(w)) l->adjustSize();
      }
    }
  }
  for (int i = 0; i < 3; ++i) secondRowValues_[i]->setText(h.SecondRow[i]);
  for (QWidget* w : secondRow_) w->setVisible(h.SecondRowVisible);
  typeText_->adjustSize();
  actionType_->setText(h.ActionType);
  actionType_->adjustSize();
  date_->setDate(h.StartTime.date());
  time_->setTime(h.StartTime.time());
}

void TfrmSearchDetail::FormShow() { LoadTestSummary(); }

void TfrmSearchDetail::LoadTestSummary() {
  DetailHeader header;
  int mode = 0;
  try {
    mode = LoadTestHeader(exeDir_, autoId_, &header);
  } catch (const ESQLiteException& e) {
    notifier_.Error(e.Message());
    return;
  }
  ShowHeader(header);
  // The list is read as it is shown; a mode that is none of the nine keeps
  // the design columns.
  if (mode != 0) {
    model_->SetLines(ActionColumns(mode), std::make_unique<TActionLines>(mode, header.DetailPath));
  } else {
    model_->SetGrid(ActionGrid::Design());
  }
  ApplyColumnWidths();
}

void ShowTestDetail(QWidget* parent, const QString& exeDir, const QString& autoId, INotifier& notifier) {
  TfrmSearchDetail window(exeDir, notifier, parent);
  window.SetAutoId(autoId);
  window.setWindowState(Qt::WindowMaximized);
  window.FormShow();
  window.exec();
}

}  // namespace rig

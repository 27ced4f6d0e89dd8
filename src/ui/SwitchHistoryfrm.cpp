#include "ui/SwitchHistoryfrm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <exception>

#include "core/Notifier.h"
#include "endurance/LocalSwitchHistory.h"
#include "endurance/ProgrammeStore.h"
#include "endurance/ProgrammeTexts.h"
#include "endurance/SwitchHistoryTexts.h"
#include "lab/LabProgrammeRecord.h"
#include "lab/LabSwitchHistory.h"
#include "storage/SQLiteException.h"
#include "ui/DesignFont.h"
#include "ui/OffWindowThread.h"
#include "ui/SearchDetailfrm.h"
#include "ui/SearchResultfrm.h"

namespace rig {
namespace {

// A programme's record, read only. The programme window itself belongs to
// a station's running programme.
void ShowRecordText(QWidget* parent, const QString& record) {
  QDialog box(parent);
  box.setWindowTitle(QStringLiteral("试验方案记录（只读）"));
  box.setFont(DesignFont());
  auto* text = new QPlainTextEdit(&box);
  text->setObjectName(QStringLiteral("ProgrammeRecord"));
  text->setReadOnly(true);
  text->setPlainText(record);
  auto* layout = new QVBoxLayout(&box);
  layout->addWidget(text);
  box.resize(700, 500);
  box.exec();
}

// One of this rig's programmes: its switch, then its record.
void ShowProgrammeRecord(QWidget* parent, const Programme& p) {
  const QString head = QStringLiteral("开关型号：%1\n出厂编号：%2\n工位%3，%4 %5\n\n")
                           .arg(p.Identity.SwitchModel, p.Identity.FactoryNumber)
                           .arg(p.Station)
                           .arg(StandardName(p.Standard), p.ClassName);
  ShowRecordText(parent, head + ProgrammeRecordText(p));
}

}  // namespace

TfrmSwitchHistory::TfrmSwitchHistory(const QString& exeDir, INotifier& notifier, QWidget* parent)
    : QDialog(parent), exeDir_(exeDir), notifier_(notifier) {
  setObjectName(QStringLiteral("frmSwitchHistory"));
  setWindowTitle(QStringLiteral("开关履历(双击条目查看)"));
  setFont(DesignFont());
  resize(1000, 560);

  number_ = new QLineEdit(this);
  number_->setObjectName(QStringLiteral("EdtFactoryNumber"));
  model_ = new QLineEdit(this);
  model_->setObjectName(QStringLiteral("EdtModel"));
  auto* query = new QPushButton(QStringLiteral("查询"), this);
  query->setObjectName(QStringLiteral("BtnQuery"));
  query->setAutoDefault(false);
  connect(query, &QPushButton::clicked, this, &TfrmSwitchHistory::QueryClick);
  connect(number_, &QLineEdit::returnPressed, this, &TfrmSwitchHistory::QueryClick);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("出厂编号"), this));
  top->addWidget(number_);
  top->addWidget(new QLabel(QStringLiteral("开关型号"), this));
  top->addWidget(model_);
  top->addWidget(query);
  top->addStretch();

  table_ = new QTableWidget(0, static_cast<int>(SwitchHistoryHeaders().size()), this);
  table_->setObjectName(QStringLiteral("HistoryTable"));
  table_->setHorizontalHeaderLabels(SwitchHistoryHeaders());
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { ItemDblClick(row); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(table_, 1);
}

void TfrmSwitchHistory::SetQuery(const SwitchHistoryQuery& query) {
  number_->setText(query.FactoryNumber);
  model_->setText(query.Model);
}

void TfrmSwitchHistory::QueryClick() {
  const SwitchHistoryQuery query{number_->text(), model_->text()};
  const int asked = ++queries_;
  ShowItems({});
  if (query.FactoryNumber.trimmed().isEmpty()) return notifier_.Notice(QStringLiteral("请输入出厂编号！"));
  std::vector<SwitchHistoryItem> local;
  try {
    local = LocalSwitchHistory(exeDir_, query);
  } catch (const ESQLiteException& e) {
    notifier_.Error(e.Message());
  }
  ShowItems(local);
  if (!labSource) return;
  struct Answer {
    std::vector<SwitchHistoryItem> Items;
    QString Problem;
  };
  RunOffWindowThread<Answer>(
      this,
      [source = labSource, query] {
        Answer a;
        try {
          a.Items = source(query);
        } catch (const std::exception& e) {
          a.Problem = QString::fromUtf8(e.what());
        }
        return a;
      },
      [this, asked, local = std::move(local)](Answer a) mutable {
        if (asked != queries_) return;  // the operator asked again meanwhile
        if (!a.Problem.isEmpty()) notifier_.Error(QStringLiteral("实验室数据库查询失败：") + a.Problem);
        for (SwitchHistoryItem& item : a.Items) local.push_back(std::move(item));
        SortHistory(local);
        ShowItems(std::move(local));
        emit LabAnswered();
      });
}

void TfrmSwitchHistory::ShowItems(std::vector<SwitchHistoryItem> items) {
  items_ = std::move(items);
  table_->setRowCount(static_cast<int>(items_.size()));
  for (int r = 0; r < table_->rowCount(); ++r) {
    const QStringList cells = SwitchHistoryCells(items_[static_cast<size_t>(r)]);
    for (int c = 0; c < cells.size(); ++c) table_->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
  table_->resizeColumnsToContents();
}

void TfrmSwitchHistory::ItemDblClick(int row) {
  if (row < 0 || row >= static_cast<int>(items_.size())) return;
  const SwitchHistoryItem& item = items_[static_cast<size_t>(row)];
  const bool lab = !item.RigName.isEmpty();
  if (item.What == SwitchHistoryItem::Kind::Test) {
    if (lab) return ShowLabTestDetail(this, exeDir_, item.LabId, notifier_);
    return ShowTestDetail(this, exeDir_, QString::number(item.LocalId), notifier_);
  }
  if (lab) return ShowLabProgramme(item);
  try {
    if (const auto p = TProgrammeStore(exeDir_).Load(item.LocalId)) return ShowProgrammeRecord(this, *p);
    notifier_.Notice(QStringLiteral("该试验方案已不在Programmes.db中。"));
  } catch (const ESQLiteException& e) {
    notifier_.Error(e.Message());
  }
}

void TfrmSwitchHistory::ShowLabProgramme(const SwitchHistoryItem& item) {
  if (!labRecord) return notifier_.Notice(QStringLiteral("该试验方案在%1上，请在该试验台查看。").arg(item.RigName));
  if (recordAsked_) return;  // a second double click while the lab answers the first
  recordAsked_ = true;
  struct Answer {
    std::optional<QString> Record;
    QString Problem;
  };
  setCursor(Qt::BusyCursor);
  RunOffWindowThread<Answer>(
      this,
      [source = labRecord, id = item.LabId] {
        Answer a;
        try {
          a.Record = source(id);
        } catch (const std::exception& e) {
          a.Problem = QString::fromUtf8(e.what());
        }
        return a;
      },
      [this](Answer a) {
        recordAsked_ = false;
        unsetCursor();
        if (!a.Problem.isEmpty()) notifier_.Error(QStringLiteral("无法打开实验室数据库中的试验方案：") + a.Problem);
        else if (!a.Record) notifier_.Notice(QStringLiteral("该试验方案已不在实验室数据库中。"));
        emit LabRecordAnswered();
        if (a.Record) ShowRecordText(this, *a.Record);
      });
}

void ShowSwitchHistory(QWidget* parent, const QString& exeDir, INotifier& notifier, const SwitchHistoryQuery& query) {
  TfrmSwitchHistory window(exeDir, notifier, parent);
  if (const lab::LabSettings lab = lab::LoadLabSettings(exeDir); lab.Enabled()) {
    window.labSource = [lab](const SwitchHistoryQuery& q) { return lab::OtherRigsSwitchHistory(lab, q); };
    window.labRecord = [lab](const QString& id) { return lab::FetchLabProgrammeRecord(lab, id); };
  }
  window.SetQuery(query);
  if (!query.FactoryNumber.trimmed().isEmpty()) window.QueryClick();
  window.exec();
}

}  // namespace rig

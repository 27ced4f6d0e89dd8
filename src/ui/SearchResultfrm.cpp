#include "ui/SearchResultfrm.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QComboBox>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <memory>

#include "core/Notifier.h"

#include "lab/LabConnection.h"
#include "lab/LabDetail.h"
#include "lab/LabSearch.h"
#include "storage/SQLiteException.h"
#include "storage/TestSearch.h"
#include "ui/DesignFont.h"
#include "ui/LabOverviewfrm.h"
#include "ui/ReportActions.h"
#include "ui/OffWindowThread.h"
#include "ui/SearchDetailfrm.h"
#include "ui/SearchListModel.h"
#include "ui/SwitchHistoryfrm.h"

namespace rig {
namespace {

constexpr int kAutoIdColumn = TSearchListModel::kAutoIdColumn;
constexpr int kPathColumn = TSearchListModel::kPathColumn;

}  // namespace

TfrmSearchResult::TfrmSearchResult(const QString& exeDir, INotifier& notifier, QWidget* parent)
    : QDialog(parent), exeDir_(exeDir), notifier_(notifier) {
  setObjectName(QStringLiteral("frmSearchResult"));
  setWindowTitle(QStringLiteral("磨合测试结果(双击列表条目显示详细结果)"));
  setFont(DesignFont());
  resize(928, 603);

  auto* left = new QWidget(this);
  left->setFixedWidth(250);
  auto* conditions = new QGroupBox(QStringLiteral("查询条件"), left);
  const char16_t* labels[4] = {u"出厂编号", u"开关型号", u"工\u3000\u3000位", u"操 作 员"};
  auto* grid = new QGridLayout(conditions);
  for (int i = 0; i < 4; ++i) {
    edit_[i] = new QLineEdit(conditions);
    edit_[i]->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
    grid->addWidget(new QLabel(QString::fromUtf16(labels[i]), conditions), i, 0);
    grid->addWidget(edit_[i], i, 1);
  }
  from_ = new QDateEdit(conditions);
  from_->setObjectName(QStringLiteral("DateTimePicker1"));
  to_ = new QDateEdit(conditions);
  to_->setObjectName(QStringLiteral("DateTimePicker2"));
  for (QDateEdit* d : {from_, to_}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  }
  grid->addWidget(new QLabel(QStringLiteral("测试时间"), conditions), 4, 0);
  grid->addWidget(from_, 4, 1);
  grid->addWidget(new QLabel(QStringLiteral("至"), conditions), 5, 0);
  grid->addWidget(to_, 5, 1);
  // This rig's own records, or every rig's in the lab database.
  source_ = new QComboBox(conditions);
  source_->setObjectName(QStringLiteral("CBoxSource"));
  source_->addItems({QStringLiteral("本机"), QStringLiteral("实验室数据库")});
  rig_ = new QLineEdit(conditions);
  rig_->setObjectName(QStringLiteral("EdtRig"));
  rig_->setEnabled(false);
  connect(source_, &QComboBox::currentIndexChanged, this, [this](int i) { rig_->setEnabled(i == 1); });
  grid->addWidget(new QLabel(QStringLiteral("数据来源"), conditions), 6, 0);
  grid->addWidget(source_, 6, 1);
  grid->addWidget(new QLabel(QStringLiteral("试 验 台"), conditions), 7, 0);
  grid->addWidget(rig_, 7, 1);

  auto* actions = new QGroupBox(left);
  auto* av = new QVBoxLayout(actions);
  av->addWidget(new QLabel(QStringLiteral("排序方式"), actions));
  auto* order = new QHBoxLayout;
  order->addWidget(new QLabel(QStringLiteral("测试时间"), actions));
  ascending_ = new QRadioButton(QStringLiteral("顺序"), actions);
  ascending_->setObjectName(QStringLiteral("RadioButton1"));
  descending_ = new QRadioButton(QStringLiteral("逆序"), actions);
  descending_->setObjectName(QStringLiteral("RadioButton2"));
  descending_->setChecked(true);
  order->addWidget(ascending_);
  order->addWidget(descending_);
  av->addLayout(order);
  struct Button {
    const char* name;
    const char16_t* caption;
    void (TfrmSearchResult::*handler)();
  } buttons[] = {{"BitBtn3", u"查询", &TfrmSearchResult::BitBtn3Click},
                 {"BitBtn2", u"删除", &TfrmSearchResult::BitBtn2Click},
                 {"BitBtn6", u"退出", &TfrmSearchResult::BitBtn6Click}};
  for (const Button& b : buttons) {
    auto* button = new QPushButton(QString::fromUtf16(b.caption), actions);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, b.handler);
    av->addWidget(button);
  }
  auto* exportButton = new QPushButton(QStringLiteral("导出…"), actions);
  exportButton->setObjectName(QStringLiteral("ExportButton"));
  av->insertWidget(av->count() - 1, exportButton);  // above 退出
  auto* overview = new QPushButton(QStringLiteral("实验室总览…"), actions);
  overview->setObjectName(QStringLiteral("BtnLabOverview"));
  overview->setAutoDefault(false);
  connect(overview, &QPushButton::clicked, this, &TfrmSearchResult::OverviewClick);
  av->insertWidget(av->count() - 1, overview);
  auto* history = new QPushButton(QStringLiteral("开关履历…"), actions);
  history->setObjectName(QStringLiteral("BtnSwitchHistory"));
  history->setAutoDefault(false);
  connect(history, &QPushButton::clicked, this, &TfrmSearchResult::SwitchHistoryClick);
  av->insertWidget(av->count() - 1, history);
  auto* lv = new QVBoxLayout(left);
  lv->setContentsMargins(0, 0, 0, 0);
  lv->addWidget(conditions);
  lv->addWidget(actions);
  lv->addStretch();

  auto* right = new QWidget(this);
  auto* title = new QLabel(QStringLiteral("磨合测试结果"), right);
  title->setAlignment(Qt::AlignCenter);
  title->setFrameShape(QFrame::StyledPanel);
  model_ = new TSearchListModel(this);
  list_ = new QTreeView(right);
  list_->setObjectName(QStringLiteral("ListView1"));
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }"));
  for (int c = 0; c < model_->columnCount(); ++c) list_->setColumnWidth(c, TSearchListModel::DesignWidth(c));
  // Every column keeps its width however wide the window: without this the
  // last one, the detail file's path, would take all the room that is left.
  list_->header()->setStretchLastSection(false);
  // AutoID and path ride along at width 1: present, not visible.
  list_->header()->setSectionResizeMode(kAutoIdColumn, QHeaderView::Fixed);
  list_->header()->setSectionResizeMode(kPathColumn, QHeaderView::Fixed);
  list_->header()->setMinimumSectionSize(1);
  list_->setColumnWidth(kAutoIdColumn, 1);
  list_->setColumnWidth(kPathColumn, 1);
  // A double click anywhere in the list, on a line or below the last one.
  list_->viewport()->installEventFilter(this);
  exportButton->setMenu(MakeSearchExportMenu(this, list_, exeDir_, notifier_));
  auto* rv = new QVBoxLayout(right);
  rv->setContentsMargins(0, 0, 0, 0);
  rv->addWidget(title);
  rv->addWidget(list_);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(left);
  layout->addWidget(right, 1);
  FormCreate();
}

void TfrmSearchResult::FormCreate() {
  from_->setDate(QDate::currentDate());
  to_->setDate(QDate::currentDate());
}

void TfrmSearchResult::BitBtn3Click() {
  model_->SetRows({});
  SearchFilter filter;
  filter.OutIndex = edit_[0]->text();
  filter.OpenType = edit_[1]->text();
  filter.WorkArea = edit_[2]->text();
  filter.WorkName = edit_[3]->text();
  filter.From = from_->date();
  filter.To = to_->date();
  filter.Ascending = ascending_->isChecked();
  if (FromLab()) return SearchLab(filter);
  std::vector<SearchRow> rows;
  try {
    rows = SearchTests(exeDir_, filter);
  } catch (const ESQLiteException& e) {
    notifier_.Error(e.Message());
    return;
  }
  ShowRows(std::move(rows), false);
}

int TfrmSearchResult::SelectedRow() const {
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid() || !list_->selectionModel()->isRowSelected(current.row(), QModelIndex())) return -1;
  return current.row();
}

void TfrmSearchResult::OverviewClick() {
  // A window of its own beside this one, gone with it.
  auto* overview = new TfrmLabOverview(exeDir_, this);
  overview->setAttribute(Qt::WA_DeleteOnClose);
  connect(overview, &TfrmLabOverview::RigChosen, this, &TfrmSearchResult::ShowRigTests);
  overview->show();
}

void TfrmSearchResult::SwitchHistoryClick() {
  ShowSwitchHistory(this, exeDir_, notifier_, {edit_[0]->text(), edit_[1]->text()});
}

void TfrmSearchResult::ShowRigTests(const QString& rigName) {
  source_->setCurrentIndex(1);
  rig_->setText(rigName);
  for (QLineEdit* e : edit_) e->clear();
  from_->setDate(QDate(2000, 1, 1));  // every test the rig ever sent
  to_->setDate(QDate::currentDate());
  BitBtn3Click();
  raise();
}

bool TfrmSearchResult::FromLab() const { return source_->currentIndex() == 1; }

void TfrmSearchResult::ShowRows(std::vector<SearchRow> rows, bool lab) {
  model_->SetRows(std::move(rows), lab);
  list_->setColumnWidth(kPathColumn, lab ? 100 : 1);
}

void TfrmSearchResult::SearchLab(const SearchFilter& filter) {
  lab::LabSearchFilter f;
  f.Base = filter;
  f.RigName = rig_->text();
  const lab::LabSettings settings = lab::LoadLabSettings(exeDir_);
  if (!settings.Enabled()) {
    notifier_.Notice(QStringLiteral("未设置实验室数据库（设置 → 实验室数据库设置）。"));
    return;
  }
  setCursor(Qt::BusyCursor);
  struct Answer {
    lab::LabSearchResult Found;
    QString Problem;
  };
  RunOffWindowThread<Answer>(
      this,
      [settings, f] {
        Answer a;
        try {
          a.Found = lab::SearchLabTests(settings, f);
        } catch (const lab::LabError& e) {
          a.Problem = e.Words();
        }
        return a;
      },
      [this, f](Answer a) {
        unsetCursor();
        if (!a.Problem.isEmpty()) {
          notifier_.Error(QStringLiteral("实验室数据库查询失败：") + a.Problem);
          return;
        }
        const bool cut = a.Found.Cut;
        ShowRows(std::move(a.Found.Rows), true);
        if (cut) notifier_.Notice(lab::CutListNotice(f));
        emit LabSearchDone();
      });
}

void TfrmSearchResult::BitBtn2Click() {
  const int row = SelectedRow();
  if (row < 0) {
    notifier_.Notice(QStringLiteral("请选中需要删除选中的记录！"));
    return;
  }
  if (model_->Lab()) {
    notifier_.Notice(QStringLiteral("实验室数据库中的测试不在此删除。"));
    return;
  }
  if (!notifier_.Confirm(QStringLiteral("你确定要删除选中的记录，删除后将不能恢复！"))) return;
  try {
    const SearchRow& test = model_->Row(row);
    if (DeleteTest(exeDir_, test.AutoID, test.DetailPath)) model_->RemoveListedRow(row);
  } catch (const ESQLiteException& e) {
    notifier_.Error(e.Message());
  }
}

void TfrmSearchResult::BitBtn6Click() { close(); }

bool TfrmSearchResult::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick && watched == list_->viewport()) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      // The line under the pointer is the one chosen; off the lines nothing
      // is, whatever was selected before.
      const QModelIndex index = list_->indexAt(mouse->position().toPoint());
      if (index.isValid())
        list_->setCurrentIndex(index);
      else
        list_->clearSelection();
      ListView1DblClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmSearchResult::ListView1DblClick() {
  const int row = SelectedRow();
  if (row < 0) {
    notifier_.Notice(QStringLiteral("请选中需要查看详细信息的记录！"));
    return;
  }
  if (model_->Lab())
    emit LabDetailRequested(model_->Row(row).AutoID);
  else
    emit DetailRequested(model_->Row(row).AutoID);
}

void ShowLabTestDetail(QWidget* parent, const QString& exeDir, const QString& testId, INotifier& notifier) {
  // The test comes from the server into a folder of its own, read there as
  // a local test is, and goes when its window closes.
  auto folder = std::make_shared<QTemporaryDir>();
  const lab::LabSettings settings = lab::LoadLabSettings(exeDir);
  parent->setCursor(Qt::BusyCursor);
  RunOffWindowThread<QString>(
      parent,
      [settings, testId, folder]() -> QString {
        try {
          lab::FetchLabTest(settings, testId, folder->path() + QLatin1Char('/'));
          return QString();
        } catch (const lab::LabError& e) {
          return e.Words();
        } catch (const ESQLiteException& e) {
          return e.Message();
        }
      },
      [parent, folder, &notifier](QString problem) {
        parent->unsetCursor();
        if (!problem.isEmpty()) return notifier.Error(QStringLiteral("无法打开实验室数据库中的测试：") + problem);
        ShowTestDetail(parent, folder->path() + QLatin1Char('/'), QStringLiteral("1"), notifier);
      });
}

void ShowSearchResults(QWidget* parent, const QString& exeDir, INotifier& notifier) {
  TfrmSearchResult window(exeDir, notifier, parent);
  QObject::connect(&window, &TfrmSearchResult::DetailRequested, &window,
                   [&](const QString& autoId) { ShowTestDetail(&window, exeDir, autoId, notifier); });
  QObject::connect(&window, &TfrmSearchResult::LabDetailRequested, &window,
                   [&](const QString& testId) { ShowLabTestDetail(&window, exeDir, testId, notifier); });
  window.setWindowState(Qt::WindowMaximized);
  window.exec();
}

}  // namespace rig

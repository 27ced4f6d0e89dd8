#include "ui/SearchResultfrm.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <QComboBox>

#include "core/Notifier.h"
#include <QTemporaryDir>
#include <memory>

#include "lab/LabConnection.h"
#include "lab/LabDetail.h"
#include "lab/LabSearch.h"
#include "storage/SQLiteException.h"
#include "storage/TestSearch.h"
#include "ui/DesignFont.h"
#include "ui/OffWindowThread.h"
#include "ui/SearchDetailfrm.h"

namespace rig {
namespace {

struct ListColumn {
  const char16_t* Caption;
  int Width;
};
constexpr ListColumn kColumns[] = {
    {u"出厂编号", 80}, {u"开关型号", 80}, {u"开始时间", 150}, {u"终止时间", 150}, {u"测试类型", 250}, {u"磨合次数", 80},
    {u"设定次数", 80}, {u"工位", 100},    {u"操作员", 80},    {u"AutoID", 1},    {u"路径", 1},
};
constexpr int kAutoIdColumn = 9;
constexpr int kPathColumn = 10;

QStringList Cells(const SearchRow& r) {
  return {r.OutIndex, r.OpenType, r.StartTestTime, r.EndTestTime, r.ModeText, r.DoneCount,
          r.SetCount, r.WorkArea, r.WorkName,      r.AutoID,      r.DetailPath};
}

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
  auto* lv = new QVBoxLayout(left);
  lv->setContentsMargins(0, 0, 0, 0);
  lv->addWidget(conditions);
  lv->addWidget(actions);
  lv->addStretch();

  auto* right = new QWidget(this);
  auto* title = new QLabel(QStringLiteral("磨合测试结果"), right);
  title->setAlignment(Qt::AlignCenter);
  title->setFrameShape(QFrame::StyledPanel);
  list_ = new QTreeWidget(right);
  list_->setObjectName(QStringLiteral("ListView1"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }"));
  QStringList captions;
  for (const ListColumn& c : kColumns) captions << QString::fromUtf16(c.Caption);
  list_->setHeaderLabels(captions);
  for (int c = 0; c < static_cast<int>(std::size(kColumns)); ++c) list_->setColumnWidth(c, kColumns[c].Width);
  // AutoID and path ride along at width 1: present, not visible.
  list_->header()->setSectionResizeMode(kAutoIdColumn, QHeaderView::Fixed);
  list_->header()->setSectionResizeMode(kPathColumn, QHeaderView::Fixed);
  list_->header()->setMinimumSectionSize(1);
  list_->setColumnWidth(kAutoIdColumn, 1);
  list_->setColumnWidth(kPathColumn, 1);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });
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
  list_->clear();
  SearchFilter filter;
  filter.OutIndex = edit_[0]->text();
  filter.OpenType = edit_[1]->text();
  filter.WorkArea = edit_[2]->text();
  filter.WorkName = edit_[3]->text();
  filter.From = from_->date();
  filter.To = to_->date();
  filter.Ascending = ascending_->isChecked();
  if (FromLab()) return SearchLab(filter);
  ShowRows({}, false);
  std::vector<SearchRow> rows;
  try {
    rows = SearchTests(exeDir_, filter);
  } catch (const ESQLiteException& e) {
    notifier_.Error(e.Message());
    return;
  }
  ShowRows(rows, false);
}

bool TfrmSearchResult::FromLab() const { return source_->currentIndex() == 1; }

void TfrmSearchResult::ShowRows(const std::vector<SearchRow>& rows, bool lab) {
  list_->clear();
  // Lab rows carry the rig's name where local rows carry the detail path.
  list_->headerItem()->setText(kPathColumn, lab ? QStringLiteral("试验台") : QStringLiteral("路径"));
  list_->setColumnWidth(kPathColumn, lab ? 100 : 1);
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const SearchRow& r : rows) items << new QTreeWidgetItem(Cells(r));
  list_->addTopLevelItems(items);
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
    std::vector<SearchRow> Rows;
    QString Problem;
  };
  RunOffWindowThread<Answer>(
      this,
      [settings, f] {
        Answer a;
        try {
          a.Rows = lab::SearchLabTests(settings, f);
        } catch (const lab::LabError& e) {
          a.Problem = e.Words();
        }
        return a;
      },
      [this](Answer a) {
        unsetCursor();
        if (!a.Problem.isEmpty()) {
          notifier_.Error(QStringLiteral("实验室数据库查询失败：") + a.Problem);
          return;
        }
        ShowRows(a.Rows, true);
        emit LabSearchDone();
      });
}

void TfrmSearchResult::BitBtn2Click() {
  QTreeWidgetItem* item = list_->currentItem();
  if (!item || !item->isSelected()) {
    notifier_.Notice(QStringLiteral("请选中需要删除选中的记录！"));
    return;
  }
  if (list_->headerItem()->text(kPathColumn) == QStringLiteral("试验台")) {
    notifier_.Notice(QStringLiteral("实验室数据库中的测试不在此删除。"));
    return;
  }
  if (!notifier_.Confirm(QStringLiteral("你确定要删除选中的记录，删除后将不能恢复！"))) return;
  try {
    if (DeleteTest(exeDir_, item->text(kAutoIdColumn), item->text(kPathColumn))) delete item;
  } catch (const ESQLiteException& e) {
    notifier_.Error(e.Message());
  }
}

void TfrmSearchResult::BitBtn6Click() { close(); }

void TfrmSearchResult::ListView1DblClick() {
  QTreeWidgetItem* item = list_->currentItem();
  if (!item || !item->isSelected()) {
    notifier_.Notice(QStringLiteral("请选中需要查看详细信息的记录！"));
    return;
  }
  if (list_->headerItem()->text(kPathColumn) == QStringLiteral("试验台"))
    emit LabDetailRequested(item->text(kAutoIdColumn));
  else
    emit DetailRequested(item->text(kAutoIdColumn));
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

#include "ui/LabOverviewfrm.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "lab/LabConnection.h"
#include "ui/DesignFont.h"
#include "ui/OffWindowThread.h"

namespace rig {
namespace {

struct Fetched {
  std::vector<lab::OverviewLine> Lines;
  QString Problem;
};

}  // namespace

TfrmLabOverview::TfrmLabOverview(const QString& exeDir, QWidget* parent) : QDialog(parent), exeDir_(exeDir) {
  setObjectName(QStringLiteral("frmLabOverview"));
  setWindowTitle(QStringLiteral("实验室总览（双击一行查看该试验台的测试）"));
  setFont(DesignFont());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  table_ = new QTableWidget(0, 9, this);
  table_->setObjectName(QStringLiteral("GridOverview"));
  table_->setHorizontalHeaderLabels({QStringLiteral("试验台"), QStringLiteral("工位"), QStringLiteral("通信"),
                                     QStringLiteral("状态"), QStringLiteral("次数"), QStringLiteral("剩余"),
                                     QStringLiteral("试验方案"), QStringLiteral("最近事件"), QStringLiteral("消息")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (QTableWidgetItem* item = table_->item(row, 0)) emit RigChosen(item->text());
  });
  state_ = new QLabel(QStringLiteral("正在读取……"), this);
  state_->setObjectName(QStringLiteral("LblState"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(state_);
  resize(900, 420);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &TfrmLabOverview::Refresh);
  timer_->start(kRefreshMs);
  Refresh();
}

void TfrmLabOverview::Refresh() {
  if (fetching_) return;  // a slow server gets one question at a time
  const lab::LabSettings settings = lab::LoadLabSettings(exeDir_);
  if (!settings.Enabled()) {
    state_->setText(QStringLiteral("未设置实验室数据库（设置 → 实验室数据库设置）。"));
    return;
  }
  fetching_ = true;
  RunOffWindowThread<Fetched>(
      this,
      [settings] {
        Fetched f;
        try {
          f.Lines = lab::OverviewLines(lab::FetchOverview(settings));
        } catch (const lab::LabError& e) {
          f.Problem = e.Words();
        }
        return f;
      },
      [this](Fetched f) {
        fetching_ = false;
        if (!f.Problem.isEmpty()) {
          state_->setText(QStringLiteral("实验室数据库查询失败：") + f.Problem);  // the last rows stay
        } else {
          ShowLines(f.Lines);
          state_->setText(QStringLiteral("更新于 ") + QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
        }
        emit Refreshed();
      });
}

void TfrmLabOverview::ShowLines(const std::vector<lab::OverviewLine>& lines) {
  table_->setRowCount(static_cast<int>(lines.size()));
  for (int r = 0; r < static_cast<int>(lines.size()); ++r) {
    const lab::OverviewLine& l = lines[r];
    const QString cells[] = {l.Rig, l.Station, l.Link, l.State, l.Count, l.Left, l.Programme, l.LastEvent, l.NoWord};
    for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (l.Attention) item->setForeground(Qt::red);
      table_->setItem(r, c, item);
    }
  }
  table_->resizeColumnsToContents();
}

}  // namespace rig

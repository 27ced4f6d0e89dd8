#include "ui/RunWatchPanel.h"

#include <QLabel>
#include <QProgressBar>

#include "station/RunWatch.h"
#include "ui/RateChart.h"
#include "ui/StationPanel.h"

namespace rig {
namespace {

constexpr int kRowTop = 30;
constexpr int kRowHeight = 17;
// Left edges: the run figures, the refusal table (break, 拒合, 拒分), the chart.
constexpr int kFiguresLeft = 8;
constexpr int kFiguresWidth = 206;  // "状态：控制器无响应 98天 23:59:59"
constexpr int kTableLeft = 218;
constexpr int kTableColumns[3] = {kTableLeft, kTableLeft + 44, kTableLeft + 96};
constexpr int kTableWidth = 146;
constexpr int kChartLeft = kTableLeft + kTableWidth + 2;

void SetIfChanged(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

}  // namespace

TRunWatchPanel::TRunWatchPanel(int station, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("RunWatch%1").arg(station));
  setFrameStyle(QFrame::Box | QFrame::Sunken);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("RunProgress%1").arg(station));
  progress_->setGeometry(kFiguresLeft, 7, kFiguresWidth + kTableWidth + 6, 18);
  progress_->setAlignment(Qt::AlignCenter);

  elapsed_ = Line(0, 0, QStringLiteral("Elapsed"));
  rate_ = Line(0, 1, QStringLiteral("Rate"));
  expected_ = Line(0, 2, QStringLiteral("SetRate"));
  left_ = Line(0, 3, QStringLiteral("TimeLeft"));
  endAt_ = Line(0, 4, QStringLiteral("EndAt"));
  link_ = Line(0, 5, QStringLiteral("LinkWords"));
  state_ = Line(0, 6, QStringLiteral("RunWords"));

  // Refused breaks per break; below it refused actions, which may hold several.
  const QString heads[3] = {QStringLiteral("断口"), QStringLiteral("拒合"), QStringLiteral("拒分")};
  for (int c = 0; c < 3; ++c) Line(1 + c, 0, QString())->setText(heads[c]);
  for (int b = 0; b < kBreakCount; ++b) {
    QLabel* name = Line(1, 1 + b, QString());
    name->setText(QStringList{QStringLiteral("A1"), QStringLiteral("B1"), QStringLiteral("C1")}[b]);
    refusals_[b] = {Line(2, 1 + b, QStringLiteral("Refused%1Closings").arg(b)),
                    Line(3, 1 + b, QStringLiteral("Refused%1Openings").arg(b))};
  }
  refusedActions_ = Line(1, 4, QStringLiteral("RefusedActions"));
  lastRefusal_ = Line(1, 5, QStringLiteral("LastRefusal"));
  lastRefusalAt_ = Line(1, 6, QStringLiteral("LastRefusalAt"));

  chart_ = new TRateChart(this);
  chart_->setGeometry(kChartLeft, 4, 0, kHeight - 8);
}

QLabel* TRunWatchPanel::Line(int column, int row, const QString& name) {
  auto* label = new QLabel(this);
  if (!name.isEmpty()) label->setObjectName(name);
  const int left = column == 0 ? kFiguresLeft : kTableColumns[column - 1];
  const int width = column == 0 ? kFiguresWidth : column == 1 && row >= 4 ? kTableWidth : 44;
  label->setGeometry(left, kRowTop + row * kRowHeight, width, kRowHeight);
  return label;
}

void TRunWatchPanel::Draw(const RunWatchFigures& figures, const TRunWatch& watch) {
  const RunWatchTexts texts = TextsOf(figures);
  if (!drawn_ || !(texts == shown_)) {
    progress_->setRange(0, texts.ProgressMaximum);
    progress_->setValue(texts.ProgressValue);
    progress_->setFormat(texts.Progress);
    SetIfChanged(elapsed_, texts.Elapsed);
    SetIfChanged(rate_, texts.Rate);
    SetIfChanged(expected_, texts.SetRate);
    SetIfChanged(left_, texts.Left);
    SetIfChanged(endAt_, texts.EndAt);
    SetIfChanged(link_, texts.Link);
    SetIfChanged(state_, texts.State);
    state_->setStyleSheet(texts.Alarm ? QStringLiteral("color: rgb(255, 0, 0);") : QString());
    for (int b = 0; b < kBreakCount; ++b)
      for (int k = 0; k < 2; ++k) SetIfChanged(refusals_[b][k], texts.Refusals[b][k]);
    SetIfChanged(refusedActions_, texts.RefusedActions);
    if (refusedActions_->toolTip() != texts.RefusalsFoundBy) refusedActions_->setToolTip(texts.RefusalsFoundBy);
    SetIfChanged(lastRefusal_, texts.LastRefusal);
    SetIfChanged(lastRefusalAt_, texts.LastRefusalAt);
    shown_ = texts;
    drawn_ = true;
  }
  const int64_t now = watch.Now();
  if (!figures.HasRun || !figures.Plan.Life) {
    if (chartVersion_ != 0) chart_->Clear();
    chartVersion_ = 0;
    return;
  }
  if (watch.HistoryVersion() == chartVersion_ && now - chartAtMs_ < kChartRefreshMs) return;
  chart_->Draw(watch.History(), watch.HistoryUntil(), figures.ExpectedRatePerMinute);
  chartVersion_ = watch.HistoryVersion();
  chartAtMs_ = now;
  ++chartDraws_;
}

void TRunWatchPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  chart_->resize(width() - kChartLeft - 4, chart_->height());
}

}  // namespace rig

#include "ui/RateChart.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "testing/RateHistory.h"
#include "ui/DesignFont.h"

namespace rig {
namespace {

// Up to this many minutes the time axis counts minutes, beyond it hours.
constexpr double kMinutesAxisLimit = 120;

// Shows 0 to `top` rounded up to a whole number of 1, 2 or 5 x 10^k steps,
// at most six of them, with a tick at each.
void SetNiceRange(QValueAxis* axis, double top) {
  top = std::max(top, 1e-9);
  double step = std::pow(10.0, std::floor(std::log10(top / 6)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (std::ceil(top / (m * step) - 1e-9) <= 6) {
      step *= m;
      break;
    }
  }
  const double intervals = std::max(1.0, std::ceil(top / step - 1e-9));
  axis->setRange(0, intervals * step);
  axis->setTickCount(static_cast<int>(intervals) + 1);
}

QFont AxisFont() {
  QFont f = DesignFont();
  f.setPixelSize(11);
  return f;
}

}  // namespace

TRateChart::TRateChart(QWidget* parent)
    // Given its chart at once: a chart view made without one makes its own,
    // and a later setChart() lets go of that one without freeing it.
    : QChartView(new QChart, parent),
      chart_(chart()),
      rate_(new QLineSeries),
      expected_(new QLineSeries),
      refusals_(new QScatterSeries),
      time_(new QValueAxis),
      perMinute_(new QValueAxis) {
  setObjectName(QStringLiteral("RateChart"));
  setRenderHint(QPainter::Antialiasing);
  chart_->legend()->hide();
  chart_->setMargins(QMargins(0, 0, 0, 0));
  chart_->setBackgroundRoundness(0);
  chart_->setBackgroundBrush(palette().window());
  chart_->layout()->setContentsMargins(0, 0, 0, 0);

  rate_->setPen(QPen(QColor(0, 0, 160), 1.5));
  expected_->setPen(QPen(QColor(96, 96, 96), 1, Qt::DashLine));
  refusals_->setColor(QColor(255, 0, 0));
  refusals_->setBorderColor(QColor(160, 0, 0));
  refusals_->setMarkerSize(7);
  for (QAbstractSeries* s : {static_cast<QAbstractSeries*>(expected_), static_cast<QAbstractSeries*>(rate_),
                             static_cast<QAbstractSeries*>(refusals_)})
    chart_->addSeries(s);

  for (QValueAxis* axis : {time_, perMinute_}) {
    axis->setLabelsFont(AxisFont());
    axis->setTitleFont(AxisFont());
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setTickCount(5);
  }
  perMinute_->setTitleText(QStringLiteral("次/分"));
  chart_->addAxis(time_, Qt::AlignBottom);
  chart_->addAxis(perMinute_, Qt::AlignLeft);
  for (QAbstractSeries* s : chart_->series()) {
    s->attachAxis(time_);
    s->attachAxis(perMinute_);
  }
  Clear();
}

void TRateChart::Clear() {
  rate_->clear();
  expected_->clear();
  refusals_->clear();
  time_->setRange(0, 10);
  time_->setTitleText(QStringLiteral("分钟"));
  perMinute_->setRange(0, 10);
}

void TRateChart::Draw(const TRateHistory& history, int64_t untilMs, std::optional<double> expectedPerMinute) {
  const std::vector<RatePoint> points = RatePoints(history, untilMs);
  const double spanMinutes = std::max(1.0, static_cast<double>(untilMs - history.StartMs()) / 60'000.0);
  const bool hours = spanMinutes > kMinutesAxisLimit;
  const double unit = hours ? 60.0 : 1.0;

  QList<QPointF> line;
  QList<QPointF> marks;
  line.reserve(static_cast<qsizetype>(points.size()));
  double top = expectedPerMinute.value_or(0);
  for (const RatePoint& p : points) {
    line.append(QPointF(p.Minutes / unit, p.PerMinute));
    if (p.Refusals > 0) marks.append(QPointF(p.Minutes / unit, p.PerMinute));
    top = std::max(top, p.PerMinute);
  }
  rate_->replace(line);
  refusals_->replace(marks);
  const double span = spanMinutes / unit;
  if (expectedPerMinute)
    expected_->replace(QList<QPointF>{{0, *expectedPerMinute}, {2 * span, *expectedPerMinute}});
  else
    expected_->clear();
  time_->setTitleText(hours ? QStringLiteral("小时") : QStringLiteral("分钟"));
  SetNiceRange(time_, span);
  SetNiceRange(perMinute_, std::max(1.0, top * 1.15));
}

int TRateChart::PointCount() const { return static_cast<int>(rate_->count()); }
int TRateChart::RefusalMarkCount() const { return static_cast<int>(refusals_->count()); }

}  // namespace rig

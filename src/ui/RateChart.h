#pragma once
// The rate of a run over its whole length: cycles per minute per time
// bucket, the rate the delays set as a dashed line, and a red mark where
// actions were refused. Redrawn from the bucketed history, so its size never
// grows with the run.
#include <QChartView>
#include <cstdint>
#include <optional>

class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace rig {

class TRateHistory;

class TRateChart : public QChartView {
  Q_OBJECT
 public:
  explicit TRateChart(QWidget* parent = nullptr);

  // `untilMs`: now, or the end of a run that stopped.
  void Draw(const TRateHistory& history, int64_t untilMs, std::optional<double> expectedPerMinute);
  // Nothing to show: no run yet, or an operation test.
  void Clear();
  int PointCount() const;
  int RefusalMarkCount() const;

 private:
  QChart* chart_;
  QLineSeries* rate_;
  QLineSeries* expected_;
  QScatterSeries* refusals_;
  QValueAxis* time_;
  QValueAxis* perMinute_;
};

}  // namespace rig

#pragma once
// The live view under a station's buttons: a progress bar, elapsed time,
// rate against the set rate, time left and expected end, link and run state,
// refusals per break and the last refusal, and the rate chart. It only shows
// texts worded elsewhere (RunWatchTexts); the window redraws it on a timer,
// never from the receive path.
#include <QFrame>
#include <array>
#include <cstdint>

#include "station/RunWatchTexts.h"

class QLabel;
class QProgressBar;

namespace rig {

class TRateChart;
class TRunWatch;

class TRunWatchPanel : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kHeight = 188;
  // The chart is redrawn when the run has news for it, or this often to let
  // a silence show as a falling line.
  static constexpr int64_t kChartRefreshMs = 2'000;

  TRunWatchPanel(int station, QWidget* parent);

  // Shows `figures` (the watch's, just taken); the chart follows the
  // watch's history.
  void Draw(const RunWatchFigures& figures, const TRunWatch& watch);

  const RunWatchTexts& Shown() const { return shown_; }
  TRateChart& Chart() { return *chart_; }
  int ChartDraws() const { return chartDraws_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* Line(int column, int row, const QString& name);

  QProgressBar* progress_;
  QLabel* elapsed_;
  QLabel* rate_;
  QLabel* expected_;
  QLabel* left_;
  QLabel* endAt_;
  QLabel* link_;
  QLabel* state_;
  std::array<std::array<QLabel*, 2>, 3> refusals_{};  // 拒合, 拒分 per break
  QLabel* refusedActions_;
  QLabel* lastRefusal_;
  QLabel* lastRefusalAt_;
  TRateChart* chart_;
  RunWatchTexts shown_;
  bool drawn_ = false;
  uint64_t chartVersion_ = ~uint64_t(0);
  int64_t chartAtMs_ = 0;
  int chartDraws_ = 0;
};

}  // namespace rig

#pragma once
// The lab overview window: every rig's stations, live, refreshed every few
// seconds from a thread of its own (the window never waits on the network).
// Double-clicking a row asks for that rig's tests.
#include <QDialog>

#include "lab/LabOverview.h"

class QLabel;
class QTableWidget;
class QTimer;

namespace rig {

class TfrmLabOverview : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 3000;
  TfrmLabOverview(const QString& exeDir, QWidget* parent = nullptr);

  // A fetch, unless one is still under way.
  void Refresh();
  void ShowLines(const std::vector<lab::OverviewLine>& lines);

 signals:
  void RigChosen(const QString& rigName);
  // A fetch's answer is on view.
  void Refreshed();

 private:
  QString exeDir_;
  QTableWidget* table_ = nullptr;
  QLabel* state_ = nullptr;
  QTimer* timer_ = nullptr;
  bool fetching_ = false;
};

}  // namespace rig

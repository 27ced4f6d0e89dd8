#pragma once
// The operator's way to reports and exports: the report menu of the detail
// window and the export menu of the search window, the save dialogs, the
// cancellable progress dialog and printing. The work itself is src/report.
#include <QString>
#include <functional>

#include "report/ReportError.h"

class QAbstractItemView;
class QMenu;
class QWidget;

namespace rig {

class INotifier;

// Runs `work` on a worker thread while a progress dialog with a cancel button
// is shown over `parent`; the window keeps repainting. Returns true when the
// work finished; a ReportError is shown through `notifier`, a cancel is not.
bool RunWithProgress(QWidget* parent, const QString& label, INotifier& notifier,
                     const std::function<void(const ReportProgress&)>& work);

// The detail window's menu: report as PDF, print, actions as CSV or Excel.
QMenu* MakeTestReportMenu(QWidget* parent, const QString& exeDir, std::function<QString()> autoId,
                          INotifier& notifier);

// The search window's menu: the selected test's report and actions, and the
// listed tests as CSV or Excel. `list` shows the search list (AutoID in
// column 9).
QMenu* MakeSearchExportMenu(QWidget* parent, QAbstractItemView* list, const QString& exeDir, INotifier& notifier);

}  // namespace rig

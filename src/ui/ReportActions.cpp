#include "ui/ReportActions.h"

#include <QAbstractItemView>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <optional>

#include "core/Notifier.h"
#include "report/CsvExport.h"
#include "report/PdfReport.h"
#include "report/ReportTexts.h"
#include "report/SavedTest.h"
#include "report/XlsxExport.h"
#include "storage/TestSearch.h"

namespace rig {
namespace {

constexpr int kAutoIdColumn = 9;  // the search list's hidden AutoID column

// The last folder chosen, for the next save dialog.
QString& LastFolder() {
  static QString folder = QDir::homePath();
  return folder;
}

QString AskTarget(QWidget* parent, const QString& caption, const QString& name, const QString& filters) {
  const QString path =
      QFileDialog::getSaveFileName(parent, caption, QDir(LastFolder()).filePath(name), filters);
  if (!path.isEmpty()) LastFolder() = QFileInfo(path).absolutePath();
  return path;
}

const QString kTableFilters = QStringLiteral("CSV 文件 (*.csv);;Excel 工作簿 (*.xlsx)");

bool IsXlsx(const QString& path) { return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive); }

// The test of `autoId`, read with progress; empty when it failed or was cancelled.
std::optional<SavedTest> Load(QWidget* parent, const QString& exeDir, const QString& autoId, INotifier& notifier) {
  std::optional<SavedTest> test;
  if (!RunWithProgress(parent, QStringLiteral("正在读取试验记录…"), notifier,
                       [&](const ReportProgress& p) { test = LoadTestForReport(exeDir, autoId, p); }))
    return std::nullopt;
  return test;
}

void ExportReport(QWidget* parent, const QString& exeDir, const QString& autoId, INotifier& notifier) {
  std::optional<SavedTest> test = Load(parent, exeDir, autoId, notifier);
  if (!test) return;
  const QString path = AskTarget(parent, QStringLiteral("导出报告"),
                                 ProposedFileName(*test, QStringLiteral("报告"), QStringLiteral("pdf")),
                                 QStringLiteral("PDF 文件 (*.pdf)"));
  if (path.isEmpty()) return;
  RunWithProgress(parent, QStringLiteral("正在生成报告…"), notifier,
                  [&](const ReportProgress&) { WritePdfReport(*test, path); });
}

void PrintReport(QWidget* parent, const QString& exeDir, const QString& autoId, INotifier& notifier) {
  std::optional<SavedTest> test = Load(parent, exeDir, autoId, notifier);
  if (!test) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageMargins(QMarginsF(18, 14, 18, 12), QPageLayout::Millimeter);
  printer.setDocName(ProposedFileName(*test, QStringLiteral("报告"), QStringLiteral("pdf")));
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("打印报告"));
  if (dialog.exec() != QDialog::Accepted) return;
  PaintReport(printer, *test);  // a printer is drawn on from the window thread
}

void ExportActions(QWidget* parent, const QString& exeDir, const QString& autoId, INotifier& notifier) {
  std::optional<SavedTest> test = Load(parent, exeDir, autoId, notifier);
  if (!test) return;
  const QString path = AskTarget(parent, QStringLiteral("导出动作记录"),
                                 ProposedFileName(*test, QStringLiteral("动作记录"), QStringLiteral("csv")),
                                 kTableFilters);
  if (path.isEmpty()) return;
  RunWithProgress(parent, QStringLiteral("正在导出动作记录…"), notifier, [&](const ReportProgress& p) {
    if (IsXlsx(path)) WriteActionsXlsx(*test, path, p);
    else WriteActionsCsv(*test, path, p);
  });
}

// The rows the search window lists, read from its view.
std::vector<SearchRow> ListedRows(const QAbstractItemView* list) {
  std::vector<SearchRow> rows;
  const QAbstractItemModel* m = list->model();
  if (!m) return rows;
  for (int r = 0; r < m->rowCount(); ++r) {
    auto cell = [&](int c) { return m->index(r, c).data().toString(); };
    rows.push_back({cell(0), cell(1), cell(2), cell(3), cell(4), cell(5), cell(6), cell(7), cell(8), cell(9), cell(10)});
  }
  return rows;
}

void ExportSearchList(QWidget* parent, const QAbstractItemView* list, INotifier& notifier) {
  const std::vector<SearchRow> rows = ListedRows(list);
  if (rows.empty()) {
    notifier.Notice(QStringLiteral("列表中没有试验，请先查询。"));
    return;
  }
  const QString name = QStringLiteral("试验列表_%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
  const QString path = AskTarget(parent, QStringLiteral("导出试验列表"), name, kTableFilters);
  if (path.isEmpty()) return;
  RunWithProgress(parent, QStringLiteral("正在导出试验列表…"), notifier, [&](const ReportProgress&) {
    if (IsXlsx(path)) WriteSearchXlsx(rows, path);
    else WriteSearchCsv(rows, path);
  });
}

}  // namespace

bool RunWithProgress(QWidget* parent, const QString& label, INotifier& notifier,
                     const std::function<void(const ReportProgress&)>& work) {
  std::atomic<bool> cancel{false};
  std::atomic<int> permille{0};
  std::optional<QString> error;
  bool cancelled = false;
  QThread* thread = QThread::create([&] {
    try {
      work([&](double done) {
        permille = static_cast<int>(done * 1000);
        return !cancel.load();
      });
    } catch (const ReportError& e) {
      error = e.Message;
    } catch (const ReportCancelled&) {
      cancelled = true;
    }
  });
  QProgressDialog progress(label, QStringLiteral("取消"), 0, 1000, parent);
  progress.setWindowTitle(QStringLiteral("提示"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);  // short work shows no dialog at all
  QObject::connect(&progress, &QProgressDialog::canceled, [&] { cancel = true; });
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (progress.wasCanceled()) cancel = true;
    if (!cancel) progress.setValue(std::min(999, permille.load()));
  });
  QEventLoop loop;
  QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
  thread->start();
  tick.start(50);
  loop.exec();
  thread->wait();
  delete thread;
  progress.reset();
  if (error) notifier.Error(*error);
  return !error && !cancelled;
}

QMenu* MakeTestReportMenu(QWidget* parent, const QString& exeDir, std::function<QString()> autoId,
                          INotifier& notifier) {
  auto* menu = new QMenu(parent);
  using Handler = void (*)(QWidget*, const QString&, const QString&, INotifier&);
  const std::pair<QString, Handler> entries[] = {{QStringLiteral("导出报告 (PDF)…"), ExportReport},
                                                 {QStringLiteral("打印报告…"), PrintReport},
                                                 {QStringLiteral("导出动作记录 (CSV/Excel)…"), ExportActions}};
  for (const auto& [caption, handler] : entries) {
    menu->addAction(caption, parent, [=, &notifier, h = handler] {
      const QString id = autoId();
      if (id.isEmpty()) {
        notifier.Notice(QStringLiteral("请选中需要导出的记录！"));
        return;
      }
      h(parent, exeDir, id, notifier);
    });
  }
  return menu;
}

QMenu* MakeSearchExportMenu(QWidget* parent, QAbstractItemView* list, const QString& exeDir, INotifier& notifier) {
  auto selected = [list]() -> QString {
    const QModelIndex current = list->currentIndex();
    if (!current.isValid() || !list->selectionModel()->isRowSelected(current.row(), current.parent())) return QString();
    return current.siblingAtColumn(kAutoIdColumn).data().toString();
  };
  QMenu* menu = MakeTestReportMenu(parent, exeDir, selected, notifier);
  menu->addSeparator();
  menu->addAction(QStringLiteral("导出试验列表 (CSV/Excel)…"), parent,
                  [=, &notifier] { ExportSearchList(parent, list, notifier); });
  return menu;
}

}  // namespace rig

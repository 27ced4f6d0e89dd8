// The detail and search windows' exports go through the save dialog to the
// same outputs as the command line: an unfinished ignore-mode test with
// wrong positions reads as refused, unfinished and numbered in each.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QStandardItemModel>
#include <QTimer>

#include "report/ReportFixture.h"
#include "storage/ReportNumber.h"
#include "support/RecordingNotifier.h"
#include "ui/ReportActions.h"

using namespace rig;

namespace {

// Answers the next save dialog with `path`, as an operator typing it would.
void AnswerSaveDialogWith(const QString& path) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, path] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!name || !dialog->isVisible()) return;
    name->setText(path);
    QMetaObject::invokeMethod(dialog, "accept");  // as its 保存 button does
    poll->deleteLater();
  });
  poll->start(20);
}

QString Read(const QString& path) {
  if (path.endsWith(QLatin1String(".pdf")))
    return rigtest::ToolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

TEST(WindowExports, TheDetailAndSearchMenusWriteWhatTheCommandLineWrites) {
  rigtest::SavedTestsFolder folder;
  rigtest::PlannedTest plan;
  plan.Mode = 18;  // 合分 life test, set to 40 cycles, stopped at 12
  plan.Params = {300, 400, 40, 0, 0};
  plan.Cycles = 12;
  plan.Ignore = true;
  plan.Refusals = {{4, 1, u"拒合", false}, {9, 2, u"拒分", false}};
  const QString id = QString::number(rigtest::SaveTest(folder, plan));
  const QString number = GiveReportNumber(folder.dir.Path(), id.toLongLong());
  rigtest::RecordingNotifier notifier;
  QWidget window;

  QMenu* detail = MakeTestReportMenu(&window, folder.dir.Path(), [id] { return id; }, notifier);
  QStandardItemModel listed(1, 11);
  listed.setItem(0, 0, new QStandardItem(plan.OutIndex));
  listed.setItem(0, 5, new QStandardItem(QStringLiteral("12")));
  listed.setItem(0, 9, new QStandardItem(id));
  QListView list;
  list.setModel(&listed);
  QMenu* search = MakeSearchExportMenu(&window, &list, folder.dir.Path(), notifier);

  const struct {
    QMenu* menu;
    int action;
    const char* file;
    QStringList says;
  } rows[] = {
      {detail, 0, "report.pdf",
       // Per break: 拒合, 拒分, total, the count of the first refusal.
       {QStringLiteral("试验未完成（12/40 次）"), QStringLiteral("拒动作统计按每次动作记录的断口位置"),
        QStringLiteral("B1 1 0 1 3"), QStringLiteral("C1 0 1 1 5"), number}},
      {detail, 2, "actions.csv", {QStringLiteral("拒合"), QStringLiteral("拒分"), QStringLiteral("B1判定")}},
      {detail, 2, "actions.xlsx", {}},
      {search, 4, "list.csv", {QStringLiteral("F07-2026"), QStringLiteral("12")}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const QString path = folder.dir.File(QString::fromLatin1(row.file));
    AnswerSaveDialogWith(path);
    row.menu->actions().at(row.action)->trigger();
    ASSERT_TRUE(QFile::exists(path)) << notifier.Texts().join(QLatin1Char('\n')).toStdString()
                                      << QDir(folder.dir.Path()).entryList().join(QLatin1Char(' ')).toStdString();
    // Compared without the line breaks and spaces a PDF's layout puts in.
    const QString text = Read(path).remove(QRegularExpression(QStringLiteral("\\s")));
    for (QString said : row.says) EXPECT_TRUE(text.contains(said.remove(QLatin1Char(' ')))) << said.toStdString() << "\n" << text.toStdString();
    if (path.endsWith(QLatin1String(".xlsx"))) EXPECT_EQ(rigtest::ReadSheet(path, 1).At("B3"), number);
  }
  EXPECT_TRUE(notifier.Texts().isEmpty()) << notifier.Texts().join(QLatin1Char('\n')).toStdString();
}

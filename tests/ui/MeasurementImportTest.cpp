// "从CSV导入…" of the inspection dialog as the operator meets it: the first
// file asks which column is which, the next one with those columns is read
// without asking (the mapping kept in Config.ini), and a faulty file changes
// nothing and says where it is wrong.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTableWidget>

#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "ui/MeasurementImportDialog.h"
#include "ui/UiTestSupport.h"

namespace rig {
namespace {

QStringList Row(const QTableWidget& t, int r) {
  QStringList cells;
  for (int c = 0; c < t.columnCount(); ++c) cells << (t.item(r, c) ? t.item(r, c)->text() : QString());
  return cells;
}

TEST(MeasurementImport, ColumnsAreMappedOnceThenFilesAreReadWithoutAsking) {
  rigtest::TempDir dir;
  rigtest::RecordingNotifier notifier;
  QTableWidget table(1, 6);
  table.setItem(0, 0, new QTableWidgetItem(QStringLiteral("合闸时间")));
  table.setItem(0, 1, new QTableWidgetItem(QStringLiteral("ms")));
  table.setItem(0, 3, new QTableWidgetItem(QStringLiteral("30")));
  table.setItem(0, 4, new QTableWidgetItem(QStringLiteral("50")));

  // An analyser's own captions: nothing to guess from, so the operator maps them.
  dir.Write("first.csv", QString::fromUtf16(u"Probe;Messwert;Einheit\n合闸时间;41.5;ms\n行程;12.5;mm\n").toUtf8());
  bool read = false;
  const rigtest::ModalRun asked = rigtest::RunModal(
      [&] { read = ImportMeasurementFile(dir.File("first.csv"), table, dir.Path(), notifier, nullptr); },
      [](QWidget* w) {
        ASSERT_EQ(w->objectName(), QStringLiteral("frmMeasurementMapping"));
        const char* chosen[3] = {"Probe", "Messwert", "Einheit"};
        for (int i = 0; i < 3; ++i) {
          auto* box = w->findChild<QComboBox*>(QStringLiteral("MappingColumn%1").arg(i));
          ASSERT_NE(box, nullptr);
          box->setCurrentIndex(box->findData(QString::fromLatin1(chosen[i])));
        }
        w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
      });
  EXPECT_TRUE(asked.appeared);
  ASSERT_TRUE(read);
  EXPECT_EQ(Row(table, 0), (QStringList{QStringLiteral("合闸时间"), "ms", "41.5", "30", "50", ""}));
  EXPECT_EQ(Row(table, 1), (QStringList{QStringLiteral("行程"), "mm", "12.5", "", "", ""}));
  EXPECT_TRUE(dir.Read("Config.ini").contains("ValueColumn=Messwert"));

  // The next file has the same columns in another order and separator: read at once.
  dir.Write("second.csv", QString::fromUtf16(u"Einheit,Probe,Messwert\nms,合闸时间,42\n").toUtf8());
  const rigtest::ModalRun again = rigtest::RunModal(
      [&] { read = ImportMeasurementFile(dir.File("second.csv"), table, dir.Path(), notifier, nullptr); },
      [](QWidget*) {}, 500);
  EXPECT_FALSE(again.appeared);
  EXPECT_TRUE(read);
  EXPECT_EQ(table.item(0, 2)->text(), QStringLiteral("42"));
  EXPECT_TRUE(notifier.notices.empty());

  // A bad number: nothing changes, and the operator is told the line and column.
  dir.Write("bad.csv", QString::fromUtf16(u"Probe,Messwert,Einheit\n分闸时间,29.2,ms\n行程,1２.5,mm\n").toUtf8());
  EXPECT_FALSE(ImportMeasurementFile(dir.File("bad.csv"), table, dir.Path(), notifier, nullptr));
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].text.contains(QStringLiteral("第3行第2列（Messwert）"))) << notifier.notices[0].text.toStdString();
  EXPECT_EQ(table.rowCount(), 2);
  EXPECT_EQ(table.item(0, 2)->text(), QStringLiteral("42"));
}

}  // namespace
}  // namespace rig

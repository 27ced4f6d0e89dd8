#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QSet>

#include "ManualSource.h"
#include "storage/Schema.h"
#include "support/QuietPorts.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "testing/TestModes.h"
#include "ui/Mainfrm.h"

namespace {

using rig::manual::MarkdownHeadings;

QSet<QString> HeadingTexts(const QString& markdown, int level) {
  QSet<QString> out;
  for (const auto& h : MarkdownHeadings(markdown))
    if (h.level == level || level == 0) out.insert(h.text);
  return out;
}

// README section -> manual section ("-" for none), from docs/manual/features.txt.
QMap<QString, QString> FeatureTable() {
  QMap<QString, QString> rows;
  for (const QString& line : rigtest::TableLines(rigtest::SourceFile("docs/manual/features.txt"))) {
    const int bar = line.indexOf(QLatin1Char('|'));
    if (bar > 0) rows.insert(line.left(bar).trimmed(), line.mid(bar + 1).trimmed());
  }
  return rows;
}

// A section added to the README is a feature the manual must tell the
// operator about, or one marked as the developers' alone.
TEST(Manual, EveryReadmeSectionHasItsPlaceInTheManual) {
  const QMap<QString, QString> table = FeatureTable();
  ASSERT_FALSE(table.isEmpty());
  const QSet<QString> readme = HeadingTexts(rigtest::SourceFile("README.md"), 2);
  ASSERT_FALSE(readme.isEmpty());
  for (const QString& section : readme)
    EXPECT_TRUE(table.contains(section)) << "README section \"" << section.toStdString()
                                         << "\" is not in docs/manual/features.txt";
  for (const QString& section : table.keys())
    EXPECT_TRUE(readme.contains(section)) << "docs/manual/features.txt lists \"" << section.toStdString()
                                          << "\", which the README no longer has";
}

TEST(Manual, HasEverySectionTheFeatureTableNames) {
  const QSet<QString> manual = HeadingTexts(rigtest::ManualText(), 0);
  for (const QString& section : FeatureTable().values()) {
    if (section == QLatin1String("-")) continue;
    EXPECT_TRUE(manual.contains(section)) << "the manual has no section \"" << section.toStdString() << "\"";
  }
}

// Each picture shown is drawn by the build, and each one drawn is shown.
TEST(Manual, ShowsExactlyThePicturesTheBuildDraws) {
  QSet<QString> drawn;
  for (const QString& line : rigtest::TableLines(rigtest::SourceFile("docs/manual/screenshots.txt")))
    drawn.insert(line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty));
  const QStringList shownList = rigtest::PicturesShown(rigtest::ManualText());
  const QSet<QString> shown(shownList.begin(), shownList.end());
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_EQ(shown, drawn);
}

// The manual speaks of the window as it is: every menu entry the operator
// sees, and every test mode, is named in it.
TEST(Manual, NamesEveryMenuEntryAndTestMode) {
  rigtest::TempDir dir;
  rigtest::QuietPorts ports(dir.Path());
  rig::EnsureTable(dir.File("SaveData.db").toUtf8(), "TestInfo");
  rig::EnsureTable(dir.File("SpaceData.db").toUtf8(), "ControlState");
  rig::TfrmHX4417 window(dir.Path(), std::make_unique<rigtest::RecordingNotifier>());
  const QString manual = rigtest::ManualText();
  int entries = 0;
  const auto check = [&](QAction* a) {
    if (!a->isVisible() || a->isSeparator() || a->text().isEmpty()) return;
    ++entries;
    EXPECT_TRUE(manual.contains(a->text())) << "menu entry " << a->text().toStdString();
  };
  for (QAction* top : window.menuBar()->actions()) {
    check(top);
    if (top->menu())
      for (QAction* a : top->menu()->actions()) check(a);
  }
  EXPECT_GE(entries, 8);
  for (int code : {1, 2, 3, 4, 5, 17, 18, 19, 20}) {
    const rig::TestModeInfo* mode = rig::FindTestMode(code);
    ASSERT_NE(mode, nullptr) << code;
    const QString row = QStringLiteral("| ") + QString::fromUtf16(mode->Word) + QStringLiteral(" |");
    EXPECT_TRUE(manual.contains(row)) << "no table row for mode " << code;
  }
}

}  // namespace

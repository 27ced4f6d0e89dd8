#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include "support/TempDir.h"
#include "ui/HelpDocument.h"
#include "ui/UDlgAbout.h"

namespace rig {
namespace {

TEST(AboutBox, FixedTextsAtTheirPlaces) {
  TFrmAbout box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("关于"));
  EXPECT_EQ(box.size(), QSize(277, 211));
  const struct {
    const char* name;
    const char* text;
    QPoint pos;
  } rows[] = {{"lblSystemtitle", "高压开关机械寿命磨合试验系统V1p3", {16, 34}},
              {"lblVersion", "版本1p3", {44, 72}},
              {"Label4", "2019-04-18", {41, 107}}};
  for (const auto& r : rows) {
    auto* l = box.findChild<QLabel*>(QLatin1String(r.name));
    ASSERT_NE(l, nullptr) << r.name;
    EXPECT_EQ(l->text(), QString::fromUtf8(r.text));
    EXPECT_EQ(l->pos(), r.pos) << r.name;
  }
  EXPECT_TRUE(box.findChild<QLabel*>("lblSystemtitle")->font().bold());
  auto* close = box.findChild<QPushButton*>("BitBtn1");
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->text(), QStringLiteral("关闭"));
  EXPECT_EQ(close->geometry(), QRect(96, 168, 75, 25));
  box.show();
  close->click();
  EXPECT_FALSE(box.isVisible());
}

// The help name is used as configured: a bare name is looked up in the
// current directory, never in the program's.
TEST(HelpDocument, OpensOnlyAnExistingFileAsNamed) {
  rigtest::TempDir exeDir, workDir;
  exeDir.Write(QStringLiteral("Help.doc"), "beside the program");
  workDir.Write(QStringLiteral("Guide.doc"), "in the working folder");
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(workDir.Path()));

  const struct {
    QString name;
    QString opened;  // empty: nothing is opened
  } rows[] = {
      {QStringLiteral("Help.doc"), QString()},
      {QStringLiteral("Guide.doc"), QFileInfo(workDir.File(QStringLiteral("Guide.doc"))).absoluteFilePath()},
      {exeDir.File(QStringLiteral("Help.doc")), exeDir.File(QStringLiteral("Help.doc"))},
      {QString(), QString()},
      {workDir.Path(), QString()},  // a folder is not a document
  };
  for (const auto& r : rows) {
    QStringList calls;
    const bool opened = OpenHelpDocument(r.name, exeDir.Path(), [&](const QString& path, const QString& dir) {
      calls << path << dir;
    });
    EXPECT_EQ(opened, !r.opened.isEmpty()) << r.name.toStdString();
    QStringList expected;
    if (!r.opened.isEmpty()) expected << r.opened << exeDir.Path();
    EXPECT_EQ(calls, expected) << r.name.toStdString();
  }
  QDir::setCurrent(previous);
}

// The notice names the file where it was looked for: a bare name in the
// current directory.
TEST(HelpDocument, MissingTextNamesThePlaceLookedIn) {
  rigtest::TempDir workDir;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(workDir.Path()));
  const QString here = QDir::currentPath();
  const struct {
    QString name, place;
  } rows[] = {
      {QStringLiteral("Help.doc"), here + QStringLiteral("/Help.doc")},
      {QStringLiteral("docs/Manual.pdf"), here + QStringLiteral("/docs/Manual.pdf")},
      {QStringLiteral("/opt/rig/Manual.pdf"), QStringLiteral("/opt/rig/Manual.pdf")},
      {QString(), QStringLiteral("（未指定文件名）")},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(HelpMissingText(r.name),
              QStringLiteral("找不到帮助文档：") + r.place +
                  QStringLiteral("\n请把帮助文档放在该处，或在 Config.ini 的 HelpFileName 中指定它。"))
        << r.name.toStdString();
  }
  QDir::setCurrent(previous);
}

}  // namespace
}  // namespace rig

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "support/TempDir.h"

// The window drawing tool runs on pseudo-terminals: no notice about a port
// it could not open, because it opens none of the machine's.
TEST(RenderMainWindow, DrawsWithoutTouchingTheMachinesSerialPorts) {
  rigtest::TempDir dir;
  QProcess tool;
  tool.setProgram(QStringLiteral(RIG_BIN_DIR "/render-mainwindow"));
  tool.setArguments({dir.File("w.png"), QStringLiteral("--crop"), QStringLiteral("0,0,200,100")});
  tool.start();
  ASSERT_TRUE(tool.waitForFinished(20000));
  const QString err = QString::fromUtf8(tool.readAllStandardError());
  EXPECT_EQ(tool.exitCode(), 0) << err.toStdString();
  EXPECT_FALSE(err.contains(QStringLiteral("notice:"))) << err.toStdString();
  EXPECT_TRUE(QFile::exists(dir.File("w.png")));
}

// A form it does not know is a usage error, not the main window drawn
// instead: the manual's pictures are named by form.
TEST(RenderMainWindow, AnUnknownFormIsAUsageError) {
  rigtest::TempDir dir;
  QProcess tool;
  tool.setProgram(QStringLiteral(RIG_BIN_DIR "/render-mainwindow"));
  tool.setArguments({dir.File("w.png"), QStringLiteral("--form"), QStringLiteral("settings")});
  tool.start();
  ASSERT_TRUE(tool.waitForFinished(20000));
  EXPECT_EQ(tool.exitCode(), 2);
  EXPECT_FALSE(QFile::exists(dir.File("w.png")));
}

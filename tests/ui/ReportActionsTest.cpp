// Long report work runs beside a live window: its failure reaches the
// operator as a message, and the progress dialog's cancel stops it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTimer>
#include <QThread>
#include <QWidget>

#include "support/RecordingNotifier.h"
#include "ui/ReportActions.h"

namespace rigtest {
namespace {

TEST(ReportActions, AFailureIsShownAndTheWorkReportsFalse) {
  QWidget window;
  RecordingNotifier notifier;
  EXPECT_FALSE(rig::RunWithProgress(&window, "…", notifier, [](const rig::ReportProgress&) {
    throw rig::ReportError{QStringLiteral("无法写入文件：/x/y.pdf（文件夹不存在）")};
  }));
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].error);
  EXPECT_TRUE(notifier.notices[0].text.contains("/x/y.pdf"));
  EXPECT_TRUE(rig::RunWithProgress(&window, "…", notifier, [](const rig::ReportProgress& p) { p(1.0); }));
}

TEST(ReportActions, CancelInTheProgressDialogStopsTheWork) {
  QWidget window;
  window.show();
  RecordingNotifier notifier;
  int ticks = 0;
  QTimer poke;  // the window thread keeps running while the work does
  QObject::connect(&poke, &QTimer::timeout, [&] {
    ++ticks;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) d->cancel();
    }
  });
  poke.start(50);
  QElapsedTimer clock;
  clock.start();
  const bool done = rig::RunWithProgress(&window, "…", notifier, [&](const rig::ReportProgress& p) {
    for (int i = 0; clock.elapsed() < 10000; ++i) {
      rig::Advance(p, (i % 1000) / 1000.0);
      QThread::msleep(5);
    }
  });
  EXPECT_FALSE(done);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_GT(ticks, 0);
  EXPECT_TRUE(notifier.notices.empty());  // a cancel is no error
}

}  // namespace
}  // namespace rigtest

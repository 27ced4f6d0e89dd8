// The start and continue buttons of both stations in the real window, on
// recording links.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include "support/ControllerReplies.h"
#include "support/QtPrinters.h"
#include "support/RecordingNotifier.h"
#include "support/RecordingWriter.h"
#include "support/QuietPorts.h"
#include "support/TempDir.h"
#include "ui/Edit.h"
#include "protocol/Frame.h"
#include "ui/Mainfrm.h"
#include "ui/Shape.h"
#include "ui/StationPanel.h"
#include "ui/UiTestSupport.h"

namespace rig {
namespace {

struct StationNames {
  int station;
  const char *start, *continueButton, *lifeCloseOpenRadio, *heedRadio, *markB1, *shapeC1, *countDone, *edit3;
};
const StationNames kStations[] = {
    {1, "SpeedButton3", "SpeedButton4", "RadioButton7", "RadioButton11", "Label100", "Shape3", "Label37", "Edit7"},
    {2, "SpeedButton7", "SpeedButton8", "RadioButton23", "RadioButton27", "Label103", "Shape6", "Label77", "Edit31"},
};

struct TestRunButtonsTest : ::testing::Test {
  rigtest::TempDir dir;
  rigtest::QuietPorts ports{dir.Path()};
  rigtest::RecordingNotifier* notifier = nullptr;
  std::unique_ptr<TfrmHX4417> window;
  rigtest::RecordingWriter* links[2] = {};

  TestRunButtonsTest() {
    auto n = std::make_unique<rigtest::RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<TfrmHX4417>(dir.Path(), std::move(n));
    for (int s = 1; s <= 2; ++s) {
      auto link = std::make_unique<rigtest::RecordingWriter>();
      links[s - 1] = link.get();
      window->SetStationWriter(s, std::move(link));
    }
    window->show();
    for (int s = 1; s <= 2; ++s) {
      window->Link(s).OnLinkReply(kLinkAccepted);  // as if the controller answered
      links[s - 1]->writes.clear();                // its settings query
    }
  }
  template <class T>
  T* Find(const char* name) {
    T* w = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Feed(int station, const QByteArray& frame) {
    window->TestControl(station).OnStatusFrame(rigtest::Data(frame), static_cast<int>(frame.size()));
  }
};

TEST_F(TestRunButtonsTest, ButtonsDriveTheirOwnStationsRun) {
  for (const StationNames& n : kStations) {
    SCOPED_TRACE(n.station);
    const int other = 3 - n.station;
    links[0]->writes.clear();
    links[1]->writes.clear();
    const size_t otherQueued = window->Shared().Station(other)->Actions.size();
    Find<QRadioButton>(n.lifeCloseOpenRadio)->click();
    Find<QRadioButton>(n.heedRadio)->click();

    auto* start = Find<QAbstractButton>(n.start);
    start->click();
    ASSERT_EQ(links[n.station - 1]->writes.size(), 1u);
    EXPECT_EQ(links[n.station - 1]->writes[0].size(), 109);
    EXPECT_EQ(links[n.station - 1]->writes[0].left(2), rigtest::Bytes({n.station, 0xA2}));
    EXPECT_EQ(start->text(), QStringLiteral("取消测试"));

    // A closing action with B1 still open: marked, the buttons offered, C1 filled red.
    Feed(n.station, rigtest::ActionStatus(n.station, 1, 0x11));
    EXPECT_EQ(Find<QLabel>(n.markB1)->text(), QStringLiteral("拒合"));
    EXPECT_EQ(Find<QLabel>(n.countDone)->text(), QStringLiteral("1"));
    EXPECT_EQ(Find<TShape>(n.shapeC1)->BrushColor(), QColor(255, 0, 0));
    auto* cont = Find<QAbstractButton>(n.continueButton);
    ASSERT_TRUE(cont->isEnabled());
    cont->click();
    EXPECT_EQ(links[n.station - 1]->writes.back(), rigtest::Bytes({0xF2}));

    start->click();
    EXPECT_EQ(links[n.station - 1]->writes.back(), rigtest::Bytes({0xF1}));
    EXPECT_EQ(start->text(), QStringLiteral("开始测试"));
    EXPECT_FALSE(window->Shared().Station(n.station)->Model.IsRunning());
    EXPECT_TRUE(links[other - 1]->writes.empty());
    EXPECT_EQ(window->Shared().Station(other)->Actions.size(), otherQueued);
    EXPECT_EQ(window->Shared().Station(n.station)->Actions.size(), 1u);
  }
}

TEST_F(TestRunButtonsTest, AnUnusableParameterStopsTheStartWithTheFocusInItsEdit) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const StationNames& n = kStations[1];
  auto* edit = Find<TEdit>(n.edit3);
  edit->setText(QString());
  Find<QRadioButton>(n.lifeCloseOpenRadio)->click();
  Find<QAbstractButton>(n.start)->click();
  EXPECT_TRUE(links[1]->writes.empty());
  EXPECT_EQ(notifier->Texts(), QStringList{QStringLiteral("只能输入1-200000的数字")});
  EXPECT_TRUE(rigtest::WaitFor([&] { return edit->hasFocus(); }));
  EXPECT_EQ(Find<QAbstractButton>(n.start)->text(), QStringLiteral("开始测试"));
}

TEST_F(TestRunButtonsTest, WithoutARecordingWriterTheStationWritesToItsLink) {
  window->SetStationWriter(1, nullptr);
  Find<QRadioButton>(kStations[0].lifeCloseOpenRadio)->click();
  Find<QAbstractButton>(kStations[0].start)->click();
  EXPECT_TRUE(notifier->notices.empty());
  EXPECT_TRUE(links[1]->writes.empty());
  EXPECT_EQ(Find<QAbstractButton>(kStations[0].start)->text(), QStringLiteral("取消测试"));
}

}  // namespace
}  // namespace rig

// The real window on a simulated controller with only a group-chat webhook
// set (no lab database): a refused action, the test's end and its save reach
// the chat, the last two merged while the first holds the pace; closing the
// window while the chat does not answer does not wait for it, and the next
// start delivers what it did not take.
#include <QElapsedTimer>
#include <QJsonDocument>

#include "lab/AlertSettings.h"
#include "lab/EventOutbox.h"
#include "lab/HookReceiver.h"
#include "lab/LabService.h"
#include "lab/LabSettings.h"
#include "ui/SimulatedRig.h"

using namespace rig;
using rigtest::HookReceiver;

namespace {

struct RigAlertsEndToEnd : rigtest::SimulatedRig {
  QStringList Messages(const HookReceiver& hook) {
    QStringList out;
    for (const auto& r : hook.Requests()) out << QJsonDocument::fromJson(r.Body)["text"]["content"].toString();
    return out;
  }
};

}  // namespace

TEST_F(RigAlertsEndToEnd, ARefusalTheEndAndTheSaveReachTheChatOnceEachEvenAcrossAClose) {
  HookReceiver hook;
  lab::AlertSettings alerts;
  alerts.Url = hook.Url();
  alerts.Events = {RigEventKind::Refusal, RigEventKind::Finished, RigEventKind::Saved};
  lab::SaveAlertSettings(dir.Path(), alerts);
  sim::SimOptions options;
  options.Controller.Refusals.push_back({1, true, 1});  // B1 does not close at the first action
  Start(options);
  Setup(2, 3, "1");
  Find<QAbstractButton>("RadioButton27")->click();  // 不忽略拒动作
  StartTest(2);
  QAbstractButton* proceed = Find<QAbstractButton>("SpeedButton8");
  ASSERT_TRUE(rigtest::WaitFor([&] { return proceed->isEnabled(); }));
  ASSERT_TRUE(rigtest::WaitFor([&] { return hook.Requests().size() == 1; }, 5000));
  // From now on the chat takes the connection and never answers.
  hook.Script({HookReceiver::Answer::Never});
  proceed->click();
  QAbstractButton* save = Find<QAbstractButton>("SpeedButton10");
  ASSERT_TRUE(rigtest::WaitFor([&] { return save->isEnabled(); }));
  save->click();
  ASSERT_TRUE(rigtest::WaitFor([&] { return hook.Requests().size() == 2; }, 8000));
  QElapsedTimer closing;
  closing.start();
  window.reset();
  EXPECT_LT(closing.elapsed(), 1000) << "closing waited on the chat";
  const lab::EventOutbox outbox(dir.File("LabOutbox.db"));
  EXPECT_EQ(outbox.AlertCount(), 2) << "the unanswered message's events are kept";

  // The next start of the program sends them again, to a chat that answers.
  lab::LabService next(dir.Path());
  ASSERT_TRUE(rigtest::WaitFor([&] { return outbox.AlertCount() == 0; }, 8000));
  const QStringList m = Messages(hook);
  ASSERT_EQ(m.size(), 3);
  const QString rigName = lab::LoadLabSettings(dir.Path()).RigName;
  EXPECT_TRUE(m[0].startsWith(rigName + " 工位2 ")) << m[0].toStdString();
  EXPECT_TRUE(m[0].contains(" 拒动作：B1拒合（第")) << m[0].toStdString();
  EXPECT_EQ(m[1], m[2]) << "the same events, merged the same way";
  EXPECT_TRUE(m[2].startsWith(rigName + "：2 条事件\n")) << m[2].toStdString();
  EXPECT_TRUE(m[2].contains("测试结束")) << m[2].toStdString();
  EXPECT_TRUE(m[2].contains("测试已保存：出厂编号")) << m[2].toStdString();
  EXPECT_EQ(m.join('\n').count("拒动作"), 1);
}

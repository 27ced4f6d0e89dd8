#include "station/StationTestControl.h"

#include <exception>

#include "station/GlobVar.h"
#include "core/Notifier.h"
#include "core/RunLog.h"
#include "station/StationLook.h"
#include "station/StationView.h"
#include "protocol/Frame.h"
#include "testing/CommandFrames.h"
#include "testing/RefusalCheck.h"
#include "testing/RunObserver.h"
#include "testing/RunPlan.h"
#include "station/CommandGate.h"
#include "station/StationController.h"
#include "testing/TestModes.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {


// The count place of `mode` in a report (modes 17 to 20 in order), or 0
// when it is not a life test.
int32_t ReportedCount(const ParameterBlock& block, int mode) {
  return IsLifeMode(mode) ? block.Counts[mode - kLifeOpenThenClose] : 0;
}

// A frame of `length` bytes whose payload is exactly `payloadLength` long.
bool PayloadIs(const uint8_t* frame, int length, int payloadLength) {
  return frame && length >= kFrameOverhead + payloadLength && FramePayloadLength(frame) == payloadLength;
}

}  // namespace

TStationTestControl::TStationTestControl(TStationController& station, TCommandGate& gate, Clock clock)
    : station_(station),
      shared_(station.Shared()),
      view_(station.View()),
      gate_(gate),
      clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })) {}

int TStationTestControl::Station() const { return station_.Station(); }

// --- buttons ----------------------------------------------------------------

void TStationTestControl::Draw() { DrawStation(shared_.Model, Station(), view_); }

HeldTest TStationTestControl::PanelTest() const {
  HeldTest test;
  test.Mode = shared_.Run.Mode;
  for (int n = 1; n <= kParameterCount; ++n) test.ParamTexts[n - 1] = view_.ParameterText(n);
  return test;
}

void TStationTestControl::StartButtonClick() {
  TStationModel& model = shared_.Model;
  if (model.IsRunning()) return CancelTest();
  if (!model.Connected()) return;  // the button is locked while the link is down
  if (model.Run() == RunState::StartRequested) {
    gate_.Send(StationCommand::SettingsQuery, SettingsQuery(Station()));  // no answer yet: ask again
    return;
  }
  if (const int bad = FirstInvalidParameter()) {
    station_.RefuseParameter(bad, FindParameter(bad)->Range);
    return;
  }
  const bool resume = !ModeDiffers() && model.CanResume(station_.SelectedTestMode(kModeWhenNoneSelected));
  model.On(resume ? StationEvent::ResumePressed : StationEvent::StartPressed);
  if (!resume && !LetGoOfHeldTest()) return AbandonStart();
  // The question ran its own event loop: a line event there withdrew the
  // press, and the mode is read again.
  if (!model.HasStartPermit()) {
    WriteLog(QStringLiteral("工位%1：询问期间线路已变化，这次开始测试没有执行").arg(Station()));
    return Draw();
  }
  if (ModeDiffers()) {
    StartTest();
    return;
  }
  if (!gate_.Send(StationCommand::SettingsQuery, SettingsQuery(Station()))) return AbandonStart();
  model.On(StationEvent::StartQueried);
  Draw();
}

bool TStationTestControl::StartFreshTest() {
  TStationModel& model = shared_.Model;
  if (model.IsRunning() || !model.Connected() || model.Run() == RunState::StartRequested) return false;
  if (const int bad = FirstInvalidParameter()) {
    station_.RefuseParameter(bad, FindParameter(bad)->Range);
    return false;
  }
  model.On(StationEvent::StartPressed);
  if (!LetGoOfHeldTest()) {
    AbandonStart();
    return false;
  }
  if (!model.HasStartPermit()) {  // the question's own event loop withdrew the press
    WriteLog(QStringLiteral("工位%1：询问期间线路已变化，这次开始测试没有执行").arg(Station()));
    Draw();
    return false;
  }
  shared_.Run.CountDone = 0;  // the controller's count is not this test's
  return StartTest();
}

void TStationTestControl::TestSaved() {
  Tell([](IRunObserver& o) { o.RunSaved(); });
}

void TStationTestControl::LineLost() {
  Tell([](IRunObserver& o) { o.LineLost(); });
}

void TStationTestControl::AbandonStart() {
  shared_.Model.On(StationEvent::StartAbandoned);
  Draw();
}

bool TStationTestControl::LetGoOfHeldTest() {
  if (!shared_.Model.HoldsTest()) return true;
  if (shared_.Actions.empty()) {  // nothing that could be lost
    DiscardHeldTest();
    return true;
  }
  switch (station_.Notifier().AskUnsaved(QStringLiteral("未保存的测试数据将丢失，是否先保存？"))) {
    case UnsavedChoice::Save: return saver_ && saver_() && !shared_.Model.HoldsTest();
    case UnsavedChoice::Discard:
      WriteLog(QStringLiteral("工位%1：操作员放弃了未保存的测试（%2个动作）").arg(Station()).arg(shared_.Actions.size()));
      DiscardHeldTest();
      return true;
    case UnsavedChoice::Cancel: break;
  }
  return false;
}

void TStationTestControl::DiscardHeldTest() {
  shared_.Actions.clear();
  Tell([](IRunObserver& o) { o.RunDiscarded(); });
  shared_.Model.On(StationEvent::TestDiscarded);
  Draw();
}

void TStationTestControl::ContinueButtonClick() {
  if (!gate_.Send(StationCommand::Continue, ContinueCommand())) return;
  shared_.State.EndTime = clock_();
  Tell([](IRunObserver& o) { o.RunContinued(); });
}

bool TStationTestControl::ModeDiffers() const { return station_.SelectedTestMode(0) != shared_.Run.Mode; }

// --- run --------------------------------------------------------------------

bool TStationTestControl::StartTest() {
  TStationModel& model = shared_.Model;
  // The rig moves only when the operator asked it to, once per press, and
  // only on a line that is connected now: checked before anything changes,
  // and again by the gate as the frame goes out.
  if (const QString why = model.Refusal(StationCommand::Start); !why.isEmpty()) {
    WriteLog(QStringLiteral("工位%1：未发出启动命令（%2）").arg(Station()).arg(why));
    AbandonStart();
    return false;
  }
  // A controller must never be started on parameters nobody typed in or
  // outside what the rig takes: refuse before anything changes.
  if (const int bad = FirstInvalidParameter()) {
    AbandonStart();
    station_.RefuseParameter(bad, FindParameter(bad)->Range);
    return false;
  }
  // After a lost line the same test goes on: its actions so far and its start
  // time stay, and the numbering restarts at the first action of the cycle
  // the controller repeats (it resumes from the count reached minus one).
  const bool resume = model.Intent() == StartIntent::ResumeHeldTest &&
                      model.CanResume(station_.SelectedTestMode(kModeWhenNoneSelected));
  // Actions that came after the press (the controller was running
  // something) are never cleared by the start the press asked for.
  if (!resume && model.HoldsTest() && !shared_.Actions.empty()) {
    AbandonStart();
    station_.Notifier().Notice(QStringLiteral("工位%1的控制器在测试开始前报告了动作，测试没有开始。"
                                              "请先保存这些动作，再开始测试。")
                                   .arg(Station()));
    return false;
  }
  if (resume) {
    shared_.State.ActionNo = ResumeCount(shared_.Run.CountDone) * ActionsPerCycle(model.Held().Mode);
  } else {
    shared_.Actions.clear();
    shared_.State.ActionNo = 0;
  }
  const std::optional<QByteArray> frame = BuildStartFrame();
  if (!frame || !gate_.Send(StationCommand::Start, *frame)) {
    AbandonStart();  // not written: the run has not started
    return false;
  }
  if (resume) {
    model.On(StationEvent::TestResumed, PanelTest());
  } else {
    shared_.State.StartTime = clock_();
    shared_.State.EndTime = QDateTime();
    model.On(StationEvent::TestStarted, PanelTest());
    Tell([](IRunObserver& o) { o.RunStarted(); });
  }
  SetMarks({});
  Draw();
  return true;
}

void TStationTestControl::CancelTest() {
  gate_.Send(StationCommand::Cancel, CancelCommand());
  const bool wasRunning = shared_.Model.IsRunning();
  if (wasRunning) shared_.State.EndTime = clock_();
  shared_.Model.On(StationEvent::TestCancelled);
  Draw();
  if (wasRunning) Tell([](IRunObserver& o) { o.RunCancelled(); });
}

void TStationTestControl::FinishTest() {
  const bool wasRunning = shared_.Model.IsRunning();
  if (shared_.Model.HoldsTest()) shared_.State.EndTime = clock_();
  shared_.Model.On(StationEvent::TestFinished);
  shared_.State.ActionNo = 0;
  Draw();
  if (wasRunning) Tell([](IRunObserver& o) { o.RunFinished(); });
}

int TStationTestControl::FirstInvalidParameter() const {
  for (const ParameterDef& p : Parameters())
    if (CheckParameterText(view_.ParameterText(p.Number), p.Range) != ExitCheckResult::Accepted) return p.Number;
  return 0;
}

std::optional<QByteArray> TStationTestControl::BuildStartFrame() {
  if (FirstInvalidParameter()) return std::nullopt;
  ParameterBlock block;
  for (int n = 1; n <= kParameterCount; ++n) ParseParameterText(view_.ParameterText(n), &block.Parameters[n - 1]);

  const int mode = station_.SelectedTestMode(kModeWhenNoneSelected);
  TestRun& run = shared_.Run;
  if (mode != run.Mode) {
    run.CountDone = 0;
    shared_.State.ActionNo = 0;
  }
  run.Mode = mode;
  station_.ShowCountLabels(mode);

  block.Mode = mode;
  block.RefusalOption = station_.SelectedRefusalOption();
  block.Counts.fill(ResumeCount(run.CountDone));
  const TestModeInfo* info = FindTestMode(mode);
  finalCount_ = info && info->Life ? block.Parameters[info->SetCountParameter - 1] : 0;
  return StartCommand(Station(), block);
}

// --- settings reports -------------------------------------------------------

void TStationTestControl::OnSettingsReport(const uint8_t* frame, int length) {
  if (!PayloadIs(frame, length, kParameterBlockSize)) return;
  const ParameterBlock block = DecodeParameterBlock(frame + kFrameHeaderSize);
  TStationModel& model = shared_.Model;
  if (model.AwaitingFirstReport()) {
    model.On(StationEvent::FirstReportLoaded);  // a start pressed before it is not answered
    if (model.IsRunning()) {
      Draw();  // a handshake made again while the run goes on: the run and its panel stay
      return;
    }
    LoadSettingsReport(block);
    return;
  }
  // Only the answer to the operator's start starts anything: a doubled
  // report, or one a late or unasked handshake brought, changes nothing.
  if (model.Run() != RunState::StartRequested) return;
  const int32_t count = AdoptReportedMode(block);
  if (model.Intent() == StartIntent::ResumeHeldTest && !model.CanResume(block.Mode)) {
    AbandonStart();
    station_.Notifier().Notice(QStringLiteral("工位%1的控制器现在是另一种试验方式，中断的测试不能继续。"
                                              "请先保存中断的测试，再开始新的测试。")
                                   .arg(Station()));
    return;
  }
  shared_.Run.CountDone = count;
  StartTest();
}

void TStationTestControl::LoadSettingsReport(const ParameterBlock& block) {
  TestRun& run = shared_.Run;
  run.Mode = block.Mode;
  station_.SelectMode(block.Mode);
  if (block.RefusalOption == kIgnoreRefusals || block.RefusalOption == kDoNotIgnoreRefusals)
    view_.CheckRefusalOption(block.RefusalOption);
  for (int n = 1; n <= kParameterCount; ++n)
    view_.SetParameterText(n, QString::number(static_cast<uint32_t>(block.Parameters[n - 1])));
  // A held test keeps the count its own actions reached: a controller that
  // was reset reports none, and an operation mode reports no count at all.
  if (!shared_.Model.HoldsTest()) run.CountDone = ReportedCount(block, run.Mode);
  Draw();
  station_.ShowReportedModePrompt();
}

int32_t TStationTestControl::AdoptReportedMode(const ParameterBlock& block) {
  shared_.Run.Mode = block.Mode;
  station_.SelectMode(block.Mode);
  return ReportedCount(block, block.Mode);
}

// --- start acknowledgement and statuses -------------------------------------

void TStationTestControl::OnStartAccepted(const uint8_t*, int) {
  gate_.Send(StationCommand::StatusQuery, StatusQuery(Station()));
}

void TStationTestControl::OnStatusFrame(const uint8_t* frame, int length) {
  if (PayloadIs(frame, length, 1)) {
    if (frame[kFrameHeaderSize] == kTestFinished) FinishTest();
    return;
  }
  if (!PayloadIs(frame, length, kActionStatusLength)) return;
  if (!shared_.Model.HoldsTest()) AdoptActions();
  const uint8_t* status = frame + kFrameHeaderSize;
  shared_.Run.CountDone = ReadInt32Le(status);
  shared_.State.ActionNo += 1;
  const BreakPositions breaks = BreaksFromBits(status[4]);
  for (int b = 0; b < kBreakCount; ++b) shared_.Run.Breaks[b] = breaks[b];
  // Display and refusal check first: the record carries the marks they leave.
  UpdateStationDisplay();
  QueueAction();
}

void TStationTestControl::UpdateStationDisplay() {
  view_.SetCountDoneText(QString::number(shared_.Run.CountDone));
  for (int b = 0; b < kBreakCount; ++b) view_.SetBreakClosed(b, shared_.Run.Breaks[b] == ContactState::Closed);
  if (view_.IsRefusalOptionChecked(kDoNotIgnoreRefusals)) CheckRefusals();
}

void TStationTestControl::CheckRefusals() {
  const std::optional<ActionExpectation> e =
      ExpectedAfterAction(shared_.Run.Mode, shared_.State.ActionNo, shared_.Run.CountDone, finalCount_);
  shared_.Model.On(e && e->ButtonsEnabled ? StationEvent::RefusalWaiting : StationEvent::RefusalCleared);
  if (e) {
    const BreakPositions breaks{shared_.Run.Breaks[kBreakA1], shared_.Run.Breaks[kBreakB1],
                                shared_.Run.Breaks[kBreakC1]};
    SetMarks(MarksFor(e->Expected, breaks));
  }
  Draw();
}

void TStationTestControl::AdoptActions() {
  shared_.State.StartTime = clock_();
  shared_.State.EndTime = QDateTime();
  shared_.Model.On(StationEvent::ActionsAdopted, PanelTest());
  WriteLog(QStringLiteral("工位%1：收到未经本程序开始的测试的动作，作为一个测试记录").arg(Station()));
  Tell([](IRunObserver& o) { o.RunStarted(); });
  Draw();
}

void TStationTestControl::SetMarks(const std::array<QString, kBreakCount>& marks) {
  for (int b = 0; b < kBreakCount; ++b) {
    marks_[b] = marks[b];
    view_.SetRefusalMark(b, marks[b]);
  }
}

void TStationTestControl::QueueAction() {
  // A record that cannot be made is lost: the status has been shown, and the
  // run log says which action has no record.
  try {
    auto record = std::make_unique<ActionRecord>();
    record->Count = shared_.Run.CountDone;
    record->ActionNo = shared_.State.ActionNo;
    for (int b = 0; b < kBreakCount; ++b) {
      record->Closed[b] = shared_.Run.Breaks[b] == ContactState::Closed ? 1 : 0;
      record->Marks[b] = marks_[b];
    }
    shared_.Actions.push_back(std::move(record));
  } catch (const std::exception& e) {
    WriteLog(QStringLiteral("工位%1：第%2次动作（次数%3）无法记录，已丢失：%4")
                 .arg(Station())
                 .arg(shared_.State.ActionNo)
                 .arg(shared_.Run.CountDone)
                 .arg(QString::fromLocal8Bit(e.what())));
    return;
  }
  const ActionRecord& queued = *shared_.Actions.back();
  Tell([&](IRunObserver& o) { o.ActionQueued(queued); });
  TellIfRefused(queued);
}

void TStationTestControl::TellIfRefused(const ActionRecord& record) {
  // The marks the refusal check left; without any, what the position rule
  // finds (as the reports and the live view judge a stored action).
  BreakDeviations found{};
  bool marked = false, any = false;
  const QString close = DeviationText(Deviation::RefusedClose), open = DeviationText(Deviation::RefusedOpen);
  for (int b = 0; b < kBreakCount; ++b) {
    if (record.Marks[b] == close) found[b] = Deviation::RefusedClose;
    if (record.Marks[b] == open) found[b] = Deviation::RefusedOpen;
    marked |= found[b] != Deviation::None;
  }
  if (!marked) {
    BreakPositions positions;
    for (int b = 0; b < kBreakCount; ++b) positions[b] = record.Closed[b] ? ContactState::Closed : ContactState::Open;
    if (const std::optional<BreakDeviations> judged = JudgeAction(shared_.Run.Mode, record.ActionNo, positions))
      found = *judged;
  }
  for (Deviation d : found) any |= d != Deviation::None;
  if (any) Tell([&](IRunObserver& o) { o.ActionRefused(record, found, marked); });
}

}  // namespace rig

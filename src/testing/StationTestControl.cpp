#include "testing/StationTestControl.h"

#include <exception>

#include "core/GlobVar.h"
#include "core/StationView.h"
#include "protocol/Frame.h"
#include "protocol/StationWriter.h"
#include "testing/CommandFrames.h"
#include "testing/RefusalCheck.h"
#include "testing/RunObserver.h"
#include "testing/StationController.h"
#include "testing/TestModes.h"
#include "testing/TestParameters.h"

namespace rig {
namespace {

const QString kStartCaption = QStringLiteral("开始测试");
const QString kCancelCaption = QStringLiteral("取消测试");

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

TStationTestControl::TStationTestControl(TStationController& station, IStationWriter& link, Clock clock)
    : station_(station),
      shared_(station.Shared()),
      view_(station.View()),
      link_(&link),
      clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })) {}

int TStationTestControl::Station() const { return station_.Station(); }

// --- buttons ----------------------------------------------------------------

void TStationTestControl::StartButtonClick() {
  if (shared_.State.TestRunning)
    CancelTest();
  else if (ModeDiffers())
    StartTest();
  else
    SendSettingsQuery(*link_, Station());
}

void TStationTestControl::ContinueButtonClick() {
  SendContinue(*link_);
  shared_.State.EndTime = clock_();
}

namespace {
// Actions of one cycle of a life test; operation tests run once.
int ActionsPerCycle(int mode) {
  if (mode == kLifeOpenCloseOpen) return 4;
  return IsLifeMode(mode) ? 2 : 0;
}
}  // namespace

bool TStationTestControl::ModeDiffers() const { return station_.SelectedTestMode(0) != shared_.Run.Mode; }

// --- run --------------------------------------------------------------------

bool TStationTestControl::StartTest() {
  // A controller must never be started on parameters nobody typed in or
  // outside what the rig takes: refuse before anything changes.
  if (const int bad = FirstInvalidParameter()) {
    station_.RefuseParameter(bad, FindParameter(bad)->Range);
    return false;
  }
  // After a lost line the same test goes on: its actions so far and its start
  // time stay, and the numbering restarts at the first action of the cycle
  // the controller repeats (it resumes from the count reached minus one).
  const bool continuing =
      shared_.State.ResumeAfterLineLoss && station_.SelectedTestMode(kModeWhenNoneSelected) == shared_.Run.Mode;
  shared_.State.ResumeAfterLineLoss = false;
  if (continuing) {
    shared_.State.ActionNo = ResumeCount(shared_.Run.CountDone) * ActionsPerCycle(shared_.Run.Mode);
  } else {
    shared_.Actions.clear();
    shared_.State.ActionNo = 0;
  }
  const std::optional<QByteArray> frame = BuildStartFrame();
  if (!frame) return false;
  link_->Write(*frame);
  view_.SetStartCaption(kCancelCaption);
  if (!continuing) shared_.State.StartTime = clock_();
  shared_.State.TestRunning = true;
  view_.SetContinueEnabled(false);
  view_.SetSaveEnabled(false);
  SetMarks({});
  if (!continuing && observer_) observer_->RunStarted();
  return true;
}

void TStationTestControl::CancelTest() {
  SendCancel(*link_);
  view_.SetStartCaption(kStartCaption);
  view_.SetContinueEnabled(false);
  view_.SetSaveEnabled(true);
  shared_.State.TestRunning = false;
  shared_.State.EndTime = clock_();
}

void TStationTestControl::FinishTest() {
  shared_.State.EndTime = clock_();
  shared_.State.TestRunning = false;
  view_.SetStartCaption(kStartCaption);
  view_.SetContinueEnabled(false);
  view_.SetSaveEnabled(true);
  shared_.State.ActionNo = 0;
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
  if (shared_.State.FirstStatusPending) {
    LoadSettingsReport(block);
    shared_.State.FirstStatusPending = false;
    return;
  }
  // Every later report answers a start with the mode unchanged, and starts
  // the test again from the controller's count, even over a running one.
  shared_.Run.CountDone = AdoptReportedMode(block);
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
  run.CountDone = ReportedCount(block, run.Mode);
  shared_.State.TestRunning = false;
  view_.SetStartCaption(kStartCaption);
  view_.SetContinueEnabled(false);
  view_.SetSaveEnabled(false);
  station_.ShowReportedModePrompt();
}

int32_t TStationTestControl::AdoptReportedMode(const ParameterBlock& block) {
  shared_.Run.Mode = block.Mode;
  station_.SelectMode(block.Mode);
  return ReportedCount(block, block.Mode);
}

// --- start acknowledgement and statuses -------------------------------------

void TStationTestControl::OnStartAccepted(const uint8_t*, int) { SendStatusQuery(*link_, Station()); }

void TStationTestControl::OnStatusFrame(const uint8_t* frame, int length) {
  if (PayloadIs(frame, length, 1)) {
    if (frame[kFrameHeaderSize] == kTestFinished) FinishTest();
    return;
  }
  if (!PayloadIs(frame, length, kActionStatusLength)) return;
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
  view_.SetContinueEnabled(false);
  view_.SetSaveEnabled(false);
  const std::optional<ActionExpectation> e =
      ExpectedAfterAction(shared_.Run.Mode, shared_.State.ActionNo, shared_.Run.CountDone, finalCount_);
  if (!e) return;
  const BreakPositions breaks{shared_.Run.Breaks[kBreakA1], shared_.Run.Breaks[kBreakB1], shared_.Run.Breaks[kBreakC1]};
  SetMarks(MarksFor(e->Expected, breaks));
  if (e->ButtonsEnabled) {
    view_.SetContinueEnabled(true);
    view_.SetSaveEnabled(true);
  }
}

void TStationTestControl::SetMarks(const std::array<QString, kBreakCount>& marks) {
  for (int b = 0; b < kBreakCount; ++b) {
    marks_[b] = marks[b];
    view_.SetRefusalMark(b, marks[b]);
  }
}

void TStationTestControl::QueueAction() {
  // A record that cannot be made is lost; the status has been shown.
  try {
    auto record = std::make_unique<ActionRecord>();
    record->Count = shared_.Run.CountDone;
    record->ActionNo = shared_.State.ActionNo;
    for (int b = 0; b < kBreakCount; ++b) {
      record->Closed[b] = shared_.Run.Breaks[b] == ContactState::Closed ? 1 : 0;
      record->Marks[b] = marks_[b];
    }
    shared_.Actions.push_back(std::move(record));
  } catch (const std::exception&) {
    return;
  }
  if (observer_) observer_->ActionQueued(*shared_.Actions.back());
}

}  // namespace rig

// A station's test control fed arbitrary controller frames (settings
// reports, start acknowledgements, status reports of any length and content)
// mixed with the operator's buttons and choices.
//
// Checks, besides "no crash, no undefined behaviour": every action status
// (length 8) adds exactly one record to the queue, carrying the reported
// count and break positions and marks that are empty, "拒合" or "拒分"; no
// other frame adds one; the count shown is the count reported.
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

#include "../tests/support/ModelStates.h"
#include "../tests/station/FakeStationView.h"
#include "station/GlobVar.h"
#include "core/Notifier.h"
#include "protocol/Frame.h"
#include "protocol/StationWriter.h"
#include "station/CommandGate.h"
#include "station/StationController.h"
#include "station/StationTestControl.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "station_frames: %s\n", what);
  std::abort();
}

struct QuietNotifier : rig::INotifier {
  void Notice(const QString&, rig::NoticeIcon) override {}
  void Error(const QString&) override {}
  bool Confirm(const QString&) override { return false; }
  rig::UnsavedChoice AskUnsaved(const QString&) override { return rig::UnsavedChoice::Cancel; }
};

struct CountingWriter : rig::IStationWriter {
  size_t writes = 0;
  bool Write(const QByteArray&) override {
    ++writes;
    return true;
  }
};

QByteArray Frame(uint8_t station, uint8_t code, const QByteArray& payload) {
  return rig::BuildFrame(station, code, payload);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int station = in.ConsumeBool() ? 1 : 2;
  rig::StationShared shared;
  rigtest::FakeStationView view;
  QuietNotifier notifier;
  CountingWriter writer;
  rig::TStationController controller(station, shared, view, notifier);
  rig::TCommandGate gate(station, shared.Model);
  gate.SetWriter(&writer);
  rig::TStationTestControl control(controller, gate, [] { return QDateTime(QDate(2026, 12, 7), QTime(9, 0)); });
  rigtest::Connected(shared.Model);  // the start button works only on a connected station

  for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
    QByteArray frame;
    switch (in.ConsumeIntegralInRange<int>(0, 8)) {
      case 0: {  // a settings report, sometimes the first after a handshake
        if (in.ConsumeBool())
          shared.Model.On(rig::StationEvent::HandshakeSent);
        else
          shared.Model.On(rig::StationEvent::FirstReportLoaded);
        const std::string block = in.ConsumeBytesAsString(104);
        frame = Frame(station, rig::kCodeSettings, QByteArray(block.data(), static_cast<int>(block.size())).leftJustified(104, '\0'));
        control.OnSettingsReport(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<int>(frame.size()));
        break;
      }
      case 1:
        frame = Frame(station, rig::kCodeStart, QByteArray(1, char(in.ConsumeIntegral<uint8_t>())));
        control.OnStartAccepted(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<int>(frame.size()));
        break;
      case 2:
      case 3: {  // an action status
        const int32_t count = in.ConsumeIntegral<int32_t>();
        const uint8_t bits = in.ConsumeIntegral<uint8_t>();
        QByteArray payload(8, '\0');
        for (int b = 0; b < 4; ++b) payload[b] = char((static_cast<uint32_t>(count) >> (8 * b)) & 0xFF);
        payload[4] = char(bits);
        frame = Frame(station, rig::kCodeStatus, payload);
        const size_t before = shared.Actions.size();
        control.OnStatusFrame(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<int>(frame.size()));
        if (shared.Actions.size() != before + 1) Fail("an action status did not queue exactly one record");
        const rig::ActionRecord& r = *shared.Actions.back();
        if (r.Count != count || shared.Run.CountDone != count) Fail("the reported count was not kept");
        for (int b = 0; b < 3; ++b) {
          if (r.Closed[b] != ((bits >> (2 * b)) & 1)) Fail("a break position differs from its bit");
          if (!r.Marks[b].isEmpty() && r.Marks[b] != QStringLiteral("拒合") && r.Marks[b] != QStringLiteral("拒分"))
            Fail("a mark that is no mark");
        }
        if (view.countDone != QString::number(count)) Fail("the count shown is not the count reported");
        break;
      }
      case 4: {  // any other status report: no record
        const std::string payload = in.ConsumeRandomLengthString(16);
        if (payload.size() == 8) break;
        frame = Frame(station, rig::kCodeStatus, QByteArray(payload.data(), static_cast<int>(payload.size())));
        const size_t before = shared.Actions.size();
        control.OnStatusFrame(reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<int>(frame.size()));
        if (shared.Actions.size() != before) Fail("a report that is no action status queued a record");
        break;
      }
      case 5:
        control.StartButtonClick();
        break;
      case 6:
        control.ContinueButtonClick();
        break;
      case 7:
        view.CheckRefusalOption(in.ConsumeBool() ? rig::kIgnoreRefusals : rig::kDoNotIgnoreRefusals);
        break;
      case 8: {
        static const int kModes[] = {0, 1, 2, 3, 4, 5, 17, 18, 19, 20};
        controller.SelectMode(kModes[in.ConsumeIntegralInRange<int>(0, 9)]);
        view.SetParameterText(in.ConsumeIntegralInRange<int>(1, 20),
                              QString::fromStdString(in.ConsumeRandomLengthString(12)));
        break;
      }
    }
  }
  return 0;
}

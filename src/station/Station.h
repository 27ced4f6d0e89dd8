#pragma once
// One work station as the window runs it: the logic of its panel, its link
// with the one-second handshake timer, its test control, its recovery
// journal, and the save that ties them together. The window holds two and
// their panels; station 2 is station 1 with other names.
#include <QTimer>
#include <memory>

#include "station/GlobVar.h"
#include "station/CommandGate.h"
#include "station/StationLink.h"
#include "protocol/StationWriter.h"
#include "station/StationJournal.h"
#include "station/StationController.h"
#include "station/RunWatch.h"
#include "station/StationTestControl.h"
#include "station/StationEventWatch.h"

namespace rig {

class INotifier;
class IStationView;

class TStation {
 public:
  // `exeDir` holds the journal folder and the databases; `window` is where
  // the link hands its frames over and owns the retry timer; notices about the station go to
  // `stationNotifier` (held back while a frame is handled), the save's own
  // to `notifier`.
  TStation(int number, const QString& exeDir, StationShared& shared, IStationView& panel,
           INotifier& stationNotifier, INotifier& notifier, QObject* window);

  int Number() const { return number_; }
  StationShared& Shared() { return shared_; }
  TStationController& Controller() { return controller_; }
  TCommandGate& Gate() { return gate_; }
  TStationLink& Link() { return link_; }
  TStationTestControl& TestControl() { return control_; }
  TStationJournal& Journal() { return journal_; }
  QTimer& RetryTimer() { return retryTimer_; }
  TRunWatch& Watch() { return watch_; }

  // The live view's tick: what the run looks like now. A controller that
  // went silent, or came back, goes into the run log here.
  RunWatchFigures WatchTick();

  // The save button: true when the held test was saved.
  bool Save();

  // Where the station's events go (refusals, silence, a lost line, the end,
  // a failed save); nullptr: nowhere. Saved tests are told by the save sink.
  void SetEventSink(IRigEventSink* sink) { events_ = sink; }

  // Puts another writer behind the command gate in place of the link (tests
  // record the commands this way); nullptr goes back to the link.
  void SetWriter(std::unique_ptr<IStationWriter> writer);

 private:
  const int number_;
  const QString exeDir_;
  StationShared& shared_;
  IStationView& panel_;
  INotifier& notifier_;
  QTimer& retryTimer_;  // a child of the window, as the design names it
  TStationController controller_;
  TCommandGate gate_;  // every command to the controller passes here
  TStationLink link_;
  TStationTestControl control_;
  TStationJournal journal_;
  TRunWatch watch_;
  TStationEventWatch eventWatch_;
  IRigEventSink* events_ = nullptr;
  std::unique_ptr<IStationWriter> writer_;  // set only in tests
};

}  // namespace rig

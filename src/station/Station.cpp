#include "station/Station.h"

#include "core/Notifier.h"
#include "core/RunLog.h"
#include "station/StationSave.h"

namespace rig {

TStation::TStation(int number, const QString& exeDir, StationShared& shared, IStationView& panel,
                   INotifier& stationNotifier, INotifier& notifier, QObject* window)
    : number_(number),
      exeDir_(exeDir),
      shared_(shared),
      panel_(panel),
      notifier_(notifier),
      retryTimer_(*new QTimer(window)),
      controller_(number, shared, panel, stationNotifier),
      gate_(number, shared.Model),
      link_(number, shared, panel, stationNotifier, window, retryTimer_, gate_),
      control_(controller_, gate_),
      journal_(exeDir, number, shared, panel),
      watch_(number, shared),
      eventWatch_(number) {
  retryTimer_.setInterval(1000);
  gate_.SetWriter(&link_);
  journal_.Journal().SetTroubleHandler([window, &stationNotifier](const QString& text) {
    WriteLog(text);  // the journal's own thread: the notice waits for the window thread
    QMetaObject::invokeMethod(
        window, [&stationNotifier, text] { stationNotifier.Notice(text, NoticeIcon::Information); },
        Qt::QueuedConnection);
  });
  control_.AddRunObserver(&journal_);  // the journal first: it keeps what must not be lost
  control_.AddRunObserver(&watch_);
  control_.SetSaver([this] { return Save(); });
  link_.SetLineLostHandler([this] { control_.LineLost(); });
}

RunWatchFigures TStation::WatchTick() {
  if (const std::optional<QString> line = watch_.Poll()) WriteLog(*line);
  RunWatchFigures figures = watch_.Figures();
  for (RigEvent& e : eventWatch_.Follow(figures))
    if (events_) events_->Happened(std::move(e));
  return figures;
}

bool TStation::Save() {
  QString problem;
  const bool saved = SaveStationTest(exeDir_, number_, shared_, panel_, notifier_, &journal_.Journal(),
                                     QDateTime::currentDateTime(), &problem);
  if (!saved && events_) {
    RigEvent e;
    e.Station = number_;
    e.Kind = RigEventKind::SaveFailed;
    e.Detail = problem;
    events_->Happened(std::move(e));
  }
  if (saved) control_.TestSaved();
  return saved;
}

void TStation::SetWriter(std::unique_ptr<IStationWriter> writer) {
  // The gate is pointed at the new writer before the old one goes.
  gate_.SetWriter(writer ? writer.get() : static_cast<IStationWriter*>(&link_));
  writer_ = std::move(writer);
}

}  // namespace rig

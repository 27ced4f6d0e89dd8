#pragma once
// The operator's main window: menu bar, tool bar with the two link buttons,
// station 1's panel at a fixed 640 pixels on the left and station 2's taking
// the rest. Its handlers are thin: what a station does lives in its
// TStation.
#include <QMainWindow>
#include <array>
#include <memory>

#include "station/GlobVar.h"
#include "core/DeferringNotifier.h"
#include "core/Notifier.h"
#include "protocol/StationWriter.h"
#include "station/StationFrames.h"
#include "ui/HelpDocument.h"
#include "station/Station.h"
#include "endurance/ProgrammeRunner.h"

class QLabel;
class QTimer;
class QToolButton;

namespace rig {
namespace lab {
class LabService;
}

class TStationPanel;

class TfrmHX4417 : public QMainWindow {
  Q_OBJECT
 public:
  // `exeDir` is the folder holding Config.ini, Log/ and the databases.
  // Without a notifier, notices are message boxes over this window.
  explicit TfrmHX4417(const QString& exeDir, std::unique_ptr<INotifier> notifier = nullptr,
                      QWidget* parent = nullptr);
  ~TfrmHX4417() override;

  GlobVar& Shared() { return shared_; }
  INotifier& Notifier() { return *notifier_; }
  // Station 1 or 2.
  TStationPanel& Panel(int station) { return *panels_[Index(station)]; }
  TStation& Station(int station) { return *stations_[Index(station)]; }
  TStationController& Controller(int station) { return Station(station).Controller(); }
  TStationJournal& Journal(int station) { return Station(station).Journal(); }
  TStationTestControl& TestControl(int station) { return Station(station).TestControl(); }
  QTimer& RetryTimer(int station) { return Station(station).RetryTimer(); }
  TStationLink& Link(int station) { return Station(station).Link(); }
  // The endurance programme a station runs (none taken on at first).
  TProgrammeRunner& Programme(int station) { return *programmes_[Index(station)]; }

  // The live view of both stations and the status bar line, redrawn at most
  // five times a second whatever the controllers send.
  static constexpr int kWatchIntervalMs = 200;
  void WatchTimerTimer();
  QTimer& WatchTimer() { return *watchTimer_; }

  // Where "帮助" hands the help document; the desktop by default.
  void SetHelpOpener(DocumentOpener opener) { helpOpener_ = std::move(opener); }

  // Puts another writer behind the station's command gate in place of its
  // link (tests record the commands this way); nullptr goes back to the link.
  void SetStationWriter(int station, std::unique_ptr<IStationWriter> writer);

  void SetStationControlsEnabled(int station, bool enabled);

  // The serial links. Opening a port sends nothing; connecting makes the
  // handshake; disconnecting asks the controller to let go.
  void OpenStationLinks();
  void ConnectStation(int station);
  bool DisconnectStation(int station);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  static int Index(int station) { return station == 2 ? 1 : 0; }

  void BuildMenu();
  void StartLabDatabase();
  void StartRunWatch();
  QWidget* BuildToolBar(QWidget* parent);
  QWidget* BuildStations(QWidget* parent);
  void WireStation(int station);

  void FormCreate(const QString& exeDir);
  void FormShow();
  void OfferLeftoverJournals();
  // Each unfinished programme is offered; one taken on is its station's.
  void OfferProgrammes(const std::vector<rig::Programme>& unfinished);
  void FormCloseQuery();
  void FormDestroy();
  // Station 1's disconnect, kDisconnectGapMs later station 2's, then `then`;
  // the window thread goes on handling frames in between.
  void DisconnectAllStations(std::function<void()> then);
  // Identity edits into Config.ini; the error text when that failed.
  QString StoreIdentityTexts();
  void RestoreStationFields();
  void CloseStationLinks();
  void ShowSearchResults();

  void LinkButtonClick(int station);
  void OnFrame(const uint8_t* frame, int length);
  void Timer1Timer() { Link(1).RetryTick(); }
  void Timer2Timer() { Link(2).RetryTick(); }
  void SpeedButton1Click() { LinkButtonClick(1); }
  void SpeedButton2Click() { LinkButtonClick(2); }
  void RadioButton1Click(int tag) { Controller(1).ShowModePrompt(tag); }
  void RadioButton17Click(int tag) { Controller(2).ShowModePrompt(tag); }
  void ParameterExited(int station, int number);
  void Edit5Exit(int station, int number) { Controller(station).CheckParameterExit(number, ParameterRange::Duration); }
  void Edit7Exit(int station, int number) { Controller(station).CheckParameterExit(number, ParameterRange::DelayMs); }
  void Edit10Exit(int station, int number) {
    Controller(station).CheckParameterExit(number, ParameterRange::DelaySeconds);
  }
  void Edit18Exit(int station, int number) { Controller(station).CheckParameterExit(number, ParameterRange::SetCount); }
  void SpeedButton3Click() { TestControl(1).StartButtonClick(); }
  void SpeedButton7Click() { TestControl(2).StartButtonClick(); }
  void SpeedButton4Click() { TestControl(1).ContinueButtonClick(); }
  void SpeedButton8Click() { TestControl(2).ContinueButtonClick(); }
  // True when the station's held test was saved.
  bool SaveButtonClick(int station);
  void SpeedButton6Click() { SaveButtonClick(1); }
  void SpeedButton10Click() { SaveButtonClick(2); }
  void N2Click();
  void N4Click();
  void N6Click();
  void N7Click();
  void N8Click();
  void N9Click();
  // 试验方案 → 工位n试验方案…: the station's programme window.
  void ProgrammeClick(int station);
  void NP1Click() { ProgrammeClick(1); }
  void NP2Click() { ProgrammeClick(2); }
  void NPHClick();  // 开关履历…

  GlobVar shared_;
  std::unique_ptr<INotifier> notifier_;
  // What station code tells the operator; held back while a frame is handled.
  std::unique_ptr<TDeferringNotifier> stationNotifier_;
  DocumentOpener helpOpener_ = OpenWithDesktop;
  std::array<TStationPanel*, kStationCount> panels_{};
  std::array<QToolButton*, kStationCount> linkButtons_{};
  std::array<std::unique_ptr<TStation>, kStationCount> stations_;
  // After the stations: they go first, leaving the stations' observer lists.
  std::array<std::unique_ptr<TProgrammeRunner>, kStationCount> programmes_;
  TStationFrames frames_;
  bool shown_ = false;
  // Closing waits for the stations' disconnects before the window goes.
  enum class Closing { No, Disconnecting, Done };
  Closing closing_ = Closing::No;
  bool secondDisconnectPending_ = false;
  bool identityStored_ = false;
  // Saved tests also go to the lab database; its state in one line.
  std::unique_ptr<lab::LabService> lab_;
  QLabel* labStatus_ = nullptr;
  QTimer* watchTimer_ = nullptr;
  QLabel* stationStatus_ = nullptr;  // both stations in the status bar
};

// "高压开关机械寿命磨合试验系统V1p3"
QString MainWindowCaption();

}  // namespace rig

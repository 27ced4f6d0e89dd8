#include "ui/Mainfrm.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "station/Config.h"
#include "core/IniFile.h"
#include "core/RunLog.h"
#include "station/StationLook.h"
#include "station/LeftoverRecovery.h"
#include "station/Startup.h"
#include "ui/DesignFont.h"
#include "protocol/Dispatch.h"
#include "lab/LabService.h"
#include "station/LiveState.h"
#include "storage/JournalRecovery.h"
#include "endurance/ProgrammeStore.h"
#include "station/RunWatchTexts.h"
#include "ui/MessageBoxNotifier.h"
#include "ui/RunWatchPanel.h"
#include "ui/SearchResultfrm.h"
#include "ui/SetCommfrm.h"
#include "ui/Programmefrm.h"
#include "ui/SwitchHistoryfrm.h"
#include "ui/StationPanel.h"
#include "ui/UDlgAbout.h"

namespace rig {
namespace {

constexpr int kStation1Width = 640;
// Between the two stations' disconnect requests when all stations stop.
constexpr int kDisconnectGapMs = 200;

QFrame* NewPanel(QWidget* parent, const char* name, bool bevel) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QLatin1String(name));
  panel->setFrameStyle(bevel ? (QFrame::Panel | QFrame::Raised) : QFrame::NoFrame);
  return panel;
}

// The child fills `panel`.
void Fill(QWidget* panel, QWidget* child) {
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(child);
}

}  // namespace

QString MainWindowCaption() { return QStringLiteral("高压开关机械寿命磨合试验系统V1p3"); }

TfrmHX4417::TfrmHX4417(const QString& exeDir, std::unique_ptr<INotifier> notifier, QWidget* parent)
    : QMainWindow(parent), notifier_(std::move(notifier)) {
  if (!notifier_) notifier_ = std::make_unique<TMessageBoxNotifier>(this);
  stationNotifier_ = std::make_unique<TDeferringNotifier>(*notifier_, this);
  setObjectName(QStringLiteral("frmHX4417"));
  setWindowTitle(MainWindowCaption());
  // Menus and notices are windows of their own: they take the font too.
  setAttribute(Qt::WA_WindowPropagation);
  setFont(DesignFont());
  resize(1277, 1021);

  BuildMenu();
  auto* panel1 = NewPanel(this, "Panel1", false);
  auto* column = new QVBoxLayout(panel1);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(BuildToolBar(panel1));
  column->addWidget(BuildStations(panel1), 1);
  setCentralWidget(panel1);

  FormCreate(exeDir);
  for (int s = 1; s <= kStationCount; ++s) {
    stations_[Index(s)] = std::make_unique<TStation>(s, shared_.ExeDir, *shared_.Station(s), Panel(s),
                                                     *stationNotifier_, *notifier_, this);
    Link(s).SetFrameSink([this](const uint8_t* frame, int length) { OnFrame(frame, length); });
    frames_.SetLink(s, &Link(s));
    frames_.SetTestControl(s, &TestControl(s));
    RetryTimer(s).setObjectName(QStringLiteral("Timer%1").arg(StationDesign(s).Timer));
    connect(&RetryTimer(s), &QTimer::timeout, this, s == 1 ? &TfrmHX4417::Timer1Timer : &TfrmHX4417::Timer2Timer);
    WireStation(s);
    programmes_[Index(s)] = std::make_unique<TProgrammeRunner>(Controller(s), TestControl(s), shared_.ExeDir);
  }
  StartLabDatabase();
  StartRunWatch();
}

void TfrmHX4417::StartRunWatch() {
  stationStatus_ = new QLabel(statusBar());
  stationStatus_->setObjectName(QStringLiteral("StationStatus"));
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(stationStatus_, 1);
  watchTimer_ = new QTimer(this);
  watchTimer_->setObjectName(QStringLiteral("WatchTimer"));
  watchTimer_->setInterval(kWatchIntervalMs);
  connect(watchTimer_, &QTimer::timeout, this, &TfrmHX4417::WatchTimerTimer);
  watchTimer_->start();
  WatchTimerTimer();
}

void TfrmHX4417::WatchTimerTimer() {
  QStringList lines;
  std::vector<LiveState> live;
  for (int s = 1; s <= kStationCount; ++s) {
    const RunWatchFigures figures = Station(s).WatchTick();
    Panel(s).RunWatch().Draw(figures, Station(s).Watch());
    Panel(s).SetProgrammeLine(Programme(s).PanelLine());
    lines << StatusLine(s, figures);
    live.push_back(LiveStateOf(s, figures));
    Programme(s).DescribeLive(live.back());
  }
  lab_->OfferLive(std::move(live));
  stationStatus_->setText(lines.join(QStringLiteral("　　　")));
}

void TfrmHX4417::StartLabDatabase() {
  lab_ = std::make_unique<lab::LabService>(shared_.ExeDir);
  SetSavedTestSink(lab_.get());
  for (int s = 1; s <= kStationCount; ++s) Station(s).SetEventSink(lab_.get());
  for (int s = 1; s <= kStationCount; ++s) Programme(s).SetProgrammeSink(lab_.get());
  labStatus_ = new QLabel(findChild<QFrame*>(QStringLiteral("CoolBar1")));
  labStatus_->setObjectName(QStringLiteral("LabStatus"));
  labStatus_->setGeometry(200, 8, 700, 25);
  auto* poll = new QTimer(this);
  connect(poll, &QTimer::timeout, this, [this] {
    const QString line = lab_->StatusLine();
    labStatus_->setText(line);
    labStatus_->setVisible(!line.isEmpty());
  });
  poll->start(500);
}

TfrmHX4417::~TfrmHX4417() {
  watchTimer_->stop();  // closing the links pumps events: no redraw of what is going
  // Destroyed in the middle of closing: station 2 is still told, at once.
  if (secondDisconnectPending_) {
    secondDisconnectPending_ = false;
    DisconnectStation(2);
  }
  // The links close first, whatever the lab server does: while they wait for
  // their readers the window's timers and queued calls still run, and must
  // find all they reach.
  CloseStationLinks();
  SetSavedTestSink(nullptr);
  for (int s = 1; s <= kStationCount; ++s) Station(s).SetEventSink(nullptr);
  for (int s = 1; s <= kStationCount; ++s) Programme(s).SetProgrammeSink(nullptr);
  lab_.reset();  // the uploader ends; the outbox keeps what it has not sent
  FormDestroy();
  // The controllers go before the widgets that signal them.
  for (TStationPanel* p : panels_) p->disconnect(this);
}

void TfrmHX4417::BuildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  auto addAction = [this](QWidget* where, const char* name, const QString& caption, void (TfrmHX4417::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    where->addAction(action);
    if (handler) connect(action, &QAction::triggered, this, handler);
    return action;
  };

  QMenu* program = bar->addMenu(QStringLiteral("程序"));
  program->setObjectName(QStringLiteral("N1"));
  program->menuAction()->setObjectName(QStringLiteral("N1"));
  addAction(program, "N6", QStringLiteral("启动所有工位"), &TfrmHX4417::N6Click);
  addAction(program, "N7", QStringLiteral("关闭所有工位并退出"), &TfrmHX4417::N7Click);
  // Entries without a submenu act when the menu bar entry itself is clicked.
  addAction(bar, "N2", QStringLiteral("数据管理"), &TfrmHX4417::N2Click);
  addAction(bar, "N3", QStringLiteral("安全管理"), nullptr)->setVisible(false);
  addAction(bar, "N4", QStringLiteral("设置"), &TfrmHX4417::N4Click);
  QMenu* programmes = bar->addMenu(QStringLiteral("试验方案"));
  programmes->setObjectName(QStringLiteral("NP"));
  programmes->menuAction()->setObjectName(QStringLiteral("NP"));
  addAction(programmes, "NP1", QStringLiteral("工位1试验方案…"), &TfrmHX4417::NP1Click);
  addAction(programmes, "NP2", QStringLiteral("工位2试验方案…"), &TfrmHX4417::NP2Click);
  addAction(programmes, "NPH", QStringLiteral("开关履历…"), &TfrmHX4417::NPHClick);
  QMenu* help = bar->addMenu(QStringLiteral("帮助"));
  help->setObjectName(QStringLiteral("N5"));
  help->menuAction()->setObjectName(QStringLiteral("N5"));
  addAction(help, "N8", QStringLiteral("帮助"), &TfrmHX4417::N8Click);
  addAction(help, "N9", QStringLiteral("关于"), &TfrmHX4417::N9Click);
}

QWidget* TfrmHX4417::BuildToolBar(QWidget* parent) {
  auto* bar = NewPanel(parent, "CoolBar1", false);
  bar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  bar->setFixedHeight(41);
  for (int s = 1; s <= kStationCount; ++s) {
    const int n = StationDesign(s).LinkButton;
    QToolButton* b = NewSpeedButton(QStringLiteral("SpeedButton%1").arg(n), QStringLiteral("开启工位%1").arg(s), bar);
    b->move(s == 1 ? 16 : 104, 8);
    linkButtons_[Index(s)] = b;
  }
  connect(linkButtons_[0], &QToolButton::clicked, this, &TfrmHX4417::SpeedButton1Click);
  connect(linkButtons_[1], &QToolButton::clicked, this, &TfrmHX4417::SpeedButton2Click);
  return bar;
}

QWidget* TfrmHX4417::BuildStations(QWidget* parent) {
  auto* panel2 = NewPanel(parent, "Panel2", false);
  auto* row = new QHBoxLayout(panel2);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  // Station 1 keeps its width; station 2 takes whatever the window gives.
  auto* panel3 = NewPanel(panel2, "Panel3", true);
  panel3->setFixedWidth(kStation1Width);
  panels_[0] = new TStationPanel(StationDesign(1), panel3);
  Fill(panel3, panels_[0]);

  auto* panel4 = NewPanel(panel2, "Panel4", true);
  auto* panel8 = NewPanel(panel4, "Panel8", true);
  panels_[1] = new TStationPanel(StationDesign(2), panel8);
  Fill(panel8, panels_[1]);
  Fill(panel4, panel8);

  row->addWidget(panel3);
  row->addWidget(panel4, 1);
  return panel2;
}

void TfrmHX4417::WireStation(int station) {
  TStationPanel* panel = panels_[Index(station)];
  panel->AttachLinkButton(linkButtons_[Index(station)]);
  connect(panel, &TStationPanel::modeClicked, this,
          station == 1 ? &TfrmHX4417::RadioButton1Click : &TfrmHX4417::RadioButton17Click);
  connect(panel, &TStationPanel::parameterExited, this,
          [this, station](int number) { ParameterExited(station, number); });
  connect(panel, &TStationPanel::startClicked, this,
          station == 1 ? &TfrmHX4417::SpeedButton3Click : &TfrmHX4417::SpeedButton7Click);
  connect(panel, &TStationPanel::continueClicked, this,
          station == 1 ? &TfrmHX4417::SpeedButton4Click : &TfrmHX4417::SpeedButton8Click);
  connect(panel, &TStationPanel::saveClicked, this,
          station == 1 ? &TfrmHX4417::SpeedButton6Click : &TfrmHX4417::SpeedButton10Click);
}

bool TfrmHX4417::SaveButtonClick(int station) { return Station(station).Save(); }

void TfrmHX4417::SetStationWriter(int station, std::unique_ptr<IStationWriter> writer) {
  if (station == 1 || station == 2) Station(station).SetWriter(std::move(writer));
}

void TfrmHX4417::ParameterExited(int station, int number) {
  const ParameterDef* def = FindParameter(number);
  if (!def) return;
  switch (def->Range) {
    case ParameterRange::Duration: return Edit5Exit(station, number);
    case ParameterRange::DelayMs: return Edit7Exit(station, number);
    case ParameterRange::DelaySeconds: return Edit10Exit(station, number);
    case ParameterRange::SetCount: return Edit18Exit(station, number);
  }
}

void TfrmHX4417::SetStationControlsEnabled(int station, bool enabled) {
  if (station == 1 || station == 2) Controller(station).SetControlsEnabled(enabled);
}

// --- window events --------------------------------------------------------

void TfrmHX4417::FormCreate(const QString& exeDir) { InitSharedState(shared_, exeDir); }

void TfrmHX4417::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TfrmHX4417::FormShow() {
  // Locked until each station's handshake succeeds.
  for (int s = 1; s <= kStationCount; ++s) DrawStation(shared_.Station(s)->Model, s, Panel(s));
  RestoreStationFields();
  // A programme's run that a kill left open is counted from its station's
  // journal before that journal is offered (and removed).
  std::vector<rig::Programme> unfinished;
  try {
    unfinished = SettleInterruptedProgrammes(shared_.ExeDir);
  } catch (const std::exception& e) {
    const QString text = QStringLiteral("试验方案无法读取（%1）：%2").arg(ProgrammesPath(shared_.ExeDir), QString::fromLocal8Bit(e.what()));
    WriteLog(text);
    notifier_->Notice(text);
  }
  if (FindLeftoverJournals(shared_.ExeDir).empty() && unfinished.empty()) return OpenStationLinks();
  // Once the window is up: a test the last run left unsaved is offered and
  // answered before any link opens, so no status of a live controller can
  // start a test whose journal would take the place of the one offered.
  QTimer::singleShot(0, this, [this, unfinished] {
    OfferLeftoverJournals();
    OfferProgrammes(unfinished);
    OpenStationLinks();
  });
}

void TfrmHX4417::OfferProgrammes(const std::vector<rig::Programme>& unfinished) {
  for (const rig::Programme& p : unfinished) {
    if (p.Station < 1 || p.Station > kStationCount || Programme(p.Station).Current()) continue;
    if (!notifier_->Confirm(ProgrammeOfferQuestion(p))) continue;  // asked again at the next start
    if (const QString why = Programme(p.Station).Attach(p); !why.isEmpty()) notifier_->Notice(why);
  }
}

void TfrmHX4417::OfferLeftoverJournals() { RecoverLeftoverTests(shared_.ExeDir, *notifier_); }

void TfrmHX4417::RestoreStationFields() {
  for (int s = 1; s <= kStationCount; ++s) {
    Controller(s).RestoreIdentity();
    Panel(s).SetDigitsOnlyStyle();
  }
}

void TfrmHX4417::closeEvent(QCloseEvent* event) {
  // Always allowed, once both stations were asked to disconnect.
  if (closing_ == Closing::Done) return event->accept();
  event->ignore();
  if (closing_ == Closing::No) FormCloseQuery();
}

void TfrmHX4417::FormCloseQuery() {
  closing_ = Closing::Disconnecting;
  DisconnectAllStations([this] {
    // The identity texts are written while the operator can still be told
    // that they could not be.
    if (const QString error = StoreIdentityTexts(); !error.isEmpty()) notifier_->Notice(error);
    closing_ = Closing::Done;
    close();
  });
}

void TfrmHX4417::DisconnectAllStations(std::function<void()> then) {
  DisconnectStation(1);
  secondDisconnectPending_ = true;
  QTimer::singleShot(kDisconnectGapMs, this, [this, then = std::move(then)] {
    if (secondDisconnectPending_) {
      secondDisconnectPending_ = false;
      DisconnectStation(2);
    }
    if (then) then();
  });
}

QString TfrmHX4417::StoreIdentityTexts() {
  for (int s = 1; s <= kStationCount; ++s) Controller(s).StoreIdentity();
  identityStored_ = true;
  try {
    SaveTestIdentity(shared_);
  } catch (const EIniWriteError& e) {
    WriteLog(e.Message());
    return e.Message();
  }
  return {};
}

void TfrmHX4417::FormDestroy() {
  // The links are closed already: the destructor closes them first.
  if (!identityStored_) StoreIdentityTexts();
  ShutdownSharedState(shared_, /*saveIdentity=*/false);
}

// --- links ------------------------------------------------------------------

void TfrmHX4417::OpenStationLinks() {
  for (int s = 1; s <= kStationCount; ++s) Link(s).OpenLink();
}

void TfrmHX4417::ConnectStation(int station) { Link(station).ConnectStation(); }

bool TfrmHX4417::DisconnectStation(int station) { return Link(station).DisconnectStation(); }

void TfrmHX4417::CloseStationLinks() {
  // Both readers are told to stop before either is waited for.
  for (int s = 1; s <= kStationCount; ++s) Link(s).RequestStop();
  for (int s = 1; s <= kStationCount; ++s) Link(s).CloseLink();
}

// WM_FRAME: a frame of either station, on this thread, while its reader waits.
void TfrmHX4417::OnFrame(const uint8_t* frame, int length) {
  TDeferringNotifier::DeferScope deferNotices(*stationNotifier_);
  DispatchFrame(frame, length, frames_);
}

void TfrmHX4417::LinkButtonClick(int station) {
  if (shared_.Station(station)->Model.Connected())
    DisconnectStation(station);
  else
    ConnectStation(station);
}

// --- menus ------------------------------------------------------------------

void TfrmHX4417::N2Click() { ShowSearchResults(); }

void TfrmHX4417::ShowSearchResults() { rig::ShowSearchResults(this, shared_.ExeDir, *notifier_); }

void TfrmHX4417::NPHClick() { rig::ShowSwitchHistory(this, shared_.ExeDir, *notifier_); }

void TfrmHX4417::ProgrammeClick(int station) {
  auto* form = new TfrmProgramme(Programme(station), *notifier_, this);
  form->setWindowTitle(QStringLiteral("工位%1试验方案").arg(station));
  form->setAttribute(Qt::WA_DeleteOnClose);
  form->show();
}

void TfrmHX4417::N4Click() {
  ShowSetComm(shared_, *notifier_, this, [this] { return lab_->ReconcileNow(); });
  const lab::LabSettings labSettings = lab::LoadLabSettings(shared_.ExeDir);
  if (!(labSettings == lab_->Settings())) lab_->Reconfigure(labSettings);
  const lab::AlertSettings alerts = lab::LoadAlertSettings(shared_.ExeDir);
  if (!(alerts == lab_->Alerts())) lab_->ReconfigureAlerts(alerts);
  // Saved or not, the ports are reopened with what memory now holds.
  OpenStationLinks();
}

void TfrmHX4417::N6Click() {
  ConnectStation(1);
  ConnectStation(2);
}

void TfrmHX4417::N7Click() {
  DisconnectAllStations([this] { close(); });
}

void TfrmHX4417::N8Click() {
  if (!OpenHelpDocument(shared_.HelpFileName, shared_.ExeDir, helpOpener_))
    notifier_->Notice(HelpMissingText(shared_.HelpFileName));
}

void TfrmHX4417::N9Click() { ShowAbout(this); }

}  // namespace rig

// render-mainwindow OUT.png [--unlocked] [--live] [--size WxH] [--crop X,Y,W,H] [--zoom N] [--form setcomm|lab|about|search|detail|programme]
//
// Builds the main window in a scratch folder (its own Config.ini and Log/),
// shows it offscreen at the design size 1277 x 1021 and saves what it draws.
// Both stations' ports are pseudo-terminals nobody answers: drawing the
// window never opens the machine's real serial ports.
// The window is drawn as the operator first sees it, both panels locked;
// --unlocked draws both stations as after a successful handshake; --crop
// keeps one part of the picture and --zoom enlarges it N times, to look at it
// closely; --form draws the
// settings dialog, the lab database settings, the about box, the search
// window (one saved test listed) or the detail window of that test instead,
// at --size; --live draws
// both stations in the middle of long tests, with the live view filled from
// runs played on a made-up clock.
#include <QApplication>
#include <QTemporaryDir>

#include "endurance/ProgrammeRunner.h"
#include "ui/Programmefrm.h"
#include "ui/StationPanel.h"
#include <QTextStream>
#include <cstdlib>

#include "core/IniFile.h"
#include "core/Notifier.h"
#include "protocol/Frame.h"
#include "protocol/StationWriter.h"
#include "rigsim/PseudoTerminal.h"
#include "storage/RecordStore.h"
#include "storage/Schema.h"
#include "ui/LabSettingsfrm.h"
#include "ui/Mainfrm.h"
#include "ui/SearchDetailfrm.h"
#include "ui/SearchResultfrm.h"
#include "ui/SetCommfrm.h"
#include "ui/StationPanel.h"
#include "testing/TestModes.h"
#include "ui/UDlgAbout.h"

namespace {

class SilentNotifier : public rig::INotifier {
 public:
  void Notice(const QString& text, rig::NoticeIcon) override { QTextStream(stderr) << "notice: " << text << "\n"; }
  void Error(const QString& text) override { QTextStream(stderr) << "error: " << text << "\n"; }
  bool Confirm(const QString& text) override {
    QTextStream(stderr) << "confirm: " << text << "\n";
    return false;
  }
  rig::UnsavedChoice AskUnsaved(const QString& text) override {
    QTextStream(stderr) << "unsaved: " << text << "\n";
    return rig::UnsavedChoice::Cancel;
  }
};

// One saved life test of 12 cycles, B1 refusing to close in the 5th, in the
// Station 1 in block 2 of an M2 programme: its panel line, and its window.
void ShowProgrammeUnderWay(rig::TfrmHX4417& window) {
  if (window.Programme(1).Current()) return;
  rig::Programme p = rig::PresetProgramme(rig::EnduranceStandard::Breaker, QStringLiteral("M2"));
  p.Identity = {QStringLiteral("ZN63-12"), QStringLiteral("2026-1207"), QStringLiteral("一号台"), QStringLiteral("张三"),
                QStringLiteral("某开关厂"), QStringLiteral("某供电局"), QString()};
  p.Blocks[1].VoltageNote = QStringLiteral("DC 220 V ×85%");
  p.Blocks[1].VoltageConfirmedBy = QStringLiteral("王工");
  p.Blocks[1].VoltageConfirmedAt = QDateTime(QDate(2026, 12, 7), QTime(14, 2));
  for (double ms : {1510.0, 1530.0, 1495.0, 1520.0}) p.Blocks[0].Cycles.Add(ms);
  for (double ms : {1690.0, 1710.0, 1705.0}) p.Blocks[1].Cycles.Add(ms);
  p.Runs = {{0, 1, {}, 0, 2000, false}, {0, 2, {}, 0, 1456, true}};
  p.Inspections = {{1, QStringLiteral("外观、紧固件、脱扣弹簧"), rig::InspectionWork::Lubrication, {}, QStringLiteral("李工"),
                    QDateTime(QDate(2026, 12, 7), QTime(14, 0)),
                    {{QStringLiteral("合闸时间"), QStringLiteral("ms"), 41.5, 30, 50, 2}}}};
  window.Programme(1).Attach(p);
  window.Panel(1).SetProgrammeLine(window.Programme(1).PanelLine());
}

// folder `exeDir`; its AutoID.
int64_t SaveOneTest(const QString& exeDir) {
  rig::EnsureTable((exeDir + QStringLiteral("SaveData.db")).toUtf8(), QStringLiteral("TestInfo"));
  rig::EnsureTable((exeDir + QStringLiteral("SpaceData.db")).toUtf8(), QStringLiteral("ControlState"));
  rig::TestSummary test;
  test.OpenType = QStringLiteral("户外真空断路器");
  test.OutIndex = QStringLiteral("F07");
  test.WorkArea = QStringLiteral("一号工位");
  test.WorkName = QStringLiteral("张三");
  test.StartTime = QDateTime::currentDateTime().addSecs(-3600);
  test.EndTime = QDateTime::currentDateTime();
  test.Mode = 17;
  for (int n = 1; n <= 20; ++n) test.ParamTexts[n - 1] = QString::number(n * 10);
  test.ParamTexts[6] = test.ParamTexts[7] = QStringLiteral("10");  // delays in s
  test.ParamTexts[8] = QStringLiteral("12");
  test.CountDone = 12;
  test.IgnoreRefusals = false;
  rig::ActionQueue actions;
  for (int32_t c = 1; c <= 12; ++c) {
    for (int a = 0; a < 2; ++a) {  // 单分单合: open, then close
      auto r = std::make_unique<rig::ActionRecord>();
      r->Count = c;
      r->ActionNo = 2 * (c - 1) + a + 1;
      for (int b = 0; b < 3; ++b) r->Closed[b] = a;
      if (c == 5 && a == 1) {
        r->Closed[1] = 0;
        r->Marks[1] = QStringLiteral("拒合");
      }
      actions.push_back(std::move(r));
    }
  }
  return rig::WriteTestRecord(exeDir, test, actions).AutoId;
}

// The search window over a folder with one saved test, listed.
std::unique_ptr<QWidget> SearchWindowWithOneTest(rig::TfrmHX4417& window, const QString& exeDir) {
  SaveOneTest(exeDir);
  auto search = std::make_unique<rig::TfrmSearchResult>(exeDir, window.Notifier(), &window);
  search->BitBtn3Click();
  return search;
}

// The detail window of that test.
std::unique_ptr<QWidget> DetailWindowOfOneTest(rig::TfrmHX4417& window, const QString& exeDir) {
  const int64_t id = SaveOneTest(exeDir);
  auto detail = std::make_unique<rig::TfrmSearchDetail>(exeDir, window.Notifier(), &window);
  detail->SetAutoId(QString::number(id));
  detail->FormShow();
  return detail;
}

class Nowhere : public rig::IStationWriter {
 public:
  bool Write(const QByteArray&) override { return true; }
};

// Station 1 six hours into a 2,000-cycle life test, with a stop and three
// refusals behind it, its controller just gone quiet; station 2's 合分 test
// stopped by a lost line.
void PlayLiveRuns(rig::TfrmHX4417& window, int64_t& now) {
  now = QDateTime::currentMSecsSinceEpoch() - 6 * 3600 * 1000LL;
  for (int s = 1; s <= 2; ++s) {
    window.Station(s).Watch().SetClock([&now] { return now; });
    window.SetStationWriter(s, std::make_unique<Nowhere>());
    window.Link(s).OnLinkReply(rig::kLinkAccepted);
  }
  const auto status = [&window](int s, int32_t count, uint8_t bits) {
    uint8_t f[rig::kFrameOverhead + rig::kActionStatusLength] = {uint8_t(s), rig::kCodeStatus, rig::kActionStatusLength, 0};
    rig::WriteInt32Le(f + rig::kFrameHeaderSize, count);
    f[rig::kFrameHeaderSize + 4] = bits;
    window.TestControl(s).OnStatusFrame(f, static_cast<int>(sizeof f));
  };
  rig::TStationPanel& one = window.Panel(1);
  one.CheckMode(17);
  one.SetParameterText(9, QStringLiteral("2000"));
  one.CheckRefusalOption(rig::kDoNotIgnoreRefusals);
  window.TestControl(1).StartButtonClick();
  rig::TStationPanel& two = window.Panel(2);
  two.CheckMode(18);
  two.SetParameterText(12, QStringLiteral("500"));

  // The window's tick, every half minute of the made-up time.
  const auto wait = [&](int64_t ms) {
    for (const int64_t until = now + ms; now < until;) {
      now = std::min(until, now + 30'000);
      window.WatchTimerTimer();
    }
  };
  for (int32_t c = 1; c <= 1000; ++c) {
    wait(10'400 + (c % 7) * 150);
    status(1, c, 0x00);
    const bool refused = c == 120 || c == 560 || c == 910;
    wait(10'400);
    status(1, c, refused ? 0x11 : 0x15);  // B1 stays open
    if (refused) {
      wait(4 * 60'000);  // the operator looks, then continues
      window.TestControl(1).ContinueButtonClick();
    }
    if (c == 400) wait(15 * 60'000);  // the controller stops for a quarter of an hour
    if (c == 880) window.TestControl(2).StartButtonClick();
    if (c > 880) {  // station 2's last 40 minutes: two cycles per station-1 cycle
      const int32_t c2 = 2 * (c - 880);
      status(2, c2 - 1, 0x15);
      status(2, c2 - 1, 0x00);
      status(2, c2, 0x15);
      status(2, c2, 0x00);
    }
    if (c == 993) window.Link(2).OnPortFailed(QString());  // station 2's line goes
  }
  wait(90'000);  // station 1's controller goes quiet
  window.WatchTimerTimer();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  QString out;
  bool unlocked = false;
  QSize size(1277, 1021);
  QRect crop;
  QString form;
  int zoom = 1;
  bool live = false;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--unlocked")) {
      unlocked = true;
    } else if (args[i] == QLatin1String("--live")) {
      live = true;
    } else if (args[i] == QLatin1String("--size") && i + 1 < args.size()) {
      const QStringList wh = args[++i].split(QLatin1Char('x'));
      if (wh.size() == 2) size = QSize(wh[0].toInt(), wh[1].toInt());
    } else if (args[i] == QLatin1String("--crop") && i + 1 < args.size()) {
      const QStringList r = args[++i].split(QLatin1Char(','));
      if (r.size() == 4) crop = QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
    } else if (args[i] == QLatin1String("--zoom") && i + 1 < args.size()) {
      zoom = qBound(1, args[++i].toInt(), 16);
    } else if (args[i] == QLatin1String("--form") && i + 1 < args.size()) {
      form = args[++i];
    } else {
      out = args[i];
    }
  }
  const QStringList forms{QString(), "setcomm", "lab", "about", "search", "detail", "programme"};
  if (out.isEmpty() || !size.isValid() || !forms.contains(form)) {
    QTextStream(stderr) << "usage: render-mainwindow OUT.png [--unlocked] [--size WxH] [--crop X,Y,W,H] [--zoom N] [--live] [--form setcomm|lab|about|search|detail|programme]\n";
    return 2;
  }

  QTemporaryDir scratch;
  if (!scratch.isValid()) return 1;
  rig::sim::TPseudoTerminal lines[2];
  {
    rig::TIniFile ini(scratch.path() + QStringLiteral("/Config.ini"));
    for (int s = 0; s < 2; ++s) {
      QString error;
      if (!lines[s].Open(&error)) {
        QTextStream(stderr) << "cannot open a pseudo-terminal: " << error << "\n";
        return 1;
      }
      ini.WriteString(QStringLiteral("Config"), QStringLiteral("ComName%1").arg(s + 1), lines[s].SlavePath());
    }
  }
  int rc = 0;
  {
    rig::TfrmHX4417 window(scratch.path() + QLatin1Char('/'), std::make_unique<SilentNotifier>());
    window.resize(size);
    window.show();
    if (unlocked) {
      window.SetStationControlsEnabled(1, true);
      window.SetStationControlsEnabled(2, true);
    }
    QApplication::processEvents();
    int64_t now = 0;
    if (live) {
      PlayLiveRuns(window, now);
      ShowProgrammeUnderWay(window);
      QApplication::processEvents();
    }
    std::unique_ptr<QWidget> dialog;
    if (form == QLatin1String("setcomm"))
      dialog = std::make_unique<rig::TfrmSetComm>(window.Shared(), window.Notifier(), &window);
    else if (form == QLatin1String("lab"))
      dialog = std::make_unique<rig::TfrmLabSettings>(scratch.path() + QLatin1Char('/'), window.Notifier(), &window);
    else if (form == QLatin1String("about"))
      dialog = std::make_unique<rig::TFrmAbout>(&window);
    else if (form == QLatin1String("search"))
      dialog = SearchWindowWithOneTest(window, scratch.path() + QLatin1Char('/'));
    else if (form == QLatin1String("detail"))
      dialog = DetailWindowOfOneTest(window, scratch.path() + QLatin1Char('/'));
    else if (form == QLatin1String("programme")) {
      ShowProgrammeUnderWay(window);
      dialog = std::make_unique<rig::TfrmProgramme>(window.Programme(1), window.Notifier(), &window);
    }
    if (dialog && (form == QLatin1String("search") || form == QLatin1String("detail"))) dialog->resize(size);
    if (dialog) {
      dialog->show();
      QApplication::processEvents();
    }
    QWidget& target = dialog ? *dialog : static_cast<QWidget&>(window);
    QPixmap picture = target.grab(crop.isValid() ? crop : QRect(QPoint(0, 0), QSize(-1, -1)));
    if (zoom > 1) picture = picture.scaled(picture.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!picture.save(out)) {
      QTextStream(stderr) << "cannot write " << out << "\n";
      rc = 1;
    }
  }
  return rc;
}

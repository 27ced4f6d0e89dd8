// close-stress [--closes N] [--batch B] [--jobs J] [--stall-s S] [--seed X]
//              [--max-failed-batches F] [--keep DIR]
//
// Closes the real main window again and again while both stations stream the
// actions of running life tests from simulated controllers, the way the
// program ends: close(), the event loop runs a while (frames still arrive and
// are handed over), then the window is destroyed; a new window is made for the
// next round. Run by hand, like a benchmark; it is not one of the tests.
//
// A crash would end the process that made it, so the rounds run in batches
// of B in child processes (fork and exec of this program with --child, never
// QProcess: the sanitizers watch the children). The parent counts each
// child's closes, its death and the signal that ended it, and a child that
// makes no progress for S seconds is a hang: its threads' stacks are taken
// with gdb, then it is killed. A child that died leaves its stderr (a
// sanitizer's report) and its core, with gdb's backtrace of it, in a folder
// under --keep (default: ./close-stress-failures).
//
// Each round varies what matters for the race: how many actions came in
// before the close, whether the close comes straight after a frame was
// handled or a few milliseconds later, the close itself (the window's close
// or the menu's 关闭所有工位并退出), how long the event loop runs before the
// window goes (0 to 500 ms), and whether it is deleted directly or by
// deleteLater in the event loop.
//
// The rounds of a batch that died are made by another batch, so N closes are
// made even when some fail (up to F failed batches). Prints the counts and
// exits 0 only when N closes were made with no crash, no hang and no
// sanitizer report.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "station/GlobVar.h"
#include "core/IniFile.h"
#include "core/Notifier.h"
#include "rigsim/ControllerSim.h"
#include "storage/Schema.h"
#include "testing/TestParameters.h"
#include "ui/Mainfrm.h"

namespace {

// --- the child: one batch of rounds in one process ------------------------

// Answers like an operator who keeps nothing from the last round: a leftover
// journal is dropped, a new test goes over the unsaved one.
class QuietNotifier : public rig::INotifier {
 public:
  void Notice(const QString&, rig::NoticeIcon) override {}
  void Error(const QString&) override {}
  bool Confirm(const QString&) override { return false; }
  rig::UnsavedChoice AskUnsaved(const QString&) override { return rig::UnsavedChoice::Discard; }
};

template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return condition();
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

template <class T>
T* Find(QWidget& window, const char* name) {
  T* w = window.findChild<T*>(QLatin1String(name));
  if (!w) std::fprintf(stderr, "close-stress: no %s in the window\n", name);
  return w;
}

// Connects `station` and starts a life test of `mode` with every delay 1.
bool StartLifeTest(rig::TfrmHX4417& window, int station, int mode) {
  rig::StationShared& s = *window.Shared().Station(station);
  auto* link = Find<QAbstractButton>(window, station == 1 ? "SpeedButton1" : "SpeedButton2");
  if (!link) return false;
  link->click();
  if (!WaitFor([&] { return s.Model.Connected() && !s.Model.AwaitingFirstReport(); }, 10000)) {
    std::fprintf(stderr, "close-stress: station %d did not connect\n", station);
    return false;
  }
  for (const rig::ParameterDef& p : rig::Parameters()) {
    const QByteArray name = QStringLiteral("Edit%1").arg(p.EditNumber[station - 1]).toLatin1();
    auto* edit = Find<QLineEdit>(window, name.constData());
    if (!edit) return false;
    edit->setText(p.Range == rig::ParameterRange::SetCount ? QStringLiteral("30000") : QStringLiteral("1"));
  }
  const int radio = (station == 1 ? 0 : 16) + mode - 11;
  const QByteArray radioName = QStringLiteral("RadioButton%1").arg(radio).toLatin1();
  auto* modeButton = Find<QRadioButton>(window, radioName.constData());
  auto* start = Find<QAbstractButton>(window, station == 1 ? "SpeedButton3" : "SpeedButton7");
  if (!modeButton || !start) return false;
  modeButton->click();
  start->click();
  return true;
}

size_t Actions(rig::TfrmHX4417& window, int station) { return window.Shared().Station(station)->Actions.size(); }

// Runs the event loop itself (not processEvents) for `ms`.
void RunEventLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

int RunChild(int rounds, uint32_t seed, int reportFd) {
  std::mt19937 random(seed);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };

  QTemporaryDir dir;
  if (!dir.isValid()) return 3;
  const QString exeDir = dir.path() + QLatin1Char('/');
  rig::sim::SimOptions options;
  options.Controller.Speed = 1000;
  options.Controller.ActionMs = 2;
  options.Baud = 0;
  options.Seed = seed;
  rig::sim::TControllerSim sim(options);
  QString error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "close-stress: simulator: %s\n", qPrintable(error));
    return 3;
  }
  rig::EnsureTable((exeDir + QStringLiteral("SaveData.db")).toUtf8(), QStringLiteral("TestInfo"));
  rig::EnsureTable((exeDir + QStringLiteral("SpaceData.db")).toUtf8(), QStringLiteral("ControlState"));
  {
    rig::TIniFile ini(exeDir + QStringLiteral("Config.ini"));
    for (int s : {1, 2}) ini.WriteString("Config", QStringLiteral("ComName%1").arg(s), sim.DevicePath(s));
  }

  static constexpr int kAfterCloseMs[] = {0, 0, 1, 2, 3, 5, 8, 13, 20, 35, 60, 100, 200, -1};
  for (int round = 0; round < rounds; ++round) {
    auto* window = new rig::TfrmHX4417(exeDir, std::make_unique<QuietNotifier>());
    window->show();
    // Another mode than last round: a new test, counted from 0.
    if (!StartLifeTest(*window, 1, round % 2 ? 17 : 18) || !StartLifeTest(*window, 2, round % 2 ? 19 : 20)) return 3;
    const size_t before = static_cast<size_t>(pick(3, 40));
    if (!WaitFor([&] { return Actions(*window, 1) > before && Actions(*window, 2) > before; }, 20000)) {
      std::fprintf(stderr, "close-stress: round %d: the tests did not run\n", round);
      return 3;
    }
    // The moment of the close against the frames: straight after one was
    // handled, or some milliseconds into the stream.
    if (pick(0, 1)) {
      const size_t seen = Actions(*window, 1) + Actions(*window, 2);
      WaitFor([&] { return Actions(*window, 1) + Actions(*window, 2) != seen; }, 1000);
    } else {
      QElapsedTimer t;
      t.start();
      const int ms = pick(0, 15);
      while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    if (pick(0, 4) == 0) {
      window->findChild<QAction*>(QStringLiteral("N7"))->trigger();  // 关闭所有工位并退出
    } else {
      window->close();
    }
    int afterClose = kAfterCloseMs[pick(0, static_cast<int>(std::size(kAfterCloseMs)) - 1)];
    if (afterClose < 0) afterClose = pick(0, 500);
    if (afterClose > 0) RunEventLoop(afterClose);
    if (pick(0, 3) == 0) {
      QPointer<QWidget> guard(window);
      QEventLoop loop;
      QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
      window->deleteLater();
      if (guard) loop.exec();
    } else {
      delete window;
    }
    const char done = '\n';
    if (::write(reportFd, &done, 1) != 1) return 3;
  }
  return 0;
}

// --- the parent: batches in children, counted -----------------------------

struct Totals {
  int closes = 0;
  int crashes = 0;      // children killed by a signal
  int hangs = 0;        // children that stopped making progress
  int failures = 0;     // children that exited non-zero (sanitizer reports, setup failures)
};

std::string SelfPath() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "close-stress";
  path[n] = '\0';
  return path;
}

int RunShell(const std::string& command) { return std::system(command.c_str()); }

void ShowFile(const std::string& path, int lines) {
  RunShell("tail -n " + std::to_string(lines) + " '" + path + "' 1>&2");
}

struct Child {
  pid_t pid = -1;
  int reportFd = -1;
  int rounds = 0;
  int closes = 0;
  uint32_t seed = 0;
  std::string folder;
  std::chrono::steady_clock::time_point lastProgress;
  bool hung = false;
};

Child StartChild(const std::string& self, const std::string& folder, int rounds, uint32_t seed) {
  Child c;
  c.rounds = rounds;
  c.seed = seed;
  c.folder = folder;
  int fds[2];
  if (::pipe(fds) != 0) std::abort();
  c.pid = ::fork();
  if (c.pid == 0) {
    ::close(fds[0]);
    if (fds[1] != 3) {
      ::dup2(fds[1], 3);
      ::close(fds[1]);
    }
    // Its core and its output stay in its own folder.
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) {
      ::dup2(err, 1);
      ::dup2(err, 2);
      ::close(err);
    }
    const rlimit core{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_CORE, &core);
    const std::string roundsText = std::to_string(rounds), seedText = std::to_string(seed);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(self.c_str(), self.c_str(), "--child", "--rounds", roundsText.c_str(), "--seed", seedText.c_str(),
            "--report-fd", "3", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  c.reportFd = fds[0];
  c.lastProgress = std::chrono::steady_clock::now();
  return c;
}

bool Failed(const Child& c, int status) {
  return c.hung || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || c.closes != c.rounds;
}

// Reads what the child reported; false once its end of the pipe is closed.
bool Drain(Child& c) {
  char buffer[256];
  for (;;) {
    const ssize_t n = ::read(c.reportFd, buffer, sizeof buffer);
    if (n > 0) {
      c.closes += static_cast<int>(n);
      c.lastProgress = std::chrono::steady_clock::now();
      continue;
    }
    if (n == 0) return false;
    return errno == EAGAIN || errno == EINTR;
  }
}

// The child has ended (status from waitpid): counts it, keeps what a failed
// one left, removes what a good one left.
void Settle(const std::string& self, Child& c, int status, Totals& totals) {
  totals.closes += c.closes;
  const std::string what = "batch seed " + std::to_string(c.seed) + " (" + std::to_string(c.closes) + "/" +
                           std::to_string(c.rounds) + " closes)";
  bool failed = true;
  if (c.hung) {
    ++totals.hangs;
    std::fprintf(stderr, "HANG  %s: no close for too long; stacks in %s/stacks.txt\n", what.c_str(), c.folder.c_str());
    ShowFile(c.folder + "/stacks.txt", 60);
  } else if (WIFSIGNALED(status)) {
    ++totals.crashes;
    std::fprintf(stderr, "CRASH %s: signal %d (%s); kept in %s\n", what.c_str(), WTERMSIG(status),
                 strsignal(WTERMSIG(status)), c.folder.c_str());
    ShowFile(c.folder + "/stderr.txt", 60);
    const std::string core = c.folder + "/core";
    struct stat st{};
    if (::stat(core.c_str(), &st) == 0) {
      RunShell("gdb -q -batch -ex 'bt 30' -ex 'thread apply all bt 25' '" + self + "' '" + core + "' > '" + c.folder +
               "/backtrace.txt' 2>&1");
      std::fprintf(stderr, "--- crashing thread (all threads in %s/backtrace.txt)\n", c.folder.c_str());
      RunShell("sed -n '/^#0 /,/^$/p' '" + c.folder + "/backtrace.txt' | sed '/^$/q' | head -32 1>&2");
    }
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    ++totals.failures;
    std::fprintf(stderr, "FAIL  %s: exit code %d; kept in %s\n", what.c_str(), WEXITSTATUS(status), c.folder.c_str());
    ShowFile(c.folder + "/stderr.txt", 80);
  } else if (c.closes != c.rounds) {
    ++totals.failures;
    std::fprintf(stderr, "FAIL  %s: ended early\n", what.c_str());
  } else {
    failed = false;
  }
  if (!failed) RunShell("rm -rf '" + c.folder + "'");
  ::close(c.reportFd);
}

int RunParent(int closes, int batch, int jobs, int stallSeconds, int maxFailedBatches, uint32_t seed,
              const std::string& keep) {
  const std::string self = SelfPath();
  RunShell("mkdir -p '" + keep + "'");
  char resolved[4096];
  const std::string keepDir = ::realpath(keep.c_str(), resolved) ? resolved : keep;
  Totals totals;
  int started = 0, batchNumber = 0, failedBatches = 0;
  std::vector<Child> running;
  const auto begin = std::chrono::steady_clock::now();
  while (started < closes || !running.empty()) {
    while (started < closes && static_cast<int>(running.size()) < jobs) {
      const int rounds = std::min(batch, closes - started);
      const uint32_t batchSeed = seed + static_cast<uint32_t>(batchNumber++);
      const std::string folder = keepDir + "/batch-" + std::to_string(batchSeed);
      RunShell("rm -rf '" + folder + "' && mkdir -p '" + folder + "'");
      running.push_back(StartChild(self, folder, rounds, batchSeed));
      started += rounds;
    }
    std::vector<pollfd> fds;
    for (const Child& c : running) fds.push_back({c.reportFd, POLLIN, 0});
    ::poll(fds.data(), fds.size(), 500);
    for (size_t i = 0; i < running.size();) {
      Child& c = running[i];
      const bool open = Drain(c);
      int status = 0;
      pid_t ended = ::waitpid(c.pid, &status, WNOHANG);
      if (ended == 0 && !c.hung &&
          std::chrono::steady_clock::now() - c.lastProgress > std::chrono::seconds(stallSeconds)) {
        c.hung = true;
        RunShell("gdb -q -batch -p " + std::to_string(c.pid) + " -ex 'thread apply all bt 30' > '" + c.folder +
                 "/stacks.txt' 2>&1");
        ::kill(c.pid, SIGKILL);
        ended = ::waitpid(c.pid, &status, 0);
      }
      if (ended == c.pid) {
        if (open) Drain(c);  // what it wrote just before it ended
        if (Failed(c, status)) {
          ++failedBatches;
          // The rounds a failed batch did not make are made by another, up to a point.
          if (failedBatches < maxFailedBatches) started -= c.rounds - c.closes;
        }
        Settle(self, c, status, totals);
        std::fprintf(stderr, "closes %d, crashes %d, hangs %d, failures %d, %lld s\n", totals.closes, totals.crashes,
                     totals.hangs, totals.failures,
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(
                                                std::chrono::steady_clock::now() - begin)
                                                .count()));
        running.erase(running.begin() + static_cast<long>(i));
        continue;
      }
      ++i;
    }
  }
  std::fflush(stderr);
  std::printf("closes %d (asked %d), crashes %d, hangs %d, failures %d\n", totals.closes, closes, totals.crashes,
              totals.hangs, totals.failures);
  const bool ok = totals.crashes == 0 && totals.hangs == 0 && totals.failures == 0 && totals.closes >= closes;
  if (ok) RunShell("rmdir '" + keepDir + "' 2>/dev/null");
  return ok ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: close-stress [--closes N=1000] [--batch B=50] [--jobs J=1] [--stall-s S=60] [--seed X=1]\n"
               "                    [--max-failed-batches F=20] [--keep DIR=./close-stress-failures]\n");
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  bool child = false;
  int closes = 1000, batch = 50, jobs = 1, stall = 60, maxFailed = 20, reportFd = -1;
  long long seed = 1;
  std::string keep = "close-stress-failures";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto number = [&](auto& into) {
      if (i + 1 >= argc) return false;
      into = std::atoi(argv[++i]);
      return true;
    };
    if (arg == "--child") {
      child = true;
    } else if ((arg == "--closes" || arg == "--rounds") && number(closes)) {
    } else if (arg == "--batch" && number(batch)) {
    } else if (arg == "--jobs" && number(jobs)) {
    } else if (arg == "--stall-s" && number(stall)) {
    } else if (arg == "--max-failed-batches" && number(maxFailed)) {
    } else if (arg == "--report-fd" && number(reportFd)) {
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::atoll(argv[++i]);
    } else if (arg == "--keep" && i + 1 < argc) {
      keep = argv[++i];
    } else {
      return Usage();
    }
  }
  if (child) {
    if (reportFd < 0) return Usage();
    QApplication app(argc, argv);
    return RunChild(closes, static_cast<uint32_t>(seed), reportFd);
  }
  if (closes < 1 || batch < 1 || jobs < 1 || stall < 1) return Usage();
  return RunParent(closes, batch, jobs, stall, maxFailed, static_cast<uint32_t>(seed), keep);
}

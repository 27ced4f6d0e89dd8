// controller-sim: the rig's controllers on pseudo-terminals. See --help.
#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "rigsim/ControllerSim.h"
#include "rigsim/DemoConfig.h"

namespace {

void Print(FILE* to, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), to);
  std::fputc('\n', to);
  std::fflush(to);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("controller-sim"));

  rig::sim::SimOptions options;
  QString message;
  switch (rig::sim::ParseCommandLine(QCoreApplication::arguments(), options, message)) {
    case rig::sim::ParseOutcome::Help:
      Print(stdout, message);
      return 0;
    case rig::sim::ParseOutcome::Error:
      Print(stderr, message);
      return 2;
    case rig::sim::ParseOutcome::Run:
      break;
  }
  options.OnEvent = [](const QString& text) { Print(stdout, text); };

  if (!options.LinkDir.isEmpty()) {
    if (!QDir().mkpath(options.LinkDir)) {
      Print(stderr, QStringLiteral("controller-sim: cannot make %1").arg(options.LinkDir));
      return 1;
    }
    options.LinkDir = QFileInfo(options.LinkDir).absoluteFilePath();
  }
  // Before the links exist, so a script that waits for them finds the
  // configuration written.
  if (!options.PointConfig.isEmpty()) {
    std::map<int, QString> links;
    for (const int s : options.Stations) links[s] = options.LinkDir + QStringLiteral("/station%1").arg(s);
    for (const QString& line : rig::sim::PointConfigAtLinks(options.PointConfig, links)) Print(stdout, line);
  }

  // Signals are taken by sigwait below, not by any thread.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  rig::sim::TControllerSim sim(options);
  QString error;
  if (!sim.Start(&error)) {
    Print(stderr, QStringLiteral("controller-sim: %1").arg(error));
    return 1;
  }
  Print(stdout, QStringLiteral("controller-sim: running at speed x%1; Ctrl+C stops it.").arg(options.Controller.Speed));
  int signalNumber = 0;
  sigwait(&stopSignals, &signalNumber);
  sim.Stop();
  Print(stdout, QStringLiteral("controller-sim: stopped."));
  return 0;
}

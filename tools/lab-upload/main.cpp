// lab-upload EXEDIR [--hold-mid-copy MARKER]
//
// Sends every test in EXEDIR's lab outbox to the lab database of EXEDIR's
// Config.ini, as the program's uploader does, and exits: 0 when the outbox
// is empty, 1 when the server could not take them (the reason on stderr).
// With --hold-mid-copy it stops in the middle of sending the first test's
// actions, creates MARKER and waits to be killed.
#include <QCoreApplication>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <thread>

#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabSchema.h"
#include "lab/LabUpload.h"

using namespace rig::lab;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: lab-upload EXEDIR [--hold-mid-copy MARKER]\n");
    return 2;
  }
  QString exeDir = args[1];
  if (!exeDir.endsWith(QLatin1Char('/'))) exeDir += QLatin1Char('/');
  const int hold = args.indexOf(QStringLiteral("--hold-mid-copy"));
  const QString marker = hold > 0 && hold + 1 < args.size() ? args[hold + 1] : QString();
  UploadHook hook;
  if (!marker.isEmpty()) {
    hook = [&marker](UploadStage stage) {
      if (stage != UploadStage::ActionsHalfSent) return;
      QFile(marker).open(QIODevice::WriteOnly);
      for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    };
  }
  try {
    LabConnection connection(LoadLabSettings(exeDir));
    EnsureLabSchema(connection);
    LabOutbox outbox(LabOutbox::PathIn(exeDir));
    while (auto next = outbox.Oldest()) {
      UploadTest(connection, *next, hook);
      outbox.Remove(next->TestId);
    }
  } catch (const LabError& e) {
    std::fprintf(stderr, "%s\n", e.Words().toUtf8().constData());
    return 1;
  }
  return 0;
}

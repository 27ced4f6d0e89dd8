#include <QApplication>
#include <QScreen>
#include <QTextStream>
#include <cstdio>

#include "station/Startup.h"
#include "report/ReportCommand.h"
#include "ui/DesignFont.h"
#include "ui/Form1.h"
#include "ui/Mainfrm.h"
#include "ui/QtTranslation.h"

namespace {

// A report command runs without a window and without a display.
int RunCommand(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  rig::QuietCommandLineMessages();
  QGuiApplication app(argc, argv);
  QTextStream out(stdout), err(stderr);
  return rig::RunReportCommand(QGuiApplication::arguments().mid(1), rig::ExecutableDir(), out, err);
}

}  // namespace

int main(int argc, char* argv[]) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  if (rig::IsReportCommand(args)) return RunCommand(argc, argv);

  QApplication app(argc, argv);
  QApplication::setFont(rig::DesignFont());
  rig::InstallQtChineseTranslation(app);
  rig::TfrmHX4417 window(rig::ExecutableDir());
  rig::TForm1 form1;  // created and never shown
  // Centred on the desktop when the operator restores it from maximised.
  if (QScreen* screen = window.screen())
    window.move(screen->availableGeometry().center() - window.rect().center());
  window.showMaximized();
  return app.exec();
}

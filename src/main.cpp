#include <QApplication>

#include "core/Startup.h"
#include "ui/Mainfrm.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  rig::TfrmHX4417 window(rig::ExecutableDir());
  window.showMaximized();
  return app.exec();
}

#include <QApplication>
#include <QScreen>

#include "core/Startup.h"
#include "ui/DesignFont.h"
#include "ui/Form1.h"
#include "ui/Mainfrm.h"
#include "ui/QtTranslation.h"

int main(int argc, char* argv[]) {
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

#include "ui/Mainfrm.h"

#include "core/Startup.h"

namespace rig {

TfrmHX4417::TfrmHX4417(const QString& exeDir, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmHX4417"));
  setWindowTitle(QStringLiteral("高压开关机械寿命磨合试验系统V1p3"));
  resize(1277, 1021);
  FormCreate(exeDir);
}

TfrmHX4417::~TfrmHX4417() { FormDestroy(); }

void TfrmHX4417::FormCreate(const QString& exeDir) { InitSharedState(shared_, exeDir); }

void TfrmHX4417::FormDestroy() { ShutdownSharedState(shared_); }

}  // namespace rig

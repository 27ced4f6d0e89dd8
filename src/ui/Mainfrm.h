#pragma once
// The operator's main window.
#include <QMainWindow>

#include "core/GlobVar.h"

namespace rig {

class TfrmHX4417 : public QMainWindow {
  Q_OBJECT
 public:
  // `exeDir` is the folder holding Config.ini, Log/ and the databases.
  explicit TfrmHX4417(const QString& exeDir, QWidget* parent = nullptr);
  ~TfrmHX4417() override;

  GlobVar& Shared() { return shared_; }

 private:
  void FormCreate(const QString& exeDir);
  void FormDestroy();

  GlobVar shared_;
};

}  // namespace rig

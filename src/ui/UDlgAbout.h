#pragma once
// The about box: title, version and date, all fixed.
#include <QDialog>

namespace rig {

class TFrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmAbout(QWidget* parent = nullptr);

 private:
  void BitBtn1Click();
};

// Creates the box, shows it modally over `owner` and destroys it.
void ShowAbout(QWidget* owner);

}  // namespace rig

#pragma once
#include <QWidget>

namespace rig {

// An empty form the program creates at start and never shows.
class TForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
  }
};

}  // namespace rig

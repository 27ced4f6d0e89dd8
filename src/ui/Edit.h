#pragma once
// A one-line edit with the two things the panels need from it: an exit event
// (the operator moved the focus to another control of the window) and a
// digits-only entry style that refuses every other character the operator
// types, pastes or drops, while texts set by the program stay as they are.
#include <QLineEdit>

namespace rig {

class TEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

  void SetNumbersOnly(bool on) { numbersOnly_ = on; }
  bool NumbersOnly() const { return numbersOnly_; }

  // True when `text` may enter a digits-only edit: ASCII digits only.
  static bool IsDigitText(const QString& text);

 signals:
  void exited();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool numbersOnly_ = false;
};

}  // namespace rig

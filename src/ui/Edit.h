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

  // Texts stored as GBK: a character GBK cannot hold, typed, pasted or
  // dropped, is refused (the edit keeps what it had) and the operator is told
  // which character and why, beside the edit and through refused().
  void SetGbkOnly(bool on);
  const QString& LastRefusal() const { return lastRefusal_; }

  // True when `text` may enter a digits-only edit: ASCII digits only.
  static bool IsDigitText(const QString& text);

 signals:
  void exited();
  void refused(const QString& why);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void CheckEdited(const QString& text);

  bool numbersOnly_ = false;
  bool gbkOnly_ = false;
  QString accepted_;  // the text before the operator's last edit
  QString lastRefusal_;
};

// Why `lacking` (characters GBK cannot hold) cannot be entered.
QString GbkRefusalText(const QString& lacking);

}  // namespace rig

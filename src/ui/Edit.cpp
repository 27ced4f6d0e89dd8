#include "ui/Edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

namespace rig {

bool TEdit::IsDigitText(const QString& text) {
  for (QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return true;
}

void TEdit::keyPressEvent(QKeyEvent* event) {
  if (numbersOnly_) {
    if (event->matches(QKeySequence::Paste)) {
      if (!IsDigitText(QGuiApplication::clipboard()->text())) return event->accept();
    } else {
      // Control keys (backspace, delete, arrows, shortcuts) carry no printable text.
      const QString text = event->text();
      for (QChar c : text)
        if (c.isPrint() && (c < QLatin1Char('0') || c > QLatin1Char('9'))) return event->accept();
    }
  }
  QLineEdit::keyPressEvent(event);
}

void TEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (numbersOnly_ && (!IsDigitText(event->commitString()) || !event->preeditString().isEmpty())) {
    event->accept();
    return;
  }
  QLineEdit::inputMethodEvent(event);
}

void TEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Another window or a popup taking the focus is not leaving the edit.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
  emit exited();
}

void TEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  if (numbersOnly_) {
    if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste")))
      if (!IsDigitText(QGuiApplication::clipboard()->text())) paste->setEnabled(false);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void TEdit::dropEvent(QDropEvent* event) {
  if (numbersOnly_ && (!event->mimeData()->hasText() || !IsDigitText(event->mimeData()->text()))) {
    event->ignore();
    return;
  }
  QLineEdit::dropEvent(event);
}

void TEdit::mouseReleaseEvent(QMouseEvent* event) {
  // X11 pastes the selection on a middle click.
  if (numbersOnly_ && event->button() == Qt::MiddleButton &&
      !IsDigitText(QGuiApplication::clipboard()->text(QClipboard::Selection))) {
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

}  // namespace rig

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
#include <QToolTip>
#include <algorithm>

#include "core/GbkText.h"

namespace rig {

QString GbkRefusalText(const QString& lacking) {
  QStringList quoted;
  for (QChar c : lacking) {
    if (!c.isLowSurrogate()) quoted << QString();
    quoted.last() += c;
  }
  return QStringLiteral("“%1”无法输入：试验数据以 GBK 编码保存，GBK 中没有这个字符，保存后会变成“?”。请换一种写法。")
      .arg(quoted.join(QStringLiteral("”“")));
}

void TEdit::SetGbkOnly(bool on) {
  if (on == gbkOnly_) return;
  gbkOnly_ = on;
  accepted_ = text();
  if (on) {
    connect(this, &QLineEdit::textEdited, this, &TEdit::CheckEdited);
    // Texts set by the program count as accepted (they come from GBK files).
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
      if (CharactersGbkLacks(t).isEmpty()) accepted_ = t;
    });
  } else {
    disconnect(this, nullptr, this, nullptr);
  }
}

void TEdit::CheckEdited(const QString& edited) {
  const QString lacking = CharactersGbkLacks(edited);
  if (lacking.isEmpty()) return;
  const int cursor = std::max(0, cursorPosition() - static_cast<int>(edited.size() - accepted_.size()));
  setText(accepted_);
  setCursorPosition(std::min(cursor, static_cast<int>(accepted_.size())));
  lastRefusal_ = GbkRefusalText(lacking);
  QToolTip::showText(mapToGlobal(QPoint(0, height())), lastRefusal_, this);
  emit refused(lastRefusal_);
}

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

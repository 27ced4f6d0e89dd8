#include "ui/CaptionedBox.h"

#include <QPainter>

namespace rig {

TCaptionedBox::TCaptionedBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

QRect TCaptionedBox::CaptionRect() const {
  if (title().isEmpty()) return {};
  const QFontMetrics fm(font());
  return QRect(kCaptionLeft, 0, fm.horizontalAdvance(title()) + 2 * kCaptionPadding, fm.height());
}

int TCaptionedBox::FrameTop() const { return QFontMetrics(font()).height() / 2; }

void TCaptionedBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, FrameTop(), -2, -2);
  // Etched: a shadow line with a light line one pixel below and right of it.
  p.setPen(palette().color(QPalette::Light));
  p.drawRect(frame.translated(1, 1));
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(frame);
  const QRect caption = CaptionRect();
  if (caption.isEmpty()) return;
  p.fillRect(caption, palette().window());
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  p.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, title());
}

}  // namespace rig

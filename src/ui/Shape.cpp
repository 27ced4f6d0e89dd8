#include "ui/Shape.h"

#include <QPainter>
#include <algorithm>

namespace rig {

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetPen(const QColor& color, int width) {
  penColor_ = color;
  penWidth_ = width;
  update();
}

void TShape::SetBrushColor(const QColor& color) {
  brushColor_ = color;
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(penColor_, penWidth_));
  p.setBrush(brushColor_);
  // The pen lies inside the widget, as a circle inscribed in its square.
  const int side = std::min(width(), height());
  const qreal inset = penWidth_ / 2.0;
  const QRectF r((width() - side) / 2.0 + inset, (height() - side) / 2.0 + inset, side - penWidth_,
                 side - penWidth_);
  p.drawEllipse(r);
}

}  // namespace rig

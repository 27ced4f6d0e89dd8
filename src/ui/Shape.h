#pragma once
// A circle with a coloured pen and fill: the break indicators.
#include <QColor>
#include <QWidget>

namespace rig {

class TShape : public QWidget {
  Q_OBJECT
 public:
  explicit TShape(QWidget* parent = nullptr);

  void SetPen(const QColor& color, int width);
  void SetBrushColor(const QColor& color);
  QColor PenColor() const { return penColor_; }
  int PenWidth() const { return penWidth_; }
  QColor BrushColor() const { return brushColor_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor penColor_ = Qt::black;
  int penWidth_ = 1;
  QColor brushColor_ = Qt::white;
};

}  // namespace rig

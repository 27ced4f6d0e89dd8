#pragma once
// A group box drawn the way the operator's screens were designed: an etched
// frame whose top line runs through the middle of the caption, the caption
// a little in from the left edge on a cleared background. The style's own
// group box draws the line through the text of a caption this close to the
// box's top and puts the caption flush against the edge. Children keep the
// positions they are given.
#include <QGroupBox>

namespace rig {

class TCaptionedBox : public QGroupBox {
  Q_OBJECT
 public:
  explicit TCaptionedBox(const QString& caption, QWidget* parent = nullptr);
  explicit TCaptionedBox(QWidget* parent = nullptr) : TCaptionedBox(QString(), parent) {}

  static constexpr int kCaptionLeft = 8;  // from the box's left edge to the caption's background
  static constexpr int kCaptionPadding = 2;

  // Where the caption's background is drawn (empty without a caption) and
  // the top line of the frame, in the box's coordinates.
  QRect CaptionRect() const;
  int FrameTop() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace rig

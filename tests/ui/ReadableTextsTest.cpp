#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "testing/TestModes.h"
#include "ui/QtTranslation.h"
#include "ui/StationPanel.h"
#include "ui/StationPanelLayout.h"

using namespace rig;

namespace {

QLabel* Label(QWidget* w, int number) { return w->findChild<QLabel*>(QStringLiteral("Label%1").arg(number)); }

// Text pixels: dark, unlike the frame's greys and the window's background.
bool IsInk(QRgb p) { return qGray(p) < 110; }

}  // namespace

TEST(StationCountLine, CountsUpToThirtyTwoThousandStayClearOfTheSlashAndThePrompt) {
  for (int station : {1, 2}) {
    TStationPanel panel(StationDesign(station));
    const int n = station == 1 ? 0 : 40;  // Label37..40 / Label77..80
    QLabel *prompt = Label(&panel, 36 + n), *done = Label(&panel, 37 + n), *slash = Label(&panel, 38 + n),
           *set = Label(&panel, 39 + n), *times = Label(&panel, 40 + n);
    ASSERT_TRUE(prompt && done && slash && set && times);
    for (int mode : {17, 18, 19, 20}) {
      panel.SetPromptText(ModePrompt(mode));
      for (const char* count : {"0", "999", "1000", "1234", "12345", "32000"}) {
        panel.SetCountDoneText(QString::fromLatin1(count));
        panel.SetSetCountText(QString::fromLatin1(count));
        const std::string what = std::to_string(station) + "/" + std::to_string(mode) + "/" + count;
        EXPECT_LT(done->geometry().right(), slash->x()) << what;
        EXPECT_GT(done->x(), prompt->x() + prompt->fontMetrics().horizontalAdvance(prompt->text())) << what;
        EXPECT_LT(set->geometry().right(), times->x()) << what;
        // The line keeps its design places.
        EXPECT_EQ(slash->x(), kCountSlashLeft);
        EXPECT_EQ(set->x(), kSetCountLeft);
        EXPECT_EQ(times->x(), kCountTimesLeft);
        if (QByteArray(count).size() <= 3) {
          EXPECT_EQ(done->x(), kDoneCountLeft) << what;
        }
      }
    }
  }
}

TEST(StationCaptions, StandClearOfTheEdgeAndOfTheFrameLines) {
  // Drawn as the operator sees it: the station box with the parameter box
  // inside, whose caption sits where the station box's frame runs.
  TStationPanel panel(StationDesign(1));
  panel.resize(640, 900);
  QWidget* parameters = panel.findChild<QWidget*>(QStringLiteral("GroupBox2"));
  ASSERT_NE(parameters, nullptr);
  const QImage img = panel.grab().toImage();
  const QRgb background = img.pixel(img.width() / 2, img.height() - 30);
  const int rows = panel.fontMetrics().height();
  for (QWidget* box : {static_cast<QWidget*>(&panel), parameters}) {
    const std::string name = box->objectName().toStdString();
    const QPoint origin = box->mapTo(&panel, QPoint(0, 0));
    // The caption's ink, left of where the identity row begins.
    int inkLeft = img.width(), inkRight = -1, inkTop = img.height(), inkBottom = -1;
    for (int y = origin.y(); y < origin.y() + rows; ++y) {
      for (int x = 0; x < 60; ++x) {
        if (!IsInk(img.pixel(x, y))) continue;
        inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
        inkTop = std::min(inkTop, y), inkBottom = std::max(inkBottom, y);
      }
    }
    ASSERT_GE(inkRight, 0) << name;
    EXPECT_GE(inkLeft - origin.x(), 4) << name;  // not flush against the box's edge
    // A frame line runs along a row from the caption to the far right; it
    // must not show between the caption's strokes.
    for (int y = inkTop; y <= inkBottom; ++y) {
      const QRgb line = img.pixel(img.width() - 30, y);
      if (line == background || IsInk(line)) continue;
      int run = 0, longest = 0;  // a stray glyph pixel may share the line's grey
      for (int x = inkLeft; x <= inkRight; ++x) {
        run = img.pixel(x, y) == line ? run + 1 : 0;
        longest = std::max(longest, run);
      }
      EXPECT_LE(longest, 2) << name << " row " << y;
    }
  }
}

TEST(QtTranslation, StandardButtonsReadChinese) {
  QTranslator* translator = InstallQtChineseTranslation(*qApp);
  ASSERT_NE(translator, nullptr) << "qtbase_zh_CN.qm (qt6-translations-l10n) is missing";
  {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
  }
  QCoreApplication::removeTranslator(translator);
  delete translator;
}

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
        if (QByteArray(count).size() <= 3) EXPECT_EQ(done->x(), kDoneCountLeft) << what;
      }
    }
  }
}

TEST(StationCaptions, StandClearOfTheEdgeAndOfTheFrameLine) {
  TStationPanel panel(StationDesign(1));
  panel.resize(640, 900);
  QWidget* parameters = panel.findChild<QWidget*>(QStringLiteral("GroupBox2"));
  ASSERT_NE(parameters, nullptr);
  for (QWidget* box : {static_cast<QWidget*>(&panel), parameters}) {
    const QImage img = box->grab().toImage();
    const int captionRows = box->fontMetrics().height();
    // The caption's ink: where it starts and ends.
    int inkLeft = img.width(), inkRight = -1;
    for (int y = 0; y < captionRows; ++y) {
      for (int x = 0; x < img.width() / 2; ++x) {
        if (IsInk(img.pixel(x, y))) inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
      }
    }
    ASSERT_GE(inkRight, 0) << box->objectName().toStdString();
    EXPECT_GE(inkLeft, 4) << box->objectName().toStdString();  // not flush against the edge
    // The frame's top line, found far right of the caption, must not run
    // through the caption.
    const int probeX = img.width() - 20;
    const QRgb background = img.pixel(probeX, 0);
    int lineY = -1;
    for (int y = 0; y < captionRows && lineY < 0; ++y) {
      if (img.pixel(probeX, y) != background) lineY = y;
    }
    ASSERT_GE(lineY, 0) << box->objectName().toStdString();
    const QRgb line = img.pixel(probeX, lineY);
    // A stray glyph pixel may share the line's grey; the line itself is a run.
    int run = 0, longest = 0;
    for (int x = inkLeft; x <= inkRight; ++x) {
      run = img.pixel(x, lineY) == line ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 2) << box->objectName().toStdString();
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

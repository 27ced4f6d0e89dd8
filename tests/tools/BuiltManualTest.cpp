#include <gtest/gtest.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "ManualSource.h"
#include "PopplerText.h"

// The manual the build put beside the program: every chapter and section
// of the source in its text, its pictures in it, its font embedded.
namespace {

#ifdef RIG_MANUAL_PDF
const QString kPdf = QStringLiteral(RIG_MANUAL_PDF);

TEST(BuiltManual, HoldsEverySectionOfTheChapters) {
  ASSERT_TRUE(QFileInfo(kPdf).isFile()) << kPdf.toStdString();
  const QString text = rigtest::Squeezed(rigtest::PdfText(kPdf));
  ASSERT_FALSE(text.isEmpty());
  int checked = 0;
  for (const auto& h : rig::manual::MarkdownHeadings(rigtest::ManualText())) {
    EXPECT_TRUE(text.contains(rigtest::Squeezed(h.text))) << h.text.toStdString();
    ++checked;
  }
  EXPECT_GE(checked, 40);
}

TEST(BuiltManual, ShowsEveryPictureWithItsFontEmbedded) {
  const QStringList lines = rigtest::RunPoppler("pdfimages", {"-list", kPdf}).split('\n', Qt::SkipEmptyParts);
  // Two header lines, then a line per picture and page it is drawn on (a
  // picture pushed to the next page is clipped away on the one before); the
  // object number tells the pictures apart.
  QSet<QString> pictures;
  for (const QString& line : lines.mid(2)) pictures.insert(line.simplified().section(' ', 10, 10));
  EXPECT_EQ(pictures.size(), rigtest::PicturesShown(rigtest::ManualText()).size()) << lines.join('\n').toStdString();
  const QString fonts = rigtest::RunPoppler("pdffonts", {kPdf});
  EXPECT_TRUE(fonts.contains(QRegularExpression(QStringLiteral("WenQuanYi\\S*\\s+CID TrueType\\s+Identity-H\\s+yes"))))
      << fonts.toStdString();
}
#else
TEST(BuiltManual, HoldsEverySectionOfTheChapters) { GTEST_SKIP() << "this build makes no manual (RIG_MANUAL)"; }
#endif

}  // namespace

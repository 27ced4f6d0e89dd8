#include <gtest/gtest.h>

#include <QImage>
#include <QRegularExpression>
#include <QTextBlock>

#include "ManualDocument.h"
#include "ManualPdf.h"
#include "MarkdownHeadings.h"
#include "PopplerText.h"
#include "support/TempDir.h"

namespace {

using namespace rig::manual;

TEST(MarkdownHeadings, FindsAtxHeadingsOutsideCodeFences) {
  const QString text = QStringLiteral(
      "# 概述\n"
      "text\n"
      "## 主窗口 ##\n"
      "#not a heading\n"
      "```\n"
      "# inside a fence\n"
      "```\n"
      "   ### 三级\r\n"
      "    # indented code\n");
  const QList<Heading> expected{{1, "概述"}, {2, "主窗口"}, {3, "三级"}};
  EXPECT_EQ(MarkdownHeadings(text), expected);
}

// Three chapters of different lengths, each a heading, paragraphs and a
// section at its end.
ManualInput ThreeChapters() {
  ManualInput in;
  in.title = QStringLiteral("试验台操作手册");
  in.subtitle = QStringLiteral("版本1p3");
  const QString names[] = {QStringLiteral("概述"), QStringLiteral("连接"), QStringLiteral("保存")};
  for (int c = 1; c <= 3; ++c) {
    QString text = QStringLiteral("# %1\n\n").arg(names[c - 1]);
    for (int p = 0; p < c * 25; ++p) text += QStringLiteral("第%1章的第%2段，说明试验台的操作。\n\n").arg(c).arg(p);
    text += QStringLiteral("## 小节%1\n\n结束。\n").arg(c);
    in.chapters << text;
  }
  return in;
}

// The contents list every heading with the page it is printed on, each
// chapter beginning a page of its own.
TEST(ManualPdf, ContentsGiveThePageEachHeadingIsPrintedOn) {
  rigtest::TempDir dir;
  const QString pdf = dir.File("m.pdf");
  const PdfOutcome out = WriteManualPdf(ThreeChapters(), pdf);
  ASSERT_TRUE(out.ok) << out.error.toStdString();
  ASSERT_EQ(out.contents.size(), 6);
  EXPECT_TRUE(rigtest::RunPoppler("pdfinfo", {pdf}).contains(
      QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(out.pages))));
  int lastChapterPage = 2;  // title page, contents
  for (const ContentsEntry& e : out.contents) {
    EXPECT_TRUE(rigtest::Squeezed(rigtest::PdfText(pdf, e.page)).contains(e.text)) << e.text.toStdString();
    if (e.level == 1) {
      EXPECT_GT(e.page, lastChapterPage) << e.text.toStdString();
      if (e.page - 1 > 2) {  // page 2 is the contents
        EXPECT_FALSE(rigtest::PdfText(pdf, e.page - 1).contains(e.text)) << e.text.toStdString();
      }
      lastChapterPage = e.page;
    }
  }
  EXPECT_GE(out.contents.last().page, 5);  // the chapters are long enough to run over pages
  // The title page, then the contents: each heading with its page number.
  const QString title = rigtest::Squeezed(rigtest::PdfText(pdf, 1));
  EXPECT_TRUE(title.contains(QStringLiteral("试验台操作手册")) && title.contains(QStringLiteral("版本1p3")));
  const QStringList contents = rigtest::PdfText(pdf, 2, true).split(QLatin1Char('\n'));
  for (const ContentsEntry& e : out.contents) {
    const QRegularExpression line(QRegularExpression::escape(e.text) + QStringLiteral("\\s+%1\\s*$").arg(e.page));
    EXPECT_FALSE(contents.filter(line).isEmpty()) << e.text.toStdString() << " " << e.page;
  }
}

TEST(ManualPdf, EmbedsTheChineseFont) {
  rigtest::TempDir dir;
  ASSERT_TRUE(WriteManualPdf(ThreeChapters(), dir.File("m.pdf")).ok);
  const QStringList fonts = rigtest::RunPoppler("pdffonts", {dir.File("m.pdf")}).split(QLatin1Char('\n'));
  const QStringList wqy = fonts.filter(QStringLiteral("WenQuanYi"));
  ASSERT_FALSE(wqy.isEmpty()) << fonts.join("\n").toStdString();
  // name, type..., encoding, then "emb": yes
  EXPECT_TRUE(wqy.first().contains(QRegularExpression(QStringLiteral("Identity-H\\s+yes")))) << wqy.first().toStdString();
}

TEST(ManualPdf, AMissingPictureFailsAndLeavesTheOldManual) {
  rigtest::TempDir dir;
  dir.Write("m.pdf", "the manual before");
  ManualInput in = ThreeChapters();
  in.chapters[1] += QStringLiteral("\n![窗口](nowhere.png)\n");
  in.imageDirs << dir.Path();
  const PdfOutcome out = WriteManualPdf(in, dir.File("m.pdf"));
  EXPECT_FALSE(out.ok);
  EXPECT_TRUE(out.error.contains(QStringLiteral("nowhere.png"))) << out.error.toStdString();
  EXPECT_EQ(dir.Read("m.pdf"), QByteArray("the manual before"));
}

QSizeF ImageSize(QTextDocument& doc) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat()) {
        const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
        return {f.width(), f.height()};
      }
  return {};
}

// Pictures keep their pixels when they fit and shrink to the text width, or
// to three quarters of the page's height, when they do not.
TEST(ManualDocument, PicturesFitTheText) {
  rigtest::TempDir second;
  const struct {
    QSize picture;
    QSizeF shown;
  } rows[] = {{{100, 50}, {100, 50}}, {{3000, 200}, {600, 40}}, {{300, 1800}, {112.5, 675}}};
  for (const auto& r : rows) {
    rigtest::TempDir first;
    QImage picture(r.picture, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(second.File("shot.png")));
    ManualInput in;
    in.chapters << QStringLiteral("# 图\n\n![窗口](shot.png)\n");
    in.imageDirs << first.Path() << second.Path();  // looked up in order
    TManualDocument doc;
    QString error;
    ASSERT_TRUE(doc.Compose(in, QSizeF(600, 900), &error)) << error.toStdString();
    EXPECT_EQ(ImageSize(doc.Document()), r.shown) << r.picture.width() << "x" << r.picture.height();
  }
}

}  // namespace

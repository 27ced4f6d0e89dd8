#include "ManualDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <functional>

namespace rig::manual {
namespace {

// Stands where the title page goes until it is written.
const QString kTitleMark = QStringLiteral("@@manual-title@@");
const QColor kHeadingColour(0x1f, 0x3a, 0x60);

void SetBlockFormat(const QTextBlock& block, const QTextBlockFormat& format) {
  QTextCursor c(block);
  c.setBlockFormat(format);
}

void MergeBlockText(QTextDocument& doc, const QTextBlock& block, const QTextCharFormat& format) {
  QTextCursor c(&doc);
  c.setPosition(block.position());
  c.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
  c.mergeCharFormat(format);
}

bool HoldsImage(const QTextBlock& block) {
  for (auto it = block.begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().isImageFormat()) return true;
  return false;
}

void StyleTable(QTextTable* table) {
  QTextTableFormat f = table->format();
  f.setBorder(0.8);
  f.setBorderBrush(QColor(0x80, 0x80, 0x80));
  f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
  f.setBorderCollapse(false);
  f.setCellSpacing(0);
  f.setCellPadding(4);
  f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
  f.setHeaderRowCount(1);  // repeated at the top of a page a table runs onto
  table->setFormat(f);
  for (int col = 0; col < table->columns(); ++col) {
    QTextTableCell cell = table->cellAt(0, col);
    QTextCharFormat cf = cell.format();
    cf.setBackground(QColor(0xe4, 0xea, 0xf2));
    cf.setFontWeight(QFont::Bold);
    cell.setFormat(cf);
  }
}

void ForEachTable(QTextFrame* frame, const std::function<void(QTextTable*)>& f) {
  for (QTextFrame* child : frame->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(child)) f(table);
    ForEachTable(child, f);
  }
}

}  // namespace

bool TManualDocument::Compose(const ManualInput& input, QSizeF body, QString* error) {
  body_ = body;
  contents_.clear();
  contentsBlocks_.clear();
  headingBlocks_.clear();
  doc_ = std::make_unique<QTextDocument>();
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSizeF(10.5);
  doc_->setDefaultFont(font);
  doc_->setDocumentMargin(0);
  doc_->setMarkdown(kTitleMark + QStringLiteral("\n\n") + input.chapters.join(QStringLiteral("\n\n")),
                    QTextDocument::MarkdownDialectGitHub);
  if (!PlaceImages(input.imageDirs, error)) return false;
  StyleBlocksAndTables();
  InsertTitleAndContents(input);
  doc_->setPageSize(body_);
  FillContentsPages();
  return true;
}

bool TManualDocument::PlaceImages(const QStringList& imageDirs, QString* error) {
  struct Placed {
    int position, length;
    QTextImageFormat format;
  };
  QList<Placed> placed;
  for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (!f.charFormat().isImageFormat()) continue;
      QTextImageFormat image = f.charFormat().toImageFormat();
      const QString name = image.name();
      QString path;
      for (const QString& dir : imageDirs) {
        const QString candidate = QDir(dir).filePath(name);
        if (QFileInfo(candidate).isFile()) {
          path = candidate;
          break;
        }
      }
      QImage picture;
      if (path.isEmpty() || !picture.load(path)) {
        if (error) {
          *error = path.isEmpty() ? QStringLiteral("picture not found: %1 (looked in %2)").arg(name, imageDirs.join(", "))
                                  : QStringLiteral("picture cannot be read: %1").arg(path);
        }
        return false;
      }
      doc_->addResource(QTextDocument::ImageResource, QUrl(name), picture);
      // Never wider than the text, nor taller than most of a page.
      const qreal scale = std::min({1.0, body_.width() / picture.width(), 0.75 * body_.height() / picture.height()});
      image.setWidth(picture.width() * scale);
      image.setHeight(picture.height() * scale);
      placed.append({f.position(), f.length(), image});
    }
  }
  for (const Placed& p : placed) {
    QTextCursor c(doc_.get());
    c.setPosition(p.position);
    c.setPosition(p.position + p.length, QTextCursor::KeepAnchor);
    c.setCharFormat(p.format);
  }
  return true;
}

void TManualDocument::StyleBlocksAndTables() {
  for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
    QTextBlockFormat f = b.blockFormat();
    const int level = f.headingLevel();
    if (level == 1) {
      f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      f.setTopMargin(0);
      f.setBottomMargin(14);
    } else if (level == 2) {
      f.setTopMargin(18);
      f.setBottomMargin(6);
      f.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
    } else if (level >= 3) {
      f.setTopMargin(10);
      f.setBottomMargin(4);
    } else if (HoldsImage(b)) {
      f.setAlignment(Qt::AlignHCenter);
      f.setTopMargin(6);
      f.setBottomMargin(2);
    } else if (f.hasProperty(QTextFormat::BlockCodeFence) || f.nonBreakableLines()) {
      f.setBackground(QColor(0xf2, 0xf2, 0xf2));
      f.setLeftMargin(8);
    } else if (QTextCursor(b).currentTable()) {
      f.setTopMargin(0);
      f.setBottomMargin(0);
    } else {
      f.setLineHeight(135, QTextBlockFormat::ProportionalHeight);
      if (!b.textList()) f.setBottomMargin(6);
    }
    SetBlockFormat(b, f);
    if (level == 1 || level == 2) {
      QTextCharFormat colour;
      colour.setForeground(kHeadingColour);
      MergeBlockText(*doc_, b, colour);
    }
  }
  ForEachTable(doc_->rootFrame(), StyleTable);
}

void TManualDocument::InsertTitleAndContents(const ManualInput& input) {
  for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
    const int level = b.blockFormat().headingLevel();
    if (level == 1 || level == 2) contents_.append({level, b.text().trimmed(), 0});
  }

  QTextCursor c(doc_->begin());
  c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  c.removeSelectedText();
  QTextBlockFormat titleBlock;
  titleBlock.setAlignment(Qt::AlignHCenter);
  titleBlock.setTopMargin(body_.height() * 0.3);
  c.setBlockFormat(titleBlock);
  QTextCharFormat titleText;
  titleText.setFontPointSize(26);
  titleText.setFontWeight(QFont::Bold);
  titleText.setForeground(kHeadingColour);
  c.setBlockCharFormat(titleText);
  c.insertText(input.title, titleText);

  QTextBlockFormat subtitleBlock;
  subtitleBlock.setAlignment(Qt::AlignHCenter);
  subtitleBlock.setTopMargin(24);
  QTextCharFormat subtitleText;
  subtitleText.setFontPointSize(14);
  c.insertBlock(subtitleBlock, subtitleText);
  c.insertText(input.subtitle, subtitleText);

  QTextBlockFormat contentsHead;
  contentsHead.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
  contentsHead.setBottomMargin(14);
  QTextCharFormat contentsHeadText;
  contentsHeadText.setFontPointSize(18);
  contentsHeadText.setFontWeight(QFont::Bold);
  contentsHeadText.setForeground(kHeadingColour);
  c.insertBlock(contentsHead, contentsHeadText);
  c.insertText(QStringLiteral("目　录"), contentsHeadText);

  for (const ContentsEntry& e : contents_) {
    QTextBlockFormat line;
    const qreal indent = e.level == 1 ? 0 : 24;
    // Tab stops count from the indented start of the line.
    line.setTabPositions({QTextOption::Tab(body_.width() - indent - 1, QTextOption::RightTab)});
    line.setLeftMargin(indent);
    line.setTopMargin(e.level == 1 ? 8 : 2);
    QTextCharFormat text;
    text.setFontPointSize(e.level == 1 ? 11 : 10.5);
    text.setFontWeight(e.level == 1 ? QFont::Bold : QFont::Normal);
    c.insertBlock(line, text);
    c.insertText(e.text + QStringLiteral("\t0"), text);
    contentsBlocks_.append(c.block().blockNumber());
  }

  // The headings listed, found again now that the contents stand before them.
  for (QTextBlock b = doc_->findBlockByNumber(contentsBlocks_.isEmpty() ? 0 : contentsBlocks_.last() + 1); b.isValid();
       b = b.next()) {
    const int level = b.blockFormat().headingLevel();
    if (level == 1 || level == 2) headingBlocks_.append(b.blockNumber());
  }
}

void TManualDocument::FillContentsPages() {
  QAbstractTextDocumentLayout* layout = doc_->documentLayout();
  for (int i = 0; i < contents_.size() && i < headingBlocks_.size(); ++i) {
    const QRectF at = layout->blockBoundingRect(doc_->findBlockByNumber(headingBlocks_[i]));
    contents_[i].page = int(at.top() / body_.height()) + 1;
  }
  // Page numbers of a digit or three keep each line on one line, so filling
  // them in moves nothing.
  for (int i = 0; i < contents_.size(); ++i) {
    const QTextBlock line = doc_->findBlockByNumber(contentsBlocks_[i]);
    QTextCursor c(doc_.get());
    c.setPosition(line.position() + line.text().lastIndexOf(QLatin1Char('\t')) + 1);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(QString::number(contents_[i].page));
  }
}

int TManualDocument::PageCount() const { return doc_ ? doc_->pageCount() : 0; }

QString TManualDocument::ChapterOfPage(int page) const {
  QString chapter;
  for (const ContentsEntry& e : contents_)
    if (e.level == 1 && e.page <= page) chapter = e.text;
  return chapter;
}

}  // namespace rig::manual

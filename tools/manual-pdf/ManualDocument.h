#pragma once
// The operator's manual as one paginated text document: a title page, the
// contents with page numbers, then the chapters, each on a new page.
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <memory>

namespace rig::manual {

struct ManualInput {
  QString title;
  QString subtitle;
  QStringList chapters;   // Markdown texts, in order
  QStringList imageDirs;  // where the chapters' pictures are looked up, first match wins
};

struct ContentsEntry {
  int level = 0;
  QString text;
  int page = 0;  // 1 for the title page
};

class TManualDocument {
 public:
  // Lays the manual out on pages whose text area is `body` (in pixels of
  // 1/96 inch). False, with the reason, when a picture cannot be found or
  // read.
  bool Compose(const ManualInput& input, QSizeF body, QString* error);

  QTextDocument& Document() { return *doc_; }
  int PageCount() const;
  const QList<ContentsEntry>& Contents() const { return contents_; }
  // The chapter a page belongs to, for its running head; empty before the
  // first chapter.
  QString ChapterOfPage(int page) const;

 private:
  bool PlaceImages(const QStringList& imageDirs, QString* error);
  void StyleBlocksAndTables();
  void InsertTitleAndContents(const ManualInput& input);
  void FillContentsPages();

  std::unique_ptr<QTextDocument> doc_;
  QSizeF body_;
  QList<ContentsEntry> contents_;
  QList<int> contentsBlocks_;  // block numbers of the contents lines
  QList<int> headingBlocks_;   // block numbers of the headings listed
};

}  // namespace rig::manual

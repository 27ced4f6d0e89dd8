#pragma once
// The headings of a manual's Markdown text, as the manual's table of contents
// and the check that the manual covers the program both read them.
#include <QList>
#include <QString>

namespace rig::manual {

struct Heading {
  int level = 0;  // 1 for "# ", 2 for "## ", ...
  QString text;   // trimmed, without the marks
  friend bool operator==(const Heading&, const Heading&) = default;
};

// ATX headings ("# Title") outside fenced code blocks, in order.
QList<Heading> MarkdownHeadings(const QString& markdown);

// The Markdown chapter files of a folder ("*.md"), sorted by name: the order
// of the manual.
QStringList ChapterFiles(const QString& folder);

}  // namespace rig::manual

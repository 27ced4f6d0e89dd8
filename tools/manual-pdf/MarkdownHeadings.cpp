#include "MarkdownHeadings.h"

#include <QDir>
#include <QRegularExpression>

namespace rig::manual {

QList<Heading> MarkdownHeadings(const QString& markdown) {
  static const QRegularExpression atx(QStringLiteral("^ {0,3}(#{1,6})[ \\t]+(.*?)[ \\t#]*$"));
  QList<Heading> out;
  bool inFence = false;
  for (const QString& line : markdown.split(QLatin1Char('\n'))) {
    const QString bare = line.trimmed();
    if (bare.startsWith(QLatin1String("```")) || bare.startsWith(QLatin1String("~~~"))) {
      inFence = !inFence;
      continue;
    }
    if (inFence) continue;
    const auto m = atx.match(line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line);
    if (m.hasMatch()) out.append({int(m.capturedLength(1)), m.captured(2).trimmed()});
  }
  return out;
}

QStringList ChapterFiles(const QString& folder) {
  const QDir dir(folder);
  QStringList files;
  for (const QString& name : dir.entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name))
    files << dir.filePath(name);
  return files;
}

}  // namespace rig::manual

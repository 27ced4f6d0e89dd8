#pragma once
// The manual's chapters, the README and the tables that tie them together,
// read from the source tree.
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "MarkdownHeadings.h"

namespace rigtest {

inline QString SourceFile(const QString& relative) {
  QFile f(QStringLiteral(RIG_SOURCE_DIR "/") + relative);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

inline QString ManualDir() { return QStringLiteral(RIG_SOURCE_DIR "/docs/manual"); }

// Every chapter's text, joined in the manual's order.
inline QString ManualText() {
  QString all;
  for (const QString& name : rig::manual::ChapterFiles(ManualDir())) {
    QFile f(name);
    if (f.open(QIODevice::ReadOnly)) all += QString::fromUtf8(f.readAll()) + QLatin1Char('\n');
  }
  return all;
}

// The lines of a small table file that are neither blank nor comments.
inline QStringList TableLines(const QString& text) {
  QStringList out;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const QString bare = line.trimmed();
    if (!bare.isEmpty() && !bare.startsWith(QLatin1Char('#'))) out << bare;
  }
  return out;
}

// The pictures the chapters show ("![…](name)").
inline QStringList PicturesShown(const QString& markdown) {
  static const QRegularExpression picture(QStringLiteral("!\\[[^\\]]*\\]\\(([^)\\s]+)\\)"));
  QStringList out;
  for (auto it = picture.globalMatch(markdown); it.hasNext();) out << it.next().captured(1);
  return out;
}

}  // namespace rigtest

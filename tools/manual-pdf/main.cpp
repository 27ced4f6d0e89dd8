// manual-pdf --out MANUAL.pdf --title TEXT --subtitle TEXT [--images DIR]... CHAPTER_DIR
//
// Builds the operator's manual from the Markdown chapters of CHAPTER_DIR
// (*.md, in name order) into one A4 PDF: a title page, the contents with page
// numbers, then the chapters. Pictures named in the chapters are looked up in
// the --images folders, in order. Exit code 0 done, 1 failed, 2 wrong usage.
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdlib>

#include "ManualPdf.h"
#include "MarkdownHeadings.h"

int main(int argc, char* argv[]) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  rig::manual::ManualInput input;
  QString out, chapterDir;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == QLatin1String("--out") && hasValue) out = args[++i];
    else if (a == QLatin1String("--title") && hasValue) input.title = args[++i];
    else if (a == QLatin1String("--subtitle") && hasValue) input.subtitle = args[++i];
    else if (a == QLatin1String("--images") && hasValue) input.imageDirs << args[++i];
    else chapterDir = a;
  }
  QTextStream err(stderr);
  if (out.isEmpty() || chapterDir.isEmpty()) {
    err << "usage: manual-pdf --out MANUAL.pdf --title TEXT --subtitle TEXT [--images DIR]... CHAPTER_DIR\n";
    return 2;
  }
  const QStringList files = rig::manual::ChapterFiles(chapterDir);
  if (files.isEmpty()) {
    err << "no chapters (*.md) in " << chapterDir << "\n";
    return 1;
  }
  for (const QString& name : files) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) {
      err << "cannot read " << name << "\n";
      return 1;
    }
    input.chapters << QString::fromUtf8(f.readAll());
  }
  const rig::manual::PdfOutcome done = rig::manual::WriteManualPdf(input, out);
  if (!done.ok) {
    err << done.error << "\n";
    return 1;
  }
  QTextStream(stdout) << out << ": " << done.pages << " pages\n";
  return 0;
}

#pragma once
// What poppler's tools (Debian's poppler-utils) read in a PDF: its text, one
// page's text, its fonts, its pictures.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace rigtest {

inline QString RunPoppler(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return QString();
  return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString PdfText(const QString& pdf, int page = 0, bool layout = false) {
  QStringList args;
  if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
  if (layout) args << "-layout";
  return RunPoppler("pdftotext", args << pdf << "-");
}

// Text with every space and line break removed, for finding words that a
// line break may have split.
inline QString Squeezed(QString text) {
  text.remove(QLatin1Char(' ')).remove(QLatin1Char('\n')).remove(QChar(0x3000)).remove(QLatin1Char('\f'));
  return text;
}

}  // namespace rigtest

#include "ui/HelpDocument.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace rig {

void OpenWithDesktop(const QString& absolutePath, const QString& workingDir) {
  // The desktop starts the document's application from the current
  // directory; the program's folder is made current just for that start and
  // given back at once (the path is already absolute).
  const QString previous = QDir::currentPath();
  const bool moved = !workingDir.isEmpty() && QDir::setCurrent(workingDir);
  QDesktopServices::openUrl(QUrl::fromLocalFile(absolutePath));
  if (moved) QDir::setCurrent(previous);
}

bool OpenHelpDocument(const QString& helpFileName, const QString& exeDir, const DocumentOpener& opener) {
  if (helpFileName.isEmpty()) return false;
  const QFileInfo file(helpFileName);
  if (!file.exists() || !file.isFile()) return false;
  opener(file.absoluteFilePath(), exeDir);
  return true;
}

QString HelpMissingText(const QString& helpFileName) {
  const QString where = helpFileName.isEmpty() ? QStringLiteral("（未指定文件名）")
                                               : QDir::toNativeSeparators(QFileInfo(helpFileName).absoluteFilePath());
  return QStringLiteral("找不到帮助文档：%1\n请把帮助文档放在该处，或在 Config.ini 的 HelpFileName 中指定它。").arg(where);
}

}  // namespace rig

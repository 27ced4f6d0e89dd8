#include "ui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace rig {

QTranslator* InstallQtChineseTranslation(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

}  // namespace rig

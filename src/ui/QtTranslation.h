#pragma once
// Qt's own texts in Chinese: the standard buttons of message boxes and
// dialogs read "确定" and "取消", as on the operator's Chinese desktop.
#include <QTranslator>

class QCoreApplication;

namespace rig {

// Loads Qt's Chinese translation (qtbase_zh_CN.qm, from Qt's translations
// folder) into `app`. Returns the translator, owned by `app`, or nullptr
// when the file is missing (the buttons then keep Qt's English).
QTranslator* InstallQtChineseTranslation(QCoreApplication& app);

}  // namespace rig

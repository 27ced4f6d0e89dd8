#include "ui/MessageBoxNotifier.h"

#include <QApplication>
#include <QMessageBox>

namespace rig {
namespace {

// Over a modal dialog the box belongs to that dialog, so it shows on top of it.
QWidget* BoxOwner(QWidget* owner) {
  QWidget* modal = QApplication::activeModalWidget();
  return modal ? modal : owner;
}

}  // namespace

void TMessageBoxNotifier::Notice(const QString& text, NoticeIcon icon) {
  QMessageBox box(icon == NoticeIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                  QStringLiteral("提示"), text, QMessageBox::Ok, BoxOwner(owner_));
  box.exec();
}

void TMessageBoxNotifier::Error(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text, QMessageBox::Ok, BoxOwner(owner_));
  box.exec();
}

bool TMessageBoxNotifier::Confirm(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"), text, QMessageBox::Ok | QMessageBox::Cancel,
                  BoxOwner(owner_));
  return box.exec() == QMessageBox::Ok;
}

}  // namespace rig

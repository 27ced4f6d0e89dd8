#include "ui/MessageBoxNotifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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

UnsavedChoice TMessageBoxNotifier::AskUnsaved(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"), text, QMessageBox::NoButton, BoxOwner(owner_));
  QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(QStringLiteral("放弃"), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return UnsavedChoice::Save;
  if (box.clickedButton() == discard) return UnsavedChoice::Discard;
  return UnsavedChoice::Cancel;
}

}  // namespace rig

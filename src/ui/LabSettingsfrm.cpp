#include "ui/LabSettingsfrm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <thread>

#include "core/IniFile.h"
#include "core/Notifier.h"
#include "lab/LabConnection.h"
#include "ui/DesignFont.h"

namespace rig {

TfrmLabSettings::TfrmLabSettings(const QString& exeDir, INotifier& notifier, QWidget* parent)
    : QDialog(parent), exeDir_(exeDir), notifier_(notifier) {
  setObjectName(QStringLiteral("frmLabSettings"));
  setWindowTitle(QStringLiteral("实验室数据库设置"));
  setFont(DesignFont());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  const lab::LabSettings s = lab::LoadLabSettings(exeDir_);
  auto edit = [this](const char* name, const QString& text) {
    auto* e = new QLineEdit(text, this);
    e->setObjectName(QLatin1String(name));
    return e;
  };
  host_ = edit("EdtHost", s.Host);
  host_->setPlaceholderText(QStringLiteral("空：不使用实验室数据库"));
  port_ = new QSpinBox(this);
  port_->setObjectName(QStringLiteral("EdtPort"));
  port_->setRange(1, 65535);
  port_->setValue(s.Port);
  database_ = edit("EdtDatabase", s.Database);
  user_ = edit("EdtUser", s.User);
  password_ = edit("EdtPassword", QString());
  password_->setEchoMode(QLineEdit::Password);
  password_->setPlaceholderText(QStringLiteral("空：不改变密码文件"));
  passFile_ = edit("EdtPassFile", s.PassFile);
  passFile_->setPlaceholderText(QStringLiteral("空：~/.pgpass"));
  rigName_ = edit("EdtRigName", s.RigName);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("服务器："), host_);
  form->addRow(QStringLiteral("端口："), port_);
  form->addRow(QStringLiteral("数据库："), database_);
  form->addRow(QStringLiteral("用户："), user_);
  form->addRow(QStringLiteral("密码："), password_);
  form->addRow(QStringLiteral("密码文件："), passFile_);
  form->addRow(QStringLiteral("试验台名称："), rigName_);

  answer_ = new QLabel(this);
  answer_->setObjectName(QStringLiteral("LblAnswer"));
  answer_->setWordWrap(true);
  auto* test = new QPushButton(QStringLiteral("测试连接"), this);
  test->setObjectName(QStringLiteral("BtnTest"));
  auto* save = new QPushButton(QStringLiteral("保存"), this);
  save->setObjectName(QStringLiteral("BtnSave"));
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("BtnClose"));
  for (QPushButton* b : {test, save, close}) b->setAutoDefault(false);
  connect(test, &QPushButton::clicked, this, &TfrmLabSettings::TestClick);
  connect(save, &QPushButton::clicked, this, &TfrmLabSettings::SaveClick);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &TfrmLabSettings::TestAnswered, answer_, &QLabel::setText);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(test);
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(answer_);
  layout->addLayout(buttons);
  resize(420, sizeHint().height());
}

lab::LabSettings TfrmLabSettings::Entered() const {
  lab::LabSettings s;
  s.Host = host_->text().trimmed();
  s.Port = port_->value();
  s.Database = database_->text().trimmed();
  s.User = user_->text().trimmed();
  s.PassFile = passFile_->text().trimmed();
  s.RigName = rigName_->text().trimmed();
  return s;
}

void TfrmLabSettings::TestClick() {
  lab::LabSettings s = Entered();
  const QString password = password_->text();
  answer_->setText(QStringLiteral("正在连接……"));
  // The network is asked on a thread of its own; the answer comes back as a
  // queued signal, or nowhere if the dialog has gone meanwhile.
  QPointer<TfrmLabSettings> self(this);
  const int press = ++testPress_;
  std::thread([self, s, password, press]() mutable {
    QTemporaryDir dir;  // a typed, unsaved password goes to a private password file
    if (!password.isEmpty() && dir.isValid()) {
      s.PassFile = dir.filePath(QStringLiteral("pgpass"));
      lab::WritePasswordFile(s.PassFile, s, password);
    }
    const QString words = lab::TestLabConnection(s);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app, [self, words, press] { if (self && self->testPress_ == press) emit self->TestAnswered(words); },
        Qt::QueuedConnection);
  }).detach();
}

void TfrmLabSettings::SaveClick() {
  lab::LabSettings s = Entered();
  if (!password_->text().isEmpty()) {
    if (s.PassFile.isEmpty()) s.PassFile = exeDir_ + QStringLiteral("lab.pgpass");
    if (!lab::WritePasswordFile(s.PassFile, s, password_->text())) {
      notifier_.Error(QStringLiteral("无法写入密码文件 ") + s.PassFile);
      return;
    }
  }
  try {
    lab::SaveLabSettings(exeDir_, s);
  } catch (const EIniWriteError& e) {
    notifier_.Error(e.Message());
    return;
  }
  accept();
}

bool ShowLabSettings(const QString& exeDir, INotifier& notifier, QWidget* owner) {
  TfrmLabSettings dialog(exeDir, notifier, owner);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace rig

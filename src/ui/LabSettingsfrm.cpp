#include "ui/LabSettingsfrm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <thread>

#include "core/IniFile.h"
#include "core/Notifier.h"
#include "lab/LabConnection.h"
#include "ui/DesignFont.h"

namespace rig {

TfrmLabSettings::TfrmLabSettings(const QString& exeDir, INotifier& notifier, QWidget* parent,
                                 std::function<bool()> reconcile)
    : QDialog(parent), exeDir_(exeDir), notifier_(notifier), reconcile_(std::move(reconcile)) {
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
  sslMode_ = new QComboBox(this);
  sslMode_->setObjectName(QStringLiteral("CBoxSslMode"));
  // In the order of lab::kSslModes.
  sslMode_->addItems({QStringLiteral("不加密"), QStringLiteral("服务器支持时加密（不验证证书）"),
                      QStringLiteral("加密（不验证证书）"), QStringLiteral("加密并验证服务器证书")});
  for (int i = 0; i < sslMode_->count(); ++i)
    if (s.SslMode == QLatin1String(lab::kSslModes[i])) sslMode_->setCurrentIndex(i);
  sslRootCert_ = edit("EdtSslRootCert", s.SslRootCert);
  sslRootCert_->setPlaceholderText(QStringLiteral("空：~/.postgresql/root.crt"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("服务器："), host_);
  form->addRow(QStringLiteral("端口："), port_);
  form->addRow(QStringLiteral("数据库："), database_);
  form->addRow(QStringLiteral("用户："), user_);
  form->addRow(QStringLiteral("密码："), password_);
  form->addRow(QStringLiteral("密码文件："), passFile_);
  form->addRow(QStringLiteral("试验台名称："), rigName_);
  form->addRow(QStringLiteral("加密："), sslMode_);
  form->addRow(QStringLiteral("根证书文件："), sslRootCert_);

  answer_ = new QLabel(this);
  answer_->setObjectName(QStringLiteral("LblAnswer"));
  answer_->setWordWrap(true);
  auto* test = new QPushButton(QStringLiteral("测试连接"), this);
  test->setObjectName(QStringLiteral("BtnTest"));
  auto* save = new QPushButton(QStringLiteral("保存"), this);
  save->setObjectName(QStringLiteral("BtnSave"));
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("BtnClose"));
  auto* earlier = new QPushButton(QStringLiteral("上传以前的测试"), this);
  earlier->setObjectName(QStringLiteral("BtnReconcile"));
  earlier->setToolTip(QStringLiteral("把本机已保存、实验室数据库中还没有的测试补传上去（每次启动时也会做）"));
  earlier->setEnabled(static_cast<bool>(reconcile_));
  for (QPushButton* b : {test, earlier, save, close}) b->setAutoDefault(false);
  connect(earlier, &QPushButton::clicked, this, &TfrmLabSettings::ReconcileClick);
  connect(test, &QPushButton::clicked, this, &TfrmLabSettings::TestClick);
  connect(save, &QPushButton::clicked, this, &TfrmLabSettings::SaveClick);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &TfrmLabSettings::TestAnswered, answer_, &QLabel::setText);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(test);
  buttons->addWidget(earlier);
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
  s.SslMode = QLatin1String(lab::kSslModes[std::max(0, sslMode_->currentIndex())]);
  s.SslRootCert = sslRootCert_->text().trimmed();
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

void TfrmLabSettings::ReconcileClick() {
  answer_->setText(reconcile_ && reconcile_()
                       ? QStringLiteral("正在查找实验室数据库中没有的以前的测试，结果见运行日志。")
                       : QStringLiteral("未设置实验室数据库：请先保存服务器地址。"));
}

bool ShowLabSettings(const QString& exeDir, INotifier& notifier, QWidget* owner, std::function<bool()> reconcile) {
  TfrmLabSettings dialog(exeDir, notifier, owner, std::move(reconcile));
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace rig
